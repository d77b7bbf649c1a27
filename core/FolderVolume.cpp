// SPDX-License-Identifier: MIT
#include "core/FolderVolume.h"

#include <cerrno>
#include <sys/stat.h>

namespace tunecrate {

FolderVolume::FolderVolume(std::string root) : m_root(std::move(root)) {
    if (m_root.empty() || m_root.back() != '/') m_root += '/';
}

std::optional<std::string> FolderVolume::RealName(std::string_view name) const {
    // The spelling asked for is the common case (and on a FAT mount every
    // spelling is); only a miss costs a listing of the folder.
    struct stat st {};
    const std::string exact = m_root + std::string(name);
    if (::lstat(exact.c_str(), &st) == 0) return std::string(name);
    return FindNameNoCase(m_root, name);
}

std::string FolderVolume::PathOf(std::string_view name) const {
    // The real spelling of an existing case variant, else the name as given.
    auto real = RealName(name);
    return m_root + (real ? *real : std::string(name));
}

std::optional<SpaceInfo> FolderVolume::Space() const {
    return SpaceOf(m_root);
}

bool FolderVolume::Exists(std::string_view name) const {
    return RealName(name).has_value();
}

std::optional<std::uint64_t> FolderVolume::FileSize(std::string_view name) const {
    auto real = RealName(name);
    if (!real) return std::nullopt;
    return tunecrate::FileSize(m_root + *real);
}

std::optional<std::string> FolderVolume::ReadFile(std::string_view name, std::size_t maxBytes) const {
    auto real = RealName(name);
    if (!real) return std::nullopt;
    return ReadFileBytes(m_root + *real, maxBytes);
}

FileResult FolderVolume::WriteFile(std::string_view name, std::string_view bytes) {
    return WriteFileBytes(PathOf(name), bytes);
}

FileResult FolderVolume::Remove(std::string_view name) {
    return RemoveNameNoCase(m_root, name);
}

FileResult FolderVolume::CopyFromHost(const std::string& hostPath, std::string_view name, bool failIfExists) {
    // A missing source is reported as such, never as a taken slot.
    if (!tunecrate::FileSize(hostPath)) return FileResult::FromErrno(ENOENT);
    if (failIfExists && Exists(name)) return FileResult::FromErrno(EEXIST);
    return CopyFile(hostPath, PathOf(name), failIfExists);
}

FileResult FolderVolume::CopyToHost(std::string_view name, const std::string& hostPath, bool failIfExists) {
    auto real = RealName(name);
    if (!real) return FileResult::FromErrno(ENOENT);
    return CopyFile(m_root + *real, hostPath, failIfExists);
}

void FolderVolume::Flush() {
    SyncFolder(m_root);
}

}  // namespace tunecrate
