// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>
#include <sys/stat.h>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FolderVolume.h"
#include "core/songs/Transfer.h"

namespace tunecrate::testing {

// Song content that a wrong copy cannot pass for: every byte value occurs,
// line ends and zero bytes included, and `tag` makes each song different.
inline std::string SongData(std::string_view tag, std::size_t size) {
    std::string bytes(tag);
    bytes += '\0';
    std::uint32_t state = 2166136261u;
    for (char c : tag) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
    while (bytes.size() < size) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 16);
    }
    bytes.resize(size);
    return bytes;
}

// song.nam: the titles on the first lines, `rest` on the others, 40 lines of
// 17 bytes and CR LF as the instrument writes them.
inline std::string TitlesFile(const std::vector<std::string>& titles, std::string_view rest = "") {
    std::string bytes;
    for (std::size_t line = 0; line < 40; ++line) {
        std::string title = line < titles.size() ? titles[line] : std::string(rest);
        title.resize(17, ' ');
        bytes += title + "\r\n";
    }
    return bytes;
}

inline std::string CommentsFile(const std::vector<std::string>& comments, std::string_view rest = "") {
    std::string bytes;
    for (std::size_t line = 0; line < 40; ++line) {
        bytes += (line < comments.size() ? comments[line] : std::string(rest)) + "\r\n";
    }
    return bytes;
}

// Line `number` (1-based) of a catalogue file without its line end; nullopt
// when the file has fewer lines.
inline std::optional<std::string> CatalogueLine(const std::string& file, int number) {
    std::size_t begin = 0;
    for (int line = 1; line < number; ++line) {
        begin = file.find('\n', begin);
        if (begin == std::string::npos) return std::nullopt;
        ++begin;
    }
    if (begin >= file.size()) return std::nullopt;
    std::size_t end = file.find('\n', begin);
    std::string line = file.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The whole content of a file; nullopt when it cannot be read.
inline std::optional<std::string> ReadWhole(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    std::string bytes;
    char buffer[8192];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

// A short fingerprint of a file's bytes (size and FNV-1a), so that a failing
// comparison prints something a person can read.
inline std::string Checksum(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char text[48];
    std::snprintf(text, sizeof text, "%zu:%016llx", bytes.size(), static_cast<unsigned long long>(hash));
    return text;
}

// How a file's content is compared: short text as itself, so a failure
// shows it; song data as its checksum, so a failure stays readable.
inline std::string Fingerprint(std::string_view bytes) {
    return bytes.size() <= 64 ? std::string(bytes) : Checksum(bytes);
}

inline std::optional<std::string> FingerprintIfAny(const std::optional<std::string>& bytes) {
    if (!bytes) return std::nullopt;
    return Fingerprint(*bytes);
}

// Every entry under a folder with the fingerprint of its content ("<dir>"
// for folders), by path relative to the folder.
using Snapshot = std::map<std::string, std::string>;

// The snapshot a folder holding exactly these files gives.
inline Snapshot Files(std::initializer_list<std::pair<const std::string, std::string>> files) {
    Snapshot entries;
    for (const auto& [name, bytes] : files) entries[name] = Fingerprint(bytes);
    return entries;
}

inline Snapshot TakeSnapshot(const std::string& root) {
    Snapshot entries;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const std::string name = std::filesystem::relative(it->path(), root).string();
        if (it->is_directory()) {
            entries[name] = "<dir>";
            continue;
        }
        entries[name] = Fingerprint(ReadWhole(it->path()).value_or("<unreadable>"));
    }
    return entries;
}

// The checksums of every song file (.B00 and .EVT, any case) under the
// folders. A move must leave this unchanged; a copy may only add to it.
inline std::multiset<std::string> SongChecksums(const std::vector<std::string>& folders) {
    std::multiset<std::string> sums;
    for (const std::string& folder : folders) {
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
             it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            std::string extension = it->path().extension().string();
            for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (!it->is_regular_file() || (extension != ".b00" && extension != ".evt")) continue;
            sums.insert(Checksum(ReadWhole(it->path()).value_or("<unreadable>")));
        }
    }
    return sums;
}

