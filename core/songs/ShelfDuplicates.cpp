// SPDX-License-Identifier: MIT
#include "core/songs/ShelfDuplicates.h"

#include <algorithm>

#include "core/disk/ImageVolume.h"
#include "core/songs/Shelf.h"

namespace tunecrate {

FloppySongHashes HashShelfImage(const std::string& folder, const std::string& file, const std::array<bool, kSlotCount>& holdsSong) {
    FloppySongHashes none;
    none.holdsSong = holdsSong;
    // Most rows of a stick hold no song: nothing to open.
    if (std::none_of(holdsSong.begin(), holdsSong.end(), [](bool holds) { return holds; })) return none;
    // As the shelf reads its rows: a locked image is passed over, not waited for.
    const ImageVolume volume(ShelfEntryPath(folder, file), {}, ImageAccess::ReadOnly);
    if (!volume.Opened().ok()) return none;
    return HashFloppySongs(volume, holdsSong);
}

}  // namespace tunecrate
