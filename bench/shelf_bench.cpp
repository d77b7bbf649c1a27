// SPDX-License-Identifier: MIT
// The disk shelf: a folder of 1,000 song floppy images read row by row, set
// against the least any reader must do (list the folder; open each image and
// read its boot sector, one FAT, the root and the clusters of song.nam and
// comments.dat); the rows a window shows first; the search over 1,000 rows.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
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

namespace {

constexpr int kImageCount = 1'000;
constexpr int kFirstRows = 20;   // what a shelf window shows before it scrolls

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "cannot prepare the shelf: %s\n", what.c_str());
    std::exit(1);
}

std::string Cp932(const std::string& utf8) {
    auto bytes = tunecrate::Utf8ToCp932(utf8);
    if (!bytes) Fail("no CP932 for " + utf8);
    return *bytes;
}

// Titles and comments as a player writes them, some in half-width or
// full-width katakana and full-width Latin, so that the search has to fold.
const std::array<std::string, 8> kTitles = {"Slow Blues", "ﾌﾞﾙｰｽ", "ブルース", "Take", "ﾊﾞﾗｰﾄﾞ", "夕焼け", "Shuffle", "ＢＬＵＥＳ"};
const std::array<std::string, 6> kComments = {"bpm 92, key of E", "ライブ用 ", "ｷｰ A ﾌﾞﾙｰｽ ", "slow blues in A, take ",
                                              "リハーサル ", ""};

