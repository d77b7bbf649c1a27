// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/disk/Handles.h"

namespace tunecrate {

// One mounted file system, as far as the floppy test needs it.
struct MountEntry {
    std::string device;        // "/dev/sdb"
    std::string mountPoint;    // "/media/user/FLOPPY"
    std::string fsType;
    bool removable = false;    // the block device or its disk is removable
    std::uint64_t totalBytes = 0;  // 0 when not measured or no medium
};

// Capacity of a 1.44 MB floppy as its file system reports it.
inline constexpr std::uint64_t kFloppyCapacity = 1'457'664;

// The mount point, with a final "/", of the last removable mount whose
// capacity is exactly that of a 1.44 MB floppy; nullopt when none is.
std::optional<std::string> FindFloppy(const std::vector<MountEntry>& mounts);

// Parses the text of /proc/self/mounts (octal escapes such as \040 decoded).
std::vector<MountEntry> ParseMountTable(const std::string& text);

// True when the block device, or the disk a partition belongs to, is removable.
bool IsRemovableDevice(const std::string& device);

// The system's mount table, with `removable` read from /sys/class/block and
// `totalBytes` from statvfs for removable devices only (so a hung network
// mount is never touched).
std::vector<MountEntry> ReadMountTable();

// The removable block devices (whole disks or partitions) that hold exactly
// a 1.44 MB floppy's 2,880 sectors and are not mounted, as /dev paths, from
// the kernel's own record in `sysBlock`: reading it never touches a drive.
std::vector<std::string> FindFloppyDevices(const std::vector<MountEntry>& mounts,
                                           const std::string& sysBlock = "/sys/class/block",
                                           const std::string& devFolder = "/dev");

// The same for any size from `fewest` to `most` sectors of 512 bytes.
std::vector<std::string> FindRemovableDisks(const std::vector<MountEntry>& mounts, std::uint64_t fewest, std::uint64_t most,
                                            const std::string& sysBlock = "/sys/class/block",
                                            const std::string& devFolder = "/dev");

// Finds the unmounted floppy disks, as FindFloppyDevices does.
using FloppyDeviceFinder = std::function<std::vector<std::string>(const std::vector<MountEntry>&)>;

// The floppy used when none is named.
struct FoundFloppy {
    std::string location;   // a mounted floppy's folder with a final "/", or a device
    bool device = false;    // a disk that nobody mounted, used through its device
};
// The mounted floppy (FindFloppy), else the last unmounted floppy disk that
// `devices` finds (asked only then); nullopt when there is neither.
std::optional<FoundFloppy> FindFloppyLocation(const std::vector<MountEntry>& mounts, const FloppyDeviceFinder& devices);

// What tells one medium behind `location` (a floppy's folder, an image, a
// device) from another, read without touching a drive: the mount that holds
// it (device, place, type, and the free space of a removable one) and, for a
// device, how many sectors the kernel says it has (none without a disk). Two
// equal identities need no new reading; a change of mounts elsewhere leaves
// it as it is.
std::string MediumIdentity(const std::string& location, const std::vector<MountEntry>& mounts,
                           const std::string& sysDevBlock = "/sys/dev/block");

// The mount table (`path`, /proc/self/mounts) held open, so that a change can
// be waited for: the kernel marks the descriptor (an exceptional condition to
// poll) at every mount and unmount until the table is read through again.
class MountTableWatch {
public:
    explicit MountTableWatch(const std::string& path);
    // -1 when the table could not be opened.
    int fd() const { return m_fd.get(); }
    // Reads the table to its end, which clears the mark.
    void Clear();

private:
    Fd m_fd;
};

}  // namespace tunecrate
