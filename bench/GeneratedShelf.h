// SPDX-License-Identifier: MIT
// A shelf folder of song floppy images with titles and comments, made once
// per benchmark program and checked before any timing.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk/FatImage.h"
#include "core/disk/FileOps.h"
#include "core/disk/ImageVolume.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/Shelf.h"
#include "core/songs/SongFloppyImage.h"
#include "core/text/Encoding.h"
#include "core/text/SongNames.h"

namespace tunecrate::bench {

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "cannot prepare the shelf: %s\n", what.c_str());
    std::exit(1);
}

inline std::string Cp932(const std::string& utf8) {
    auto bytes = tunecrate::Utf8ToCp932(utf8);
    if (!bytes) Fail("no CP932 for " + utf8);
    return *bytes;
}

// Titles and comments as a player writes them, some in half-width or
// full-width katakana and full-width Latin, so that the search has to fold.
inline const std::array<std::string, 8> kTitles = {"Slow Blues", "ﾌﾞﾙｰｽ", "ブルース", "Take", "ﾊﾞﾗｰﾄﾞ", "夕焼け", "Shuffle", "ＢＬＵＥＳ"};
inline const std::array<std::string, 6> kComments = {"bpm 92, key of E", "ライブ用 ", "ｷｰ A ﾌﾞﾙｰｽ ", "slow blues in A, take ",
                                              "リハーサル ", ""};

inline std::string TitleOf(int row, int slot) {
    return kTitles[static_cast<std::size_t>(row * 5 + slot) % kTitles.size()] + " " + std::to_string(row % 1000);
}
inline std::string CommentOf(int row, int slot) {
    const std::string& text = kComments[static_cast<std::size_t>(row * 3 + slot) % kComments.size()];
    return text.empty() || text.back() != ' ' ? text : text + std::to_string(row % 1000);
}

// Writes reach the image file but are never flushed: images made for a
// benchmark need not be durable, and a flush per step would take minutes.
class UnflushedStore final : public tunecrate::ImageStore {
public:
    explicit UnflushedStore(std::unique_ptr<tunecrate::ImageStore> inner) : m_inner(std::move(inner)) {}
    bool Read(std::uint64_t offset, char* data, std::size_t size) override { return m_inner->Read(offset, data, size); }
    bool Write(std::uint64_t offset, std::string_view bytes) override { return m_inner->Write(offset, bytes); }
    bool Flush() override { return true; }

private:
    std::unique_ptr<tunecrate::ImageStore> m_inner;
};

inline std::unique_ptr<tunecrate::ImageStore> Unflushed(std::unique_ptr<tunecrate::ImageStore> inner) {
    return std::make_unique<UnflushedStore>(std::move(inner));
}

// The system area (boot sector, FATs, root) is written whole, of the rest
// only the blocks that hold something: most of each floppy is empty, and a
// thousand whole images would put 1.4 GB through a shared disk.
inline void WriteImageFile(const std::string& path, const std::string& image) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) Fail("cannot create " + path);
    constexpr std::size_t kSystemBytes = 33 * tunecrate::kImageSectorBytes, kBlock = 4096;
    bool written = true;
    for (std::size_t at = 0; written && at < image.size(); at += kBlock) {
        const std::string_view block = std::string_view(image).substr(at, kBlock);
        if (at >= kSystemBytes && block.find_first_not_of('\0') == std::string_view::npos) continue;
        written = ::pwrite(fd, block.data(), block.size(), static_cast<off_t>(at)) == static_cast<ssize_t>(block.size());
    }
    written = written && ::ftruncate(fd, static_cast<off_t>(image.size())) == 0;
    ::close(fd);
    if (!written) Fail("cannot write " + path);
}

// One image as it was made, to check the reading against.
struct MadeImage {
    std::string file;
    int songs = 0;
    std::array<std::string, tunecrate::kSlotCount> titles;   // CP932
};

