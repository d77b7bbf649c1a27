// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"
#include "core/songs/SlotRow.h"

namespace tunecrate {

class FloppyVolume;

// Deleting songs on either medium. Ok means everything asked for is gone;
// a failure's reason names every file that stayed.

// Removes each slot's .B00 and .EVT files and empties its title and comment
// on the floppy; the other lines of the catalogue stay as they are. `shown`
// is what the window showed: when a slot to delete no longer holds what it
// showed, nothing is deleted (a song the user did not see is never deleted)
// and the message says so. A slot whose files could not be removed keeps its
// title and comment.
Result DeleteFloppySlots(FloppyVolume& volume, const std::vector<SlotRow>& shown, const std::vector<int>& slots);

// Removes each song's .B00, .EVT and .cmt files, every case variant of each;
// a song's files go together or not at all, even across a crash.
Result DeleteHardDiskSongs(std::string_view folder, const std::vector<std::string>& titles);

}  // namespace tunecrate
