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
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "GeneratedShelf.h"
#include "core/songs/Shelf.h"

namespace {

constexpr int kImageCount = 1'000;
constexpr int kFirstRows = 20;   // what a shelf window shows before it scrolls

using tunecrate::bench::CommentOf;
using tunecrate::bench::Cp932;
using tunecrate::bench::PreparedShelf;
using tunecrate::bench::TitleOf;

const PreparedShelf& TheShelf() {
    static const PreparedShelf shelf(kImageCount);
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
