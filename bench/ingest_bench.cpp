// SPDX-License-Identifier: MIT
// A box of song floppies taken onto a shelf (1, 3 and 10 disks), set against
// what `dd iflag=direct conv=fsync` does with the same disks: read each whole,
// a track at a time past the cache, write it into a file and flush it. The
// disks are image files, so that the figure is ours and not a drive's; a real
// drive's seconds per disk come on top of both, as do the eject waits.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Ratios.h"
#include "core/disk/FatImage.h"
#include "core/disk/FileOps.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/Ingest.h"
#include "core/songs/SongFloppyImage.h"

namespace tunecrate {
namespace {

constexpr int kMostDisks = 10;

// Ten floppies of five songs each, every song of its own bytes, under a
// folder that also takes the shelves the runs fill.
class Box {
public:
    Box() {
        char pattern[] = "/var/tmp/tunecrate-bench-XXXXXX";   // a disk, not tmpfs: O_DIRECT and real flushes
        if (::mkdtemp(pattern) == nullptr) std::abort();
        m_path = pattern;
        for (int disk = 0; disk < kMostDisks; ++disk) {
            const std::string image = Disk(disk);
            if (!CreateSongFloppyImage(image).ok()) std::abort();
            std::vector<FileChange> songs;
            std::string titles;
            for (int slot = 0; slot < kSlotCount; ++slot) {
                std::string bytes(40'000 + 3'000 * slot, '\0');
                for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 31 + disk * 7 + slot) >> 3);
                songs.push_back({SlotName(slot) + ".B00", bytes});
                std::string title = "Song " + std::to_string(disk) + "-" + std::to_string(slot);
                titles += title + std::string(kTitleBytes - title.size(), ' ') + "\r\n";
            }
            songs.push_back({"song.nam", titles});
            const std::unique_ptr<FloppyVolume> floppy = OpenFloppyVolume(image);
            if (!floppy->Apply(songs, CatalogueReserve::Use).ok()) std::abort();
        }
    }
    ~Box() { std::filesystem::remove_all(m_path); }
    Box(const Box&) = delete;
    Box& operator=(const Box&) = delete;
    std::string Disk(int disk) const { return m_path + "/disk" + std::to_string(disk) + ".img"; }
    // A new, empty shelf folder.
    std::string NewShelf() {
        const std::string shelf = m_path + "/shelf" + std::to_string(m_shelves++);
        std::filesystem::create_directory(shelf);
        return shelf;
    }

private:
    std::string m_path;
    int m_shelves = 0;
};

Box& TheBox() {
    static Box box;
    return box;
}

void BM_Ingest(benchmark::State& state) {
    const int disks = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        const std::string shelf = TheBox().NewShelf();
        state.ResumeTiming();
        Expected<IngestShelf> onto = IngestShelf::Open(shelf);
        int written = 0;
        for (int disk = 0; onto && disk < disks; ++disk) written += onto->Take(TheBox().Disk(disk), {}, {}, {}).written();
        state.PauseTiming();
        std::filesystem::remove_all(shelf);
        state.ResumeTiming();
        if (written != disks) {
            state.SkipWithError("a disk was not written");
            break;
        }
    }
}

// dd's work for the same disks: each read a track at a time past the cache, written out and flushed.
void BM_DdFloor(benchmark::State& state) {
    const int disks = static_cast<int>(state.range(0));
    constexpr std::size_t kTrack = 18 * 512;
    void* buffer = nullptr;
    if (::posix_memalign(&buffer, 4096, kTrack) != 0) std::abort();
    for (auto _ : state) {
        state.PauseTiming();
        const std::string shelf = TheBox().NewShelf();
        state.ResumeTiming();
        bool ok = true;
        for (int disk = 0; disk < disks; ++disk) {
            const int in = ::open(TheBox().Disk(disk).c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
            const int out = ::open((shelf + "/" + std::to_string(disk) + ".img").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            for (std::size_t at = 0; ok && at < kImageBytes; at += kTrack) {
                ok = ::pread(in, buffer, kTrack, static_cast<off_t>(at)) == static_cast<ssize_t>(kTrack) &&
                     ::write(out, buffer, kTrack) == static_cast<ssize_t>(kTrack);
            }
            ok = ok && ::fsync(out) == 0;
            ::close(in);
            ::close(out);
        }
        state.PauseTiming();
        std::filesystem::remove_all(shelf);
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("dd's copy failed");
            break;
        }
    }
    std::free(buffer);
}

BENCHMARK(BM_Ingest)->Arg(1)->Arg(3)->Arg(kMostDisks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DdFloor)->Arg(1)->Arg(3)->Arg(kMostDisks)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tunecrate

int main(int argc, char** argv) {
    return tunecrate::bench::RunWithRatios(
        argc, argv,
        [](const std::string& run) {
            const std::string ours = "BM_Ingest/";
            return run.rfind(ours, 0) == 0 ? "BM_DdFloor/" + run.substr(ours.size()) : "";
        },
        [] { tunecrate::TheBox(); });
}
