// SPDX-License-Identifier: MIT
#include "core/FloppyVolume.h"

#include <sys/stat.h>

#include "core/FolderVolume.h"
#include "core/ImageVolume.h"

namespace tunecrate {

bool IsFloppyImageFile(const std::string& location) {
    struct stat st {};
    return ::stat(location.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::unique_ptr<FloppyVolume> OpenFloppyVolume(const std::string& location) {
    if (IsFloppyImageFile(location)) return std::make_unique<ImageVolume>(location);
    return std::make_unique<FolderVolume>(location);
}

}  // namespace tunecrate