inline bool Includes(const std::multiset<std::string>& all, const std::multiset<std::string>& part) {
    return std::includes(all.begin(), all.end(), part.begin(), part.end());
}

// The titles and the comments of slot rows, to compare all five at once.
inline std::vector<std::string> RowTitles(const std::vector<SlotRow>& rows) {
    std::vector<std::string> titles;
    for (const SlotRow& row : rows) titles.push_back(row.title);
    return titles;
}

inline std::vector<std::string> RowComments(const std::vector<SlotRow>& rows) {
    std::vector<std::string> comments;
    for (const SlotRow& row : rows) comments.push_back(row.comment);
    return comments;
}

// A floppy folder, a hard disk folder and the user, for the drop tests.
class TransferTest : public ::testing::Test {
protected:
    // One slot of a floppy made for a test; an empty `song` leaves the slot empty.
    struct Slot {
        std::string title;
        std::string comment;
        std::string song;
        std::string events;   // empty: no .EVT file
    };

    // Writes the slot files and both catalogue files, with `rest` on lines 6
    // to 40, and reads the rows as the floppy list holds them.
    void MakeFloppy(const std::vector<Slot>& slots, std::string_view rest = "") {
        std::vector<std::string> titles, comments;
        for (std::size_t i = 0; i < slots.size(); ++i) {
            const std::string base = "MDR_0" + std::to_string(i);
            if (!slots[i].song.empty()) floppyDir->Write(base + ".B00", slots[i].song);
            if (!slots[i].events.empty()) floppyDir->Write(base + ".EVT", slots[i].events);
            titles.push_back(slots[i].title);
            comments.push_back(slots[i].comment);
        }
        while (titles.size() < 5) {
            titles.emplace_back();
            comments.emplace_back();
        }
        floppyDir->Write("song.nam", TitlesFile(titles, rest));
        floppyDir->Write("comments.dat", CommentsFile(comments, rest));
        rows = Reread();
        ASSERT_EQ(rows.size(), 5u);
    }

    // The rows a reading of the floppy gives now.
    std::vector<SlotRow> Reread() {
        CatalogueReading reading = ReadCatalogue(&*volume);
        EXPECT_TRUE(reading.readable);
        return reading.rows;
    }

    // A folder of the hard disk, made when missing.
    std::string Folder(std::string_view name) const {
        const std::string path = disk.Path(name);
        ::mkdir(path.c_str(), 0755);
        return path;
    }

    // A hard-disk song; empty events or comment give no such file.
    static void PutSong(const std::string& folder, const std::string& title, const std::string& song,
                        const std::string& events = "", std::optional<std::string> comment = std::nullopt) {
        WriteHostFile(folder + "/" + title + ".B00", song);
        if (!events.empty()) WriteHostFile(folder + "/" + title + ".EVT", events);
        if (comment) WriteHostFile(folder + "/" + title + ".cmt", *comment);
    }

    static void WriteHostFile(const std::string& path, std::string_view bytes) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path;
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size()) << path;
        ASSERT_EQ(std::fclose(file), 0) << path;
    }

    // The floppy is this folder instead of the test's own (a small tmpfs).
    void UseFloppy(const TempDir& dir) {
        floppyDir = &dir;
        volume.emplace(dir.path());
    }

    DropContext Context(bool move) { return DropContext{&*volume, rows, prompter, move}; }

    TempDir ownFloppy;
    TempDir disk;
    const TempDir* floppyDir = &ownFloppy;
    std::optional<FolderVolume> volume{std::in_place, ownFloppy.path()};
    std::vector<SlotRow> rows;
    ScriptedPrompter prompter;
};

}  // namespace tunecrate::testing
