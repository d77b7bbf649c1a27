// SPDX-License-Identifier: MIT
// The main window while a floppy in a slow drive is read: a song floppy
// served by nbdkit with a delay on every request (a USB floppy drive needs a
// fifth of a second per track), through nbdfuse and a loop device without
// the page cache, so that each reading goes to the "drive" and takes
// seconds, as a disk put in takes to spin up. Timed: the
// reading from the reload button to the list shown, and the longest the
// window went without painting while a repaint was asked for every 10 ms.
// The reading done on the window's own thread is the reference: it is what
// the window would wait without the reading beside it.
// Needs root (losetup), nbdkit, nbdfuse and FUSE; without them each run says why.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "WidgetBench.h"
#include "app/MainDialog.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/SongFloppyImage.h"

namespace {

// Every request to the drive waits this long: a drive spinning up, then
// seeking. The system reads the floppy's first tracks in one request.
const char* const kDelay = "3000ms";

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// A slow floppy drive as a block device, for the process's life.
class SlowDrive {
public:
    SlowDrive() { m_failure = Start(); }
    ~SlowDrive() {
        if (!m_device.empty()) Run("losetup -d " + m_device);
        if (!m_folder.empty()) {
            Run("fusermount3 -u " + m_folder + "/fuse 2>/dev/null; kill $(cat " + m_folder + "/pid 2>/dev/null) 2>/dev/null");
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    SlowDrive(const SlowDrive&) = delete;
    SlowDrive& operator=(const SlowDrive&) = delete;

    const std::string& device() const { return m_device; }
    // Why there is no drive; empty when there is one.
    const std::string& failure() const { return m_failure; }
    // The next reading goes to the drive, not to what the system kept of the last one.
    void Forget() const {
        const int fd = ::open(m_device.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        ::ioctl(fd, BLKFLSBUF, 0);
        ::close(fd);
    }

private:
    static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }
    std::string Start() {
        char pattern[] = "/tmp/tunecrate-slow-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return "mkdtemp";
        m_folder = pattern;
        const std::string image = m_folder + "/disk.img", fuse = m_folder + "/fuse";
        if (::geteuid() != 0) return "needs root for losetup";
        if (Output("for c in nbdkit nbdfuse losetup; do command -v $c; done | wc -l") != "3") return "needs nbdkit, nbdfuse and losetup";
        if (!tunecrate::CreateSongFloppyImage(image).ok()) return "cannot make the floppy image";
        std::filesystem::create_directory(fuse);
        const std::string sock = m_folder + "/sock";
        if (!Run("nbdkit --filter=delay -U " + sock + " -P " + m_folder + "/pid file " + image + " rdelay=" + kDelay + " wdelay=" + kDelay)) {
            return "nbdkit did not start";
        }
        if (!Run("nbdfuse " + fuse + "/nbd --unix " + sock + " >/dev/null 2>&1 &")) return "nbdfuse did not start";
        for (int i = 0; i < 100 && !std::filesystem::exists(fuse + "/nbd"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // Past the loop's own cache too, so that a flush of the device's buffers sends every reading to the drive.
        m_device = Output("losetup --direct-io=on --show -f " + fuse + "/nbd 2>/dev/null");
        if (m_device.empty()) return "losetup over FUSE failed (is /dev/fuse there?)";
        return {};
    }
    std::string m_folder, m_device, m_failure;
};

SlowDrive* g_drive = nullptr;


// Remembers the longest time between two paints of the window.
class PaintClock final : public QObject {
public:
    explicit PaintClock(QWidget& window) { window.installEventFilter(this); m_clock.start(); }
    void Restart() {
        m_last = m_clock.nsecsElapsed();
        m_longest = 0;
    }
    double LongestMs() const { return static_cast<double>(m_longest) / 1e6; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        }
        return false;
    }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_longest = 0;
};

// The window, shown on the slow drive's floppy, with a repaint asked every 10 ms.
class PaintedWindow {
public:
    PaintedWindow() : m_window(Options(), {&m_prompter, {}, {}, {}}), m_paints(m_window) {
        m_window.show();
        QObject::connect(&m_repaint, &QTimer::timeout, &m_window, [this] { m_window.update(); });
        m_repaint.start(10);
    }
    tunecrate::Session& session() { return m_window.CurrentSession(); }
    PaintClock& paints() { return m_paints; }

private:
    static tunecrate::SessionOptions Options() {
        tunecrate::SessionOptions options;
        options.floppy = g_drive->device();
        options.workingDirectory = options.home = std::filesystem::temp_directory_path().string();
        options.mountTable = [] { return std::vector<tunecrate::MountEntry>{}; };
        return options;
    }
    tunecrate::bench::NoQuestions m_prompter;
    tunecrate::MainDialog m_window;
    PaintClock m_paints;
    QTimer m_repaint;
};

// The floor: the longest time between paints of the idle window over a second.
void BM_IdleWindow(benchmark::State& state) {
    if (!g_drive->failure().empty()) return state.SkipWithError(g_drive->failure().c_str());
    PaintedWindow window;
    double longest = 0;
    for (auto _ : state) {
        QCoreApplication::processEvents();
        window.paints().Restart();
        QElapsedTimer second;
        second.start();
        while (second.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        longest = std::max(longest, window.paints().LongestMs());
    }
    state.counters["longest_paint_gap_ms"] = longest;
}
BENCHMARK(BM_IdleWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ReloadBesideTheWindow(benchmark::State& state) {
    if (!g_drive->failure().empty()) return state.SkipWithError(g_drive->failure().c_str());
    PaintedWindow window;
    tunecrate::Session& session = window.session();
    PaintClock& paints = window.paints();
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        g_drive->Forget();
        QCoreApplication::processEvents();
        paints.Restart();
        state.ResumeTiming();
        session.Reload();
        while (session.ReadingFloppy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.PauseTiming();
        longest = std::max(longest, paints.LongestMs());
        const bool shown = session.SlotRows().size() == static_cast<std::size_t>(tunecrate::kSlotCount);
        state.ResumeTiming();
        if (!shown) return state.SkipWithError("the floppy's rows were not shown");
    }
    state.counters["longest_paint_gap_ms"] = longest;
}
BENCHMARK(BM_ReloadBesideTheWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The same reading on the calling thread: how long a window would freeze.
void BM_ReadOnTheCallingThread(benchmark::State& state) {
    if (!g_drive->failure().empty()) return state.SkipWithError(g_drive->failure().c_str());
    for (auto _ : state) {
        state.PauseTiming();
        g_drive->Forget();
        state.ResumeTiming();
        const auto volume = tunecrate::OpenFloppyVolume(g_drive->device());
        if (!tunecrate::ReadCatalogue(volume.get())) return state.SkipWithError("the floppy could not be read");
    }
}
BENCHMARK(BM_ReadOnTheCallingThread)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    const auto app = tunecrate::bench::StartWidgetBench(argc, argv);
    if (!app) return 1;
    SlowDrive drive;
    g_drive = &drive;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
