// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "core/SlotRow.h"

namespace tunecrate {

class FloppyVolume;
class Prompter;

// A source file that a move deletes once its song has arrived.
struct MovedFile {
    bool onFloppy = false;   // a name on the floppy, else a path on the hard disk
    std::string name;
};

// The state of one drop: what it copied and whether anything arrived.
struct DropState {
    std::vector<MovedFile> MovedFiles;
    bool Transferred = false;
    // Song files this drop wrote on the hard disk: a second song of the same
    // title never replaces one that the drop itself just brought.
    std::vector<std::string> written;
};

// What a drop works with: the floppy (null when there is none), its slot rows,
// the user, and whether the drop moves.
struct DropContext {
    FloppyVolume* floppy = nullptr;
    std::vector<SlotRow>& rows;
    Prompter& prompter;
    bool move = false;
};

// What the windows must refresh after a drop; false `taken` refuses the drop.
struct DropResult {
    bool taken = true;
    bool rereadFloppy = false;        // ReadCatalogue, reporting an unreadable floppy
    bool refillHardDiskList = false;
};

// The result of one song's transfer.
enum class TransferResult { Copied, Skipped, DiskFull, Failed };

// "Error!" messages that several drops share.
std::string CopyFailedMessage(const std::string& file, const std::string& reason);

// Deletes the files of a move, in order; failures are reported.
void DeleteMovedFiles(const DropContext& context, const DropState& state);

}  // namespace tunecrate
