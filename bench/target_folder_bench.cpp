// SPDX-License-Identifier: MIT
// Five songs dropped from another folder, exported from a floppy image, and
// deleted, in a target folder of 15 files and of 1,000, 10,000 and 100,000
// songs, on tmpfs. Each touches only its own songs' files, so a large target
// should cost what the small one does; the run ends with each size's time
// over the 15-file folder's, in real and in CPU time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GeneratedSongFolder.h"
#include "Ratios.h"
#include "core/disk/ImageVolume.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/FolderDrop.h"
#include "core/songs/Prompter.h"
#include "core/songs/SongDeletion.h"
#include "core/songs/SongFloppyImage.h"
#include "core/text/Encoding.h"
#include "core/text/SongNames.h"

namespace {

namespace fs = std::filesystem;
using tunecrate::bench::GeneratedSongFolder;

constexpr int kSongs = 5;
constexpr int kSmallFolderSongs = 8;   // 8 songs, 4 events and 3 comment files: 15 files
constexpr const char* kTmpfs = "/dev/shm";

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "cannot prepare the folders: %s\n", what);
    std::exit(1);
}

// The five songs, titled in Japanese as most are: as files in a folder, and in a floppy image.
struct Sources {
    GeneratedSongFolder folder{0, kTmpfs};
    std::string image = folder.path() + "/floppy.img";
    std::vector<std::string> titles;

    Sources() {
        if (!tunecrate::CreateSongFloppyImage(image).ok()) Fail("CreateSongFloppyImage");
        tunecrate::ImageVolume volume(image);
        std::vector<tunecrate::SlotText> rows;
        for (int slot = 0; slot < kSongs; ++slot) {
            const std::string title = "夜想曲 第" + std::to_string(slot + 1) + "番";
            titles.push_back(title);
            const std::string song(20'000 + 1'000 * slot, 's'), events(3'000, 'e'), base = tunecrate::SlotName(slot);
            if (!volume.WriteFile(base + ".B00", song).ok() || !volume.WriteFile(base + ".EVT", events).ok()) Fail("image");
            rows.push_back({slot, *tunecrate::Utf8ToCp932(title), *tunecrate::Utf8ToCp932("練習")});
            for (const auto& [extension, bytes] : {std::pair(".B00", song), std::pair(".EVT", events), std::pair(".CMT", std::string("練習"))}) {
                std::FILE* file = std::fopen((folder.path() + "/" + title + extension).c_str(), "wb");
                if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) Fail("song files");
                std::fclose(file);
            }
        }
        if (!tunecrate::UpdateCatalogue(volume, rows).ok()) Fail("catalogue");
    }
    // Puts the five songs' files into `target`, as a drop would, without timing it.
    void CopyInto(const std::string& target) const {
        for (const std::string& title : titles) {
            for (const char* extension : {".B00", ".EVT", ".CMT"}) {
                fs::copy_file(folder.path() + "/" + title + extension, target + "/" + title + extension, fs::copy_options::overwrite_existing);
            }
        }
    }
    void RemoveFrom(const std::string& target) const {
        for (const std::string& title : titles) {
            for (const char* extension : {".B00", ".EVT", ".CMT"}) fs::remove(target + "/" + title + extension);
        }
    }
};

const Sources& TheSources() {
    static const Sources sources;
    return sources;
}

// One target folder of each size, made at its first use and kept for the run.
const GeneratedSongFolder& Target(int songs) {
    static std::map<int, std::unique_ptr<GeneratedSongFolder>> folders;
    auto& folder = folders[songs];
    if (!folder) folder = std::make_unique<GeneratedSongFolder>(songs, kTmpfs);
    return *folder;
}

// After a timed drop into `target`, untimed: the drop must have brought every
// song without a word, and its songs go again for the next one.
void CheckAndEmpty(benchmark::State& state, const tunecrate::bench::YesPrompter& prompter, std::size_t arrived,
                   const std::string& target) {
    state.PauseTiming();
    if (!prompter.failure.empty()) state.SkipWithError(prompter.failure.c_str());
    if (arrived != kSongs) state.SkipWithError("not every song arrived");
    TheSources().RemoveFrom(target);
    state.ResumeTiming();
}

void BM_DropIntoFolder(benchmark::State& state) {
    const std::string& target = Target(static_cast<int>(state.range(0))).path();
    tunecrate::SongsOnHardDisk songs;
    for (const std::string& title : TheSources().titles) songs.songs.push_back({TheSources().folder.path(), title});
    const tunecrate::SongSource payload = songs;
    tunecrate::bench::YesPrompter prompter;
    std::vector<tunecrate::SlotRow> rows;
    for (auto _ : state) {
        tunecrate::DropContext context{nullptr, rows, prompter, false};
        tunecrate::DropIntoFolder(context, target, payload);
        CheckAndEmpty(state, prompter, context.arrived, target);
    }
}

void BM_ExportIntoFolder(benchmark::State& state) {
    const std::string& target = Target(static_cast<int>(state.range(0))).path();
    tunecrate::bench::YesPrompter prompter;
    for (auto _ : state) {
        // As the command line does: the image opened and its catalogue read, then its songs dropped.
        tunecrate::ImageVolume volume(TheSources().image);
        std::vector<tunecrate::SlotRow> rows = tunecrate::ReadCatalogue(&volume, tunecrate::CatalogueRepair::Never)->rows;
        tunecrate::DropContext context{&volume, rows, prompter, false};
        tunecrate::DropIntoFolder(context, target, tunecrate::SongsOnFloppy{&volume, tunecrate::SlotsWithSongs(rows)});
        CheckAndEmpty(state, prompter, context.arrived, target);
    }
}

void BM_DeleteFromFolder(benchmark::State& state) {
    const std::string& target = Target(static_cast<int>(state.range(0))).path();
    for (auto _ : state) {
        state.PauseTiming();
        TheSources().CopyInto(target);
        state.ResumeTiming();
        const tunecrate::Result deleted = tunecrate::DeleteHardDiskSongs(target, TheSources().titles);
        if (!deleted.ok()) state.SkipWithError(deleted.reason.c_str());
    }
}

void Sizes(benchmark::internal::Benchmark* bench) {
    bench->Arg(kSmallFolderSongs)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_DropIntoFolder)->Apply(Sizes);
BENCHMARK(BM_ExportIntoFolder)->Apply(Sizes);
BENCHMARK(BM_DeleteFromFolder)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv) {
    // Each size's run over the 15-file folder's.
    const auto floorOf = [](const std::string& run) { return run.substr(0, run.rfind('/') + 1) + std::to_string(kSmallFolderSongs); };
    return tunecrate::bench::RunWithRatios(argc, argv, floorOf, [] {
        TheSources();
        for (const int songs : {kSmallFolderSongs, 1'000, 10'000, 100'000}) Target(songs);
    });
}
