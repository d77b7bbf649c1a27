// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tunecrate::testing {

// A fresh folder under /tmp for one test, removed with everything in it after.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/tunecrate-test-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
            return;
        }
        m_path = pattern;
    }
    ~TempDir() {
        if (m_path.empty()) return;
        std::error_code ignored;
        // Permissions taken away by a test must not keep its files alive.
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string Path(std::string_view name) const { return m_path + "/" + std::string(name); }

    void Write(std::string_view name, std::string_view bytes) const {
        std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << "cannot write " << Path(name);
    }
    // A file of `size` bytes, for slot files whose content does not matter.
    void WriteSized(std::string_view name, std::size_t size) const { Write(name, std::string(size, 'x')); }

    std::optional<std::string> Read(std::string_view name) const {
        std::ifstream in(Path(name), std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(std::string_view name) const {
        struct stat st {};
        return ::lstat(Path(name).c_str(), &st) == 0;
    }
    std::size_t EntryCount() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_path)) ++n;
        return n;
    }

private:
    std::string m_path;
};

inline bool RunningAsRoot() { return ::geteuid() == 0; }

// A small tmpfs mounted on a fresh folder, for a full or read-only disk that
// a plain folder cannot give. Only root can mount; `mounted()` says whether it worked.
class TmpfsMount {
public:
    explicit TmpfsMount(const std::string& options) {
        if (!RunningAsRoot() || m_dir.path().empty()) return;
        m_mounted = ::mount("tmpfs", m_dir.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~TmpfsMount() {
        if (m_mounted) ::umount2(m_dir.path().c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return m_mounted; }
    const TempDir& dir() const { return m_dir; }
    bool RemountReadOnly() const {
        return ::mount("tmpfs", m_dir.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    TempDir m_dir;
    bool m_mounted = false;
};

// Runs `check` in a forked child and returns its verdict, for tests that must
// change what the process may do (give up root, chroot) without changing it
// for the tests after them. A child that dies counts as false.
template <typename Check>
bool InChildProcess(Check check) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return false;
    }
    // _exit: the child must not run the parent's exit handlers (leak checks, gtest).
    if (pid == 0) ::_exit(check() ? 0 : 1);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// In a child process: give up root for good, so that file permissions bind as
// they do for a user. Without root there is nothing to give up.
inline bool BecomeUnprivileged() {
    if (!RunningAsRoot()) return true;
    const unsigned nobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0 && ::geteuid() == nobody;
}

// Writes `path` until the file system holding it has no byte left.
inline void FillDisk(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    const std::string chunk(4096, 'f');
    while (::write(fd, chunk.data(), chunk.size()) > 0) {
    }
    // The last partial page, byte by byte.
    while (::write(fd, chunk.data(), 1) > 0) {
    }
    ::close(fd);
}

// A string of `count` copies of `piece`.
inline std::string Repeat(std::string_view piece, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += piece;
    return out;
}

}  // namespace tunecrate::testing
