// SPDX-License-Identifier: MIT
#include "core/disk/Handles.h"

#include <fcntl.h>
#include <unistd.h>

#include <string_view>

namespace tunecrate {

void Fd::reset(int fd) noexcept {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

DirHandle::DirHandle(const std::string& path) : m_dir(::opendir(path.c_str())) {}

DirHandle DirHandle::Of(int folderFd) {
    DirHandle handle;
    Fd fd(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) return handle;
    handle.m_dir.reset(::fdopendir(fd.get()));
    if (handle.m_dir) fd.release();   // the reading owns it now
    return handle;
}

int DirHandle::fd() const { return m_dir ? ::dirfd(m_dir.get()) : -1; }

const dirent* DirHandle::Next() {
    if (!m_dir) return nullptr;
    while (const dirent* entry = ::readdir(m_dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") return entry;
    }
    return nullptr;
}

void DirHandle::Closer::operator()(DIR* dir) const { ::closedir(dir); }

namespace {

std::optional<std::vector<std::string>> NamesOf(DirHandle dir) {
    if (!dir.valid()) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = dir.Next()) names.emplace_back(entry->d_name);
    return names;
}

}  // namespace

std::optional<std::vector<std::string>> NamesIn(const std::string& folder) { return NamesOf(DirHandle(folder)); }

std::optional<std::vector<std::string>> NamesInOpen(int folderFd) { return NamesOf(DirHandle::Of(folderFd)); }

}  // namespace tunecrate
