// SPDX-License-Identifier: MIT
// Power cuts, torn sectors, reordered or failing writes and damaged images, against the changes made to a floppy
// image. Every state a crash could leave is rebuilt from the writes recorded and judged by peers nobody here wrote:
// fsck.fat finds it clean (lost clusters aside), mcopy reads every file as its old or its new self. On a damaged
// image, no file that a change does not write may read differently after it.
#include <functional>
#include <iostream>
#include <random>
#include <set>

#include "Faults.h"
#include "ScriptedPrompter.h"
#include "Songs.h"
#include "core/disk/FatImage.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/Shelf.h"
#include "core/songs/SongDeletion.h"
#include "core/Texts.h"

namespace tunecrate::testing {
namespace {

using Files = std::map<std::string, std::string>;
constexpr std::uint64_t kFat1 = 512, kFat2 = 10 * 512, kRoot = 19 * 512;

// The root slot of the end mark: where the next new entry goes on a root without deleted slots.
std::size_t EndSlot(const std::string& image) {
    std::size_t slot = 0;
    while (image[kRoot + slot * 32] != '\0') ++slot;
    return slot;
}

// A song with a long name deleted as the instrument deletes: its long name stays, naming what takes the slot as MDR_01.B00.
void LeaveLongNameOfDeletedSong(const std::string& image) {
    ASSERT_EQ(RunPeer({"mcopy", "-i", image, "/dev/null", "::Old name.b00"}).exitCode, 0);
    std::string bytes = ReadWhole(image).value_or("");
    const std::size_t entry = bytes.find("OLDNAM~1B00");
    WriteWhole(image, bytes.replace(entry, 11, "\xE5" "DR_01  B00").replace(entry - 32 + 13, 1, "\x9D"));
}

std::string Applied(std::string image, const StoreEvent& write, std::size_t sectors = SIZE_MAX) {
    const std::size_t length = std::min(write.bytes.size(), sectors * kImageSectorBytes);
    image.replace(write.offset, length, write.bytes, 0, length);
    return image;
}

// Every state a crash could leave, by kind: each prefix of the writes ("killed"), each write cut at each sector
// ("torn"), any subset of the sectors written since the last flush ("reordered": all for up to 8 sectors, else a
// sample, larger with TUNECRATE_CRASH_SAMPLES).
std::map<std::string, std::vector<std::string>> CrashStates(const std::string& before, const std::vector<StoreEvent>& events) {
    std::map<std::string, std::vector<std::string>> states;
    std::string disk = before, flushed = before;
    std::vector<StoreEvent> units;   // the sectors written since the last flush
    std::mt19937 random(7);
    const char* wanted = std::getenv("TUNECRATE_CRASH_SAMPLES");
    const std::size_t samples = wanted != nullptr ? std::stoul(wanted) : 120;
    auto reorderings = [&] {
        const std::size_t n = units.size();
        const bool all = n <= 8 || (n < 20 && (std::size_t{1} << n) <= samples);
        std::set<std::vector<bool>> picks;
        const auto pickBy = [&](const auto& taken) {
            std::vector<bool> pick(n);
            for (std::size_t i = 0; i < n; ++i) pick[i] = taken(i);
            picks.insert(pick);
        };
        for (std::size_t m = 0; all && m < (std::size_t{1} << n); ++m) pickBy([&](std::size_t i) { return (m >> i) & 1; });
        for (std::size_t j = 0; !all && j < n; ++j) {   // each sector alone, and all but it
            pickBy([&](std::size_t i) { return i == j; });
            pickBy([&](std::size_t i) { return i != j; });
        }
        while (!all && picks.size() < 2 * n + samples) pickBy([&](std::size_t) { return random() % 2 != 0; });
        for (const std::vector<bool>& pick : picks) {
            std::string image = flushed;
            for (std::size_t i = 0; i < units.size(); ++i) if (pick[i]) image = Applied(std::move(image), units[i]);
            states["reordered"].push_back(std::move(image));
        }
    };
    states["killed"].push_back(disk);
    for (const StoreEvent& event : events) {
        if (event.flush) {
            reorderings();
            units.clear();
            flushed = disk;
            continue;
        }
        for (std::size_t s = 1; s < event.bytes.size() / kImageSectorBytes; ++s)
            states["torn"].push_back(Applied(disk, event, s));
        for (std::size_t at = 0; at < event.bytes.size(); at += kImageSectorBytes)
            units.push_back({false, event.offset + at, event.bytes.substr(at, kImageSectorBytes)});
        disk = Applied(std::move(disk), event);
        states["killed"].push_back(disk);
    }
    reorderings();
    return states;
}

class ImageCrashTest : public ::testing::Test {
protected:
    // A file with a long name, and a root whose next entries cross from its first sector into its second.
    void SetUp() override {
        WriteWhole(dir.Path("long"), SongBytes("long", 900));
        ASSERT_EQ(RunPeer({"mcopy", "-i", image, dir.Path("long"), "::Mixed Case Name.txt"}).exitCode, 0);
        std::vector<FileChange> files;
        for (int i = 0; i < 6; ++i) files.push_back({"F" + std::to_string(i) + ".TXT", SongBytes("f", 100)});
        ASSERT_TRUE(ImageVolume(image).Apply(files, CatalogueReserve::Keep).ok());
    }

