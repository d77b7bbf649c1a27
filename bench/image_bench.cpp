// SPDX-License-Identifier: MIT
// Reading the catalogue of a floppy image file, set against the least any
// reader must do: open the image, read its boot sector, FATs and root (the
// first 33 sectors) and the clusters of song.nam and comments.dat.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "core/songs/FloppyCatalogue.h"
#include "core/disk/ImageVolume.h"
#include "core/songs/SongFloppyImage.h"
#include "core/text/SongNames.h"

namespace {

// An image holding a full five-slot floppy; its folder is removed at exit.
class PreparedImage {
public:
    PreparedImage() {
        char pattern[] = "/tmp/tunecrate-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) Fail("mkdtemp");
        m_folder = pattern;
        m_path = m_folder + "/floppy.img";
        if (!tunecrate::CreateSongFloppyImage(m_path).ok()) Fail("CreateSongFloppyImage");
        tunecrate::ImageVolume volume(m_path);
        std::vector<tunecrate::SlotText> rows;
        for (int slot = 0; slot < tunecrate::kSlotCount; ++slot) {
            const std::string base = tunecrate::SlotName(slot);
            const std::size_t songBytes = 20'000 + 1'000 * static_cast<std::size_t>(slot);
            if (!volume.WriteFile(base + ".B00", std::string(songBytes, 's')).ok() ||
                !volume.WriteFile(base + ".EVT", std::string(3'000, 'e')).ok()) {
                Fail("writing the slot files");
            }
            rows.push_back({slot, "Song " + std::to_string(slot + 1), "comment " + std::to_string(slot + 1)});
        }
        if (!tunecrate::UpdateCatalogue(volume, rows).ok()) Fail("writing the catalogue");
    }
    ~PreparedImage() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    const std::string& path() const { return m_path; }

private:
    static void Fail(const char* what) {
        std::fprintf(stderr, "cannot prepare the image: %s\n", what);
        std::exit(1);
    }
    std::string m_folder;
    std::string m_path;
};

const PreparedImage& Image() {
    static const PreparedImage image;
    return image;
}

void BM_OpenAndReadCatalogue(benchmark::State& state) {
    for (auto _ : state) {
        tunecrate::ImageVolume volume(Image().path());
        tunecrate::Expected<tunecrate::CatalogueReading> reading = tunecrate::ReadCatalogue(&volume);
        if (!reading || reading->rows.size() != 5) {
            state.SkipWithError("the prepared image did not read");
            break;
        }
        benchmark::DoNotOptimize(reading);
    }
}
BENCHMARK(BM_OpenAndReadCatalogue);

// The catalogue alone, with the image already open, checked and locked.
void BM_ReadCatalogueOfOpenImage(benchmark::State& state) {
    tunecrate::ImageVolume volume(Image().path());
    for (auto _ : state) {
        tunecrate::Expected<tunecrate::CatalogueReading> reading = tunecrate::ReadCatalogue(&volume);
        if (!reading) {
            state.SkipWithError("the prepared image did not read");
            break;
        }
        benchmark::DoNotOptimize(reading);
    }
}
BENCHMARK(BM_ReadCatalogueOfOpenImage);

unsigned Le16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned>(static_cast<unsigned char>(b[at + 1])) << 8);
}

// Reads one root file's clusters by following its chain in the first FAT.
std::size_t ReadRootFile(int fd, const std::string& head, const char (&shortName)[12]) {
    constexpr std::size_t kFat = 512, kRoot = 19 * 512, kData = 33 * 512;
    for (std::size_t entry = kRoot; entry < kData; entry += 32) {
        if (head.compare(entry, 11, shortName) != 0) continue;
        char cluster[512];
        std::size_t total = 0;
        for (unsigned c = Le16(head, entry + 26); c >= 2 && c < 0xFF8;) {
            total += static_cast<std::size_t>(::pread(fd, cluster, sizeof cluster, static_cast<off_t>(kData + (c - 2) * 512)));
            const unsigned pair = Le16(head, kFat + c + c / 2);
            c = (c & 1) ? pair >> 4 : pair & 0xFFF;
        }
        return total;
    }
    return 0;
}

void BM_RawImageBaseline(benchmark::State& state) {
    std::string head(33 * 512, '\0');
    for (auto _ : state) {
        const int fd = ::open(Image().path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::pread(fd, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size())) {
            state.SkipWithError("cannot read the prepared image");
            break;
        }
        const std::size_t titles = ReadRootFile(fd, head, "SONG    NAM");
        const std::size_t comments = ReadRootFile(fd, head, "COMMENTSDAT");
        ::close(fd);
        if (titles == 0 || comments == 0) {
            state.SkipWithError("the catalogue files are not in the prepared image");
            break;
        }
        benchmark::DoNotOptimize(titles + comments);
    }
}
BENCHMARK(BM_RawImageBaseline);

}  // namespace

BENCHMARK_MAIN();
