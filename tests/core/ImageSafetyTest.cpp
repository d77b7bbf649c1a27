// SPDX-License-Identifier: MIT
// Power cuts, torn sectors, writes reordered by the page cache or the drive,
// failing writes and damaged images, against every change the program makes
// to a floppy image. Each change is recorded write by write; then every state
// a crash could leave is rebuilt and judged by peers nobody here wrote:
// fsck.fat must find the image clean or report lost clusters only, and mcopy
// must read every file with its old content or its new one. On a damaged
// image, no file that a change does not write may read differently after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sstream>
#include <string>
#include <vector>

#include "FloppyImages.h"
#include "ScriptedPrompter.h"
#include "SongDisk.h"
#include "TempDir.h"
#include "core/text/DragPayload.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/FloppyDrop.h"
#include "core/disk/ImageVolume.h"
#include "core/songs/SongFloppyImage.h"
#include "core/songs/SongDeletion.h"

namespace tunecrate {
namespace {

using testing::ScriptedPrompter;
using testing::SongData;
using testing::TempDir;

void Overwrite(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::fclose(file), 0);
}

// One write or flush of a change, in the order the volume made them.
struct Event {
    bool flush = false;
    std::uint64_t offset = 0;
    std::string bytes;
};

// Passes everything on to the image file, records each write and flush, and
// fails the write or flush it is told to (as a failing drive would, EIO).
class RecordingStore final : public ImageStore {
public:
    RecordingStore(std::unique_ptr<ImageStore> inner, std::vector<Event>& log, int failWrite, int failFlush)
        : m_inner(std::move(inner)), m_log(log), m_failWrite(failWrite), m_failFlush(failFlush) {}
    bool Read(std::uint64_t offset, char* data, std::size_t size) override { return m_inner->Read(offset, data, size); }
    bool Write(std::uint64_t offset, std::string_view bytes) override {
        if (m_writes++ == m_failWrite) return Fail();
        m_log.push_back({false, offset, std::string(bytes)});
        return m_inner->Write(offset, bytes);
    }
    bool Flush() override {
        if (m_flushes++ == m_failFlush) return Fail();
        m_log.push_back({true, 0, {}});
        return m_inner->Flush();
    }

private:
    bool Fail() {
        m_log.push_back({false, 0, "<failed>"});
        errno = EIO;
        return false;
    }
    std::unique_ptr<ImageStore> m_inner;
    std::vector<Event>& m_log;
    int m_writes = 0, m_flushes = 0;
    const int m_failWrite, m_failFlush;
};

// The root's files as mcopy reads them (names in upper case); nothing when
// one cannot be read.
std::optional<std::map<std::string, std::string>> PeerFiles(const std::string& image, const TempDir& scratch) {
    const std::string out = scratch.Path("files");
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    const testing::PeerRun run = testing::RunPeer({"mcopy", "-n", "-i", image, "::*", out});
    if (run.exitCode != 0) return std::nullopt;
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        std::string name = entry.path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
        files[name] = testing::ReadWhole(entry.path()).value_or("<unreadable>");
    }
    return files;
}

// What fsck.fat may say of an image that a crash interrupted: nothing, or
// that some clusters are allocated to no file (and that the FATs disagree
// about such clusters, the first being used).
std::string FsckComplaint(const std::string& image) {
    const testing::PeerRun run = testing::Fsck(image);
    if (run.exitCode == 0) return {};
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const bool harmless = line.empty() || line.rfind("fsck.fat ", 0) == 0 || line.rfind("Reclaimed ", 0) == 0 ||
                              line == "FATs differ but appear to be intact." || line == "  Using first FAT." ||
                              line == "Leaving filesystem unchanged." || line.rfind(image + ":", 0) == 0;
        if (!harmless) return run.output;
    }
    return {};
}

// Every state of the disk that a crash during `events` could leave, by kind.
struct CrashStates {
    std::vector<std::string> killed, torn, reordered;
};

std::string Applied(std::string image, const Event& write, std::size_t sectors = SIZE_MAX) {
    const std::size_t length = std::min(write.bytes.size(), sectors * kImageSectorBytes);
    image.replace(write.offset, length, write.bytes, 0, length);
    return image;
}

