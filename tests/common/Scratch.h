// SPDX-License-Identifier: MIT
// Places for tests to work in: temporary folders, small tmpfs mounts (full or
// read-only disks), child processes that give up root, and the FAT tools
// that judge our images (fsck.fat, mtools), which CI installs.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tunecrate::testing {

using namespace std::literals;
using Strings = std::vector<std::string>;

inline std::optional<std::string> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    // In blocks, not a character at a time: a stick's dump is megabytes.
    std::string bytes;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) bytes.append(block, static_cast<std::size_t>(in.gcount()));
    return bytes;
}

inline void WriteWhole(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

// A sparse file of `size` bytes with `bytes` put at the given offsets: a
// stick's dump that takes little room.
inline void MakeSparseFile(const std::string& path, std::uint64_t size, const std::vector<std::pair<std::uint64_t, std::string>>& bytes) {
    WriteWhole(path, "");
    std::filesystem::resize_file(path, size);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    for (const auto& [at, what] : bytes) {
        file.seekp(static_cast<std::streamoff>(at));
        file.write(what.data(), static_cast<std::streamsize>(what.size()));
    }
    EXPECT_TRUE(file.good()) << "cannot write " << path;
}

inline std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

inline std::string Repeat(std::string_view text, int count) {
    std::string out;
    while (count-- > 0) out += text;
    return out;
}

// A fresh folder under /tmp, removed with everything in it (modes restored first).
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/tunecrate-test-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) m_path = pattern;
        EXPECT_FALSE(m_path.empty()) << std::strerror(errno);
    }
    ~TempDir() {
        std::error_code ignored;
        namespace fs = std::filesystem;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (auto it = fs::recursive_directory_iterator(m_path, ignored); it != fs::recursive_directory_iterator();
             it.increment(ignored))
            if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string Path(std::string_view name) const { return m_path + "/" + std::string(name); }

private:
    std::string m_path;
};

inline bool RunningAsRoot() { return ::geteuid() == 0; }

// A small tmpfs on a fresh folder, for a full or read-only disk; root only.
class Tmpfs {
public:
    explicit Tmpfs(const std::string& options) {
        if (RunningAsRoot()) m_mounted = ::mount("tmpfs", m_dir.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~Tmpfs() {
        if (m_mounted) ::umount2(m_dir.path().c_str(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    bool mounted() const { return m_mounted; }
    const std::string& path() const { return m_dir.path(); }
    bool MakeReadOnly() const {
        return ::mount("tmpfs", m_dir.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    TempDir m_dir;
    bool m_mounted = false;
};

// Runs `check` in a child process: for tests that give up root or change
// what the process may do. A child that dies counts as false.
template <typename Check>
bool InChildProcess(Check check) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(check() ? 0 : 1);
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) continue;
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// In a child: file permissions bind as they do for a user.
inline bool BecomeUnprivileged() {
    if (!RunningAsRoot()) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

struct PeerRun { int exitCode = -1; std::string output; };

// A shell line run with `args` quoted and `redirect` appended.
inline PeerRun RunCommand(std::string line, const std::vector<std::string>& args, const char* redirect) {
    for (const std::string& arg : args) line += " '" + arg + "'";   // our paths hold no quote
    PeerRun run;
    FILE* pipe = ::popen((line + redirect).c_str(), "r");
    char buffer[4096];
    for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    if (status != -1) run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// `file` attached to a free loop device while the object lives; no path when that fails.
class LoopDevice {
public:
    explicit LoopDevice(const std::string& file) {
        const PeerRun run = RunningAsRoot() ? RunCommand("losetup -f --show", {file}, " 2>/dev/null") : PeerRun{};
        if (run.exitCode == 0 && run.output.starts_with("/dev/")) m_path = run.output.substr(0, run.output.find('\n'));
    }
    ~LoopDevice() { Detach(); }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;
    void Detach() {
        if (m_path.empty()) return;
        EXPECT_EQ(RunCommand("losetup -d", {std::exchange(m_path, "")}, " 2>&1").exitCode, 0) << "losetup -d";
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Runs a FAT tool, also found in the sbin folders; mtools refuses geometries
// it finds odd unless told not to check.
inline PeerRun RunPeer(const std::vector<std::string>& args) {
    PeerRun run = RunCommand("PATH=\"$PATH:/usr/sbin:/sbin\" MTOOLS_SKIP_CHECK=1 exec", args, " 2>&1");
    EXPECT_NE(run.exitCode, 127) << "cannot run " << args[0] << " (dosfstools and mtools are needed)";
    return run;
}

inline PeerRun Fsck(const std::string& image) { return RunPeer({"fsck.fat", "-n", image}); }

// What fsck.fat may say of an image a crash interrupted: nothing, or that
// clusters belong to no file (and the FATs differ about such, the first used),
// or that the long name "Old name.b00", left without its file before, is still so.
inline std::string FsckComplaint(const std::string& image) {
    const PeerRun run = Fsck(image);
    std::istringstream lines(run.output);
    bool oldName = false;
    for (std::string line; run.exitCode != 0 && std::getline(lines, line);) {
        const bool toldOfOldName = oldName && line == "  Auto-deleting.";
        if ((oldName = line == "Orphaned long file name part \"Old name.b00\"") || toldOfOldName) continue;
        for (const char* harmless : {"fsck.fat ", "Reclaimed ", "FATs differ but appear to be intact.",
                                     "  Using first FAT.", "Leaving filesystem unchanged.", image.c_str()})
            if (line.rfind(harmless, 0) == 0) line.clear();
        if (!line.empty()) return run.output;
    }
    return {};
}

// The root's files as mcopy reads them, names in upper case; a file it
// cannot read is missing.
inline std::map<std::string, std::string> PeerFiles(const std::string& image) {
    TempDir out;
    RunPeer({"mcopy", "-n", "-i", image, "::*", out.path()});
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
        files[Upper(entry.path().filename().string())] = ReadWhole(entry.path()).value_or("");
    }
    return files;
}

}  // namespace tunecrate::testing
