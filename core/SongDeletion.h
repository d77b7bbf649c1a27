// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/SlotRow.h"

namespace tunecrate {

class FloppyVolume;

// Deleting songs on either medium. Each returns one message per failure, for
// the user; an empty result means everything asked for is gone.

// Removes each slot's .B00 and .EVT files and empties its title and comment in
// the rows, then rewrites the catalogue from the rows. A slot whose song file
// could not be removed keeps its title and comment.
std::vector<std::string> DeleteFloppySlots(FloppyVolume& volume, std::vector<SlotRow>& rows,
                                           const std::vector<int>& slots);

// Removes each song's .B00, .EVT and .cmt files, every case variant of each.
std::vector<std::string> DeleteHardDiskSongs(std::string_view folder, const std::vector<std::string>& titles);

}  // namespace tunecrate
