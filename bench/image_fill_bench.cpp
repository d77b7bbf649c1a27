// SPDX-License-Identifier: MIT
// Filling a song floppy image's free slots with one, three and five songs
// from a folder, as an import onto a shelf does, with the flushes each fill
// costs counted (every fsync of this process passes through the counter
// below) and reported per image. A fill should cost the same few flushes
// whatever its songs; its time is set against the floor of writing the same
// bytes into the image and flushing once, in the same run.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "GeneratedSongFolder.h"
#include "Ratios.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/Prompter.h"
#include "core/songs/SongFloppyImage.h"

namespace {
std::atomic<long> g_flushes{0};
}

// Counts every flush the core makes, and makes it.
extern "C" int fsync(int fd) {
    using Real = int (*)(int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "fsync"));
    ++g_flushes;
    return real(fd);
}

namespace {

using tunecrate::bench::GeneratedSongFolder;

constexpr const char* kTmpfs = "/dev/shm";

// Songs of 1 to 6 KB, some with events files and comments, and a folder for the images.
struct Places {
    GeneratedSongFolder songs{30, kTmpfs};
    GeneratedSongFolder shelf{0, "/tmp"};   // on the disk, where a flush costs what it does
    std::string image = shelf.path() + "/DSKA0000.IMG";
};

const Places& ThePlaces() {
    static const Places places;
    return places;
}

tunecrate::SongsOnHardDisk SongsToFill(int count) {
    tunecrate::SongsOnHardDisk songs;
    for (int i = 0; i < count; ++i) songs.songs.push_back({ThePlaces().songs.path(), ThePlaces().songs.title(6 * i)});
    return songs;
}

void BM_FillImage(benchmark::State& state) {
    const tunecrate::SongSource payload = SongsToFill(static_cast<int>(state.range(0)));
    tunecrate::bench::YesPrompter prompter;
    long flushes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(ThePlaces().image);
        if (!tunecrate::CreateSongFloppyImage(ThePlaces().image).ok()) state.SkipWithError("cannot make the image");
        const long before = g_flushes;
        state.ResumeTiming();
        auto volume = tunecrate::OpenFloppyVolume(ThePlaces().image);
        std::vector<tunecrate::SlotRow> rows = tunecrate::ReadCatalogue(volume.get())->rows;
        tunecrate::DropContext context{volume.get(), rows, prompter, false};
        tunecrate::DropIntoFreeSlots(context, payload);
        state.PauseTiming();
        flushes += g_flushes - before;
        if (!prompter.failure.empty() || context.arrived != static_cast<std::size_t>(state.range(0))) state.SkipWithError("not every song arrived");
        state.ResumeTiming();
    }
    state.counters["flushes_per_image"] = benchmark::Counter(static_cast<double>(flushes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FillImage)->Arg(1)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

// The floor: the same song bytes written into the image where free clusters
// begin, and one flush.
void BM_FloorWriteAndFlushOnce(benchmark::State& state) {
    std::string bytes;
    for (int i = 0; i < state.range(0); ++i) {
        const std::string base = ThePlaces().songs.path() + "/" + ThePlaces().songs.title(6 * i);
        for (const char* extension : {".B00", ".b00", ".EVT", ".evt", ".CMT", ".cmt"}) {
            if (auto read = std::ifstream(base + extension, std::ios::binary)) bytes.append(std::istreambuf_iterator<char>(read), {});
        }
    }
    std::filesystem::remove(ThePlaces().image);
    if (!tunecrate::CreateSongFloppyImage(ThePlaces().image).ok()) state.SkipWithError("cannot make the image");
    for (auto _ : state) {
        const int fd = ::open(ThePlaces().image.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0 || ::pwrite(fd, bytes.data(), bytes.size(), 33 * 512) != static_cast<ssize_t>(bytes.size()) || fsync(fd) != 0) {
            state.SkipWithError("cannot write the image");
        }
        ::close(fd);
    }
}
BENCHMARK(BM_FloorWriteAndFlushOnce)->Arg(1)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Each fill over the floor's run for as many songs.
    const auto floorOf = [](const std::string& run) {
        return run.rfind("BM_FillImage/", 0) == 0 ? "BM_FloorWriteAndFlushOnce" + run.substr(run.find('/')) : std::string();
    };
    return tunecrate::bench::RunWithRatios(argc, argv, floorOf, [] { ThePlaces(); });
}