CrashStates StatesOf(const std::string& before, const std::vector<Event>& events) {
    CrashStates states;
    std::string disk = before;   // every write so far, in order
    std::string flushed = before;
    std::vector<Event> epoch;    // the writes since the last flush, by sector
    std::mt19937 random(7);
    auto reorderings = [&] {
        // Within an epoch the disk may keep any subset of the sectors written.
        std::vector<Event> units;
        for (const Event& write : epoch) {
            for (std::size_t at = 0; at < write.bytes.size(); at += kImageSectorBytes) {
                units.push_back({false, write.offset + at, write.bytes.substr(at, kImageSectorBytes)});
            }
        }
        std::set<std::vector<bool>> picks;
        // TUNECRATE_CRASH_SAMPLES raises the sample for a long run.
        const char* wanted = std::getenv("TUNECRATE_CRASH_SAMPLES");
        const std::size_t samples = wanted != nullptr ? static_cast<std::size_t>(std::atoi(wanted)) : 120;
        if (units.size() <= 8 || (units.size() < 20 && (std::size_t{1} << units.size()) <= samples)) {
            for (std::uint32_t mask = 0; mask < (1u << units.size()); ++mask) {
                std::vector<bool> pick(units.size());
                for (std::size_t i = 0; i < units.size(); ++i) pick[i] = (mask >> i) & 1;
                picks.insert(pick);
            }
        } else {
            for (std::size_t i = 0; i < units.size(); ++i) {
                std::vector<bool> one(units.size(), false), allBut(units.size(), true);
                one[i] = true;
                allBut[i] = false;
                picks.insert(one);
                picks.insert(allBut);
            }
            while (picks.size() < 2 * units.size() + samples) {
                std::vector<bool> pick(units.size());
                for (std::size_t i = 0; i < units.size(); ++i) pick[i] = random() % 2 != 0;
                picks.insert(pick);
            }
        }
        for (const std::vector<bool>& pick : picks) {
            std::string image = flushed;
            for (std::size_t i = 0; i < units.size(); ++i) {
                if (pick[i]) image = Applied(std::move(image), units[i]);
            }
            states.reordered.push_back(std::move(image));
        }
    };
    states.killed.push_back(disk);
    for (const Event& event : events) {
        if (event.flush) {
            reorderings();
            epoch.clear();
            flushed = disk;
            continue;
        }
        if (event.bytes == "<failed>") break;
        const std::size_t sectors = event.bytes.size() / kImageSectorBytes;
        for (std::size_t s = 1; s < sectors; ++s) states.torn.push_back(Applied(disk, event, s));
        disk = Applied(std::move(disk), event);
        epoch.push_back(event);
        states.killed.push_back(disk);
    }
    reorderings();
    return states;
}

