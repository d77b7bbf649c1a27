// SPDX-License-Identifier: MIT
#include "core/Transfer.h"

#include "core/FileOps.h"
#include "core/FloppyVolume.h"
#include "core/Prompter.h"

namespace tunecrate {

std::string CopyFailedMessage(const std::string& file, const std::string& reason) {
    return "Cannot copy " + file + ".\n" + reason;
}

void DeleteMovedFiles(const DropContext& context, const DropState& state) {
    for (const MovedFile& file : state.MovedFiles) {
        FileResult removed;
        std::string shown = file.name;
        if (file.onFloppy) {
            if (context.floppy == nullptr) continue;
            removed = context.floppy->Remove(file.name);
            shown = context.floppy->Root() + file.name;
        } else {
            removed = RemoveFile(file.name);
        }
        if (!removed.ok()) {
            context.prompter.ShowMessage("Cannot delete " + shown + ".\n" + removed.Reason(), "Error!",
                                         MessageIcon::None);
        }
    }
    if (context.floppy != nullptr) context.floppy->Flush();
}

}  // namespace tunecrate
