// SPDX-License-Identifier: MIT
#include "core/songs/Transfer.h"

#include "core/disk/FileOps.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/Prompter.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"

namespace tunecrate {

std::string CopyFailedMessage(const std::string& file, const std::string& reason) {
    return Translated(texts::kCannotCopy, {file, reason});
}

bool DropContinuesAfter(const Result& song) { return song.ok() || song.status == Status::TargetExists; }

bool ReportProgress(DropContext& context, std::size_t done, std::size_t total) {
    return !context.progress || context.progress(done, total);
}

bool TakeFreshRows(DropContext& context) {
    if (context.floppy == nullptr) return false;
    Expected<CatalogueReading> now = ReadCatalogue(context.floppy, CatalogueRepair::Never);
    if (!now) {
        context.prompter.ShowMessage(UnreadableFloppyNotice(now.error(), context.floppy->Root()), Translated(texts::kErrorCaption),
                                     MessageIcon::None);
        return false;
    }
    // Slot numbers in a payload name the songs the window showed.
    if (!CatalogueStillShows(now->rows, context.rows)) {
        context.prompter.ShowMessage(CatalogueChangedMessage(false), Translated(texts::kErrorCaption), MessageIcon::None);
        return false;
    }
    context.rows = std::move(now->rows);
    return true;
}

bool FloppyTakesChange(DropContext& context, DropState& state, std::vector<std::string> names) {
    names.emplace_back(kTitlesFile);
    names.emplace_back(kCommentsFile);
    const Result refused = context.floppy->CheckChange(names);
    if (refused.ok()) return true;
    state.failure = refused.reason;
    context.prompter.ShowMessage(refused.reason, Translated(texts::kErrorCaption), MessageIcon::None);
    return false;
}

void ReportPutFailure(DropContext& context, DropState& state, const Result& put, const std::string& shownSource) {
    if (put.status == Status::DiskFull) {
        // A reason of its own (a full root folder) says more than "disk full".
        const bool ownReason = put.reason != Result::FromErrno(put.error).reason;
        state.failure = ownReason ? put.reason : Translated(texts::kDiskFull);
        context.prompter.ShowMessage(state.failure, Translated(texts::kErrorCaption), MessageIcon::Exclamation);
        return;
    }
    state.failure = CopyFailedMessage(shownSource, put.reason);
    context.prompter.ShowMessage(state.failure, Translated(texts::kErrorCaption), MessageIcon::None);
}

bool WriteChangedSlots(DropContext& context, DropState& state) {
    if (state.changedSlots.empty() || context.floppy == nullptr) return true;
    std::vector<SlotText> changes;
    for (int slot : state.changedSlots) {
        const SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
        changes.push_back(SlotText{slot, row.title, row.comment});
    }
    const Result written = UpdateCatalogue(*context.floppy, changes);
    if (!written.ok()) {
        state.failure = written.reason;
        context.prompter.ShowMessage(written.reason, Translated(texts::kErrorCaption), MessageIcon::None);
        return false;
    }
    // Written, with something to tell (room that could not be freed, say).
    if (!written.reason.empty()) context.prompter.ShowMessage(written.reason, Translated(texts::kErrorCaption), MessageIcon::None);
    state.changedSlots.clear();
    return true;
}

void DeleteMovedFiles(const DropContext& context, const DropState& state) {
    std::vector<FileChange> floppyFiles;
    std::vector<std::string> hostFiles;
    for (const MovedFile& file : state.MovedFiles) {
        if (file.onFloppy) {
            floppyFiles.push_back(FileChange{file.name, std::nullopt});
        } else {
            hostFiles.push_back(file.name);
        }
    }
    // A song's files leave its folder together, or not at all.
    if (Result removed = RemoveFiles(hostFiles); !removed.ok()) {
        context.prompter.ShowMessage(Translated(texts::kCannotDelete, {hostFiles.front(), removed.reason}),
                                     Translated(texts::kErrorCaption), MessageIcon::None);
    }
    if (floppyFiles.empty() || context.floppy == nullptr) return;
    if (Result removed = context.floppy->Apply(floppyFiles, CatalogueReserve::Keep); !removed.ok()) {
        context.prompter.ShowMessage(
            Translated(texts::kCannotDelete, {context.floppy->Root() + floppyFiles.front().name, removed.reason}),
            Translated(texts::kErrorCaption), MessageIcon::None);
    } else if (!removed.reason.empty()) {
        context.prompter.ShowMessage(removed.reason, Translated(texts::kErrorCaption), MessageIcon::None);
    }
}

}  // namespace tunecrate