// A song floppy with songs in slots 1 and 3, titles beyond the fifth slot,
// a file with a long name, and a root whose next entries cross from its first
// sector into its second.
class ImageCrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateSongFloppyImage(image).ok());
        testing::Mcopy(image, Host("long", SongData("long", 900)), "Mixed Case Name.txt");
        ImageVolume volume(image);
        std::vector<FileChange> files = {
            {"song.nam", testing::TitlesFile({"Blues", "", "Demo"}, "Beyond")},
            {"comments.dat", testing::CommentsFile({"live", "", "demo"}, "beyond")},
            {"MDR_00.B00", SongData("Blues", 5000)},
            {"MDR_00.EVT", SongData("Blues events", 700)},
            {"MDR_02.B00", SongData("Demo", 3000)},
        };
        for (int i = 0; i < 7; ++i) files.push_back({"F" + std::to_string(i) + ".TXT", SongData("f", 100)});
        ASSERT_TRUE(volume.Apply(files, Room::Songs).ok());
        ASSERT_EQ(testing::Fsck(image).exitCode, 0) << testing::Fsck(image).output;
    }

    std::string Host(const std::string& name, const std::string& bytes) {
        dir.Write(name, bytes);
        return dir.Path(name);
    }

    // Runs the change on the image, recording its writes (and failing one).
    std::vector<Event> Run(const std::function<void(ImageVolume&)>& change, int failWrite = -1, int failFlush = -1) {
        std::vector<Event> log;
        ImageVolume volume(image, [&](std::unique_ptr<ImageStore> file) {
            return std::make_unique<RecordingStore>(std::move(file), log, failWrite, failFlush);
        });
        EXPECT_EQ(volume.Problem(), "");
        change(volume);
        return log;
    }

    // Judges one state: a list of what is wrong with it, empty when nothing.
    std::string Judge(const std::string& state, const std::map<std::string, std::string>& before,
                      const std::map<std::string, std::string>& after) {
        const std::string path = dir.Path("state.img");
        Overwrite(path, state);
        if (std::string complaint = FsckComplaint(path); !complaint.empty()) return "fsck.fat: " + complaint;
        const auto files = PeerFiles(path, dir);
        if (!files) return "mcopy cannot read every file";
        std::set<std::string> names;
        for (const auto* side : {&before, &after, &*files}) {
            for (const auto& [name, bytes] : *side) names.insert(name);
        }
        for (const std::string& name : names) {
            auto content = [&](const std::map<std::string, std::string>& side) -> std::optional<std::string> {
                auto it = side.find(name);
                return it == side.end() ? std::nullopt : std::optional<std::string>(it->second);
            };
            const auto now = content(*files);
            if (now != content(before) && now != content(after)) return name + " is neither its old nor its new self";
        }
        return {};
    }

    // Every crash state of the change, and a run with each of its writes and
    // flushes failing; prints the counts, and fails on any state judged bad.
    // `afterFailure` is checked after each run whose write or flush failed.
    void ExpectEveryCrashSafe(const char* what, const std::function<void(ImageVolume&)>& change,
                              const std::function<std::string()>& afterFailure = {}) {
        SCOPED_TRACE(what);
        const std::string before = testing::ReadImage(image);
        const auto beforeFiles = PeerFiles(image, dir);
        ASSERT_TRUE(beforeFiles);
        const std::vector<Event> events = Run(change);
        const auto afterFiles = PeerFiles(image, dir);
        ASSERT_TRUE(afterFiles);
        ASSERT_NE(*afterFiles, *beforeFiles) << "the change changed nothing";
        ASSERT_EQ(FsckComplaint(image), "");

        const CrashStates states = StatesOf(before, events);
        std::map<std::string, std::pair<int, int>> counts;   // kind: tried, bad
        std::set<std::string> judged;
        auto judge = [&](const std::string& kind, const std::string& state) {
            ++counts[kind].first;
            if (!judged.insert(testing::Checksum(state)).second) return;
            const std::string wrong = Judge(state, *beforeFiles, *afterFiles);
            if (wrong.empty()) return;
            ++counts[kind].second;
            ADD_FAILURE() << kind << ": " << wrong;
        };
        for (const std::string& state : states.killed) judge("killed", state);
        for (const std::string& state : states.torn) judge("torn", state);
        for (const std::string& state : states.reordered) judge("reordered", state);

        // A failing write or flush: the change stops there, writes nothing
        // more, and leaves a state a crash at that point would.
        const auto writes = std::count_if(events.begin(), events.end(), [](const Event& e) { return !e.flush; });
        const auto flushes = std::count_if(events.begin(), events.end(), [](const Event& e) { return e.flush; });
        for (int failure = 0; failure < writes + flushes; ++failure) {
            Overwrite(image, before);
            const bool write = failure < writes;
            const std::vector<Event> log = Run(change, write ? failure : -1, write ? -1 : failure - static_cast<int>(writes));
            ++counts["write errors"].first;
            const auto failed = std::find_if(log.begin(), log.end(), [](const Event& e) { return e.bytes == "<failed>"; });
            const bool stopped = failed != log.end() && std::next(failed) == log.end();
            std::string wrong = stopped ? Judge(testing::ReadImage(image), *beforeFiles, *afterFiles)
                                        : "it went on writing after a failed write";
            if (wrong.empty() && afterFailure) wrong = afterFailure();
            if (!wrong.empty()) {
                ++counts["write errors"].second;
                ADD_FAILURE() << "failure " << failure << ": " << wrong;
            }
        }
        Overwrite(image, before);
        for (const auto& [kind, count] : counts) {
            std::cout << "[ crashes  ] " << what << ", " << kind << ": " << count.first << " tried, " << count.second
                      << " bad\n";
        }
    }

    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    ScriptedPrompter prompter;
};

