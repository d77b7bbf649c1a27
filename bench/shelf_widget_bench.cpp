// SPDX-License-Identifier: MIT
// The shelf window, offscreen, at 300, 1,000 and 3,000 images, each set
// against a floor in the same run:
// - a load with a search typed against the same load without one (the
//   difference is what the search costs while rows come in);
// - the main window with the shelf opened, start to idle, against the main
//   window alone followed by the core's reading of the same images (the least
//   a shelf window can add), and against the main window alone.
// The ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <map>
#include <memory>

#include "GeneratedShelf.h"
#include "app/MainDialog.h"
#include "core/songs/Prompter.h"
#include "session/ShelfSession.h"
#include "widgets/ShelfWindow.h"
#include "WidgetBench.h"

namespace {

using tunecrate::bench::PreparedShelf;

const PreparedShelf& ShelfOf(int images) {
    static std::map<int, std::unique_ptr<PreparedShelf>> shelves;
    auto& shelf = shelves[images];
    if (!shelf) shelf = std::make_unique<PreparedShelf>(images);
    return *shelf;
}

tunecrate::DecliningPrompter g_prompter;   // nothing here should ask; a message would be counted

bool ShelfProgressGone(QWidget& shelf) { return !shelf.findChild<QProgressBar*>(QStringLiteral("shelfProgress"))->isVisible(); }

// Until `done`, then what the event loop still has (the paint that follows).
// Waiting sleeps: QCoreApplication::processEvents with a time never waits, and
// its spinning would count as the window's CPU time.
template <typename Done>
void RunUntil(Done done) {
    while (!done()) QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

// A shelf window opened on the folder, until every row is read and shown.
void BM_ShelfLoad(benchmark::State& state, const char* query) {
    const PreparedShelf& shelf = ShelfOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        tunecrate::ShelfSession session([]() -> tunecrate::Prompter& { return g_prompter; }, [] { return std::string(); });
        tunecrate::ShelfWindow window(session);
        window.show();
        window.findChild<QLineEdit*>(QStringLiteral("shelfSearch"))->setText(QString::fromUtf8(query));
        session.OpenFolder(shelf.folder());
        RunUntil([&] { return session.RowsRead() == shelf.count(); });
    }
    if (g_prompter.problems != 0) state.SkipWithError("the shelf told of a problem");
    state.SetItemsProcessed(state.iterations() * shelf.count());
}
BENCHMARK_CAPTURE(BM_ShelfLoad, plain, "")->Arg(300)->Arg(1'000)->Arg(3'000)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_ShelfLoad, searched, "blues")->Arg(300)->Arg(1'000)->Arg(3'000)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The main window as the program starts it, on a small song folder and one
// image as its floppy, until it is idle; with `shelf`, the shelf window is
// opened beside it and waited for until every row is shown.
tunecrate::SessionOptions WindowOptions() {
    const PreparedShelf& floppyShelf = ShelfOf(300);
    tunecrate::SessionOptions options;
    options.floppy = tunecrate::JoinPath(floppyShelf.folder(), "DSKA0000.IMG");
    options.workingDirectory = options.home = floppyShelf.folder();
    options.mountTable = [] { return std::vector<tunecrate::MountEntry>{}; };
    return options;
}

// Timed to idle, not through the closing: a closed window's paint threads
// (Qt's own pool) take tens of milliseconds to let go, with nothing to do.
void StartMainWindow(benchmark::State& state, const std::optional<std::string>& shelf, int images) {
    auto dialog = std::make_unique<tunecrate::MainDialog>(WindowOptions(), tunecrate::WindowQuestions{&g_prompter, {}, {}, {}});
    dialog->show();
    dialog->CurrentSession().FirstFill();
    QCoreApplication::processEvents();
    if (shelf) {
        dialog->OpenShelf(*shelf);
        RunUntil([&] { return ShelfProgressGone(*dialog->OpenedShelf()); });
    }
    if (!shelf && images > 0) {
        const auto files = tunecrate::ListShelfImages(ShelfOf(images).folder());
        int usable = 0;
        // Each row read, then its songs hashed, as the shelf's reading thread does both.
        for (const std::string& file : *files) {
            const tunecrate::ShelfRow row = tunecrate::ReadShelfImage(ShelfOf(images).folder(), file);
            usable += row.usable();
            benchmark::DoNotOptimize(tunecrate::HashShelfImage(ShelfOf(images).folder(), file, row.holdsSong));
        }
        if (usable != images) std::abort();
    }
    state.PauseTiming();
    dialog.reset();
    state.ResumeTiming();
}

void BM_MainWindowAlone(benchmark::State& state) {
    for (auto _ : state) StartMainWindow(state, std::nullopt, 0);
}
BENCHMARK(BM_MainWindowAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_MainWindowThenRead(benchmark::State& state) {
    const int images = static_cast<int>(state.range(0));
    for (auto _ : state) StartMainWindow(state, std::nullopt, images);
    state.SetItemsProcessed(state.iterations() * images);
}
BENCHMARK(BM_MainWindowThenRead)->Arg(300)->Arg(1'000)->Arg(3'000)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_MainWindowWithShelf(benchmark::State& state) {
    const int images = static_cast<int>(state.range(0));
    for (auto _ : state) StartMainWindow(state, ShelfOf(images).folder(), images);
    if (g_prompter.problems != 0) state.SkipWithError("the window told of a problem");
    state.SetItemsProcessed(state.iterations() * images);
}
BENCHMARK(BM_MainWindowWithShelf)->Arg(300)->Arg(1'000)->Arg(3'000)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Prints each run against its floor of the same size: searched / plain, and
// the window with its shelf against the window then the read, and against the window alone.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool spread = run.aggregate_name == "stddev" || run.aggregate_name == "cv";
            if (!run.error_occurred && !spread) m_times[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
    }
    void Finalize() override {
        const auto ratio = [this](const std::string& name, const std::string& floor) {
            const auto mine = m_times.find(name), theirs = m_times.find(floor);
            if (mine == m_times.end() || theirs == m_times.end() || theirs->second.first <= 0) return;
            GetOutputStream() << name << " / " << floor << ": real " << mine->second.first / theirs->second.first << ", CPU "
                              << mine->second.second / theirs->second.second << "\n";
        };
        const auto replaced = [](std::string name, const std::string& from, const std::string& to) {
            return name.replace(name.find(from), from.size(), to);
        };
        for (const auto& entry : m_times) {
            const std::string& name = entry.first;
            if (name.find("/searched/") != std::string::npos) ratio(name, replaced(name, "/searched/", "/plain/"));
            if (name.rfind("BM_MainWindowWithShelf/", 0) == 0) {
                const std::string size = name.substr(23, name.find('/', 23) - 23);
                ratio(name, replaced(name, "BM_MainWindowWithShelf", "BM_MainWindowThenRead"));
                ratio(name, replaced(name, "BM_MainWindowWithShelf/" + size, "BM_MainWindowAlone"));
            }
        }
        ConsoleReporter::Finalize();
    }

private:
    std::map<std::string, std::pair<double, double>> m_times;   // real, CPU
};

}  // namespace

int main(int argc, char** argv) {
    const auto app = tunecrate::bench::StartWidgetBench(argc, argv);
    if (!app) return 1;
    for (int images : {300, 1'000, 3'000}) ShelfOf(images);   // made before any timing starts
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
