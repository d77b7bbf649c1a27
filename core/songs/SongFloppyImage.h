// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "core/disk/FileOps.h"

namespace tunecrate {

// Writes a new, formatted song floppy image holding an empty song.nam and
// comments.dat, with a volume serial of its own, in one piece: the image is
// made in memory first. An existing file is never replaced (TargetExists).
Result CreateSongFloppyImage(const std::string& path);

// The bytes of such an image, with a volume serial of its own.
std::string NewSongFloppyImageBytes();

}  // namespace tunecrate
