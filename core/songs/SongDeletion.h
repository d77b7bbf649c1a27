// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/songs/SlotRow.h"

namespace tunecrate {

class FloppyVolume;

// Deleting songs on either medium. Each returns one message per failure, for
// the user; an empty result means everything asked for is gone.

// Removes each slot's .B00 and .EVT files and empties its title and comment
// on the floppy; the other lines of the catalogue stay as they are. `shown`
// is what the window showed: when a slot to delete no longer holds what it
// showed, nothing is deleted (a song the user did not see is never deleted)
// and the message says so. A slot whose files could not be removed keeps its
// title and comment.
std::vector<std::string> DeleteFloppySlots(FloppyVolume& volume, const std::vector<SlotRow>& shown,
                                           const std::vector<int>& slots);

// Removes each song's .B00, .EVT and .cmt files, every case variant of each.
std::vector<std::string> DeleteHardDiskSongs(std::string_view folder, const std::vector<std::string>& titles);

}  // namespace tunecrate