    std::vector<StoreEvent> Run(const std::function<void(ImageVolume&)>& change, int failAt = -1) {
        StoreFaults faults{.failAt = failAt};
        ImageVolume volume(image, Failing(faults));
        change(volume);
        return faults.log;
    }

    // What is wrong with a state; empty when nothing.
    std::string Judge(const std::string& state, const Files& before, const Files& after) {
        WriteWhole(dir.Path("state.img"), state);
        if (std::string complaint = FsckComplaint(dir.Path("state.img")); !complaint.empty()) return complaint;
        const Files now = PeerFiles(dir.Path("state.img"));
        const auto content = [](const Files& side, const std::string& name) {
            return side.contains(name) ? std::optional(side.at(name)) : std::nullopt;
        };
        for (const Files* side : {&before, &after, &now})
            for (const auto& [name, bytes] : *side)
                if (content(now, name) != content(before, name) && content(now, name) != content(after, name))
                    return name + " is neither old nor new";
        return {};
    }

    // Judges every crash state of the change and a run with each write and
    // flush failing in turn; prints the counts.
    void ExpectEveryCrashSafe(const char* what, const std::function<void(ImageVolume&)>& change) {
        SCOPED_TRACE(what);
        const std::string before = ReadWhole(image).value_or("");
        const Files beforeFiles = PeerFiles(image);
        const std::vector<StoreEvent> events = Run(change);
        const Files afterFiles = PeerFiles(image);
        ASSERT_NE(afterFiles, beforeFiles) << "the change changed nothing";
        std::map<std::string, std::pair<int, int>> counts;   // kind: tried, bad
        std::set<std::size_t> judged;
        for (const auto& [kind, states] : CrashStates(before, events))
            for (const std::string& state : states) {
                ++counts[kind].first;
                if (!judged.insert(std::hash<std::string>{}(state)).second) continue;
                const std::string wrong = Judge(state, beforeFiles, afterFiles);
                counts[kind].second += !wrong.empty();
                EXPECT_EQ(wrong, "") << kind;
            }
        // A failing write or flush stops the change: nothing more is written, the disk is as a crash there leaves it.
        for (int failure = 0; failure < static_cast<int>(events.size()); ++failure) {
            WriteWhole(image, before);
            const std::vector<StoreEvent> log = Run(change, failure);
            std::string wrong = log.empty() || log.back().bytes != "<failed>" ? "it went on after a failed write"
                                                                               : Judge(ReadWhole(image).value_or(""), beforeFiles, afterFiles);
            ++counts["write errors"].first;
            counts["write errors"].second += !wrong.empty();
            EXPECT_EQ(wrong, "") << "failure " << failure;
        }
        WriteWhole(image, before);
        for (const auto& [kind, count] : counts)
            std::cout << "[ crashes  ] " << what << ", " << kind << ": " << count.first << " tried, " << count.second
                      << " bad\n";
    }

