// SPDX-License-Identifier: MIT
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/disk/FloppyFinder.h"

namespace tunecrate {

// A floppy drive's block device (/dev/sdb), used without mounting it.
bool IsBlockDevice(const std::string& path);

// The size of an open file, or of a block device (whose st_size is 0).
std::optional<std::uint64_t> OpenSize(int fd, struct stat* st = nullptr);

// Opens a device node the user may not open: a desktop service that grants
// access (after asking, where it must). Gets the open(2) access mode and
// O_EXCL/O_DIRECT flags; returns an open descriptor, or -1 with errno set.
using DeviceOpener = std::function<int(const std::string& device, int flags)>;
// Installed once by the program; none by default.
void SetDeviceOpener(DeviceOpener opener);

// Opens `path` for whole-disk work. The node itself when the user may open
// it; else through the opener, else the node again for the system's reason.
// O_CLOEXEC is always added. Returns -1 with errno set.
int OpenDeviceNode(const std::string& path, int flags);

// The reason to give when a device cannot be opened: the system's, and for
// a refused permission how to get it.
std::string DeviceOpenFailure(const std::string& device, int error);

// Whether the disk in `device` refuses writing: the kernel holds it
// read-only (a write-protect tab, `blockdev --setro`), or it cannot be opened
// for writing for that reason. Reads no sector of it.
bool IsWriteProtectedDevice(const std::string& device);

// Sends what the system still holds for a mounted floppy, or for a drive's
// device, to the disk.
void FlushMountedFolder(const std::string& mountPoint);
void FlushDevice(const std::string& device);

// Where `device` (or a partition of it) is mounted in `mounts`; nullopt when it is not.
std::optional<std::string> MountPointOf(const std::string& device, const std::vector<MountEntry>& mounts);

// The device mounted at `folder` (a mount point, with or without a final
// "/"); nullopt when no device is mounted exactly there.
std::optional<std::string> DeviceMountedAt(const std::string& folder, const std::vector<MountEntry>& mounts);

// A floppy drive as a location names it: its device, and where the disk is
// mounted (empty when it is not).
struct DrivePlace {
    std::string device;
    std::string mountPoint;
};
// The drive that `location` names: a block device (mounted or not), or the
// folder where a device is mounted. nullopt when it names neither.
std::optional<DrivePlace> DriveAt(const std::string& location, const std::vector<MountEntry>& mounts);

}  // namespace tunecrate
