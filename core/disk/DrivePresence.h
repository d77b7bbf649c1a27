// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace tunecrate {

// Whether a floppy is in a drive, and when another one has come.

// How often the drive itself may be asked for its disk: no more often than
// the desktop's disk service asks, so that a drive is never kept busier.
inline constexpr int kDrivePollMs = 2000;

// The size in bytes of the disk in `device` as the kernel last saw it (0:
// none), read without touching the drive; nullopt for anything but a block
// device the kernel lists.
std::optional<std::uint64_t> KernelDiskBytes(const std::string& device, const std::string& sysBlock = "/sys/class/block");

// Asks the drive: opening it makes the kernel look for a disk. The size of
// the disk (of a file, for an image standing in for a drive); 0 when the
// drive holds none; nullopt when it cannot be opened for another reason.
std::optional<std::uint64_t> ProbeDiskBytes(const std::string& device);

// Looks for a disk in a drive as often as the caller likes, asking the drive
// itself no more often than kDrivePollMs: the kernel's figure in between,
// and only that where a disk service asks the drive already.
class DriveLook {
public:
    DriveLook(std::string device, bool serviceAsks) : m_device(std::move(device)), m_serviceAsks(serviceAsks) {}
    // The size of the disk in the drive now; 0 when there is none or it cannot be told.
    std::uint64_t Bytes();

private:
    std::string m_device;
    bool m_serviceAsks;
    std::chrono::steady_clock::time_point m_asked{};
};

// Tells a floppy that came from the one that was there: a floppy counts once
// the drive was seen without one since the last was taken.
class DiskArrival {
public:
    // `diskInCounts`: a floppy in the drive from the start is one to take.
    explicit DiskArrival(bool diskInCounts) : m_armed(diskInCounts) {}
    // The disk's size seen now; true when it is a floppy to take.
    bool Seen(std::uint64_t bytes);
    // The floppy seen was taken: the next must come after it.
    void Taken() { m_armed = false; }

private:
    bool m_armed;
};

}  // namespace tunecrate
