// SPDX-License-Identifier: MIT
#pragma once

#include <dirent.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tunecrate {

// Owns one file descriptor and closes it.
class Fd {
public:
    explicit Fd(int fd = -1) noexcept : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        reset(other.release());
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1) noexcept;
    int release() noexcept {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// An open folder read entry by entry ("." and ".." skipped); closes itself.
class DirHandle {
public:
    // Opens the folder at `path`; not valid(), with errno set, when it cannot.
    explicit DirHandle(const std::string& path);
    // A reading of its own of an already open folder: a reading moves its
    // descriptor's offset, so it never shares the caller's.
    static DirHandle Of(int folderFd);

    bool valid() const { return m_dir != nullptr; }
    // The folder's descriptor, for the *at() calls on its entries.
    int fd() const;
    // The next entry; nullptr at the end.
    const dirent* Next();
    void Close() { m_dir.reset(); }

private:
    DirHandle() = default;
    struct Closer {
        void operator()(DIR* dir) const;
    };
    std::unique_ptr<DIR, Closer> m_dir;
};

// The names in a folder (an open one), all read before any is changed, so
// that a removal cannot disturb the reading; nullopt, with errno set, when
// the folder cannot be read.
std::optional<std::vector<std::string>> NamesIn(const std::string& folder);
std::optional<std::vector<std::string>> NamesInOpen(int folderFd);

}  // namespace tunecrate
