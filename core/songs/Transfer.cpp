// SPDX-License-Identifier: MIT
#include "core/songs/Transfer.h"

#include "core/disk/FileOps.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/Prompter.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"

namespace tunecrate {

std::string FloppyFullMessage(const FloppyVolume& floppy) {
    std::string text = Translated(texts::kDiskFull);
    // The free space shown counts the catalogue's reserve, which no song may take.
    if (const auto space = floppy.Space()) {
        const std::uint64_t reserve = CatalogueReserveBytes(space->unitBytes);
        const std::uint64_t usable = space->FreeBytes() > reserve ? space->FreeBytes() - reserve : 0;
        text.append("\n").append(Translated(texts::kSongSpace, {std::to_string(usable), std::to_string(reserve)}));
    }
    return text;
}

std::string CopyFailedMessage(const std::string& file, const std::string& reason) {
    return Translated(texts::kCannotCopy, {file, reason});
}

bool DropContinuesAfter(const Result& song) { return song.ok() || song.status == Status::TargetExists; }

bool ConfirmReplace(DropContext& context, DropState& state, const std::string& question, std::size_t remaining) {
    if (state.replaceAll) return *state.replaceAll;
    const Reply reply = context.prompter.AskYesNoToAll(question, Translated(texts::kOverwriteCaption), remaining > 1);
    if (reply == Reply::YesToAll || reply == Reply::NoToAll) state.replaceAll = reply == Reply::YesToAll;
    return reply == Reply::Yes || reply == Reply::YesToAll;
}

bool ReportProgress(DropContext& context, std::size_t done, std::size_t total) {
    return !context.progress || context.progress(done, total);
}

Result TakeFreshRows(DropContext& context) {
    Expected<CatalogueReading> now = ReadCatalogue(context.floppy, CatalogueRepair::Never);
    if (!now) return Result::Refused(UnreadableFloppyNotice(now.error(), context.floppy->Root()));
    // Slot numbers in a payload name the songs the window showed.
    if (!CatalogueStillShows(now->rows, context.rows)) return Result::Refused(CatalogueChangedMessage(false));
    context.rows = std::move(now->rows);
    return {};
}

Result SlotStillShown(DropContext& context, int slot) {
    const Expected<CatalogueReading> now = ReadCatalogue(context.floppy, CatalogueRepair::Never);
    if (!now) return Result::Refused(UnreadableFloppyNotice(now.error(), context.floppy->Root()));
    if (!CatalogueStillShows(now->rows, context.rows, {slot})) return Result::Refused(CatalogueChangedMessage(false));
    return {};
}

Result FloppyTakesChange(DropContext& context, std::vector<std::string> names) {
    names.emplace_back(kTitlesFile);
    names.emplace_back(kCommentsFile);
    return context.floppy->CheckChange(names);
}

Result ReadyForChange(DropContext& context, std::vector<std::string> names) {
    const Result fresh = TakeFreshRows(context);
    return fresh.ok() ? FloppyTakesChange(context, std::move(names)) : fresh;
}

Result Told(DropContext& context, DropState& state, Result step) {
    if (!step.ok()) state.failure = step.reason;
    if (!step.reason.empty()) context.prompter.ShowMessage(step.reason, Translated(texts::kErrorCaption), MessageIcon::None);
    return step;
}

void ReportPutFailure(DropContext& context, DropState& state, const Result& put, const std::string& shownSource) {
    if (put.status == Status::DiskFull) {
        // A reason of its own (a full root folder) says more than "disk full".
        const bool ownReason = put.reason != Result::FromErrno(put.error).reason;
        state.failure = ownReason ? put.reason : FloppyFullMessage(*context.floppy);
        context.prompter.ShowMessage(state.failure, Translated(texts::kErrorCaption), MessageIcon::Exclamation);
        return;
    }
    state.failure = CopyFailedMessage(shownSource, put.reason);
    context.prompter.ShowMessage(state.failure, Translated(texts::kErrorCaption), MessageIcon::None);
}

Result WriteChangedSlots(DropContext& context, DropState& state) {
    if (state.changedSlots.empty() || context.floppy == nullptr) return {};
    std::vector<SlotText> changes;
    for (int slot : state.changedSlots) {
        const SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
        changes.push_back(SlotText{slot, row.title, row.comment});
    }
    const Result written = UpdateCatalogue(*context.floppy, changes);
    if (written.ok()) state.changedSlots.clear();
    return written;
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
