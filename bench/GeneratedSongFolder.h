// SPDX-License-Identifier: MIT
// A hard-disk folder of many songs, made once per benchmark program, and the
// least work any lister of it must do.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace tunecrate::bench {

inline constexpr int kSongCount = 10'000;

// Every song has a .B00 file, every second one an events file, every third a
// comment file; the extensions come in both letter cases, and the titles are
// written in an order far from their sorted one. Made in `parent`, removed
// when it goes.
class GeneratedSongFolder {
public:
    explicit GeneratedSongFolder(int songs = kSongCount, const std::string& parent = "/tmp") : m_songs(songs) {
        std::string pattern = parent + "/tunecrate-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        m_path = pattern;
        for (int i = 0; i < m_songs; ++i) {
            const std::string base = m_path + "/" + title(i);
            Write(base + (i % 4 < 2 ? ".B00" : ".b00"), 1'000 + static_cast<std::size_t>(i % 50) * 100);
            if (i % 2 == 0) {
                Write(base + (i % 3 == 0 ? ".EVT" : ".evt"), 200 + static_cast<std::size_t>(i % 300));
                ++m_events;
            }
            if (i % 3 == 0) {
                WriteText(base + (i % 2 ? ".cmt" : ".CMT"), "take" + std::to_string(Number(i)) + " notes");
                ++m_comments;
            }
        }
    }
    ~GeneratedSongFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    GeneratedSongFolder(const GeneratedSongFolder&) = delete;
    GeneratedSongFolder& operator=(const GeneratedSongFolder&) = delete;

    const std::string& path() const { return m_path; }
    int eventsFiles() const { return m_events; }
    int commentFiles() const { return m_comments; }
    int fileCount() const { return m_songs + m_events + m_comments; }
    // The title of the i-th song written: i % 6 == 0 has all three files.
    std::string title(int i) const {
        char text[32];
        std::snprintf(text, sizeof text, "%s %05d", i % 2 ? "Take" : "take", Number(i));
        return text;
    }

private:
    // 7919 is prime, so this visits every number once, scattered.
    int Number(int i) const { return static_cast<int>((static_cast<long>(i) * 7919) % m_songs); }
    static void Write(const std::string& path, std::size_t size) { WriteText(path, std::string(size, 's')); }
    static void WriteText(const std::string& path, const std::string& bytes) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            std::perror(path.c_str());
            std::exit(1);
        }
        ::close(fd);
    }

    int m_songs;
    std::string m_path;
    int m_events = 0;
    int m_comments = 0;
};

inline const GeneratedSongFolder& SongFolder() {
    static const GeneratedSongFolder folder;
    return folder;
}

// The floor for any lister: read the folder once and stat every entry; with
// `commentsRead`, also read every ".cmt"/".CMT" file whole and count them.
// Returns the number of entries seen; adds their sizes to `bytes`.
inline int ListAndStat(const std::string& folder, std::uint64_t& bytes, int* commentsRead = nullptr) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return -1;
    const int fd = ::dirfd(dir);
    int entries = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, 0) == 0) bytes += static_cast<std::uint64_t>(st.st_size);
        ++entries;
        const std::string_view ext = name.size() >= 4 ? name.substr(name.size() - 4) : std::string_view();
        if (commentsRead == nullptr || (ext != ".cmt" && ext != ".CMT")) continue;
        const int file = ::openat(fd, entry->d_name, O_RDONLY | O_CLOEXEC);
        if (file < 0) continue;
        char buffer[512];
        ssize_t n;
        while ((n = ::read(file, buffer, sizeof buffer)) > 0) bytes += static_cast<std::uint64_t>(n);
        ::close(file);
        ++*commentsRead;
    }
    ::closedir(dir);
    return entries;
}

}  // namespace tunecrate::bench
