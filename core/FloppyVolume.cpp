// SPDX-License-Identifier: MIT
#include "core/FloppyVolume.h"

#include <sys/stat.h>

#include "core/FloppyCatalogue.h"
#include "core/FolderVolume.h"
#include "core/ImageVolume.h"
#include "core/SongNames.h"

namespace tunecrate {

std::uint64_t CatalogueRoomBytes(std::uint64_t unitBytes) {
    if (unitBytes == 0) return 0;
    // song.nam is always 40 lines of 17 bytes and CR LF; comments.dat at most
    // 40 lines of the longest comment kept and CR LF.
    const std::uint64_t titles = kCatalogueLines * (kTitleBytes + 2);
    const std::uint64_t comments = kCatalogueLines * (kCatalogueLineBytes + 2);
    auto units = [&](std::uint64_t bytes) { return (bytes + unitBytes - 1) / unitBytes; };
    return (units(titles) + units(comments)) * unitBytes;
}

bool IsFloppyImageFile(const std::string& location) {
    struct stat st {};
    return ::stat(location.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::unique_ptr<FloppyVolume> OpenFloppyVolume(const std::string& location) {
    if (IsFloppyImageFile(location)) return std::make_unique<ImageVolume>(location);
    return std::make_unique<FolderVolume>(location);
}

}  // namespace tunecrate