// A folder of `count` song floppy images, each holding 2 to 5 songs of a few
// KB with titles and comments; most are named DSKA0000.IMG.., every tenth
// carries a label. Made in an order far from the shelf's, on tmpfs where
// there is one (/dev/shm); removed at exit.
class PreparedShelf {
public:
    explicit PreparedShelf(int count) : m_count(count) {
        char pattern[] = "/dev/shm/tunecrate-bench-XXXXXX";
        if (::access("/dev/shm", W_OK) != 0) std::memcpy(pattern, "/tmp/", 5);
        if (::mkdtemp(pattern) == nullptr) Fail("mkdtemp");
        m_folder = pattern;
        const std::string blankPath = m_folder + "/blank.floppy";
        if (!tunecrate::CreateSongFloppyImage(blankPath).ok()) Fail("CreateSongFloppyImage");
        std::ifstream in(blankPath, std::ios::binary);
        const std::string blank{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        in.close();
        ::unlink(blankPath.c_str());
        if (blank.size() != tunecrate::kImageBytes) Fail("the blank image has the wrong size");

        m_made.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            // 7919 is prime, so this visits every number once, scattered.
            const int number = static_cast<int>((static_cast<long>(i) * 7919) % count);
            MakeImage(number, blank);
        }
        Check();
    }
    ~PreparedShelf() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    PreparedShelf(const PreparedShelf&) = delete;
    PreparedShelf& operator=(const PreparedShelf&) = delete;

    const std::string& folder() const { return m_folder; }
    int count() const { return m_count; }

private:
    void MakeImage(int number, const std::string& blank) {
        char name[64];
        if (number % 10 == 3) {
            std::snprintf(name, sizeof name, "DSKA%04d Gig %d.img", number, number / 10);
        } else {
            std::snprintf(name, sizeof name, "DSKA%04d.IMG", number);
        }
        MadeImage& made = m_made[static_cast<std::size_t>(number)];
        made.file = name;
        made.songs = 2 + number % 4;
        const std::string path = m_folder + "/" + made.file;
        WriteImageFile(path, blank);

        tunecrate::ImageVolume volume(path, Unflushed);
        if (!volume.Opened().ok()) Fail(volume.Opened().reason);
        std::vector<tunecrate::FileChange> songs;
        std::vector<tunecrate::SlotText> texts;
        for (int k = 0; k < made.songs; ++k) {
            const int slot = (number + k) % tunecrate::kSlotCount;
            const std::string base = tunecrate::SlotName(slot);
            const std::size_t songBytes = 2'000 + static_cast<std::size_t>(number * 37 + slot * 500) % 4'000;
            songs.push_back({base + ".B00", std::string(songBytes, static_cast<char>('a' + slot))});
            songs.push_back({base + ".EVT", std::string(300 + 50 * static_cast<std::size_t>(slot), 'e')});
            made.titles[static_cast<std::size_t>(slot)] = Cp932(TitleOf(number, slot));
            texts.push_back({slot, made.titles[static_cast<std::size_t>(slot)], Cp932(CommentOf(number, slot))});
        }
        if (!volume.Apply(songs, tunecrate::CatalogueReserve::Keep).ok()) Fail("writing the songs of " + path);
        if (!tunecrate::UpdateCatalogue(volume, texts).ok()) Fail("writing the catalogue of " + path);
    }

    // Every image must read back as made, or the timings mean nothing.
    void Check() const {
        const auto files = tunecrate::ListShelfImages(m_folder);
        if (!files || files->size() != static_cast<std::size_t>(m_count)) Fail("the shelf does not list every image");
        for (std::size_t i = 0; i < files->size(); ++i) {
            const MadeImage& made = m_made[i];
            const tunecrate::ShelfRow row = tunecrate::ReadShelfImage(m_folder, (*files)[i]);
            if ((*files)[i] != made.file || !row.usable() || row.songs != made.songs || row.titles != made.titles) {
                Fail((*files)[i] + " does not read back as made: " + row.condition.reason);
            }
        }
    }

    int m_count;
    std::string m_folder;
    std::vector<MadeImage> m_made;   // by number, which is the shelf order
};

}  // namespace tunecrate::bench
