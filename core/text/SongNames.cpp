// SPDX-License-Identifier: MIT
#include "core/text/SongNames.h"

#include "core/disk/FileOps.h"

namespace tunecrate {

std::string SlotName(int slotIndex) {
    return (slotIndex < 10 ? "MDR_0" : "MDR_") + std::to_string(slotIndex);
}

std::string HardDiskBaseName(std::string_view folder, std::string_view title) {
    return JoinPath(folder, title);
}

bool IsFileTitle(std::string_view title) {
    return !title.empty() && title != "." && title != ".." && title.find('/') == std::string_view::npos &&
           title.find('\0') == std::string_view::npos;
}

bool TitleFits(std::string_view cp932Title) {
    return cp932Title.size() <= kTitleBytes;
}

std::string SizeText(std::uint64_t songBytes, std::uint64_t eventsBytes, bool eventsExist) {
    // 64-bit sum: a folder standing in for a floppy may hold files past 4 GiB.
    std::uint64_t total = songBytes + (eventsExist ? eventsBytes : 0);
    return std::to_string(total / 1024) + "kb";
}

}  // namespace tunecrate
