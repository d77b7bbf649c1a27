// SPDX-License-Identifier: MIT
#include "core/disk/BlockDevice.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Result.h"
#include "core/Texts.h"

namespace tunecrate {

namespace {

DeviceOpener& Opener() {
    static DeviceOpener opener;
    return opener;
}

// The same device whichever name reaches it (/dev/disk/by-id/..., a symlink).
bool SameDevice(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && S_ISBLK(sa.st_mode) &&
           S_ISBLK(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

// "/dev/sdb1" is a partition of "/dev/sdb", "/dev/loop0p1" of "/dev/loop0".
// A disk whose name ends in a digit numbers its partitions after a "p", so
// /dev/loop10 is no partition of /dev/loop1, nor /dev/sdap1 of /dev/sda.
bool IsPartitionOf(const std::string& partition, const std::string& disk) {
    if (disk.empty() || partition.size() <= disk.size() || partition.compare(0, disk.size(), disk) != 0) return false;
    std::string rest = partition.substr(disk.size());
    if (std::isdigit(static_cast<unsigned char>(disk.back())) != 0) {
        if (rest[0] != 'p') return false;
        rest.erase(0, 1);
    }
    return !rest.empty() && rest.find_first_not_of("0123456789") == std::string::npos;
}

std::string WithoutFinalSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

bool IsBlockDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

std::optional<std::uint64_t> OpenSize(int fd, struct stat* seen) {
    struct stat mine {};
    struct stat& st = seen != nullptr ? *seen : mine;
    if (::fstat(fd, &st) != 0) return std::nullopt;
    if (!S_ISBLK(st.st_mode)) return static_cast<std::uint64_t>(st.st_size);
    std::uint64_t bytes = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) return std::nullopt;
    return bytes;
}

void SetDeviceOpener(DeviceOpener opener) { Opener() = std::move(opener); }

int OpenDeviceNode(const std::string& path, int flags) {
    flags |= O_CLOEXEC | O_NOCTTY;
    const int accessMode = flags & O_ACCMODE;
    const int wanted = accessMode == O_RDONLY ? R_OK : accessMode == O_WRONLY ? W_OK : R_OK | W_OK;
    // The service may ask for a password: only where the node is closed to us.
    if (::access(path.c_str(), wanted) != 0 && (errno == EACCES || errno == EPERM) && Opener() && IsBlockDevice(path)) {
        const int fd = Opener()(path, flags);
        if (fd >= 0) return fd;
    }
    return ::open(path.c_str(), flags);
}

std::string DeviceOpenFailure(const std::string& device, int error) {
    if (error == EACCES || error == EPERM) {
        const char* user = std::getenv("USER");
        return Translated(texts::kDeviceNoPermission, {device, user != nullptr && *user != '\0' ? user : "$USER"});
    }
    if (error == EBUSY) return Translated(texts::kDeviceBusy, {device});
    if (error == ENOMEDIUM) return Translated(texts::kDeviceNoDisk, {device});
    return Translated(texts::kCannotOpen, {device, Result::FromErrno(error).reason});
}

bool IsWriteProtectedDevice(const std::string& device) {
    if (const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) {
        int readOnly = 0;
        const bool held = ::ioctl(fd, BLKROGET, &readOnly) == 0 && readOnly != 0;
        ::close(fd);
        if (held) return true;
    }
    // Some drives tell only when the disk is opened for writing. A refused
    // permission counts only where the node itself would let us write.
    const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    const int error = errno;
    return error == EROFS || (error == EACCES && ::access(device.c_str(), W_OK) == 0);
}

void FlushMountedFolder(const std::string& mountPoint) {
    const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::syncfs(fd);
    ::close(fd);
}

void FlushDevice(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::optional<std::string> MountPointOf(const std::string& device, const std::vector<MountEntry>& mounts) {
    std::optional<std::string> found;
    for (const MountEntry& mount : mounts) {
        if (SameDevice(mount.device, device) || IsPartitionOf(mount.device, device)) found = mount.mountPoint;
    }
    if (found) return found;
    // A name such as /dev/disk/by-id/... for a partition: compare the real names.
    std::error_code error;
    const std::string real = std::filesystem::canonical(device, error).string();
    if (error || real == device) return std::nullopt;
    return MountPointOf(real, mounts);
}

std::optional<std::string> DeviceMountedAt(const std::string& folder, const std::vector<MountEntry>& mounts) {
    const std::string wanted = WithoutFinalSlash(folder);
    std::optional<std::string> found;
    for (const MountEntry& mount : mounts) {
        if (WithoutFinalSlash(mount.mountPoint) == wanted && mount.device.rfind("/dev/", 0) == 0) found = mount.device;
    }
    return found;
}

std::optional<DrivePlace> DriveAt(const std::string& location, const std::vector<MountEntry>& mounts) {
    if (IsBlockDevice(location)) return DrivePlace{location, MountPointOf(location, mounts).value_or("")};
    if (std::optional<std::string> device = DeviceMountedAt(location, mounts)) return DrivePlace{*device, location};
    return std::nullopt;
}

}  // namespace tunecrate
