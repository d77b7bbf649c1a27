// SPDX-License-Identifier: MIT
// Floppy drives used as block devices. A loop device stands in for the drive,
// a store that fails chosen sectors for a failing disk, and a folder tree for
// the kernel's record of drives; fsck.fat, mtools and cmp judge the results.
#include <gmock/gmock.h>

#include <functional>
#include <set>

#include "ScriptedPrompter.h"
#include "Songs.h"
#include "core/disk/BlockDevice.h"
#include "core/disk/DiskCopy.h"
#include "core/songs/FloppyBackup.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/FolderDrop.h"
#include "core/text/DragPayload.h"
#include "core/text/Texts.h"

namespace tunecrate::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Sectors = std::vector<std::uint32_t>;
using Strings = std::vector<std::string>;
constexpr const char* kNoLoop = "needs a loop device: root, and losetup that can attach one";
constexpr const char* kSongs = "1:Blues/live=Blues+ 2:Dawn/=Dawn L10:Far/far";

// A failing disk, by sector: reads that fail (EIO) the first N times they
// touch it (N < 0: always), writes that fail, reads that come back altered;
// and how many single-sector reads each sector that fails reads got.
struct Faults {
    std::map<std::uint32_t, int> readFails;
    std::set<std::uint32_t> writeFails, altered;
    bool flushFails = false;
    std::map<std::uint32_t, int> singleReads;
};

class FaultyStore final : public ImageStore {
public:
    FaultyStore(std::unique_ptr<ImageStore> disk, Faults& faults) : m_disk(std::move(disk)), m_faults(faults) {}
    static ImageStoreWrapper Around(Faults& faults) {
        return [&faults](std::unique_ptr<ImageStore> disk) { return std::make_unique<FaultyStore>(std::move(disk), faults); };
    }
    bool Read(std::uint64_t offset, char* data, std::size_t size) override {
        bool fail = false;
        for (const std::uint32_t s : Touched(offset, size)) {
            const auto it = m_faults.readFails.find(s);
            if (it == m_faults.readFails.end()) continue;
            m_faults.singleReads[s] += size == kImageSectorBytes;
            fail |= it->second != 0;
            it->second -= it->second > 0;
        }
        if (fail || !m_disk->Read(offset, data, size)) return Fail();
        for (const std::uint32_t s : Touched(offset, size))
            if (m_faults.altered.contains(s)) data[std::max<std::uint64_t>(std::uint64_t{s} * kImageSectorBytes, offset) - offset] ^= 0x5A;
        return true;
    }
    bool Write(std::uint64_t offset, std::string_view bytes) override {
        const Sectors touched = Touched(offset, bytes.size());
        return std::ranges::none_of(touched, [&](std::uint32_t s) { return m_faults.writeFails.contains(s); }) ? m_disk->Write(offset, bytes) : Fail();
    }
    bool Flush() override { return m_faults.flushFails ? Fail() : m_disk->Flush(); }

private:
    static Sectors Touched(std::uint64_t offset, std::size_t size) {
        Sectors sectors;
        for (std::uint64_t s = offset / kImageSectorBytes; s * kImageSectorBytes < offset + size; ++s) sectors.push_back(static_cast<std::uint32_t>(s));
        return sectors;
    }
    static bool Fail() { return errno = EIO, false; }
    std::unique_ptr<ImageStore> m_disk;
    Faults& m_faults;
};

std::string Bytes(const std::string& path) { return ReadWhole(path).value_or("<missing>"); }

// The sectors where two disks differ (the first 20 of them); a size that differs is sector ~0.
Sectors SectorDiffs(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return {~0u};
    Sectors diffs;
    for (std::size_t at = 0; at < a.size() && diffs.size() < 20; at += kImageSectorBytes)
        if (a.substr(at, kImageSectorBytes) != b.substr(at, kImageSectorBytes)) diffs.push_back(static_cast<std::uint32_t>(at / kImageSectorBytes));
    return diffs;
}

