// SPDX-License-Identifier: MIT
#include "core/songs/Transfer.h"

#include "core/disk/FileOps.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/Prompter.h"

namespace tunecrate {

std::string CopyFailedMessage(const std::string& file, const std::string& reason) {
    return "Cannot copy " + file + ".\n" + reason;
}

bool GoOn(DropContext& context, std::size_t done, std::size_t total) {
    return !context.progress || context.progress(done, total);
}

bool TakeFreshRows(DropContext& context) {
    if (context.floppy == nullptr) return false;
    CatalogueReading now = ReadCatalogue(context.floppy);
    if (!now.readable) {
        std::string text = UnreadableFloppyMessage(context.floppy->Root());
        if (!now.failure.empty()) text += "\n\n" + now.failure;
        context.prompter.ShowMessage(text, "Error!", MessageIcon::None);
        return false;
    }
    // Slot numbers in a payload name the songs the window showed.
    if (!CatalogueStillShows(now.rows, context.rows)) {
        context.prompter.ShowMessage(CatalogueChangedMessage(false), "Error!", MessageIcon::None);
        return false;
    }
    context.rows = std::move(now.rows);
    return true;
}

bool WriteChangedSlots(DropContext& context, const DropState& state) {
    if (state.changedSlots.empty() || context.floppy == nullptr) return true;
    std::vector<SlotText> changes;
    for (int slot : state.changedSlots) {
        const SlotRow& row = context.rows[static_cast<std::size_t>(slot)];
        changes.push_back(SlotText{slot, row.title, row.comment});
    }
    const Result written = UpdateCatalogue(*context.floppy, changes);
    if (!written.ok()) context.prompter.ShowMessage(written.reason, "Error!", MessageIcon::None);
    return written.ok();
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
        context.prompter.ShowMessage("Cannot delete " + hostFiles.front() + ".\n" + removed.reason, "Error!",
                                     MessageIcon::None);
    }
    if (floppyFiles.empty() || context.floppy == nullptr) return;
    if (Result removed = context.floppy->Apply(floppyFiles, Room::Songs); !removed.ok()) {
        context.prompter.ShowMessage("Cannot delete " + context.floppy->Root() + floppyFiles.front().name + ".\n" +
                                         removed.reason,
                                     "Error!", MessageIcon::None);
    }
}

}  // namespace tunecrate
