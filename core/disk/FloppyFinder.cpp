// SPDX-License-Identifier: MIT
#include "core/disk/FloppyFinder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <unistd.h>

#include "core/disk/BlockDevice.h"
#include "core/disk/FatImage.h"
#include "core/disk/FileOps.h"

namespace tunecrate {

namespace {

// /proc/self/mounts writes blanks, tabs, newlines and backslashes as \ooo.
std::string DecodeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool octal = true;
            int value = 0;
            for (std::size_t k = 1; k <= 3; ++k) {
                char c = field[i + k];
                if (c < '0' || c > '7') { octal = false; break; }
                value = value * 8 + (c - '0');
            }
            if (octal) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::string ReadSmallFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}


}  // namespace

bool IsRemovableDevice(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
    const std::string sys = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                            std::to_string(minor(st.st_rdev));
    if (ReadSmallFile(sys + "/removable") == "1") return true;
    // A partition has no flag of its own; its disk is the parent folder.
    return ReadSmallFile(sys + "/partition").size() > 0 && ReadSmallFile(sys + "/../removable") == "1";
}

std::optional<std::string> FindFloppy(const std::vector<MountEntry>& mounts) {
    std::optional<std::string> found;
    for (const MountEntry& mount : mounts) {
        if (mount.removable && mount.totalBytes == kFloppyCapacity) {
            found = mount.mountPoint;   // the last one in the table wins
        }
    }
    if (found && (found->empty() || found->back() != '/')) *found += '/';
    return found;
}

std::optional<FoundFloppy> FindFloppyLocation(const std::vector<MountEntry>& mounts, const FloppyDeviceFinder& devices) {
    if (auto found = FindFloppy(mounts)) return FoundFloppy{std::move(*found), false};
    const std::vector<std::string> unmounted = devices(mounts);
    if (unmounted.empty()) return std::nullopt;
    return FoundFloppy{unmounted.back(), true};
}

std::vector<MountEntry> ParseMountTable(const std::string& text) {
    std::vector<MountEntry> mounts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, fsType;
        if (!(fields >> device >> mountPoint >> fsType)) continue;
        MountEntry entry;
        entry.device = DecodeMountField(device);
        entry.mountPoint = DecodeMountField(mountPoint);
        entry.fsType = fsType;
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<MountEntry> ReadMountTable() {
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    std::vector<MountEntry> mounts = ParseMountTable(text.str());
    for (MountEntry& mount : mounts) {
        if (mount.device.rfind("/dev/", 0) != 0) continue;
        mount.removable = IsRemovableDevice(mount.device);
        if (!mount.removable) continue;
        if (auto space = SpaceOf(mount.mountPoint)) mount.totalBytes = space->TotalBytes();
    }
    return mounts;
}

std::string MediumIdentity(const std::string& location, const std::vector<MountEntry>& mounts,
                           const std::string& sysDevBlock) {
    std::string identity = location;
    if (IsBlockDevice(location)) {
        struct stat st {};
        if (::stat(location.c_str(), &st) == 0) {
            const std::string sys = sysDevBlock + "/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
            identity += "|sectors " + ReadSmallFile(sys + "/size");
        }
    }
    // The innermost mount holding the location, or the device's own mount.
    const MountEntry* holder = nullptr;
    for (const MountEntry& mount : mounts) {
        const std::string place = mount.mountPoint.empty() || mount.mountPoint.back() == '/' ? mount.mountPoint : mount.mountPoint + "/";
        const bool holds = location.rfind(place, 0) == 0 || location + "/" == place || mount.device == location;
        if (holds && (holder == nullptr || mount.mountPoint.size() >= holder->mountPoint.size())) holder = &mount;
    }
    if (holder != nullptr) {
        identity += "|" + holder->device + "|" + holder->mountPoint + "|" + holder->fsType;
        // A disk swapped in the same drive between two readings of the table.
        if (holder->removable) {
            if (auto space = SpaceOf(holder->mountPoint)) identity += "|free " + std::to_string(space->FreeBytes());
        }
    }
    return identity;
}

std::vector<std::string> FindFloppyDevices(const std::vector<MountEntry>& mounts, const std::string& sysBlock,
                                           const std::string& devFolder) {
    return FindRemovableDisks(mounts, kImageSectors, kImageSectors, sysBlock, devFolder);
}

std::vector<std::string> FindRemovableDisks(const std::vector<MountEntry>& mounts, std::uint64_t fewest, std::uint64_t most,
                                            const std::string& sysBlock, const std::string& devFolder) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(sysBlock, error)) {
        const fs::path sys = entry.path();
        // A partition has no removable flag of its own; its disk's folder holds it.
        const bool partition = fs::exists(sys / "partition", error);
        const fs::path disk = partition ? fs::canonical(sys, error).parent_path() : sys;
        if (ReadSmallFile(disk / "removable") != "1") continue;
        const std::string size = ReadSmallFile(sys / "size");
        if (size.empty() || size.find_first_not_of("0123456789") != std::string::npos || size.size() > 18) continue;
        if (const std::uint64_t sectors = std::stoull(size); sectors < fewest || sectors > most) continue;
        const std::string device = devFolder + "/" + sys.filename().string();
        // A disk whose partition is mounted counts as mounted.
        if (MountPointOf(device, mounts)) continue;
        found.push_back(device);
    }
    std::sort(found.begin(), found.end());
    return found;
}

MountTableWatch::MountTableWatch(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

void MountTableWatch::Clear() {
    if (!m_fd.valid()) return;
    char buffer[4096];
    ::lseek(m_fd.get(), 0, SEEK_SET);
    while (::read(m_fd.get(), buffer, sizeof buffer) > 0) {
    }
}

}  // namespace tunecrate
