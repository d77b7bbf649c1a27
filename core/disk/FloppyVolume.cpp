// SPDX-License-Identifier: MIT
#include "core/disk/FloppyVolume.h"

#include <sys/stat.h>

#include "core/disk/FolderVolume.h"
#include "core/disk/BlockDevice.h"
#include "core/disk/ImageVolume.h"
#include "core/disk/StickSlots.h"

namespace tunecrate {

std::uint64_t CatalogueReserveBytes(std::uint64_t unitBytes) {
    if (unitBytes == 0) return 0;
    auto units = [&](std::uint64_t bytes) { return (bytes + unitBytes - 1) / unitBytes; };
    return (units(kLargestTitlesFile) + units(kLargestCommentsFile)) * unitBytes;
}

std::vector<std::optional<FileLook>> FloppyVolume::LookAt(const std::vector<std::string>& names) const {
    std::vector<std::optional<FileLook>> looks;
    for (const std::string& name : names) {
        std::string stamp = Stamp(name);
        if (stamp.empty()) {
            looks.emplace_back();
        } else {
            looks.push_back(FileLook{name, FileSize(name), std::move(stamp)});
        }
    }
    return looks;
}

Result FloppyVolume::CheckChange(const std::vector<std::string>&) const { return {}; }

bool IsFloppyImageFile(const std::string& location) {
    struct stat st {};
    return ::stat(location.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::unique_ptr<FloppyVolume> OpenFloppyVolume(const std::string& location) {
    if (IsFloppyImageFile(location) || IsBlockDevice(location) || SlotOfPath(location)) {
        return std::make_unique<ImageVolume>(location);
    }
    return std::make_unique<FolderVolume>(location);
}

}  // namespace tunecrate
