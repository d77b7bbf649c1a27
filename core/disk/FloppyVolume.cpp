// SPDX-License-Identifier: MIT
#include "core/disk/FloppyVolume.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "core/disk/FolderVolume.h"
#include "core/disk/BlockDevice.h"
#include "core/disk/ImageVolume.h"
#include "core/disk/StickSlots.h"
#include "core/Texts.h"

namespace tunecrate {

std::uint64_t CatalogueReserveBytes(std::uint64_t unitBytes) {
    if (unitBytes == 0) return 0;
    auto units = [&](std::uint64_t bytes) { return (bytes + unitBytes - 1) / unitBytes; };
    return (units(kLargestTitlesFile) + units(kLargestCommentsFile)) * unitBytes;
}

std::vector<std::optional<std::string>> FloppyVolume::ReadFiles(const std::vector<std::string_view>& names, std::size_t maxBytes) const {
    std::vector<std::optional<std::string>> files;
    files.reserve(names.size());
    for (std::string_view name : names) files.push_back(ReadFile(name, maxBytes));
    return files;
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

Result WriteProtection(const std::string& location) {
    const std::optional<SlotPath> slot = SlotOfPath(location);
    const std::string path = slot ? slot->stick : location;
    if (IsBlockDevice(path)) {
        if (!IsWriteProtectedDevice(path)) return {};
        return Result::FromErrno(EROFS, Translated(texts::kWriteProtectedDisk, {path}));
    }
    if (IsFloppyImageFile(path)) {
        if (::access(path.c_str(), W_OK) == 0 || (errno != EROFS && errno != EACCES && errno != EPERM)) return {};
        return Result::FromErrno(errno, Translated(texts::kImageFileReadOnly, {path}));
    }
    // A write-protected disk that the desktop mounted is mounted read-only.
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0) {
        return Result::FromErrno(EROFS, Translated(texts::kReadOnlyMount, {path}));
    }
    return {};
}

std::unique_ptr<FloppyVolume> OpenFloppyVolume(const std::string& location) {
    if (IsFloppyImageFile(location) || IsBlockDevice(location) || SlotOfPath(location)) {
        return std::make_unique<ImageVolume>(location);
    }
    return std::make_unique<FolderVolume>(location);
}

}  // namespace tunecrate