// The sector of the image where `bytes` begin.
std::uint32_t SectorOf(const std::string& image, const std::string& bytes) {
    const std::size_t at = image.find(bytes.substr(0, kImageSectorBytes));
    EXPECT_EQ(at % kImageSectorBytes, 0u) << "not found at a sector's start";
    return static_cast<std::uint32_t>(at / kImageSectorBytes);
}

// A report's rescue map as one mark per sector ("?" where a range leaves a
// gap or splits a sector), and how many ranges it has.
std::pair<std::string, int> MapBySector(const std::string& report) {
    std::istringstream in(report);
    std::string map;
    int ranges = -1;   // the first line without "#" is the current position
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#' || ++ranges == 0) continue;
        std::istringstream fields(line);
        std::uint64_t at = 0, size = 0;
        std::string mark;
        fields >> std::hex >> at >> size >> mark;
        if (at != map.size() * kImageSectorBytes || size % kImageSectorBytes != 0 || mark.size() != 1) return {map + "?", ranges};
        map.append(size / kImageSectorBytes, mark[0]);
    }
    return {map, ranges};
}

TEST(DeviceVolume, ALoopDeviceIsTheFloppyItHolds) {
    TestFloppy floppy(Medium::Image, kSongs);
    LoopDevice loop(floppy.location());
    if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    TestFolder songs("Rock=Rock+/hard"), out("");
    {
        auto volume = OpenFloppyVolume(loop.path());
        ASSERT_EQ(volume->Problem(), "");
        ScriptedPrompter prompter;
        std::vector<SlotRow> rows = ReadCatalogue(volume.get()).rows;
        ASSERT_GE(rows.size(), 2u);
        EXPECT_EQ(rows[1].title, "Dawn");
        DropContext toFolder{volume.get(), rows, prompter, false};
        DropIntoFolder(toFolder, out.path(), ParsePayload(BuildPayload(kFloppyType, {"0"})));
        std::vector<SlotRow> reread = ReadCatalogue(volume.get()).rows;
        DropContext toSlot{volume.get(), reread, prompter, false};
        DropOntoFloppyList(toSlot, 2, ParsePayload(BuildPayload(kHardDiskType, {songs.Item("Rock")})));
        EXPECT_TRUE(prompter.calls().empty()) << prompter.calls().front().text;
    }
    loop.Detach();
    EXPECT_EQ(Fsck(floppy.location()).exitCode, 0) << Fsck(floppy.location()).output;
    EXPECT_EQ(floppy.Describe(), "1:Blues/live=Blues+ 2:Dawn/=Dawn 3:Rock/hard=Rock+ L10:Far/far");
    EXPECT_EQ(PeerFiles(floppy.location())["MDR_02.B00"], SongBytes("Rock"));
    EXPECT_EQ(out.Describe(), "Blues=Blues+/live");
}

TEST(DeviceVolume, ADiskOfAnotherSizeOrInUseIsRefusedUntouched) {
    TestFloppy floppy(Medium::Image, kSongs), other(Medium::Image, "1:Other/=Other");
    TempDir dir;
    const std::string small = dir.Path("720k.img"), out = dir.Path("out.img"), before = Bytes(floppy.location());
    WriteWhole(small, std::string(737280, '\0'));
    LoopDevice wrong(small), right(floppy.location());
    if (wrong.path().empty() || right.path().empty()) GTEST_SKIP() << kNoLoop;
    const std::vector<std::pair<const char*, std::function<std::string(const std::string&)>>> ways = {
        {"volume", [](const std::string& d) { return OpenFloppyVolume(d)->Problem(); }},
        {"glance", [](const std::string& d) { return ImageVolume(d, {}, ImageAccess::Glance).Problem(); }},
        {"backup", [&](const std::string& d) { return BackupFloppy(d, out, true, {}, {}).result.reason; }},
        {"restore", [&](const std::string& d) { return RestoreFloppy(other.location(), d, {}, {}).result.reason; }},
    };
    const std::string wrongSize = Say(texts::kNotAFloppyDisk, {wrong.path(), "737280"});
    const std::string wrongImage = wrong.path() + " is not a 1.44 MB floppy image: it holds 737280 bytes, not 1474560.";
    const std::string busy = Say(texts::kDeviceBusy, {right.path()});
    ASSERT_THAT(busy, HasSubstr("使用中"));
    {
        auto holder = OpenFloppyVolume(right.path());
        ASSERT_EQ(holder->Problem(), "");
        for (const auto& [way, attempt] : ways) {
            EXPECT_EQ(attempt(wrong.path()), way[0] == 'b' || way[0] == 'r' ? wrongSize : wrongImage) << way;
            EXPECT_EQ(attempt(right.path()), busy) << way;
        }
    }
    EXPECT_EQ(OpenFloppyVolume(right.path())->Problem(), "") << "free again once the first volume closed";
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Bytes(small), std::string(737280, '\0'));
    EXPECT_EQ(SectorDiffs(Bytes(floppy.location()), before), Sectors{});
}

