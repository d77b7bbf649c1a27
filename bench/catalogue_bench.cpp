// SPDX-License-Identifier: MIT
// Reading the floppy catalogue, set against the least any reader must do:
// read the two catalogue files and stat the ten slot files.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FolderVolume.h"
#include "core/text/SongNames.h"

namespace {

// A folder holding a full five-slot floppy; removed at exit.
class PreparedFloppy {
public:
    PreparedFloppy() {
        char pattern[] = "/tmp/tunecrate-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        m_root = std::string(pattern) + "/";
        std::string titles, comments;
        for (int slot = 0; slot < tunecrate::kSlotCount; ++slot) {
            const std::string base = m_root + tunecrate::SlotName(slot);
            Write(base + ".B00", std::string(20'000 + 1'000 * static_cast<std::size_t>(slot), 's'));
            Write(base + ".EVT", std::string(3'000, 'e'));
            m_slotFiles.push_back(base + ".B00");
            m_slotFiles.push_back(base + ".EVT");
        }
        for (int line = 1; line <= tunecrate::kCatalogueLines; ++line) {
            std::string title = line <= tunecrate::kSlotCount ? "Song " + std::to_string(line) : "";
            titles += title + std::string(tunecrate::kTitleBytes - title.size(), ' ') + "\r\n";
            comments += (line <= tunecrate::kSlotCount ? "comment " + std::to_string(line) : "") + "\r\n";
        }
        Write(m_root + "song.nam", titles);
        Write(m_root + "comments.dat", comments);
    }
    ~PreparedFloppy() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    const std::string& root() const { return m_root; }
    const std::vector<std::string>& slotFiles() const { return m_slotFiles; }

private:
    static void Write(const std::string& path, const std::string& bytes) {
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            std::perror(path.c_str());
            std::exit(1);
        }
        std::fclose(file);
    }
    std::string m_root;
    std::vector<std::string> m_slotFiles;
};

const PreparedFloppy& Floppy() {
    static const PreparedFloppy floppy;
    return floppy;
}

void BM_ReadCatalogue(benchmark::State& state) {
    tunecrate::FolderVolume volume(Floppy().root());
    for (auto _ : state) {
        tunecrate::Expected<tunecrate::CatalogueReading> reading = tunecrate::ReadCatalogue(&volume);
        if (!reading || reading->rows.size() != 5) {
            state.SkipWithError("the prepared floppy did not read");
            break;
        }
        benchmark::DoNotOptimize(reading);
    }
}
BENCHMARK(BM_ReadCatalogue);

std::size_t ReadWhole(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char buffer[4096];
    std::size_t total = 0;
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) total += static_cast<std::size_t>(n);
    ::close(fd);
    return total;
}

void BM_RawFilesBaseline(benchmark::State& state) {
    const std::string titles = Floppy().root() + "song.nam";
    const std::string comments = Floppy().root() + "comments.dat";
    for (auto _ : state) {
        std::size_t bytes = ReadWhole(titles) + ReadWhole(comments);
        for (const std::string& path : Floppy().slotFiles()) {
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0) bytes += static_cast<std::size_t>(st.st_size);
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_RawFilesBaseline);

}  // namespace

BENCHMARK_MAIN();
