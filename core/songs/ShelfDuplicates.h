// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <string>

#include "core/songs/SongHash.h"
#include "core/text/SongNames.h"

namespace tunecrate {

// The songs of a shelf's image (or stick slot) `file` in `folder`, by
// content: a second pass over a row whose catalogue is read, for the slots
// that it found holding a song. Only reads, and never waits for another
// program that holds the image: an image that cannot be opened leaves every
// song without a hash.
FloppySongHashes HashShelfImage(const std::string& folder, const std::string& file, const std::array<bool, kSlotCount>& holdsSong);

}  // namespace tunecrate
