// SPDX-License-Identifier: MIT
// Filling the real hard-disk list of the main window with a large folder,
// offscreen, set against the listing alone: the difference is the widget's own
// cost.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>

#include "GeneratedSongFolder.h"
#include "app/MainDialog.h"
#include "core/songs/HardDiskSongs.h"

namespace {

using tunecrate::bench::kSongCount;
using tunecrate::bench::SongFolder;

tunecrate::MainDialog* g_dialog = nullptr;

void BM_ListFolderSongsAlone(benchmark::State& state) {
    for (auto _ : state) {
        auto rows = tunecrate::ListFolderSongs(SongFolder().path());
        benchmark::DoNotOptimize(rows.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSongCount);
}
BENCHMARK(BM_ListFolderSongsAlone)->Unit(benchmark::kMillisecond);

void FillOnce(benchmark::State& state, bool paint) {
    tunecrate::SongListCtrl& list = g_dialog->hardDiskList();
    list.FillHardDiskList(SongFolder().path());
    if (list.topLevelItemCount() != kSongCount) {
        state.SkipWithError("the list did not show every song");
        return;
    }
    for (auto _ : state) {
        list.FillHardDiskList(SongFolder().path());
        // Painting happens when the event loop next runs, as after a real fill.
        if (paint) QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * kSongCount);
}

// The fill as its callers run it: rows replaced, nothing drawn yet.
void BM_FillHardDiskList(benchmark::State& state) { FillOnce(state, false); }
BENCHMARK(BM_FillHardDiskList)->Unit(benchmark::kMillisecond);

// The fill and the repaint of the visible rows that follows it.
void BM_FillHardDiskListAndPaint(benchmark::State& state) { FillOnce(state, true); }
BENCHMARK(BM_FillHardDiskListAndPaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    SongFolder();   // made before any timing starts

    tunecrate::MainDialogOptions options;
    options.mountTable = [] { return std::vector<tunecrate::MountEntry>{}; };
    tunecrate::MainDialog dialog(std::move(options));
    dialog.show();
    QCoreApplication::processEvents();
    g_dialog = &dialog;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_dialog = nullptr;
    return 0;
}
