// SPDX-License-Identifier: MIT
// Saving a whole floppy into an image, a track at a time with the bad-sector
// map it may need, set against the least any copy must do: one read of the
// 1,474,560 bytes, one write and a flush. The source is an image file, so
// that the figure is ours and not a drive's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/disk/FatImage.h"
#include "core/songs/FloppyBackup.h"
#include "core/songs/SongFloppyImage.h"

namespace {

class Folder {
public:
    Folder() {
        char pattern[] = "/tmp/tunecrate-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        m_path = pattern;
        if (!tunecrate::CreateSongFloppyImage(Path("floppy.img")).ok()) std::abort();
    }
    ~Folder() { std::filesystem::remove_all(m_path); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string Path(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

const Folder& Place() {
    static const Folder folder;
    return folder;
}

void BM_Backup(benchmark::State& state) {
    const std::string source = Place().Path("floppy.img"), image = Place().Path("backup.img");
    for (auto _ : state) {
        const tunecrate::BackupOutcome outcome = tunecrate::BackupFloppy(source, image, true, {}, {});
        if (!outcome.result.ok()) state.SkipWithError(outcome.result.reason.c_str());
    }
}

void BM_RawCopy(benchmark::State& state) {
    const std::string source = Place().Path("floppy.img"), image = Place().Path("raw.img");
    std::string bytes(tunecrate::kImageBytes, '\0');
    for (auto _ : state) {
        const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        const bool read = in >= 0 && ::pread(in, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
        if (in >= 0) ::close(in);
        const int out = ::open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool written = out >= 0 && ::write(out, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                             ::fsync(out) == 0;
        if (out >= 0) ::close(out);
        if (!read || !written) state.SkipWithError("raw copy failed");
    }
}

BENCHMARK(BM_Backup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