std::string TitleOf(int row, int slot) {
    return kTitles[static_cast<std::size_t>(row * 5 + slot) % kTitles.size()] + " " + std::to_string(row % 1000);
}
std::string CommentOf(int row, int slot) {
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

std::unique_ptr<tunecrate::ImageStore> Unflushed(std::unique_ptr<tunecrate::ImageStore> inner) {
    return std::make_unique<UnflushedStore>(std::move(inner));
}

// The system area (boot sector, FATs, root) is written whole, of the rest
// only the blocks that hold something: most of each floppy is empty, and a
// thousand whole images would put 1.4 GB through a shared disk.
void WriteImageFile(const std::string& path, const std::string& image) {
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

// A folder of 1,000 song floppy images, each holding 2 to 5 songs of a few
// KB with titles and comments; most are named DSKA0000.IMG.., every tenth
// carries a label. Made in an order far from the shelf's; removed at exit.
class PreparedShelf {
public:
    PreparedShelf() {
        char pattern[] = "/tmp/tunecrate-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) Fail("mkdtemp");
        m_folder = pattern;
        const std::string blankPath = m_folder + "/blank.floppy";
        if (!tunecrate::CreateSongFloppyImage(blankPath).ok()) Fail("CreateSongFloppyImage");
        std::ifstream in(blankPath, std::ios::binary);
        const std::string blank{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        in.close();
        ::unlink(blankPath.c_str());
        if (blank.size() != tunecrate::kImageBytes) Fail("the blank image has the wrong size");

        m_made.resize(kImageCount);
        for (int i = 0; i < kImageCount; ++i) {
            // 7919 is prime, so this visits every number once, scattered.
            const int number = static_cast<int>((static_cast<long>(i) * 7919) % kImageCount);
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
        if (!files || files->size() != static_cast<std::size_t>(kImageCount)) Fail("the shelf does not list 1,000 images");
        for (std::size_t i = 0; i < files->size(); ++i) {
            const MadeImage& made = m_made[i];
            const tunecrate::ShelfRow row = tunecrate::ReadShelfImage(m_folder, (*files)[i]);
            if ((*files)[i] != made.file || !row.usable() || row.songs != made.songs || row.titles != made.titles) {
                Fail((*files)[i] + " does not read back as made: " + row.condition.reason);
            }
        }
    }

    std::string m_folder;
    std::vector<MadeImage> m_made;   // by number, which is the shelf order
};

const PreparedShelf& TheShelf() {
    static const PreparedShelf shelf;
    return shelf;
}

std::vector<tunecrate::ShelfRow> ReadFirstShelfImages(const std::string& folder, const std::vector<std::string>& files,
                                          std::size_t count) {
    std::vector<tunecrate::ShelfRow> rows;
    rows.reserve(count);
    for (std::size_t i = 0; i < count && i < files.size(); ++i) rows.push_back(tunecrate::ReadShelfImage(folder, files[i]));
    return rows;
}

// The whole shelf as a window lists it.
void BM_ReadShelf(benchmark::State& state) {
    const std::string& folder = TheShelf().folder();
    for (auto _ : state) {
        const auto files = tunecrate::ListShelfImages(folder);
        if (!files) {
            state.SkipWithError("cannot list the shelf");
            break;
        }
        const std::vector<tunecrate::ShelfRow> rows = ReadFirstShelfImages(folder, *files, files->size());
        if (std::count_if(rows.begin(), rows.end(), [](const auto& row) { return row.usable(); }) != kImageCount) {
            state.SkipWithError("an image did not read");
            break;
        }
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetItemsProcessed(state.iterations() * kImageCount);
}
BENCHMARK(BM_ReadShelf)->Unit(benchmark::kMillisecond);

bool IsImageName(std::string_view name) {
    if (name.size() < 5) return false;
    char ext[4];
    for (std::size_t i = 0; i < 4; ++i) ext[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[name.size() - 4 + i])));
    return std::string_view(ext, 4) == ".img" || std::string_view(ext, 4) == ".ima";
}

unsigned Le16(const char* bytes) {
    return static_cast<unsigned char>(bytes[0]) | (static_cast<unsigned>(static_cast<unsigned char>(bytes[1])) << 8);
}

// The least that reading one image takes, for these images' geometry.
struct ImageFloor {
    static constexpr std::size_t kSector = 512, kFatSectors = 9, kRootSectors = 14;
    static constexpr std::size_t kRootAt = 19 * kSector, kDataAt = 33 * kSector;
    char boot[kSector];
    char fat[kFatSectors * kSector];
    char root[kRootSectors * kSector];
    char cluster[kSector];

    // Follows one root file's chain in the FAT, reading each of its clusters.
    std::size_t ReadRootFile(int fd, const char (&shortName)[12]) {
        for (std::size_t entry = 0; entry < sizeof root && root[entry] != '\0'; entry += 32) {
            if (std::memcmp(root + entry, shortName, 11) != 0) continue;
            std::size_t total = 0;
            for (unsigned c = Le16(root + entry + 26); c >= 2 && c < 0xFF8 && c + c / 2 + 1 < sizeof fat;) {
                const ssize_t n = ::pread(fd, cluster, sizeof cluster, static_cast<off_t>(kDataAt + (c - 2) * kSector));
                if (n <= 0) return 0;
                total += static_cast<std::size_t>(n);
                const unsigned pair = Le16(fat + c + c / 2);
                c = (c & 1) ? pair >> 4 : pair & 0xFFF;
            }
            return total;
        }
        return 0;
    }

    // True when both catalogue files were found and read.
    bool Read(int fd) {
        if (::pread(fd, boot, sizeof boot, 0) != static_cast<ssize_t>(sizeof boot) ||
            ::pread(fd, fat, sizeof fat, static_cast<off_t>(kSector)) != static_cast<ssize_t>(sizeof fat) ||
            ::pread(fd, root, sizeof root, static_cast<off_t>(kRootAt)) != static_cast<ssize_t>(sizeof root)) {
            return false;
        }
        return ReadRootFile(fd, "SONG    NAM") > 0 && ReadRootFile(fd, "COMMENTSDAT") > 0;
    }
};

// The names of the folder's image files, unsorted: the least any lister does.
std::vector<std::string> ListFloor(DIR* dir) {
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type == DT_REG && IsImageName(entry->d_name)) names.emplace_back(entry->d_name);
    }
    return names;
}

// Returns how many images read; -1 when the folder cannot be opened.
int ReadImagesFloor(int folderFd, const std::vector<std::string>& names, std::size_t count, ImageFloor& floor) {
    int read = 0;
    for (std::size_t i = 0; i < count && i < names.size(); ++i) {
        const int fd = ::openat(folderFd, names[i].c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        read += floor.Read(fd);
        ::close(fd);
    }
    return read;
}

void BM_ReadShelfFloor(benchmark::State& state) {
    const std::string& folder = TheShelf().folder();
    ImageFloor floor;
    for (auto _ : state) {
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) {
            state.SkipWithError("cannot list the shelf");
            break;
        }
        const std::vector<std::string> names = ListFloor(dir);
        const int read = ReadImagesFloor(::dirfd(dir), names, names.size(), floor);
        ::closedir(dir);
        if (read != kImageCount) {
            state.SkipWithError("an image did not read");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kImageCount);
}
BENCHMARK(BM_ReadShelfFloor)->Unit(benchmark::kMillisecond);

// The two halves of each, to tell where a difference lies.
void BM_ListShelfImages(benchmark::State& state) {
    const std::string& folder = TheShelf().folder();
    for (auto _ : state) {
        auto files = tunecrate::ListShelfImages(folder);
        benchmark::DoNotOptimize(files);
    }
    state.SetItemsProcessed(state.iterations() * kImageCount);
}
BENCHMARK(BM_ListShelfImages)->Unit(benchmark::kMillisecond);

void BM_ListFloor(benchmark::State& state) {
    const std::string& folder = TheShelf().folder();
    for (auto _ : state) {
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) {
            state.SkipWithError("cannot list the shelf");
            break;
        }
        auto names = ListFloor(dir);
        ::closedir(dir);
        benchmark::DoNotOptimize(names);
    }
    state.SetItemsProcessed(state.iterations() * kImageCount);
}
BENCHMARK(BM_ListFloor)->Unit(benchmark::kMillisecond);

void BM_ReadShelfImages(benchmark::State& state) {
    const std::string& folder = TheShelf().folder();
    const auto files = tunecrate::ListShelfImages(folder);
    for (auto _ : state) {
        const auto rows = ReadFirstShelfImages(folder, *files, files->size());
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetItemsProcessed(state.iterations() * kImageCount);
}
BENCHMARK(BM_ReadShelfImages)->Unit(benchmark::kMillisecond);

void BM_ReadImagesFloor(benchmark::State& state) {
    const std::string& folder = TheShelf().folder();
    DIR* dir = ::opendir(folder.c_str());
    const std::vector<std::string> names = ListFloor(dir);
    ImageFloor floor;
    for (auto _ : state) {
        if (ReadImagesFloor(::dirfd(dir), names, names.size(), floor) != kImageCount) {
            state.SkipWithError("an image did not read");
            break;
        }
    }
    ::closedir(dir);
    state.SetItemsProcessed(state.iterations() * kImageCount);
}
BENCHMARK(BM_ReadImagesFloor)->Unit(benchmark::kMillisecond);

// What a shelf window shows first: the listing and the first rows.
void BM_FirstRows(benchmark::State& state) {
    const std::string& folder = TheShelf().folder();
    for (auto _ : state) {
        const auto files = tunecrate::ListShelfImages(folder);
        const auto rows = ReadFirstShelfImages(folder, *files, kFirstRows);
        if (rows.size() != static_cast<std::size_t>(kFirstRows) || !rows.back().usable()) {
            state.SkipWithError("the first rows did not read");
            break;
        }
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_FirstRows)->Unit(benchmark::kMillisecond);

// 1,000 rows with five titles and five comments each, in search form.
const std::vector<tunecrate::ShelfRow>& SearchedRows() {
    static const std::vector<tunecrate::ShelfRow> rows = [] {
        std::vector<tunecrate::ShelfRow> made(kImageCount);
        for (int i = 0; i < kImageCount; ++i) {
            tunecrate::ShelfRow& row = made[static_cast<std::size_t>(i)];
            char name[32];
            std::snprintf(name, sizeof name, "DSKA%04d.IMG", i);
            row.file = name;
            row.number = i;
            for (int slot = 0; slot < tunecrate::kSlotCount; ++slot) {
                row.titles[static_cast<std::size_t>(slot)] = Cp932(TitleOf(i, slot));
                row.comments[static_cast<std::size_t>(slot)] = Cp932(CommentOf(i, slot));
                row.holdsSong[static_cast<std::size_t>(slot)] = true;
            }
            row.songs = tunecrate::kSlotCount;
        }
        return made;
    }();
    return rows;
}

const std::vector<tunecrate::ShelfKeys>& SearchedKeys() {
    static const std::vector<tunecrate::ShelfKeys> keys = [] {
        std::vector<tunecrate::ShelfKeys> made;
        for (const tunecrate::ShelfRow& row : SearchedRows()) made.push_back(tunecrate::SearchKeysOf(row));
        return made;
    }();
    return keys;
}

// Once per shelf read, not per keystroke.
void BM_SearchKeysOf(benchmark::State& state) {
    const auto& rows = SearchedRows();
    for (auto _ : state) {
        std::vector<tunecrate::ShelfKeys> keys;
        keys.reserve(rows.size());
        for (const tunecrate::ShelfRow& row : rows) keys.push_back(tunecrate::SearchKeysOf(row));
        benchmark::DoNotOptimize(keys.data());
    }
    state.SetItemsProcessed(state.iterations() * kImageCount);
}
BENCHMARK(BM_SearchKeysOf)->Unit(benchmark::kMillisecond);

// One keystroke in the search field.
void BM_SearchShelf(benchmark::State& state, std::string_view query) {
    const auto& keys = SearchedKeys();
    std::size_t found = 0;
    for (auto _ : state) {
        const std::vector<tunecrate::ShelfHit> hits = tunecrate::SearchShelf(keys, query);
        found = static_cast<std::size_t>(std::count_if(hits.begin(), hits.end(), [](const auto& hit) { return hit.found; }));
        benchmark::DoNotOptimize(found);
    }
    state.counters["rows_found"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_SearchShelf, blues, "blues")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchShelf, halfwidth_blues, "ﾌﾞﾙｰｽ")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchShelf, fullwidth_blues, "ブルース")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchShelf, slow_blues, "Slow Blues")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchShelf, zzz, "zzz")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchShelf, b, "b")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
