// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "core/songs/SongSource.h"
#include "core/songs/Transfer.h"

namespace tunecrate {

// Songs dropped on a folder of the tree or on the hard-disk list.

// `folder` is the folder path of the tree item under the drop point ("" when
// the drop found no item: refused).
DropResult DropIntoFolder(DropContext& context, const std::string& folder, const SongSource& songs);

// Floppy songs dropped on the hard-disk list land in the folder it shows.
DropResult DropOntoHardDiskList(DropContext& context, const std::string& folder, const SongSource& songs);

// The file name a floppy title takes on the hard disk: UTF-8, trailing blanks
// (full-width too) removed, "/" as "／"; the slot's name when nothing is left
// or the title is "." or "..".
std::string FolderNameForTitle(const std::string& cp932Title, int slot);

}  // namespace tunecrate
