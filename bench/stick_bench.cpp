// SPDX-License-Identifier: MIT
// A factory stick read as the shelf reads it, set against the least any
// reader must do: the first sector of each slot, and of each slot that holds
// a floppy its FAT, root and the clusters of song.nam and comments.dat. The
// stick is a sparse dump of 100, 300 and 1,000 slots, every third one used.
// The first rows a window shows are timed too (the goal: under 100 ms).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "Ratios.h"
#include "core/disk/StickSlots.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/Shelf.h"
#include "core/songs/SongFloppyImage.h"
#include "core/text/SongNames.h"

namespace {

using namespace tunecrate;

constexpr int kFirstRows = 20;

// A sparse stick of `slots` slots, every third holding the same five-song floppy.
class PreparedStick {
public:
    explicit PreparedStick(int slots) : m_slots(slots) {
        char pattern[] = "/tmp/tunecrate-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) Fail("mkdtemp");
        m_folder = pattern;
        const std::string image = m_folder + "/floppy.img";
        if (!CreateSongFloppyImage(image).ok()) Fail("CreateSongFloppyImage");
        {
            ImageVolume volume(image);
            std::vector<SlotText> rows;
            for (int slot = 0; slot < kSlotCount; ++slot) {
                if (!volume.WriteFile(SlotName(slot) + ".B00", std::string(20'000 + 1'000 * static_cast<std::size_t>(slot), 's')).ok()) Fail("song");
                rows.push_back({slot, "Song " + std::to_string(slot + 1), "comment"});
            }
            if (!UpdateCatalogue(volume, rows).ok()) Fail("catalogue");
        }
        std::ifstream in(image, std::ios::binary);
        const std::string floppy((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        m_path = m_folder + "/stick.bin";
        std::ofstream(m_path, std::ios::binary).close();
        std::filesystem::resize_file(m_path, static_cast<std::uintmax_t>(slots) * kSlotStride);
        std::fstream out(m_path, std::ios::in | std::ios::out | std::ios::binary);
        for (int slot = 0; slot < slots; slot += 3) {
            out.seekp(static_cast<std::streamoff>(slot * kSlotStride));
            out.write(floppy.data(), static_cast<std::streamsize>(floppy.size()));
            ++m_used;
        }
        if (!out.good()) Fail("writing the stick");
    }
    ~PreparedStick() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    const std::string& path() const { return m_path; }
    int slots() const { return m_slots; }
    int used() const { return m_used; }

private:
    static void Fail(const char* what) {
        std::fprintf(stderr, "cannot prepare the stick: %s\n", what);
        std::exit(1);
    }
    std::string m_folder, m_path;
    int m_slots = 0, m_used = 0;
};

const PreparedStick& Stick(int slots) {
    static std::map<int, std::unique_ptr<PreparedStick>> sticks;
    auto& stick = sticks[slots];
    if (!stick) stick = std::make_unique<PreparedStick>(slots);
    return *stick;
}

unsigned Le16(const char* b) { return static_cast<unsigned char>(b[0]) | static_cast<unsigned>(static_cast<unsigned char>(b[1])) << 8; }

// The least: per slot its first sector; for a floppy its FAT, root and catalogue clusters.
int FloorRead(int fd, int slots) {
    constexpr std::size_t kSector = 512;
    char boot[kSector], fat[9 * kSector], root[14 * kSector], cluster[kSector];
    int floppies = 0;
    for (int slot = 0; slot < slots; ++slot) {
        const off_t base = static_cast<off_t>(slot * kSlotStride);
        if (::pread(fd, boot, sizeof boot, base) != static_cast<ssize_t>(sizeof boot)) return -1;
        if (Le16(boot + 11) != 512) continue;   // no floppy here
        if (::pread(fd, fat, sizeof fat, base + static_cast<off_t>(kSector)) != static_cast<ssize_t>(sizeof fat) ||
            ::pread(fd, root, sizeof root, base + static_cast<off_t>(19 * kSector)) != static_cast<ssize_t>(sizeof root)) {
            return -1;
        }
        for (const char* name : {"SONG    NAM", "COMMENTSDAT"}) {
            for (std::size_t entry = 0; entry < sizeof root && root[entry] != '\0'; entry += 32) {
                if (std::memcmp(root + entry, name, 11) != 0) continue;
                for (unsigned c = Le16(root + entry + 26); c >= 2 && c < 0xFF8 && c + c / 2 + 1 < sizeof fat;) {
                    if (::pread(fd, cluster, sizeof cluster, base + static_cast<off_t>((33 + c - 2) * kSector)) <= 0) return -1;
                    const unsigned pair = Le16(fat + c + c / 2);
                    c = (c & 1) ? pair >> 4 : pair & 0xFFF;
                }
            }
        }
        ++floppies;
    }
    return floppies;
}

// A stick just put in: nothing of it is in memory, every sector comes from
// the disk. Done outside the timing; where the file system keeps the file in
// memory only (tmpfs), the runs are the same as the warm ones.
void DropCached(benchmark::State& state, const PreparedStick& stick) {
    state.PauseTiming();
    const int fd = ::open(stick.path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
    state.ResumeTiming();
}

void StickFloor(benchmark::State& state, bool cold) {
    const PreparedStick& stick = Stick(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (cold) DropCached(state, stick);
        const int fd = ::open(stick.path().c_str(), O_RDONLY | O_CLOEXEC);
        const int floppies = fd < 0 ? -1 : FloorRead(fd, stick.slots());
        if (fd >= 0) ::close(fd);
        if (floppies != stick.used()) {
            state.SkipWithError("the floor did not read every floppy");
            break;
        }
    }
}
void BM_StickFloor(benchmark::State& state) { StickFloor(state, false); }
void BM_StickFloorCold(benchmark::State& state) { StickFloor(state, true); }
BENCHMARK(BM_StickFloor)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StickFloorCold)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);

// Every slot, as the shelf's reading thread reads it; `cold` as just put in.
void ReadStick(benchmark::State& state, bool cold) {
    const PreparedStick& stick = Stick(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (cold) DropCached(state, stick);
        const FloppiesAtPath found = FloppiesAt(stick.path());
        int floppies = 0;
        ShelfReader reader(found.folder);
        for (const ShelfEntry& entry : found.images) floppies += reader.Read(entry).usable();
        if (!found.stick || floppies != stick.used()) {
            state.SkipWithError("the stick did not read");
            break;
        }
    }
}
void BM_ReadStick(benchmark::State& state) { ReadStick(state, false); }
void BM_ReadStickCold(benchmark::State& state) { ReadStick(state, true); }
BENCHMARK(BM_ReadStick)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadStickCold)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);

// What a window shows first: the stick's layout and its first rows.
void BM_StickFirstRows(benchmark::State& state) {
    const PreparedStick& stick = Stick(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const FloppiesAtPath found = FloppiesAt(stick.path());
        int rows = 0;
        ShelfReader reader(found.folder);
        for (int i = 0; i < kFirstRows && i < static_cast<int>(found.images.size()); ++i) {
            rows += !reader.Read(found.images[static_cast<std::size_t>(i)]).file.empty();
        }
        if (rows != kFirstRows) {
            state.SkipWithError("the first rows did not read");
            break;
        }
    }
}
BENCHMARK(BM_StickFirstRows)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return tunecrate::bench::RunWithRatios(
        argc, argv,
        [](const std::string& run) {
            for (const auto& [ours, floor] : {std::pair<std::string, std::string>{"BM_ReadStick/", "BM_StickFloor/"}, {"BM_ReadStickCold/", "BM_StickFloorCold/"}}) {
                if (run.rfind(ours, 0) == 0) return floor + run.substr(ours.size());
            }
            return std::string();
        },
        [] {
            for (int slots : {100, 300, 1000}) Stick(slots);
        });
}