TEST(DeviceBackup, TheImageIsTheDiskByteForByte) {
    TestFloppy floppy(Medium::Image, kSongs);
    LoopDevice loop(floppy.location());
    if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    TempDir dir;
    const std::string out = dir.Path("out.img"), log = out + ".log", folder = dir.path();
    // source: the device, or a folder that the table lists (or not) as the device's mount point
    struct Case { const char* name; bool old, replace, folder, listed, copied; const char* piece; };
    const Case cases[] = {
        {"Fresh", false, false, false, false, true, "保存しました"},
        {"ReplacedWithItsStaleReport", true, true, false, false, true, "保存しました"},
        {"ExistingImageKept", true, false, false, false, false, "すでに存在します"},
        {"MountedFolderReadThroughItsDevice", false, false, true, true, true, "保存しました"},
        {"FolderThatIsNoMount", false, false, true, false, false, "フロッピードライブでもありません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(out);
        fs::remove(log);
        if (c.old) {
            WriteWhole(out, "old image");
            WriteWhole(log, "stale report");
        }
        const std::string source = c.folder ? folder : loop.path();
        const std::vector<MountEntry> mounts = {{c.listed ? loop.path() : "tmpfs", folder, "vfat"}};
        const BackupOutcome outcome = BackupFloppy(source, out, c.replace, mounts, {});
        EXPECT_EQ(outcome.result.ok(), c.copied) << outcome.result.reason;
        EXPECT_THAT(outcome.Message(source, out), HasSubstr(c.piece));
        EXPECT_EQ(c.copied ? RunPeer({"cmp", out, floppy.location()}).output : Bytes(out), c.copied ? "" : c.old ? "old image" : "<missing>");
        EXPECT_EQ(ReadWhole(log), c.old && !c.copied ? std::optional<std::string>("stale report") : std::nullopt);
    }
}

TEST(DeviceRestore, OnlyAWholeFloppyImageGoesOntoADiskNotMounted) {
    TestFloppy disk(Medium::Image, "1:Old/=Old"), floppy(Medium::Image, kSongs);
    LoopDevice loop(disk.location());
    if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    TempDir dir;
    const std::string before = Bytes(disk.location()), image = Bytes(floppy.location());
    WriteWhole(dir.Path("zeros"), std::string(kImageBytes, '\0'));
    WriteWhole(dir.Path("small"), image.substr(0, 737280));
    WriteWhole(dir.Path("tail"), image + std::string(kImageSectorBytes, 'x'));
    // mounted: nullptr none, else the suffix of the mounted name (a partition: "p1")
    struct Case { const char* name; std::string image; const char* mounted; const char* piece; };
    const Case cases[] = {
        {"NotFat12", dir.Path("zeros"), nullptr, "FAT12 フロッピーイメージではない"},
        {"TooSmall", dir.Path("small"), nullptr, "it holds 737280 bytes"},
        {"WithATail", dir.Path("tail"), nullptr, "holds 1475072 bytes, not 1474560"},
        {"MountedDisk", floppy.location(), "", "マウントされているので"},
        {"MountedPartition", floppy.location(), "p1", "マウントされているので"},
        {"RoundTrip", floppy.location(), nullptr, "すべてのセクタが一致しています"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool writes = c.name == std::string("RoundTrip");
        std::vector<MountEntry> mounts;
        if (c.mounted) mounts.push_back({loop.path() + c.mounted, "/media/floppy", "vfat"});
        std::vector<std::pair<std::uint32_t, std::uint32_t>> told;
        const auto progress = [&](std::uint32_t done, std::uint32_t total) { return told.emplace_back(done, total), true; };
        const RestoreOutcome outcome = RestoreFloppy(c.image, loop.path(), mounts, progress);
        EXPECT_EQ(outcome.touched, writes);
        EXPECT_EQ(outcome.result.ok() && outcome.writing.ok(), writes);
        EXPECT_THAT(outcome.Message(c.image, loop.path()), HasSubstr(c.piece));
        EXPECT_EQ(SectorDiffs(Bytes(disk.location()), writes ? image : before), Sectors{});
        if (!writes) continue;
        EXPECT_EQ(RunPeer({"cmp", floppy.location(), loop.path()}).exitCode, 0) << "the device itself";
        EXPECT_TRUE(std::ranges::is_sorted(told) && told.back() == std::pair(2 * kImageSectors, 2 * kImageSectors)) << "both passes counted";
    }
}

// An image file stands in for the drive here: the reads and retries are the same.
TEST(DeviceFaults, EachSectorIsTriedOnceAndThreeTimesMore) {
    TestFloppy floppy(Medium::Image, kSongs);
    const std::string source = Bytes(floppy.location());
    const std::uint32_t s = SectorOf(source, SongBytes("Dawn"));
    // reads that fail before one succeeds (< 0: none does), single-sector reads, lost
    for (const auto& [failures, singles, lost] : std::vector<std::tuple<int, int, bool>>{
             {1, 1, false}, {2, 2, false}, {4, 4, false}, {5, 4, true}, {-1, 4, true}}) {
        SCOPED_TRACE(failures);
        TempDir dir;
        Faults faults;
        faults.readFails = {{s, failures}};
        const BackupOutcome outcome = BackupFloppy(floppy.location(), dir.Path("out.img"), false, {}, {}, FaultyStore::Around(faults));
        EXPECT_EQ(faults.singleReads[s], singles);
        EXPECT_EQ(outcome.unreadable, lost ? Sectors{s} : Sectors{});
        EXPECT_EQ(SectorDiffs(Bytes(dir.Path("out.img")), source), lost ? Sectors{s} : Sectors{});
        EXPECT_EQ(fs::exists(dir.Path("out.img.log")), lost);
    }
}

TEST(DeviceFaults, UnreadableSectorsAreZerosNamedInTheReport) {
    TestFloppy floppy(Medium::Image, kSongs);
    TempDir dir;
    const std::string source = Bytes(floppy.location()), image = dir.Path("out.img");
    const std::uint32_t s = SectorOf(source, SongBytes("Dawn")), mate = s ^ 1, last = kImageSectors - 1;   // mate: same track
    Faults faults;
    faults.readFails = {{s, -1}, {mate, 1}, {last, -1}};
    const BackupOutcome outcome = BackupFloppy(floppy.location(), image, false, {}, {}, FaultyStore::Around(faults));
    EXPECT_TRUE(outcome.result.ok()) << outcome.result.reason;
    EXPECT_EQ(outcome.unreadable, (Sectors{s, last}));
    EXPECT_EQ(faults.singleReads, (std::map<std::uint32_t, int>{{s, 4}, {mate, 1}, {last, 4}}));
    std::string expected = source;
    for (const std::uint32_t lost : {s, last}) expected.replace(std::size_t{lost} * kImageSectorBytes, kImageSectorBytes, kImageSectorBytes, '\0');
    EXPECT_EQ(SectorDiffs(Bytes(image), expected), Sectors{});
    EXPECT_EQ(outcome.filesHit, Strings{"MDR_01.B00"});
    EXPECT_EQ(outcome.songsHit, Strings{"2 Dawn (MDR_01.B00)"});
    EXPECT_EQ(outcome.logPath, image + ".log");
    EXPECT_THAT(outcome.Message("/dev/fd0", image), HasSubstr(Say(texts::kSongsHit) + "\n  2 Dawn (MDR_01.B00)"));
    const std::string report = Bytes(image + ".log");
    char line[80];
    for (const auto& [sector, owner] : {std::pair{s, "MDR_01.B00"}, std::pair{last, "free space"}}) {
        std::snprintf(line, sizeof line, "# sector %u (byte 0x%08X): %s\n", sector, sector * kImageSectorBytes, owner);
        EXPECT_THAT(report, HasSubstr(line));
    }
    std::string map(kImageSectors, '+');
    map[s] = map[last] = '-';
    EXPECT_EQ(MapBySector(report), std::pair(map, 4));
}

TEST(DeviceFaults, TheRescueMapCoversTheDiskInWholeRanges) {
    TestFloppy floppy(Medium::Image, "");
    const std::string image = Bytes(floppy.location());
    for (const auto& [lost, ranges] : std::vector<std::pair<Sectors, int>>{
             {{}, 1}, {{0}, 2}, {{5, 6, 7}, 3}, {{2879}, 2}, {{0, 1, 2879}, 3}, {{3, 5}, 5}}) {
        const std::string report = BackupReport("/dev/fd0", "x.img", image, lost);
        std::string map(kImageSectors, '+');
        for (const std::uint32_t s : lost) map[s] = '-';
        EXPECT_EQ(MapBySector(report), std::pair(map, ranges)) << ::testing::PrintToString(lost);
        std::size_t comments = 0;
        for (std::size_t at = 0; (at = report.find("\n# sector ", at)) != std::string::npos; ++at) ++comments;
        EXPECT_EQ(comments, lost.size()) << "a comment per unreadable sector";
    }
}

TEST(DeviceFaults, SectorOwnersNameTheFatsTheRootAFileOrFreeSpace) {
    TestFloppy floppy(Medium::Image, kSongs);
    TempDir dir;
    const std::string note = Repeat("note ", 130);
    WriteWhole(dir.Path("NOTE.TXT"), note);
    ASSERT_EQ(RunPeer({"mmd", "-i", floppy.location(), "::DIR"}).exitCode, 0);
    ASSERT_EQ(RunPeer({"mcopy", "-i", floppy.location(), dir.Path("NOTE.TXT"), "::DIR/NOTE.TXT"}).exitCode, 0);
    const std::string image = Bytes(floppy.location());
    const std::uint32_t song = SectorOf(image, SongBytes("Dawn")), file = SectorOf(image, note);
    const std::vector<std::pair<std::uint32_t, std::string>> owners = {
        {0, "boot sector"}, {1, "FAT 1"}, {9, "FAT 1"}, {10, "FAT 2"}, {18, "FAT 2"}, {32, "root folder"},
        {song, "MDR_01.B00"}, {file, "DIR/NOTE.TXT"}, {kImageSectors - 1, "free space"}};
    for (const auto& [sector, owner] : owners) EXPECT_EQ(SectorOwners(image, {sector}), Strings{owner}) << sector;
    const std::string root = SectorOwners(image, {19}).front();
    EXPECT_THAT(root, ::testing::StartsWith("root folder (entries of "));
    for (const char* name : {"MDR_01.B00", "DIR"}) EXPECT_THAT(root, HasSubstr(name));
    EXPECT_EQ(FilesAtSectors(image, {0, 19, song, file, song, kImageSectors - 1}), (Strings{"MDR_01.B00", "DIR/NOTE.TXT"}));
    const std::string noBoot = std::string(kImageSectorBytes, '\0') + image.substr(kImageSectorBytes);
    for (const std::string& owner : SectorOwners(noBoot, {0, song})) EXPECT_THAT(owner, ::testing::StartsWith("unknown"));
    EXPECT_EQ(FilesAtSectors(noBoot, {song}), Strings{});
}

TEST(DeviceFaults, ACancelledBackupWritesNoImage) {
    TestFloppy floppy(Medium::Image, kSongs);
    for (const bool existing : {false, true}) {
        TempDir dir;
        const std::string out = dir.Path("out.img");
        if (existing) WriteWhole(out, "old image");
        std::vector<std::uint32_t> asked;
        const auto progress = [&](std::uint32_t done, std::uint32_t total) { return asked.push_back(done), total == kImageSectors && done < 180; };
        const BackupOutcome outcome = BackupFloppy(floppy.location(), out, true, {}, progress);
        EXPECT_TRUE(outcome.cancelled);
        EXPECT_EQ(asked.size(), 11u) << "asked before each track of 18 sectors";
        EXPECT_EQ(outcome.Message(floppy.location(), out), Say(texts::kBackupCancelled));
        EXPECT_EQ(ReadWhole(out), existing ? std::optional<std::string>("old image") : std::nullopt);
        EXPECT_FALSE(fs::exists(out + ".log"));
    }
}

TEST(DeviceFaults, ARestoreNamesSectorsNotWrittenOrReadBackOtherwise) {
    TestFloppy floppy(Medium::Image, kSongs);
    TempDir dir;
    const std::string disk = dir.Path("disk"), image = Bytes(floppy.location());
    // fault: w a write fails, a a read comes back altered, r a read fails, f the flush fails;
    // left: the sectors where the disk then differs from the image
    struct Case { const char* name; char fault; std::uint32_t sector; Sectors unwritten, differing, left; std::string piece; };
    const Case cases[] = {
        {"Clean", '-', 0, {}, {}, {}, "すべてのセクタが一致しています"},
        {"WriteFails", 'w', 100, {100}, {100}, {100}, "1 個のセクタが書けないか、読み戻すと一致しません。\nセクタ: 100"},
        {"ReadBackAltered", 'a', 2000, {}, {2000}, {}, "セクタ: 2000"},
        {"ReadBackFails", 'r', 2879, {}, {2879}, {}, "セクタ: 2879"},
        {"FlushFails", 'f', 0, {}, {}, {}, "Cannot write " + disk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Faults faults;
        if (c.fault == 'w') faults.writeFails = {c.sector};
        if (c.fault == 'a') faults.altered = {c.sector};
        if (c.fault == 'r') faults.readFails = {{c.sector, -1}};
        faults.flushFails = c.fault == 'f';
        WriteWhole(disk, std::string(kImageBytes, 'x'));
        const RestoreOutcome outcome = RestoreFloppy(floppy.location(), disk, {}, {}, FaultyStore::Around(faults));
        EXPECT_TRUE(outcome.touched);
        EXPECT_EQ(outcome.writing.unwritten, c.unwritten);
        EXPECT_EQ(outcome.writing.differing, c.differing);
        EXPECT_EQ(outcome.result.ok() && outcome.writing.ok(), c.name == std::string("Clean"));
        EXPECT_EQ(SectorDiffs(Bytes(disk), image), c.left);
        EXPECT_THAT(outcome.Message(floppy.location(), disk), HasSubstr(c.piece));
    }
}

TEST(DeviceFinding, OnlyUnmountedRemovableDisksOfAFloppysSize) {
    TempDir sys;
    // path under the devices folder, size in sectors, removable flag ("" for a partition)
    const std::vector<std::tuple<std::string, std::string, std::string>> nodes = {
        {"sdb", "2880\n", "1\n"}, {"sda", "2880", "0"}, {"sdc", "5760", "1"}, {"sdd", "2880", "1"},
        {"sde", "4000", "1"}, {"sde/sde1", "2880", ""}, {"sdf", "2880", "1"}, {"sdf/sdf1", "2880", ""},
        {"nvme0n1", "4000", "0"}, {"nvme0n1/nvme0n1p1", "2880", ""}, {"loop1", "2880", "1"}};
    fs::create_directories(sys.Path("class"));
    for (const auto& [path, size, removable] : nodes) {
        const std::string folder = sys.Path("devices/" + path);
        fs::create_directories(folder);
        WriteWhole(folder + "/size", size);
        WriteWhole(folder + (removable.empty() ? "/partition" : "/removable"), removable.empty() ? "1" : removable);
        fs::create_directory_symlink("../devices/" + path, sys.Path("class/" + fs::path(path).filename().string()));
    }
    const std::vector<MountEntry> mounts = {{"/dev/sdd", "/media/d", "vfat"}, {"/dev/sdf1", "/media/f", "vfat"},
                                            {"/dev/loop10", "/media/ten", "ext4"}};
    EXPECT_EQ(FindFloppyDevices(mounts, sys.Path("class"), "/dev"), (Strings{"/dev/loop1", "/dev/sdb", "/dev/sde1"}));
}

TEST(DeviceFinding, MountPointsOfDisksTheirPartitionsAndFolders) {
    const std::vector<MountEntry> mounts = {{"/dev/sdb1", "/media/u/FLOPPY", "vfat"}, {"/dev/loop0p1", "/mnt/l", "vfat"},
                                            {"/dev/loop10", "/mnt/ten", "ext4"}, {"/dev/sdc", "/media/u/C/", "vfat"},
                                            {"/dev/sdap1", "/media/ap", "vfat"}, {"tmpfs", "/tmp", "tmpfs"}};
    using Maybe = std::optional<std::string>;
    for (const auto& [device, mountPoint] : std::vector<std::pair<std::string, Maybe>>{
             {"/dev/sdb1", "/media/u/FLOPPY"}, {"/dev/sdb", "/media/u/FLOPPY"}, {"/dev/sd", {}}, {"/dev/sdb2", {}},
             {"/dev/loop0", "/mnt/l"}, {"/dev/loop0p1", "/mnt/l"}, {"/dev/loop1", {}}, {"/dev/loop10", "/mnt/ten"},
             {"/dev/sdc", "/media/u/C/"}, {"/dev/sda", {}}, {"/dev/sdap", "/media/ap"}})
        EXPECT_EQ(MountPointOf(device, mounts), mountPoint) << device;
    for (const auto& [folder, device] : std::vector<std::pair<std::string, Maybe>>{
             {"/media/u/FLOPPY", "/dev/sdb1"}, {"/media/u/FLOPPY/", "/dev/sdb1"}, {"/media/u/C", "/dev/sdc"},
             {"/media/u/C/", "/dev/sdc"}, {"/media/u", {}}, {"/media/u/FLOPPY/sub", {}}, {"/tmp", {}}})
        EXPECT_EQ(DeviceMountedAt(folder, mounts), device) << folder;
}

#ifdef TUNECRATE_PROGRAM
PeerRun RunProgram(const std::vector<std::string>& args) { return RunCommand("'" TUNECRATE_PROGRAM "'", args, " 2>&1"); }

TEST(DeviceCommands, ListCheckBackupAndRestoreTakeADevice) {
    TestFloppy floppy(Medium::Image, kSongs), other(Medium::Image, "1:Other/=Other");
    LoopDevice loop(floppy.location());
    if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    TempDir dir;
    const std::string dev = loop.path(), out = dir.Path("out.img"), before = Bytes(floppy.location());
    EXPECT_EQ(RunProgram({"check", dev}).output, dev + ": ok\n");
    EXPECT_EQ(RunProgram({"list", dev}).output, dev + "\t1\tBlues\t3000\tlive\n" + dev + "\t2\tDawn\t3000\t\n");
    EXPECT_EQ(RunProgram({"backup", dev, out}).exitCode, 0);
    EXPECT_EQ(RunPeer({"cmp", out, floppy.location()}).exitCode, 0);
    EXPECT_EQ(RunProgram({"restore", other.location(), dev}).exitCode, 0);
    EXPECT_EQ(RunPeer({"cmp", other.location(), dev}).exitCode, 0);
}

// Mounted read-only in a mount namespace of its own, where no one else sees it.
TEST(DeviceCommands, AMountedDiskIsBackedUpThroughItsFolderAndNeverRestored) {
    TestFloppy floppy(Medium::Image, kSongs), other(Medium::Image, "1:Other/=Other");
    LoopDevice loop(floppy.location());
    if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    TempDir dir;
    const std::string dev = loop.path(), out = dir.Path("out.img"), before = Bytes(floppy.location());
    fs::create_directory(dir.Path("mnt"));
    const PeerRun run = RunCommand(
        "unshare -m --propagation private sh -c 'mount -o ro \"$1\" \"$2\" 2>/dev/null || exit 77; "
        "\"$0\" restore \"$3\" \"$1\"; echo \"restore: $?\"; \"$0\" backup \"$2\" \"$4\"; echo \"backup: $?\"'",
        {TUNECRATE_PROGRAM, dev, dir.Path("mnt"), other.location(), out}, " 2>&1");
    if (run.exitCode == 77) GTEST_SKIP() << "cannot mount " << dev << " read-only in a private mount namespace";
    EXPECT_THAT(run.output, HasSubstr("マウントされているので、書き込みません。"));
    EXPECT_THAT(run.output, HasSubstr("restore: 1\n"));
    EXPECT_THAT(run.output, HasSubstr("backup: 0\n")) << "backed up through its folder";
    EXPECT_EQ(SectorDiffs(Bytes(floppy.location()), before), Sectors{}) << "the mounted disk left alone";
    EXPECT_EQ(RunPeer({"cmp", out, floppy.location()}).exitCode, 0);
}
#endif

TEST(DeviceOpener, AskedOnlyWhereTheNodeIsClosedToTheUser) {
    TestFloppy floppy(Medium::Image, kSongs);
    LoopDevice loop(floppy.location());
    if (loop.path().empty()) GTEST_SKIP() << kNoLoop;
    const std::string dev = loop.path();
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    WriteWhole(dir.Path("closed"), "x");
    fs::permissions(dir.Path("closed"), fs::perms::none);
    int asked = 0;
    SetDeviceOpener([&](const std::string&, int) { return ++asked, -1; });
    const int fd = OpenDeviceNode(dev, O_RDONLY);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(OpenSize(fd), kImageBytes);
    ::close(fd);
    EXPECT_EQ(asked, 0) << "root may open the node itself";
    SetDeviceOpener({});
    const auto named = [](int error) { return error == EACCES ? std::string("EACCES") : std::strerror(error); };
    EXPECT_TRUE(InChildProcess([&] {
        const int file = ::open(floppy.location().c_str(), O_RDWR | O_CLOEXEC);
        if (file < 0 || !BecomeUnprivileged()) return false;
        const int alone = OpenDeviceNode(dev, O_RDONLY), error = errno;
        std::string out = "alone: " + std::to_string(alone) + " " + named(error);
        out += DeviceOpenFailure(dev, error).find("disk グループ") != std::string::npos ? " group" : " ?";
        out += OpenFloppyVolume(dev)->Problem().find("disk グループ") != std::string::npos ? " group\n" : " ?\n";
        int result = -2;   // the opener's: a descriptor of the image file, or -1 for a user who says no
        SetDeviceOpener([&](const std::string& device, int flags) {
            out += "opener " + device + " " + std::to_string(flags) + "\n";
            errno = ECANCELED;
            return result == -1 ? -1 : ::dup(file);
        });
        const int opened = OpenDeviceNode(dev, O_RDONLY);
        struct stat a {}, b {};
        out += ::fstat(opened, &a) == 0 && ::fstat(file, &b) == 0 && a.st_ino == b.st_ino ? "the opener's\n" : "another\n";
        out += "volume: " + ReadCatalogue(OpenFloppyVolume(dev).get()).rows.at(1).title + "\n";
        result = -1;
        for (const std::string what : {"refused", "file"}) {
            const int got = OpenDeviceNode(what == "file" ? dir.Path("closed") : dev, O_RDONLY), failure = errno;
            out += what + ": " + std::to_string(got) + " " + named(failure) + "\n";
        }
        return static_cast<bool>(std::ofstream(dir.Path("said")) << out);
    }));
    const auto opener = [&](int flags) { return "opener " + dev + " " + std::to_string(flags | O_CLOEXEC | O_NOCTTY) + "\n"; };
    EXPECT_EQ(Bytes(dir.Path("said")), "alone: -1 EACCES group group\n" + opener(O_RDONLY) + "the opener's\n" +
                        opener(O_RDWR | O_EXCL | O_NONBLOCK) + "volume: Dawn\n" + opener(O_RDONLY) +
                        "refused: -1 EACCES\nfile: -1 EACCES\n");
}

}  // namespace
}  // namespace tunecrate::testing