    TestFloppy floppy{Medium::Image, "1:Blues/live=Blues+ 3:Demo/demo=Demo L10:Beyond/beyond"};
    const std::string image = floppy.location();
    TempDir dir;
    ScriptedPrompter prompter;
};

DropResult DropOn(ImageVolume& volume, Prompter& prompter, int slot, const SongSource& songs) {
    std::vector<SlotRow> rows = RowsOf(&volume);
    DropContext context{&volume, rows, prompter, true};
    return DropOntoFloppyList(context, slot, songs);
}

// Results go unchecked here: a failing write fails a change, and the normal run must change the files.
TEST_F(ImageCrashTest, EveryChangeSurvivesACrashAtAnyWriteInAnyOrder) {
    const std::string song = SongBytes("New", 12'000);
    const std::vector<std::pair<const char*, std::function<void(ImageVolume&)>>> changes = {
        {"a new song across two root sectors",
         [&](ImageVolume& v) { v.Apply({{"MDR_01.B00", song}, {"MDR_01.EVT", SongBytes("New~", 900)}}, CatalogueReserve::Keep); }},
        {"a song replaced by a longer one without events",
         [&](ImageVolume& v) { v.Apply({{"MDR_00.B00", SongBytes("Longer", 9000)}, {"MDR_00.EVT", std::nullopt}}, CatalogueReserve::Keep); }},
        {"a title edited", [&](ImageVolume& v) { UpdateCatalogue(v, {SlotText{2, "Dawn", std::nullopt}}); }},
        {"a comment that grows comments.dat",
         [&](ImageVolume& v) { UpdateCatalogue(v, {SlotText{0, std::nullopt, std::string(250, 'c')}}); }},
        {"a song deleted", [&](ImageVolume& v) { DeleteFloppySlots(v, RowsOf(&v), {0}); }},
        {"a file with a long name removed", [&](ImageVolume& v) { v.Remove("Mixed Case Name.txt"); }},
        {"a song dropped on another slot", [&](ImageVolume& v) { DropOn(v, prompter, 3, SourceOf("FD", {"0"})); }},
    };
    for (const auto& [what, change] : changes) ExpectEveryCrashSafe(what, change);
    // A long name whose file is gone, in the root sector before the slot a new file takes: it is cleared first.
    for (int n = 0; EndSlot(*ReadWhole(image)) % 16 != 15; ++n) ASSERT_TRUE(ImageVolume(image).Apply({{"PAD" + std::to_string(n), ""s}}, CatalogueReserve::Keep).ok());
    LeaveLongNameOfDeletedSong(image);
    const auto newSong = [&](ImageVolume& volume) { volume.Apply({{"MDR_01.B00", song}}, CatalogueReserve::Keep); };
    ExpectEveryCrashSafe("a new song after a long name left without its file", newSong);
}

// Once the new files are in place, a failure to free the old room is told, not taken for a failed change.
TEST_F(ImageCrashTest, AFailureWhileFreeingTheOldRoomLeavesTheChangeDoneWithANotice) {
    const std::string before = ReadWhole(image).value_or(""), song = SongBytes("New", 700);
    // Failing the first FAT's write of the entries freed (the second's comes after it; their flush waits for the next change).
    const int failAt = static_cast<int>(Run([&](ImageVolume& volume) { volume.Apply({{"MDR_00.B00", song}}, CatalogueReserve::Keep); }).size()) - 2;
    WriteWhole(image, before);
    Result done, next;
    const std::vector<StoreEvent> log = Run([&](ImageVolume& volume) {
        done = volume.Apply({{"MDR_00.B00", song}}, CatalogueReserve::Keep);
        next = volume.Apply({{"MDR_00.EVT", std::nullopt}}, CatalogueReserve::Keep);
    }, failAt);
    EXPECT_EQ(std::tuple(done.ok(), done.reason, next.ok(), log.back().bytes, PeerFiles(image)["MDR_00.B00"]),
              std::tuple(true, Translated(texts::kOldRoomNotFreed, {image, std::strerror(EIO)}), false, "<failed>"s, song));
}

// The two bytes that hold a cluster's 12-bit entry in the FAT at `fat`.
unsigned FatPair(const std::string& image, std::uint64_t fat, std::uint16_t cluster) {
    const std::size_t at = fat + cluster + cluster / 2u;
    return static_cast<unsigned char>(image[at]) | (static_cast<unsigned char>(image[at + 1]) << 8);
}
void SetFatEntry(std::string& image, const std::vector<std::uint64_t>& fats, std::uint16_t cluster, std::uint16_t value) {
    for (const std::uint64_t fat : fats) {
        const std::size_t at = fat + cluster + cluster / 2u;
        const unsigned pair = FatPair(image, fat, cluster);
        const unsigned to = (cluster & 1) ? ((pair & 0x000F) | (unsigned{value} << 4)) : ((pair & 0xF000) | (value & 0xFFFu));
        image[at] = static_cast<char>(to & 0xFF);
        image[at + 1] = static_cast<char>(to >> 8);
    }
}

// What fsck.fat -n finds, its banner and its count of files and clusters aside.
std::set<std::string> FsckFindings(const std::string& output) {
    std::set<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        if (!line.starts_with("fsck.fat ") && !line.ends_with(" clusters")) lines.insert(line);
    return lines;
}

// A row: a floppy's state (damage, or what other tools leave), the problem our check tells of it among any others,
// what fsck.fat -n says, and how a change ends (Failed without a reason: refused for that damage), CheckChange
// saying the same beforehand, room aside. `tunecrate check` and the shelf tell the same, reads write nothing,
// peers see what a change that went ahead wrote, every file it does not write reads as before, and fsck.fat finds
// nothing it did not find before.
TEST_F(ImageCrashTest, DamageIsToldAsFsckFindsItAndChangesGoAheadOnlyWhereTheyEndangerNothing) {
    ASSERT_EQ(RunPeer({"mmd", "-i", image, "::Sub"}).exitCode + RunPeer({"mcopy", "-i", image, dir.Path("long"), "::Sub/IN.TXT"}).exitCode, 0);
    const std::string base = ReadWhole(image).value_or(""), copy = dir.Path("copy.img"), mdr = "MDR_00.B00";
    const auto at = [&](const char* entry) { return base.find(entry); };
    const auto start = [&](const char* entry) { return static_cast<std::uint16_t>(FatPair(base, at(entry) + 26, 0)); };
    const std::uint16_t m0 = start("MDR_00  B00"), m2 = start("MDR_02  B00"), in = start("IN      TXT");
    const std::size_t end = EndSlot(base), longName = (at("MIXEDC~1TXT") - kRoot) / 32 - 2;   // its two long-name slots
    const auto n = [](std::size_t v) { return std::to_string(v); };
    const auto on = [](std::vector<std::string> args, const std::string& path) { return RunPeer((args.insert(args.begin() + 1, {"-i", path}), args)); };
    using Setup = std::function<void(const std::string&)>;
    const auto patch = [](std::size_t to, std::string b) -> Setup { return [=](auto& path) { WriteWhole(path, ReadWhole(path)->replace(to, b.size(), b)); }; };
    const auto fat = [](std::vector<std::uint64_t> fats, std::uint16_t c, std::uint16_t v) -> Setup {
        return [=](const std::string& path) { std::string bytes = *ReadWhole(path); SetFatEntry(bytes, fats, c, v); WriteWhole(path, bytes); };
    };
    const auto peer = [on](std::vector<std::string> args) -> Setup {
        return [=](const std::string& path) { ASSERT_EQ(on(args, path).exitCode, 0) << args[0]; };
    };
    const std::string filler(ImageVolume(image).Space()->FreeBytes() - 8192, 'f');   // less free than the catalogue's room
    const Setup fill = [&](const std::string& path) { ASSERT_TRUE(ImageVolume(path).Apply({{"FILL.BIN", filler}}, CatalogueReserve::Use).ok()); };
    std::vector<FileChange> emptyFiles;   // one for each root slot left
    for (std::size_t slot = end; slot < kImageRootEntries; ++slot) emptyFiles.push_back({"E" + n(slot), ""s});
    const Setup fillRoot = [&](const std::string& path) { ASSERT_TRUE(ImageVolume(path).Apply(emptyFiles, CatalogueReserve::Use).ok()); };
    const std::vector<std::uint64_t> both = {kFat1, kFat2};
    struct Row { const char* what; Setup setup; std::string problem; const char* fsck; Status status = Status::Ok; std::string reason = {};
                 std::vector<FileChange> changes = {{"MDR_00.B00", SongBytes("New", 700)}}; std::vector<std::string> peer = {}; const char* says = ""; };
    const std::vector<Row> rows = {
        {"nothing", [](const std::string&) {}, "", ""},
        {"the first FAT's media byte", patch(kFat1 + 1, "\0"s), Translated(texts::kFatsDifferReserved), "FATs differ - using second", Status::Failed},
        {"the second FAT takes a free cluster", fat({kFat2}, 300, 0xFFF), Translated(texts::kFatsDiffer, {"300"}), "FATs differ but", Status::Failed},
        {"a loop", fat(both, m0 + 5, m0 + 1), Translated(texts::kChainLoops, {mdr, n(m0 + 5), n(m0 + 1)}), "Circular", Status::Failed},
        {"a chain into another's", fat(both, m0 + 5, m2), Translated(texts::kClusterShared, {mdr, n(m2), "MDR_02.B00"}), "length is > 3072", Status::Failed},
        {"a free cluster in a chain", fat(both, m0 + 2, 0), Translated(texts::kChainMeetsFree, {mdr, n(m0 + 2)}), "Contains a free cluster", Status::Failed},
        {"a bad cluster in a chain", fat(both, m0 + 2, 0xFF7), Translated(texts::kChainMeetsBad, {mdr, n(m0 + 2)}), "bad cluster", Status::Failed},
        {"a reserved value in a chain", fat(both, m0 + 2, 0xFF3), Translated(texts::kChainLeavesDisk, {mdr, n(m0 + 2), "4083"}), "range", Status::Failed},
        {"a start off the disk", patch(at("MDR_00  B00") + 26, "\xB8\x0B"), Translated(texts::kStartOffDisk, {mdr, "3000"}), "beyond limit", Status::Failed},
        {"a start at an end mark", patch(at("MDR_00  B00") + 26, "\xFF\x0F"), Translated(texts::kStartOffDisk, {mdr, "4095"}), "beyond limit", Status::Failed},
        {"a size beyond the chain", patch(at("MDR_00  B00") + 28, "\x88\x13"), Translated(texts::kChainShort, {mdr, "6", "5000"}), "length is 3072"},
        {"a chain beyond the size", patch(at("MDR_00  B00") + 28, "\xE8\x03"), Translated(texts::kChainLong, {mdr, "6", "1000"}), "length is > 1024"},
        {"a size without a cluster", patch(at("MDR_00  B00") + 26, "\0\0"s), Translated(texts::kSizeWithoutCluster, {mdr, "3000"}), "length is 0"},
        {"a lost cluster", fat(both, 300, 0xFFF), Translated(texts::kLostClusters, {"1", "300"}), "Reclaimed 1 unused cluster"},
        {"a subfolder's file", fat(both, in + 1, 0), Translated(texts::kChainMeetsFree, {"Sub/IN.TXT", n(in + 1)}), "/Sub/IN.TXT"},
        {"a folder with a size", patch(at("SUB        ") + 29, "\2"), Translated(texts::kFolderWithSize, {"Sub", "512"}), "non-zero size"},
        {"a long name without its file", patch(at("MIXEDC~1TXT"), "\xE5"), Translated(texts::kOrphanedLongName, {"/", n(longName)}), "Orphaned"},
        {"a long-name slot with a cluster", patch(at("MIXEDC~1TXT") - 6, "\5"), Translated(texts::kLongNameWithCluster, {"/", n(longName + 1), "5"}), "field"},
        {"the media entry of both FATs", fat(both, 0, 0), Translated(texts::kFatMediaEntry, {"0x000"}), "Both FATs appear to be corrupt"},
        {"less room than the catalogue's, songs removed", fill, "", "", Status::Ok, "", {{mdr, std::nullopt}, {"MDR_00.EVT", std::nullopt}}},
        {"less room than the catalogue's, a file added", fill, "", "", Status::DiskFull, std::strerror(ENOSPC), {{"NEW.TXT", "n"s}}},
        {"a read-only file replaced", peer({"mattrib", "+r", "::SONG.NAM"}), "", "", Status::Failed, Translated(texts::kReadOnlyFile, {copy + "/song.nam"}),
         {{"song.nam", "t"s}}},
        {"a read-only file removed", peer({"mattrib", "+r", "::" + mdr}), "", "", Status::Failed, Translated(texts::kReadOnlyFile, {copy + "/" + mdr}),
         {{mdr, std::nullopt}}},
        {"a folder in a file's place", peer({"mmd", "::MDR_01.B00"}), "", "", Status::Failed, copy + "/MDR_01.B00 はフォルダです。", {{"MDR_01.B00", "s"s}}},
        {"a full root folder", fillRoot, "", "", Status::DiskFull, Translated(texts::kRootFolderFull), {{"MDR_01.B00", "s"s}}},
        {"files written", peer({"mattrib", "-a", "::SONG.NAM"}), "", "", Status::Ok, "", {{"song.nam", "t"s}, {"NEW.TXT", "n"s}},
         {"mattrib", "::song.nam", "::NEW.TXT"}, "  A          ::/song.nam\n  A          ::/NEW.TXT\n"},
        {"a new file after a long name without its file", LeaveLongNameOfDeletedSong, Translated(texts::kOrphanedLongName, {"/", n(end)}), "Orphaned", Status::Ok, "",
         {{"MDR_01.B00", "s"s}}, {"mdir", "-b", "::"}, "::/MDR_01.B00\n"},
    };
    TempDir shelf;
    std::string told;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        char name[32];
        std::snprintf(name, sizeof name, "DSKA%04td.IMG", &row - rows.data());
        const std::string path = shelf.Path(name);
        WriteWhole(path, base);
        row.setup(path);
        const std::string bytes = ReadWhole(path).value_or("");
        const std::vector<std::string> found = ImageVolume(path).Damage();
        const PeerRun fsck = Fsck(path);
        EXPECT_TRUE(row.problem.empty() ? found.empty() : std::ranges::count(found, row.problem) == 1) << ::testing::PrintToString(found);
        EXPECT_TRUE((fsck.exitCode != 0) == !found.empty() && fsck.output.find(row.fsck) != std::string::npos) << fsck.output;
        const std::string damaged = found.empty() ? "" : Translated(texts::kImageDamaged, {name, found[0]});
        const ShelfRow listed = ReadShelfImage(shelf.path(), name);
        EXPECT_EQ(std::tuple(listed.condition.reason, listed.usable(), listed.titles[0], ReadWhole(path) == bytes),
                  std::tuple(damaged.substr(0, damaged.find('\n')), true, "Blues"s, true)) << "the reads wrote";
        for (const std::string& problem : found.empty() ? std::vector<std::string>{"問題なし"} : found) told += path + ": " + problem + "\n";
        WriteWhole(copy, bytes);
        const Files peersBefore = PeerFiles(copy);
        ImageVolume volume(copy);
        std::vector<std::string> names;
        for (const FileChange& change : row.changes) names.push_back(change.name);
        const Result checked = volume.CheckChange(names), applied = volume.Apply(row.changes, CatalogueReserve::Keep);
        const std::string reason = row.status == Status::Failed && row.reason.empty() ? Translated(texts::kImageDamaged, {copy, row.problem}) : row.reason;
        EXPECT_EQ(std::tuple(applied.status, applied.reason, checked.reason), std::tuple(row.status, reason, row.status == Status::Failed ? reason : ""));
        EXPECT_TRUE(applied.ok() || ReadWhole(copy) == bytes) << "refused, but written";
        EXPECT_NE(row.peer.empty() ? 0 : on(row.peer, copy).output.find(row.says), std::string::npos) << row.says;
        const Files peersAfter = PeerFiles(copy);
        for (const auto& [file, content] : peersBefore)
            EXPECT_TRUE(std::ranges::count(names, file, Upper) != 0 || (peersAfter.contains(file) && peersAfter.at(file) == content)) << file;
        const PeerRun after = Fsck(copy);
        EXPECT_TRUE(std::ranges::includes(FsckFindings(fsck.output), FsckFindings(after.output))) << "worse by fsck.fat: " << after.output;
    }
#ifdef TUNECRATE_PROGRAM
    const PeerRun check = RunCommand("LC_ALL=C LANGUAGE= '" TUNECRATE_PROGRAM "' check", {shelf.path()}, " 2>/dev/null");
    EXPECT_EQ(std::pair(check.exitCode, check.output), std::pair(1, told));
#endif
}

// The plain reading of a chain, one entry at a time with a set of those
// seen: the referee of the traced one, which skips ahead along runs.
FatImage::TracedChain PlainChain(const FatImage& fat, std::uint16_t first, std::uint32_t size) {
    using Fault = FatImage::ChainFault;
    FatImage::TracedChain plain;
    std::set<std::uint16_t> seen;
    for (std::uint16_t c = first; first != 0;) {
        if (c == 0) plain.fault = Fault::MeetsFree;
        else if (c == kBadClusterMark) plain.fault = Fault::MeetsBad;
        else if (c < 2 || c >= fat.ClusterCount() + 2) plain.fault = Fault::LeavesDisk;
        else if (!seen.insert(c).second) plain.fault = Fault::Loops;
        if (plain.fault != Fault::None) break;
        plain.clusters.push_back(c);
        if ((c = fat.Next(c)) >= 0xFF8) break;
    }
    if (plain.fault == Fault::None && plain.clusters.size() < (size + 511) / 512) plain.fault = Fault::Short;
    return plain;
}

TEST(FatTables, ChainsAndCountsAreThoseOfOneEntryAtATime) {
    const std::string floppy = NewSongFloppyImageBytes();
    std::mt19937 random(20261209);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        Expected<FatImage> parsed = FatImage::Parse(floppy.substr(0, 512));
        ASSERT_TRUE(parsed);
        FatImage fat = std::move(*parsed);
        ASSERT_TRUE(fat.Load(floppy.substr(kFat1, fat.FatUsedBytes()), floppy.substr(kRoot, kImageRootEntries * kDirEntryBytes)).ok());
        const auto end = static_cast<std::uint16_t>(fat.ClusterCount() + 2);
        // Files written in runs, some broken by a jump, a free, bad or
        // reserved entry, an end mark or a way back; the rest left free.
        const auto pick = [&](int below) { return static_cast<int>(random() % static_cast<unsigned>(below)); };
        // Some disks are filled only so far, as most are: long free stretches after.
        const auto filled = static_cast<std::uint16_t>(round % 4 == 0 ? 2 + pick(end - 2) : end);
        for (std::uint16_t c = 2; c < filled;) {
            const int run = 1 + pick(round % 2 ? 40 : 12);
            for (int i = 0; i < run && c < end; ++i, ++c) fat.SetNext(c, c + 1);
            const std::uint16_t odd[] = {0, kBadClusterMark, 0xFF8, 0xFFF, 1, 0xFF3, static_cast<std::uint16_t>(2 + pick(end - 2)),
                                         static_cast<std::uint16_t>(end + pick(50))};
            if (c < end) fat.SetNext(c, odd[pick(8)]);
            c = static_cast<std::uint16_t>(c + 1 + pick(round % 3 ? 3 : 200));
        }
        std::uint32_t free = 0, bad = 0;
        for (std::uint16_t c = 2; c < end; ++c) {
            free += fat.Next(c) == 0;
            bad += fat.Next(c) == kBadClusterMark;
        }
        // Counted afresh, not kept up by SetNext.
        ASSERT_TRUE(fat.Load(fat.FatBytes(), fat.RootBytes()).ok());
        EXPECT_EQ(std::pair(fat.FreeClusters(), fat.BadClusters()), std::pair(free, bad));
        std::vector<std::uint16_t> onto = {7, 7};
        for (int chain = 0; chain < 40; ++chain) {
            const auto first = static_cast<std::uint16_t>(chain == 0 ? 0 : chain == 1 ? 0xFFF : pick(end + 2));
            const auto size = static_cast<std::uint32_t>(pick(60'000));
            const FatImage::TracedChain traced = fat.TraceChain(first, size), plain = PlainChain(fat, first, size);
            ASSERT_EQ(std::pair(traced.clusters, traced.fault), std::pair(plain.clusters, plain.fault)) << "from " << first;
            const std::size_t before = onto.size();
            EXPECT_EQ(fat.TraceChainOnto(first, size, onto), plain.fault);
            EXPECT_TRUE(std::equal(onto.begin() + static_cast<std::ptrdiff_t>(before), onto.end(), plain.clusters.begin(), plain.clusters.end()))
                << "appended after what was there";
        }
        EXPECT_EQ(std::vector<std::uint16_t>(onto.begin(), onto.begin() + 2), (std::vector<std::uint16_t>{7, 7}));
    }
}

// An image opened to be read looks at the bytes it was read into; its first
// change of any kind is made to its own copy, and seen there.
TEST(FatTables, AChangeIsMadeToTheImagesOwnBytesNeverToThoseItWasReadFrom) {
    const std::string floppy = NewSongFloppyImageBytes();
    for (const auto& [what, change] : std::vector<std::pair<const char*, std::function<void(FatImage&)>>>{
             {"SetNext", [](FatImage& fat) { fat.SetNext(40, 41); }},
             {"ClearSlot", [](FatImage& fat) { fat.ClearSlot(0); }},
             {"PutEntry", [](FatImage& fat) { fat.PutEntry(30, "NEW.TXT", 0, 0); }},
             {"SetFile", [](FatImage& fat) { fat.SetFile(0, 0, 0); }},
             {"MarkDeleted", [](FatImage& fat) { fat.MarkDeleted(0, 0); }}}) {
        SCOPED_TRACE(what);
        const std::string read = floppy;
        Expected<FatImage> parsed = FatImage::Parse(floppy.substr(0, 512));
        ASSERT_TRUE(parsed);
        FatImage fat = std::move(*parsed);
        ASSERT_TRUE(fat.Borrow(std::string_view(read).substr(kFat1, kFat2 - kFat1), std::string_view(read).substr(kRoot)).ok());
        const std::pair<std::string, std::string> before(fat.FatBytes(), fat.RootBytes());
        change(fat);
        EXPECT_TRUE(read == floppy) << "the bytes read were written";
        const std::pair<std::string, std::string> after(fat.FatBytes(), fat.RootBytes());
        EXPECT_NE(after, before) << "the change is not seen";
        EXPECT_EQ(std::pair(after.first.size(), after.second.size()), std::pair(before.first.size(), before.second.size()));
    }
}

// An image whose files' sectors cannot be read (EIO): a file
// read alone or beside another is none, never blanks, and the catalogue is
// unreadable rather than empty.
TEST(ImageReads, AFileThatCannotBeReadIsNoneNeverBlanks) {
    TempDir dir;
    const std::string path = dir.Path("floppy.img");
    WriteWhole(path, NewSongFloppyImageBytes());
    ASSERT_TRUE(ImageVolume(path).ReadFile("song.nam", 1 << 20).has_value()) << "readable unhurt";
    StoreFaults faults;
    for (std::uint32_t sector = 33; sector < 40; ++sector) faults.readFails[sector] = -1;   // the first clusters: the catalogue's
    ImageVolume volume(path, Failing(faults), ImageAccess::ReadOnly);
    ASSERT_TRUE(volume.Opened().ok()) << volume.Opened().reason;
    EXPECT_EQ(volume.ReadFile("song.nam", 1 << 20), std::nullopt);
    EXPECT_EQ(volume.ReadFiles({"song.nam", "comments.dat"}, 1 << 20), (std::vector<std::optional<std::string>>{std::nullopt, std::nullopt}));
    EXPECT_FALSE(ReadCatalogue(&volume, CatalogueRepair::Never));
}

}  // namespace
}  // namespace tunecrate::testing
