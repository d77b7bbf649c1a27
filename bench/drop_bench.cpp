// SPDX-License-Identifier: MIT
// A five-song drop from a folder of 15 files and from a folder of 100,000
// songs, onto a floppy folder and into another folder. A drop needs only its
// own songs' files, so the big folder should cost about what the small one
// does; the run ends with the big-to-small ratio of each pair, in real time
// (which includes waiting for the disk's flushes) and in CPU time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "GeneratedSongFolder.h"
#include "Ratios.h"
#include "core/disk/FolderVolume.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/FolderDrop.h"
#include "core/songs/Prompter.h"

namespace {

namespace fs = std::filesystem;
using tunecrate::bench::GeneratedSongFolder;

constexpr int kBigFolderSongs = 100'000;
constexpr int kDroppedSongs = 5;

// A fresh folder under /tmp, removed at exit.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/tunecrate-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// The big folder, a small one holding only the dropped songs' 15 files (the
// same names and bytes), an empty floppy folder and a target folder.
struct Places {
    GeneratedSongFolder big{kBigFolderSongs};
    TempFolder small, floppy, target;
    std::vector<std::string> titles;

    Places() {
        std::set<std::string> dropped;
        for (int i = 0; i < kDroppedSongs; ++i) dropped.insert(titles.emplace_back(big.title(6 * i)));
        int copied = 0;
        for (const auto& entry : fs::directory_iterator(big.path())) {
            if (dropped.count(entry.path().stem().string()) == 0) continue;
            fs::copy_file(entry.path(), small.path() / entry.path().filename());
            ++copied;
        }
        std::string songNam, commentsDat;
        for (int line = 0; line < 40; ++line) {
            songNam += std::string(17, ' ') + "\r\n";
            commentsDat += "\r\n";
        }
        const tunecrate::Result made = tunecrate::CreateFileBytes(floppy.path() + "/song.nam", songNam);
        if (copied != 3 * kDroppedSongs || !made.ok() ||
            !tunecrate::CreateFileBytes(floppy.path() + "/comments.dat", commentsDat).ok()) {
            std::fprintf(stderr, "cannot prepare the folders\n");
            std::exit(1);
        }
    }
    tunecrate::SongSource Songs(bool fromBig) const {
        tunecrate::SongsOnHardDisk songs;
        for (const std::string& title : titles) songs.songs.push_back({fromBig ? big.path() : small.path(), title});
        return songs;
    }
};

const Places& ThePlaces() {
    static const Places places;
    return places;
}

void BM_DropOntoFloppy(benchmark::State& state, bool fromBig) {
    const tunecrate::SongSource payload = ThePlaces().Songs(fromBig);
    tunecrate::FolderVolume floppy(ThePlaces().floppy.path());
    tunecrate::bench::YesPrompter prompter;
    for (auto _ : state) {
        // The window's rows as a fresh reading shows them, or the drop refuses.
        state.PauseTiming();
        std::vector<tunecrate::SlotRow> rows = tunecrate::ReadCatalogue(&floppy)->rows;
        state.ResumeTiming();
        tunecrate::DropContext context{&floppy, rows, prompter, false};
        tunecrate::DropOntoFloppyList(context, 0, payload);
        if (!prompter.failure.empty()) {
            state.SkipWithError(prompter.failure.c_str());
            break;
        }
    }
}
BENCHMARK_CAPTURE(BM_DropOntoFloppy, small_folder, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DropOntoFloppy, big_folder, true)->Unit(benchmark::kMillisecond);

void BM_DropIntoFolder(benchmark::State& state, bool fromBig) {
    const tunecrate::SongSource payload = ThePlaces().Songs(fromBig);
    tunecrate::bench::YesPrompter prompter;
    std::vector<tunecrate::SlotRow> rows;
    for (auto _ : state) {
        tunecrate::DropContext context{nullptr, rows, prompter, false};
        tunecrate::DropIntoFolder(context, ThePlaces().target.path(), payload);
        if (!prompter.failure.empty()) {
            state.SkipWithError(prompter.failure.c_str());
            break;
        }
    }
}
BENCHMARK_CAPTURE(BM_DropIntoFolder, small_folder, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DropIntoFolder, big_folder, true)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Each big-folder run over its small-folder partner.
    const auto floorOf = [](const std::string& run) {
        const auto at = run.find("big_folder");
        return at == std::string::npos ? std::string() : std::string(run).replace(at, 10, "small_folder");
    };
    return tunecrate::bench::RunWithRatios(argc, argv, floorOf, [] { ThePlaces(); });
}
