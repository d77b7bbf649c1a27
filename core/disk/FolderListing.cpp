// SPDX-License-Identifier: MIT
#include "core/disk/FolderListing.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

#include "core/disk/FileOps.h"
#include "core/disk/Handles.h"

namespace tunecrate {

namespace {

bool IsFolder(int dirFd, const dirent* entry) {
    if (entry->d_type == DT_DIR) return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
    struct stat st {};
    return ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

template <typename Visit>
void ForEachEntry(std::string_view folder, Visit visit) {
    if (folder.empty()) return;
    DirHandle dir{std::string(folder)};
    if (!dir.valid()) return;   // no permission or gone: no children, no message
    while (const dirent* entry = dir.Next()) {
        if (!visit(dir.fd(), entry)) return;
    }
}

std::string WithoutTrailingSlash(std::string_view path) {
    std::string p(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

bool UnderRemovableMountFolders(std::string_view mountPoint) {
    for (std::string_view prefix : {"/media/", "/run/media/", "/mnt/"}) {
        if (mountPoint.substr(0, prefix.size()) == prefix && mountPoint.size() > prefix.size()) return true;
    }
    return mountPoint == "/mnt";
}

FolderEntry::Kind KindOf(mode_t mode) {
    using Kind = FolderEntry::Kind;
    if (S_ISREG(mode)) return Kind::File;
    if (S_ISDIR(mode)) return Kind::Folder;
    if (S_ISFIFO(mode)) return Kind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return Kind::Device;
    if (S_ISLNK(mode)) return Kind::Link;
    return Kind::Other;
}

std::optional<FolderEntry::Kind> KindOf(unsigned char type) {
    using Kind = FolderEntry::Kind;
    switch (type) {
        case DT_REG: return Kind::File;
        case DT_DIR: return Kind::Folder;
        case DT_FIFO: return Kind::Fifo;
        case DT_CHR: case DT_BLK: return Kind::Device;
        case DT_LNK: return Kind::Link;
        case DT_SOCK: return Kind::Other;
        default: return std::nullopt;
    }
}

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

}  // namespace

std::optional<std::vector<FolderEntry>> ListFolderEntries(std::string_view folder) {
    const std::string path(folder);
    DirHandle dir(path);
    if (!dir.valid()) return std::nullopt;
    std::vector<FolderEntry> entries;
    std::string realFolder;   // looked up at the first link
    const int fd = dir.fd();
    while (const dirent* entry = dir.Next()) {
        const std::string_view name = entry->d_name;
        FolderEntry& found = entries.emplace_back();
        found.name = name;
        struct stat st {};
        auto kind = KindOf(entry->d_type);
        if (!kind) kind = ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? KindOf(st.st_mode) : FolderEntry::Kind::Other;
        found.kind = *kind;
        if (found.kind != FolderEntry::Kind::Link) continue;
        if (::fstatat(fd, entry->d_name, &st, 0) != 0) continue;   // dangling, or a loop
        found.leadsTo = KindOf(st.st_mode);
        if (realFolder.empty()) realFolder = RealPath(path);
        const std::string target = RealPath(JoinPath(path, name));
        const auto slash = target.rfind('/');
        found.leadsInside = slash != std::string::npos && !realFolder.empty() &&
                            target.substr(0, std::max<std::size_t>(slash, 1)) == realFolder;
    }
    return entries;
}

std::optional<std::vector<std::string>> ListFiles(std::string_view folder) {
    DirHandle dir{std::string(folder)};
    if (!dir.valid()) return std::nullopt;
    std::vector<std::string> names;
    const int fd = dir.fd();
    while (const dirent* entry = dir.Next()) {
        struct stat st {};
        const bool file = entry->d_type == DT_REG ||
                          ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                           ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode));
        if (file) names.emplace_back(entry->d_name);
    }
    return names;
}

std::vector<std::string> ListSubfolders(std::string_view folder, bool hidden) {
    std::vector<std::string> names;
    ForEachEntry(folder, [&](int fd, const dirent* entry) {
        if ((hidden || entry->d_name[0] != '.') && IsFolder(fd, entry)) names.emplace_back(entry->d_name);
        return true;
    });
    return names;
}

bool HasContent(std::string_view folder, bool includeFiles, bool hiddenFolders) {
    bool found = false;
    ForEachEntry(folder, [&](int fd, const dirent* entry) {
        const bool shown = entry->d_name[0] != '.';
        if ((shown && includeFiles) || ((shown || hiddenFolders) && IsFolder(fd, entry))) found = true;
        return !found;   // the first hit is enough
    });
    return found;
}

std::vector<std::string> TopLevelFolders(const std::vector<MountEntry>& mounts, std::string_view home,
                                         std::string_view floppyRoot) {
    const std::string floppy = WithoutTrailingSlash(floppyRoot);
    std::vector<std::string> folders;
    auto add = [&](std::string_view path) {
        std::string p = WithoutTrailingSlash(path);
        if (p.empty() || (!floppy.empty() && p == floppy)) return;
        if (std::find(folders.begin(), folders.end(), p) == folders.end()) folders.push_back(p);
    };
    add("/");
    add(home);
    for (const MountEntry& mount : mounts) {
        if (UnderRemovableMountFolders(mount.mountPoint)) add(mount.mountPoint);
    }
    return folders;
}

}  // namespace tunecrate
