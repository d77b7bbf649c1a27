// SPDX-License-Identifier: MIT
// The main window from its start to idle (built, shown, filled, painted) on a
// song folder of three sizes, set in the same run against its floor: one
// listing of that folder plus the same start on an empty folder. The run
// ends with each size's ratio to its floor, and the heap the window keeps per
// song once idle. The folders are made on tmpfs, so the disk is not timed.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QCoreApplication>
#include <map>
#include <memory>

#include "GeneratedSongFolder.h"
#include "app/MainDialog.h"
#include "core/songs/HardDiskSongs.h"
#include "widgets/HardDiskList.h"
#include "WidgetBench.h"

namespace {

using tunecrate::bench::GeneratedSongFolder;

constexpr int kSizes[] = {1'000, 10'000, 100'000};

const GeneratedSongFolder& FolderOf(int songs) {
    static std::map<int, std::unique_ptr<GeneratedSongFolder>> folders;
    auto& folder = folders[songs];
    if (!folder) folder = std::make_unique<GeneratedSongFolder>(songs, "/dev/shm");
    return *folder;
}


std::size_t HeapInUse() { return mallinfo2().uordblks; }

// As the program starts: the window built and shown, filled, and the events
// that follow run until none is left. The window goes outside the timing.
void Start(benchmark::State& state, const std::string& folder, int songs) {
    tunecrate::bench::NoQuestions prompter;
    tunecrate::SessionOptions options;
    options.workingDirectory = folder;
    options.home = folder;
    options.mountTable = [] { return std::vector<tunecrate::MountEntry>{}; };
    const tunecrate::WindowQuestions questions{&prompter, {}, {}, {}};
    std::size_t kept = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        auto window = std::make_unique<tunecrate::MainDialog>(options, questions);
        window->show();
        window->CurrentSession().FirstFill();
        QCoreApplication::processEvents();
        state.PauseTiming();
        kept = HeapInUse() - before;
        const auto* list = window->findChild<tunecrate::HardDiskList*>(QStringLiteral("hardDiskList"));
        const bool whole = list != nullptr && list->topLevelItemCount() == songs;
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        if (!whole) {
            state.SkipWithError("the window did not list every song");
            break;
        }
    }
    state.counters["heap_kept"] = static_cast<double>(kept);
}

void BM_StartEmpty(benchmark::State& state) {
    const GeneratedSongFolder& empty = FolderOf(0);
    Start(state, empty.path(), 0);
}
BENCHMARK(BM_StartEmpty)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_ListSongs(benchmark::State& state) {
    const GeneratedSongFolder& folder = FolderOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto rows = tunecrate::ListFolderSongs(folder.path());
        if (static_cast<int>(rows.size()) != state.range(0)) {
            state.SkipWithError("the listing missed songs");
            break;
        }
        benchmark::DoNotOptimize(rows.data());
    }
}
// Two seconds at least, so that the largest folder is timed more than once.
BENCHMARK(BM_ListSongs)->ArgName("songs")->Arg(kSizes[0])->Arg(kSizes[1])->Arg(kSizes[2])
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->MinTime(2.0);

void BM_Start(benchmark::State& state) {
    const int songs = static_cast<int>(state.range(0));
    Start(state, FolderOf(songs).path(), songs);
}
BENCHMARK(BM_Start)->ArgName("songs")->Arg(kSizes[0])->Arg(kSizes[1])->Arg(kSizes[2])
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->MinTime(2.0);

// Reports as usual, then each size's start over its floor (its listing plus
// the empty start), in real and CPU time, and the heap kept per song.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const auto heap = run.counters.find("heap_kept");
            m_runs[run.run_name.function_name + "/" + run.run_name.args] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(),
                                            heap == run.counters.end() ? 0.0 : double(heap->second)};
        }
    }
    void Finalize() override {
        const auto empty = m_runs.find("BM_StartEmpty/");
        for (const int songs : kSizes) {
            const std::string size = "/songs:" + std::to_string(songs);
            const auto start = m_runs.find("BM_Start" + size), list = m_runs.find("BM_ListSongs" + size);
            if (start == m_runs.end() || list == m_runs.end() || empty == m_runs.end()) continue;
            const Times floor{list->second.real + empty->second.real, list->second.cpu + empty->second.cpu, 0};
            GetOutputStream() << "start of " << songs << " songs / (one listing + empty start): real "
                              << start->second.real / floor.real << ", CPU " << start->second.cpu / floor.cpu
                              << "; heap kept per song " << (start->second.heap - empty->second.heap) / songs
                              << " bytes\n";
        }
        ConsoleReporter::Finalize();
    }

private:
    struct Times {
        double real, cpu, heap;
    };
    std::map<std::string, Times> m_runs;
};

}  // namespace

int main(int argc, char** argv) {
    const auto app = tunecrate::bench::StartWidgetBench(argc, argv);
    if (!app) return 1;
    for (const int songs : kSizes) FolderOf(songs);   // made before any timing starts
    FolderOf(0);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
