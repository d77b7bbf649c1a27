// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SongDisk.h"

extern char** environ;

namespace tunecrate::testing {

// Floppy images checked with tools nobody here wrote: dosfstools (mkfs.fat,
// fsck.fat) and mtools (mcopy, mdir, mtype). CI installs them, so a missing
// one fails the test rather than skipping it.

// The full path of a peer tool, also looked for in the sbin folders that a
// user's PATH often lacks; empty (and a failure) when it is not installed.
inline std::string PeerTool(std::string_view name) {
    std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin:/usr/bin:/bin";
    std::stringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + std::string(name);
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    ADD_FAILURE() << "peer tool " << name << " is not installed (dosfstools and mtools are needed)";
    return {};
}

struct PeerRun {
    int exitCode = -1;
    std::string output;   // stdout and stderr together
};

// Runs a peer tool without a shell; `args[0]` is the tool's name.
inline PeerRun RunPeer(const std::vector<std::string>& args) {
    PeerRun run;
    const std::string tool = PeerTool(args.at(0));
    if (tool.empty()) return run;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // mtools refuses image geometries it finds odd unless told not to check.
    std::string skipCheck = "MTOOLS_SKIP_CHECK=1";
    std::vector<char*> env{skipCheck.data()};
    for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
    env.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        ADD_FAILURE() << "cannot run " << tool << ": " << std::strerror(spawned);
        return run;
    }
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// A blank 1.44 MB image as mkfs.fat formats it.
inline void MakeMkfsImage(const std::string& path) {
    const PeerRun run = RunPeer({"mkfs.fat", "-C", "-F", "12", path, "1440"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
}

// fsck.fat without repairing; exit 0 means it found nothing wrong.
inline PeerRun Fsck(const std::string& image) { return RunPeer({"fsck.fat", "-n", image}); }

inline void Mcopy(const std::string& image, const std::string& hostPath, const std::string& name) {
    const PeerRun run = RunPeer({"mcopy", "-i", image, hostPath, "::" + name});
    ASSERT_EQ(run.exitCode, 0) << run.output;
}

inline std::optional<std::string> Mtype(const std::string& image, const std::string& name) {
    PeerRun run = RunPeer({"mtype", "-i", image, "::" + name});
    if (run.exitCode != 0) return std::nullopt;
    return std::move(run.output);
}

// What mdir lists in the root: each file's long name, else its short name
// as shown (lower case where the case flags say so), with its size.
struct Listing {
    std::map<std::string, std::uint64_t> files;
    std::optional<std::uint64_t> freeBytes;
    std::string raw;
};

inline Listing Mdir(const std::string& image) {
    Listing listing;
    const PeerRun run = RunPeer({"mdir", "-i", image, "::"});
    listing.raw = run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    auto trimmed = [](std::string s) {
        s.erase(0, std::min(s.find_first_not_of(' '), s.size()));
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
    };
    std::stringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        if (const std::size_t end = line.find("bytes free"); end != std::string::npos) {
            std::string digits;
            for (char c : line.substr(0, end)) {
                if (c >= '0' && c <= '9') digits += c;
            }
            if (!digits.empty()) listing.freeBytes = std::stoull(digits);
            continue;
        }
        // "MIXEDC~1 TXT      1300 2024-01-02  10:20  Mixed Case Name.txt": the
        // short name in fixed columns, then size, date, time and the long name.
        if (line.size() < 13 || line[0] == ' ' || line[8] != ' ') continue;
        std::istringstream fields(line.substr(12));
        std::string size, date, time, longName;
        if (!(fields >> size >> date >> time) || size.find_first_not_of("0123456789") != std::string::npos) continue;
        std::getline(fields, longName);
        std::string name = trimmed(longName);
        if (name.empty()) {
            name = trimmed(line.substr(0, 8));
            if (const std::string extension = trimmed(line.substr(9, 3)); !extension.empty()) name += "." + extension;
        }
        listing.files[name] = std::stoull(size);
    }
    return listing;
}

inline std::string ReadImage(const std::string& path) { return ReadWhole(path).value_or("<unreadable>"); }

// Overwrites bytes of a file in place.
inline void PatchFile(const std::string& path, std::uint64_t offset, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path << ": " << std::strerror(errno);
    const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    ::close(fd);
    ASSERT_EQ(written, static_cast<ssize_t>(bytes.size())) << path;
}

// Layout of a 1.44 MB floppy as mkfs.fat and we format it: boot sector,
// two FATs of nine sectors, a root of 14 sectors, then cluster 2.
inline constexpr std::uint64_t kFat1Offset = 512;
inline constexpr std::uint64_t kFat2Offset = 10 * 512;
inline constexpr std::uint64_t kRootOffset = 19 * 512;
inline constexpr std::uint64_t kDataOffset = 33 * 512;

// Sets one 12-bit FAT entry in both FATs of an image file.
inline void PatchFatEntry(const std::string& path, std::uint16_t cluster, std::uint16_t value) {
    const std::string image = ReadImage(path);
    const std::size_t at = cluster + cluster / 2u;
    for (std::uint64_t fat : {kFat1Offset, kFat2Offset}) {
        unsigned pair = static_cast<unsigned char>(image[fat + at]) | (static_cast<unsigned char>(image[fat + at + 1]) << 8);
        pair = (cluster & 1) ? ((pair & 0x000F) | (unsigned{value} << 4)) : ((pair & 0xF000) | (value & 0xFFFu));
        const char bytes[2] = {static_cast<char>(pair & 0xFF), static_cast<char>(pair >> 8)};
        PatchFile(path, fat + at, std::string_view(bytes, 2));
    }
}

// The 32 bytes of root directory slot `slot`.
inline std::string RootSlot(const std::string& image, std::uint32_t slot) {
    return image.substr(kRootOffset + slot * 32u, 32);
}

}  // namespace tunecrate::testing
