// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "core/disk/FileOps.h"

namespace tunecrate {

// Writes a new, formatted song floppy image holding an empty song.nam and
// comments.dat; an existing file is never replaced (TargetExists).
Result CreateSongFloppyImage(const std::string& path);

}  // namespace tunecrate