// The changes report nothing here: a run with a failing write fails them, and
// the harness checks that the normal run changed the files.
TEST_F(ImageCrashTest, EveryChangeSurvivesACrashAtAnyWriteInAnyOrder) {
    const std::string song = SongData("New", 12'000), events = SongData("New events", 900);
    const std::string longer = SongData("Longer", 9'000);
    ExpectEveryCrashSafe("a new song across two root sectors", [&](ImageVolume& volume) {
        volume.Apply({{"MDR_01.B00", song}, {"MDR_01.EVT", events}}, Room::Songs);
    });
    ExpectEveryCrashSafe("a song replaced by a longer one without events", [&](ImageVolume& volume) {
        volume.Apply({{"MDR_00.B00", longer}, {"MDR_00.EVT", std::nullopt}}, Room::Songs);
    });
    ExpectEveryCrashSafe("a title edited", [&](ImageVolume& volume) {
        UpdateCatalogue(volume, {SlotText{2, "Dawn", std::nullopt}});
    });
    ExpectEveryCrashSafe("a comment that grows comments.dat", [&](ImageVolume& volume) {
        UpdateCatalogue(volume, {SlotText{0, std::nullopt, std::string(250, 'c')}});
    });
    ExpectEveryCrashSafe("a song deleted", [&](ImageVolume& volume) {
        DeleteFloppySlots(volume, ReadCatalogue(&volume).rows, {0});
    });
    ExpectEveryCrashSafe("a file with a long name removed",
                         [&](ImageVolume& volume) { volume.Remove("Mixed Case Name.txt"); });
    // A move that fails anywhere, its title and comment included, keeps its sources.
    const std::string songs = dir.Path("Songs");
    ASSERT_EQ(::mkdir(songs.c_str(), 0755), 0);
    ExpectEveryCrashSafe(
        "a hard-disk song moved onto a slot",
        [&](ImageVolume& volume) {
            dir.Write("Songs/Blues.B00", song);
            dir.Write("Songs/Blues.cmt", "live");
            std::vector<SlotRow> rows = ReadCatalogue(&volume).rows;
            DropContext context{&volume, rows, prompter, true};
            DropOntoFloppyList(context, 1, ParsePayload(BuildPayload(kHardDiskType, {songs + "/Blues"})));
        },
        [&] {
            return dir.Read("Songs/Blues.B00") == song && dir.Read("Songs/Blues.cmt") == "live"
                       ? std::string()
                       : std::string("the move lost its sources");
        });
    ExpectEveryCrashSafe("a song moved to another slot by a drop", [&](ImageVolume& volume) {
        std::vector<SlotRow> rows = ReadCatalogue(&volume).rows;
        DropContext context{&volume, rows, prompter, true};
        DropOntoFloppyList(context, 3, ParsePayload(BuildPayload(kFloppyType, {"0"})));
    });
}

// One way a floppy gets damaged: by a crash of another program, a bad
// sector, a tool with a bug. Each changes bytes of the FATs or the root.
void Damage(std::string& image, std::mt19937& random) {
    auto setEntry = [&](std::uint64_t fat, std::uint16_t cluster, std::uint16_t value) {
        const std::size_t at = fat + cluster + cluster / 2u;
        unsigned pair = static_cast<unsigned char>(image[at]) | (static_cast<unsigned char>(image[at + 1]) << 8);
        pair = (cluster & 1) ? ((pair & 0x000F) | (unsigned{value} << 4)) : ((pair & 0xF000) | (value & 0xFFFu));
        image[at] = static_cast<char>(pair & 0xFF);
        image[at + 1] = static_cast<char>(pair >> 8);
    };
    auto cluster = [&] { return static_cast<std::uint16_t>(2 + random() % 80); };   // where the files are
    auto both = [&](std::uint16_t c, std::uint16_t v) {
        setEntry(testing::kFat1Offset, c, v);
        setEntry(testing::kFat2Offset, c, v);
    };
    switch (random() % 7) {
        case 0: both(cluster(), cluster()); break;                   // a cross-link or a loop
        case 1: both(cluster(), 0); break;                           // a free cluster inside a chain
        case 2: both(cluster(), static_cast<std::uint16_t>(0xFF0 + random() % 8)); break;   // reserved or bad
        case 3: setEntry(testing::kFat1Offset, cluster(), cluster()); break;   // the second FAT is the intact one
        case 4: setEntry(testing::kFat2Offset, cluster(), 0); break;           // the first is
        case 5:   // an entry's first cluster or size
            image[testing::kRootOffset + (random() % 16) * 32 + 26 + random() % 6] = static_cast<char>(random());
            break;
        default: image[testing::kFat1Offset + random() % 200] = static_cast<char>(random()); break;
    }
}

// The changes a window makes, on a damaged image: whatever each does, every
// file it does not write reads as before. The sample is small here; set
// TUNECRATE_DAMAGE_CASES for a long run.
TEST_F(ImageCrashTest, ChangesOnADamagedImageNeverChangeAFileTheyDoNotWrite) {
    const std::string pristine = testing::ReadImage(image);
    const char* wanted = std::getenv("TUNECRATE_DAMAGE_CASES");
    const int cases = wanted != nullptr ? std::atoi(wanted) : 140;
    struct Change {
        std::set<std::string> writes;   // the names it may change, as mcopy names them
        std::function<void(ImageVolume&)> run;
    };
    const std::vector<Change> changes = {
        {{"MDR_01.B00", "MDR_01.EVT"},
         [](ImageVolume& v) { v.Apply({{"MDR_01.B00", SongData("New", 7000)}, {"MDR_01.EVT", std::string("e")}}, Room::Songs); }},
        {{"MDR_00.B00", "MDR_00.EVT"},
         [](ImageVolume& v) { v.Apply({{"MDR_00.B00", SongData("New", 700)}, {"MDR_00.EVT", std::nullopt}}, Room::Songs); }},
        {{"MDR_02.B00", "MDR_02.EVT", "SONG.NAM", "COMMENTS.DAT"},
         [](ImageVolume& v) { DeleteFloppySlots(v, ReadCatalogue(&v).rows, {2}); }},
        {{"SONG.NAM"}, [](ImageVolume& v) { UpdateCatalogue(v, {SlotText{0, "Dawn", std::nullopt}}); }},
        {{"MDR_00.B00", "MDR_00.EVT", "MDR_03.B00", "MDR_03.EVT", "SONG.NAM", "COMMENTS.DAT"},
         [this](ImageVolume& v) {
             std::vector<SlotRow> rows = ReadCatalogue(&v).rows;
             DropContext context{&v, rows, prompter, true};
             DropOntoFloppyList(context, 3, ParsePayload(BuildPayload(kFloppyType, {"0"})));
         }},
    };
    std::mt19937 random(2024);
    int changed = 0;
    for (int i = 0; i < cases; ++i) {
        std::string damaged = pristine;
        for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) Damage(damaged, random);
        Overwrite(image, damaged);
        const auto before = PeerFiles(image, dir);
        const Change& change = changes[static_cast<std::size_t>(i) % changes.size()];
        {
            ImageVolume volume(image);
            if (volume.Problem().empty()) change.run(volume);
        }
        const auto after = PeerFiles(image, dir);
        for (const auto& [name, bytes] : before.value_or(std::map<std::string, std::string>{})) {
            if (change.writes.count(name) != 0) continue;
            const auto now = after ? after->find(name) : std::map<std::string, std::string>::const_iterator{};
            if (after && now != after->end() && now->second == bytes) continue;
            ++changed;
            ADD_FAILURE() << "case " << i << ": " << name << " changed";
        }
    }
    std::cout << "[ damaged  ] " << cases << " damaged images, " << changed << " files changed that were not written\n";
}

}  // namespace
}  // namespace tunecrate
