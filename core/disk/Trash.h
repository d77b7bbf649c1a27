// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "core/Result.h"

namespace tunecrate {

// Moves a file to the desktop's trash, where a file manager shows it and
// can put it back: the home trash for a file on the home's file system,
// else the trash at the top of the file's own file system
// ($topdir/.Trash-$uid, as on a USB stick), never a copy across file systems.
// The trash's record of where the file came from is written first, so a
// crash leaves at worst a record without a file, never a file without one.
// Returns the file's path in the trash.
Expected<std::string> MoveToTrash(const std::string& path);

}  // namespace tunecrate
