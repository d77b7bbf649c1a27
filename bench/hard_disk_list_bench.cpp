// SPDX-License-Identifier: MIT
// Listing the songs of a large hard-disk folder, set against the least any
// lister must do: read the folder once and stat every file in it.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "GeneratedSongFolder.h"
#include "core/songs/HardDiskSongs.h"

namespace {

using tunecrate::bench::kSongCount;
using tunecrate::bench::SongFolder;

void BM_ListFolderSongs(benchmark::State& state) {
    const auto& folder = SongFolder();
    // Measuring a listing that misses songs or companions would flatter it.
    const auto rows = tunecrate::ListFolderSongs(folder.path());
    int events = 0, comments = 0;
    for (const auto& row : rows) {
        events += row.hasEvt ? 1 : 0;
        comments += row.wholeComment.empty() ? 0 : 1;
    }
    if (static_cast<int>(rows.size()) != kSongCount || events != folder.eventsFiles() ||
        comments != folder.commentFiles()) {
        state.SkipWithError("the generated folder did not list as made");
        return;
    }
    for (auto _ : state) {
        auto listed = tunecrate::ListFolderSongs(folder.path());
        benchmark::DoNotOptimize(listed.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSongCount);
}
BENCHMARK(BM_ListFolderSongs)->Unit(benchmark::kMillisecond);

void BM_ListAndStatBaseline(benchmark::State& state) {
    const auto& folder = SongFolder();
    for (auto _ : state) {
        std::uint64_t bytes = 0;
        const int entries = tunecrate::bench::ListAndStat(folder.path(), bytes);
        if (entries != folder.fileCount()) {
            state.SkipWithError("the generated folder did not list as made");
            break;
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kSongCount);
}
BENCHMARK(BM_ListAndStatBaseline)->Unit(benchmark::kMillisecond);

// The same floor plus reading every comment file, which a listing must do on
// top of it: shows how much of the gap to the first baseline is that reading.
void BM_ListStatAndReadCommentsBaseline(benchmark::State& state) {
    const auto& folder = SongFolder();
    for (auto _ : state) {
        std::uint64_t bytes = 0;
        int comments = 0;
        const int entries = tunecrate::bench::ListAndStat(folder.path(), bytes, &comments);
        if (entries != folder.fileCount() || comments != folder.commentFiles()) {
            state.SkipWithError("the generated folder did not list as made");
            break;
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kSongCount);
}
BENCHMARK(BM_ListStatAndReadCommentsBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SongFolder();   // made before any timing starts
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
