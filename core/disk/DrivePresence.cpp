// SPDX-License-Identifier: MIT
#include "core/disk/DrivePresence.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "core/disk/BlockDevice.h"
#include "core/disk/FatImage.h"
#include "core/disk/FileOps.h"
#include "core/disk/Handles.h"

namespace tunecrate {

std::optional<std::uint64_t> KernelDiskBytes(const std::string& device, const std::string& sysBlock) {
    if (!IsBlockDevice(device)) return std::nullopt;
    std::error_code error;
    const std::string name = std::filesystem::canonical(device, error).filename().string();
    if (error) return std::nullopt;
    const std::optional<std::string> text = ReadFileBytes(sysBlock + "/" + name + "/size", 32);
    if (!text || text->empty() || text->find_first_of("0123456789") != 0) return std::nullopt;
    return std::stoull(*text) * 512;   // the kernel counts 512-byte sectors, whatever the disk's own
}

std::optional<std::uint64_t> ProbeDiskBytes(const std::string& device) {
    const Fd fd(::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        // A drive without a disk refuses to open.
        if (errno == ENOMEDIUM || errno == ENXIO) return 0;
        return std::nullopt;
    }
    return OpenSize(fd.get());
}

std::uint64_t DriveLook::Bytes() {
    const std::optional<std::uint64_t> known = KernelDiskBytes(m_device);
    // An image file standing in for a drive is looked at as often as asked.
    if (!known) return ProbeDiskBytes(m_device).value_or(0);
    const auto now = std::chrono::steady_clock::now();
    if (m_serviceAsks || *known != 0 || now - m_asked < std::chrono::milliseconds(kDrivePollMs)) return *known;
    m_asked = now;
    return ProbeDiskBytes(m_device).value_or(0);
}

bool DiskArrival::Seen(std::uint64_t bytes) {
    if (bytes != kImageBytes) {
        // No floppy (or no 1.44 MB one): whatever comes next is another disk.
        if (bytes == 0) m_armed = true;
        return false;
    }
    if (!m_armed) return false;
    m_armed = false;
    return true;
}

}  // namespace tunecrate
