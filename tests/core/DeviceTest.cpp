// SPDX-License-Identifier: MIT
// Floppy drives used as block devices. A loop device stands in for the drive,
// a store that fails chosen sectors for a failing disk, and a folder tree for
// the kernel's record of drives; fsck.fat, mtools and cmp judge the results.
#include <gmock/gmock.h>

#include "Faults.h"
#include "ScriptedPrompter.h"
#include "Songs.h"
#include "core/disk/BlockDevice.h"
#include "core/disk/DiskCopy.h"
#include "core/songs/FloppyBackup.h"
#include "core/songs/FloppyDrop.h"
#include "core/Texts.h"

namespace tunecrate::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using namespace std::string_literals;
constexpr const char* kSongs = "1:Blues/live=Blues+ 2:Dawn/=Dawn L10:Far/far";

std::string Bytes(const std::string& path) { return ReadWhole(path).value_or("<missing>"); }

// The song floppy on a loop device, another floppy's image, and a folder to work in.
struct LoopDrive : ::testing::Test {
    void SetUp() override {
        if (dev.empty()) GTEST_SKIP() << "needs a loop device: root, and losetup that can attach one";
    }
    TestFloppy floppy{Medium::Image, kSongs}, other{Medium::Image, "1:Old/=Old"};
    LoopDevice loop{floppy.location()};
    const std::string dev = loop.path();
    TempDir dir;
};

TEST_F(LoopDrive, IsTheFloppyItHoldsWhileOneOfAnotherSizeOrInUseIsRefused) {
    const std::string big = dir.Path("big.img"), before = Bytes(floppy.location()), tail(kImageSectorBytes, 'x');
    WriteWhole(big, before + tail);   // a floppy with a sector more
    LoopDevice wrong(big);
    const std::string tooBig = Translated(texts::kNotAFloppyDisk, {wrong.path(), "1475072"});
    const std::string notFloppy = Translated(texts::kNotFloppyImageBecause, {wrong.path(), Translated(texts::kImageSizeWrong, {"1475072", "1474560"})});
    {
        auto volume = OpenFloppyVolume(dev);
        ASSERT_EQ(volume->Opened().reason, "");
        for (const std::string& d : {wrong.path(), dev}) {
            const std::string busy = Translated(texts::kDeviceBusy, {d});
            EXPECT_EQ(OpenFloppyVolume(d)->Opened().reason, d == dev ? busy : notFloppy);
            EXPECT_EQ(ImageVolume(d, {}, ImageAccess::ReadOnly).Opened().reason, d == dev ? busy : notFloppy);
            EXPECT_EQ(BackupFloppy(d, dir.Path("out"), true, {}, {}).result.reason, d == dev ? busy : tooBig);
            EXPECT_EQ(RestoreFloppy(other.location(), d, {}, {}).result.reason, d == dev ? busy : tooBig);
        }
        EXPECT_TRUE(Bytes(floppy.location()) == before && Bytes(big) == before + tail);
        // The volume that holds the drive works on (a whole drop through one: AWriteTheDiskLost...).
        EXPECT_TRUE(volume->WriteFile("MDR_02.B00", SongBytes("Rock")).ok());
    }
    EXPECT_TRUE(OpenFloppyVolume(dev)->Opened().ok()) << "free again once the first volume closed";
    {   // A write-protected disk opens for writing all the same; each change is refused before a write. The kernel
        // keeps the flag once the file is detached, so it goes again however the test ends.
        const std::string blockdev = "PATH=\"$PATH:/usr/sbin:/sbin\" blockdev", why = Translated(texts::kWriteProtectedDisk, {dev});
        const std::shared_ptr<void> writableAgain(nullptr, [&](void*) { RunCommand(blockdev + " --setrw", {dev}, " 2>&1"); });
        ASSERT_EQ(RunCommand(blockdev + " --setro", {dev}, " 2>&1").exitCode, 0);
        ImageVolume disk(dev);
        EXPECT_EQ(std::pair(disk.CheckChange({"song.nam"}).reason, disk.Apply({{"MDR_04.B00", std::string("s")}}, CatalogueReserve::Keep).reason),
                  std::pair(why, why));
    }
    loop.Detach();
    EXPECT_EQ(Fsck(floppy.location()).exitCode, 0) << Fsck(floppy.location()).output;
    EXPECT_EQ(PeerFiles(floppy.location())["MDR_02.B00"], SongBytes("Rock"));
}

// A drive may take a write, say it is done and never put it on the disk. Each write of a drop is lost in turn;
// then either the disk holds the song, or the drop is told failed, naming the drive, and a move keeps its song.
TEST_F(LoopDrive, AWriteTheDiskLostFailsTheDropAndAMoveKeepsItsSong) {
    const std::string image = Bytes(floppy.location()), failed = Translated(texts::kDiskWriteNotKept, {dev});
    const std::string arrived = "1:Blues/live=Blues+ 2:Dawn/=Dawn 3:Rock/hard=Rock+ L10:Far/far", song = "Rock=Rock+/hard";
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        TestFolder songs(song);
        const auto drop = [&] {
            ImageVolume volume(dev);
            ScriptedPrompter prompter;
            std::vector<SlotRow> rows = RowsOf(&volume);
            DropContext context{&volume, rows, prompter, move};
            DropOntoFloppyList(context, 2, SourceOf("HD", {"Rock"}, songs.path()));
            return prompter.Said();
        };
        int told = 0;
        const FaultCounts counts = ForEachFault(
            [&] { WriteWhole(floppy.location(), image), TestFolder(song, songs.path()); },
            drop,
            [&](Fault, int at, const FaultRun& run) {
                const std::string now = floppy.Describe(), left = songs.Describe();
                told += run.said != "";
                const bool done = run.said == "" && now == arrived && left == (move ? "" : song);
                const bool refused = run.said.find(failed) < run.said.size() && left == song;
                EXPECT_TRUE(done || refused) << "write " << at << " lost: " << run.said << "floppy " << now << ", folder " << left;
                return done || refused ? "" : "lost";
            },
            {Fault::Lost});
        EXPECT_EQ(counts.bad, 0);
        EXPECT_GE(told, 1) << "at least the song's own data is read back before the drop counts it done";
        // What a clean drop costs: nothing told, and the song on the disk as a checker reads it.
        WriteWhole(floppy.location(), image), TestFolder(song, songs.path());
        EXPECT_EQ(drop(), "");
        EXPECT_EQ(std::pair(floppy.Describe(), songs.Describe()), std::pair(arrived, move ? std::string() : song));
        EXPECT_EQ(Fsck(floppy.location()).exitCode, 0) << Fsck(floppy.location()).output;
    }
}

// A disk swapped in the drive after it was opened (while a question was open), or an image rewritten meanwhile by
// another program, gets nothing written from what was read of the disk before: the drop is told the disk changed,
// the disk there keeps every byte, and a move keeps its song. The same disk put back takes the drop. Marks, which
// tell a disk shown from the one opened for a gesture, follow the same bytes: equal for the same disk, also after
// our own change once it is opened again, different for another disk or serial.
TEST(DiskChange, ADiskSwappedAfterItWasOpenedGetsNothingWrittenAndMarksTellDisksApart) {
    TestFloppy floppy{Medium::Image, kSongs}, other{Medium::Image, "1:Old/=Old"};
    const std::string mine = Bytes(floppy.location()), others = Bytes(other.location()), song = "Rock=Rock+/hard";
    const std::string arrived = "1:Blues/live=Blues+ 2:Dawn/=Dawn 3:Rock/hard=Rock+ L10:Far/far";
    std::string serial = mine, entryTime = mine;
    serial[39] ^= 0x01;                       // the volume serial alone
    entryTime[19 * kImageSectorBytes + 22] ^= 0x01;   // a root entry's time alone
    LoopDevice loop{floppy.location()};
    std::vector<std::string> places = {floppy.location()};
    if (!loop.path().empty()) places.push_back(loop.path());
    else std::cout << "[ SKIPPED  ] the drive's part: needs a loop device (root, and losetup that can attach one)\n";
    struct Case { std::string name; std::vector<const std::string*> meanwhile; bool written; };
    for (const std::string& place : places) {
        for (const Case& c : {Case{"another disk", {&others}, false}, Case{"its serial", {&serial}, false},
                              Case{"an entry's time", {&entryTime}, false}, Case{"out and back", {&others, &mine}, true},
                              Case{"nothing", {}, true}}) {
            SCOPED_TRACE(place + ": " + c.name);
            WriteWhole(floppy.location(), mine);
            TestFolder songs(song);
            std::string there = mine, said;
            {
                ImageVolume volume(place);
                ASSERT_TRUE(volume.Opened().ok());
                ScriptedPrompter prompter;
                std::vector<SlotRow> rows = RowsOf(&volume);
                for (const std::string* bytes : c.meanwhile) WriteWhole(floppy.location(), there = *bytes);
                DropContext context{&volume, rows, prompter, true};
                DropOntoFloppyList(context, 2, SourceOf("HD", {"Rock"}, songs.path()));
                said = prompter.Said();
            }
            if (c.written) {
                EXPECT_EQ(std::tuple(said, floppy.Describe(), songs.Describe()), std::tuple(""s, arrived, ""s));
            } else {
                // Another disk's catalogue, where it is read afresh, is also told as changed elsewhere.
                const bool told = said.find(Translated(texts::kDiskChangedSinceOpened, {place})) != std::string::npos ||
                                  (c.name == "another disk" && said.find(CatalogueChangedMessage(false)) != std::string::npos);
                EXPECT_TRUE(told) << said;
                EXPECT_TRUE(Bytes(floppy.location()) == there) << "the disk there was written";
                EXPECT_EQ(songs.Describe(), song) << "a move kept its song";
            }
        }
        // Marks: the same bytes, the same mark; our own change, seen as the next opening sees it.
        WriteWhole(floppy.location(), mine);
        const auto markOf = [&](const std::string& bytes) {
            WriteWhole(floppy.location(), bytes);
            return ImageVolume(place).Mark();
        };
        const std::string first = markOf(mine);
        EXPECT_EQ(std::vector({markOf(mine) == first, markOf(others) == first, markOf(serial) == first, markOf(entryTime) == first}),
                  std::vector({true, false, false, false}));
        WriteWhole(floppy.location(), mine);
        std::string afterOwn;
        {
            ImageVolume volume(place);
            ASSERT_TRUE(volume.Apply({{"MDR_05.B00", std::string("x")}}, CatalogueReserve::Keep).ok());
            afterOwn = volume.Mark();
        }
        EXPECT_NE(afterOwn, first);
        EXPECT_EQ(ImageVolume(place).Mark(), afterOwn);
    }
}

TEST_F(LoopDrive, IsBackedUpAndRestoredWhole) {
    const std::string out = dir.Path("out.img"), at = dir.path(), done = Translated(texts::kBackupDone, {dev, out});
    const std::string before = Bytes(floppy.location()), image = Bytes(other.location());
    // old: an image and its report there before; fromFolder: read through the folder `at`, which the mount
    // table lists (or not) as the device's, below a mount of another device; cancel: stopped before sector 180
    struct Backup { bool old, replace, fromFolder, listed, cancel, copied; std::string message; };
    for (const Backup& c : {Backup{true, true, false, false, false, true, done},
                            Backup{true, false, false, false, false, false, Translated(texts::kImageExists, {out})},
                            Backup{false, false, true, true, false, true, Translated(texts::kBackupDone, {at, out})},
                            Backup{false, false, true, false, false, false, Translated(texts::kNotAFloppyDrive, {at})},
                            Backup{true, true, false, false, true, false, Translated(texts::kBackupCancelled)}}) {
        SCOPED_TRACE(c.message);
        fs::remove(out);
        WriteWhole(out + ".log", "stale report");
        if (c.old) WriteWhole(out, "old image");
        const std::string from = c.fromFolder ? at : dev;
        const std::vector<MountEntry> mounts = {{c.listed ? dev : "tmpfs", at + "/", "vfat"}, {"/dev/sdz", "/tmp", "ext4"}};
        int asks = 0;
        const auto progress = [&](std::uint32_t sector, std::uint32_t all) {
            return ++asks, all == kImageSectors && (!c.cancel || sector < 180);
        };
        EXPECT_EQ(BackupFloppy(from, out, c.replace, mounts, progress).Message(from, out), c.message);
        EXPECT_EQ(asks, c.copied ? 161 : c.cancel ? 11 : 0) << "asked before each track of 18 sectors, and at the end";
        EXPECT_EQ(Bytes(out) == before ? "the disk" : Bytes(out).substr(0, 20),
                  c.copied ? "the disk" : c.old ? "old image" : "<missing>");
        EXPECT_EQ(fs::exists(out + ".log"), !c.copied) << "a stale report goes with a clean backup, and only then";
    }
    WriteWhole(dir.Path("zeros"), std::string(kImageBytes, '\0'));
    WriteWhole(dir.Path("tail"), image + std::string(kImageSectorBytes, 'x'));
    // mounted: a partition of the device is; the last one writes
    struct Restore { std::string image; bool mounted; std::string piece; };
    const Restore restores[] = {{dir.Path("zeros"), false, "FAT12 フロッピーイメージではない"},
                                {dir.Path("tail"), false, "1475072 バイトあり、1474560 バイトではありません"},
                                {other.location(), true, Translated(texts::kDeviceMounted, {dev, "/media/floppy"})},
                                {other.location(), false, Translated(texts::kRestoreDone, {other.location(), dev})}};
    for (const Restore& c : restores) {
        SCOPED_TRACE(c.piece);
        const bool writes = &c == &restores[3];
        std::vector<std::pair<std::uint32_t, std::uint32_t>> told = {{0, 0}};
        const auto progress = [&](std::uint32_t sector, std::uint32_t all) { return told.emplace_back(sector, all), true; };
        const std::vector<MountEntry> mounts = {{c.mounted ? dev + "p1" : "tmpfs", "/media/floppy", "vfat"}};
        const RestoreOutcome outcome = RestoreFloppy(c.image, dev, mounts, progress);
        EXPECT_EQ(outcome.result.ok() && outcome.writing.ok(), writes);
        EXPECT_THAT(outcome.Message(c.image, dev), HasSubstr(c.piece));
        EXPECT_TRUE(Bytes(floppy.location()) == (writes ? image : before));
        EXPECT_TRUE(!writes || (std::ranges::is_sorted(told) && told.back() == std::pair(5760u, 5760u))) << "both passes";
    }
#ifdef TUNECRATE_PROGRAM
    // The commands as a script runs them, on the disk that now holds the other floppy.
    const auto program = [](const Strings& args) { return RunCommand("'" TUNECRATE_PROGRAM "'", args, " 2>&1"); };
    WriteWhole(out, before);
    EXPECT_EQ(program({"list", dev}).output, dev + "\t1\tOld\t3000\t\n");
    EXPECT_EQ(program({"restore", dir.Path("tail"), dev}).exitCode, 1);
    EXPECT_EQ(program({"restore", out, dev}).exitCode, 0);
    EXPECT_EQ(RunPeer({"cmp", out, floppy.location()}).exitCode, 0);
#endif
}

TEST_F(LoopDrive, OpenerAskedOnlyWhereTheNodeIsClosedToTheUser) {
    int asked = 0;
    SetDeviceOpener([&](const std::string&, int) { return ++asked, -1; });
    EXPECT_TRUE(OpenFloppyVolume(dev)->Opened().ok() && asked == 0) << "root may open the node itself";
    SetDeviceOpener({});
    fs::permissions(dir.path(), fs::perms::all);
    EXPECT_TRUE(InChildProcess([&] {
        const int file = ::open(floppy.location().c_str(), O_RDWR | O_CLOEXEC);
        if (file < 0 || !BecomeUnprivileged()) return false;
        std::string said;
        const auto open = [&](const std::string& path) {   // the node is closed: only the opener's can open
            const int opened = OpenDeviceNode(path, O_RDONLY), error = errno;
            said += opened >= 0 ? "opened\n" : error == EACCES ? "EACCES\n" : "?\n";
            return error;
        };
        const auto group = [](const std::string& text) { return text.find("disk グループ") < text.size() ? "group\n" : "-\n"; };
        said += group(DeviceOpenFailure(dev, open(dev))) + std::string(group(OpenFloppyVolume(dev)->Opened().reason));
        int calls = 0;   // the opener gives a descriptor of the image file twice, then says no as a user may
        SetDeviceOpener([&](const std::string& device, int flags) {
            said += "opener " + device + " " + std::to_string(flags) + "\n";
            errno = ECANCELED;
            return ++calls > 2 ? -1 : ::dup(file);
        });
        open(dev);
        const auto rows = RowsOf(OpenFloppyVolume(dev).get());   // no .at(): the child would run on
        said += (rows.size() > 1 ? rows[1].title : "?") + "\n";
        open(dev);
        open(floppy.location());   // closed to the user too, but no device
        return static_cast<bool>(std::ofstream(dir.Path("said")) << said);
    }));
    const auto opener = [&](int f) { return "opener " + dev + " " + std::to_string(f | O_CLOEXEC | O_NOCTTY) + "\n"; };
    const std::string refused = "EACCES\ngroup\ngroup\n", volume = opener(O_RDWR | O_EXCL | O_NONBLOCK) + "Dawn\n";
    const std::string refusedAgain = opener(O_RDONLY) + "EACCES\nEACCES\n";
    EXPECT_EQ(Bytes(dir.Path("said")), refused + opener(O_RDONLY) + "opened\n" + volume + refusedAgain);
}

// An image file stands in for the drive here: the reads, retries and writes are the same.
TEST(DeviceFaults, FailingSectorsAreRetriedZeroedAndNamedWithTheirOwnersOrFoundOnReadingBack) {
    TestFloppy floppy(Medium::Image, kSongs);
    TempDir dir;
    const std::string source = Bytes(floppy.location()), image = dir.Path("out.img"), disk = dir.Path("disk");
    // the song's sector never reads; the one beside it on its track reads at the last try; the last sector a try later
    const auto s = static_cast<std::uint32_t>(source.find(SongBytes("Dawn")) / kImageSectorBytes), last = kImageSectors - 1;
    StoreFaults faults{.readFails = {{s, -1}, {s ^ 1, 4}, {last, 5}}};
    const BackupOutcome outcome = BackupFloppy(floppy.location(), image, false, {}, {}, Failing(faults));
    std::string expected = source;
    for (const std::uint32_t lost : {s, last}) expected.replace(lost * kImageSectorBytes, 512, 512, '\0');
    EXPECT_TRUE(Bytes(image) == expected);
    EXPECT_EQ(outcome.Message("/dev/fd0", image), Translated(texts::kBackupUnreadable, {"/dev/fd0", image, "2", image + ".log"}) +
                                                      "\n" + Translated(texts::kSongsHit) + "\n  2 Dawn (MDR_01.B00)");
    // The report names each sector with its owner, and maps the whole disk in ranges read ("+") and not ("-").
    const unsigned at = s * kImageSectorBytes;
    char report[400];
    std::snprintf(report, sizeof report,
                  "# sector %u (byte 0x%08X): MDR_01.B00\n# sector 2879 (byte 0x00167E00): free space\n"
                  "# current_pos  current_status  current_pass\n0x00168000     +               1\n"
                  "#      pos        size  status\n0x00000000  0x%08X  +\n0x%08X  0x00000200  -\n0x%08X  0x%08X  +\n"
                  "0x00167E00  0x00000200  -\n", s, at, at, at, at + 512, 0x167E00 - at - 512);
    EXPECT_THAT(Bytes(image + ".log"), ::testing::EndsWith(report));
    EXPECT_THAT(BackupReport("", "", source, {}), ::testing::EndsWith("status\n0x00000000  0x00168000  +\n"));
    EXPECT_THAT(BackupReport("", "", source, {0, 1, 5}),
                ::testing::EndsWith("status\n0x00000000  0x00000400  -\n0x00000400  0x00000600  +\n"
                                    "0x00000A00  0x00000200  -\n0x00000C00  0x00167400  +\n"));
    const std::string note = Repeat("note ", 130);
    WriteWhole(dir.Path("NOTE.TXT"), note);
    ASSERT_EQ(RunPeer({"mmd", "-i", floppy.location(), "::DIR"}).exitCode, 0);
    ASSERT_EQ(RunPeer({"mcopy", "-i", floppy.location(), dir.Path("NOTE.TXT"), "::DIR/NOTE.TXT"}).exitCode, 0);
    const std::string withNote = Bytes(floppy.location());
    const auto file = static_cast<std::uint32_t>(withNote.find(note) / kImageSectorBytes);
    EXPECT_EQ(SectorOwners(withNote, {0, 1, 9, 10, 18, 19, 32, s, file, last}),
              (Strings{"boot sector", "FAT 1", "FAT 1", "FAT 2", "FAT 2",
                       "root folder (entries of DIR, MDR_00.B00, MDR_00.EVT, MDR_01.B00, comments.dat, song.nam)",
                       "root folder", "MDR_01.B00", "DIR/NOTE.TXT", "free space"}));
    EXPECT_EQ(FilesAtSectors(withNote, {0, 19, s, file, s, last}), (Strings{"MDR_01.B00", "DIR/NOTE.TXT"}));
    const std::string noBoot = std::string(kImageSectorBytes, '\0') + withNote.substr(kImageSectorBytes);
    EXPECT_EQ(SectorOwners(noBoot, {0, s}), Strings(2, "unknown: the boot sector or a FAT is unreadable"));
    EXPECT_EQ(FilesAtSectors(noBoot, {s}), Strings{});
    // Restores onto a disk of 'x's, which keeps some where a write fails; the first one is clean.
    struct Case { StoreFaults faults; std::vector<std::uint32_t> unwritten, differing; std::string piece; };
    Case cases[] = {{{}, {}, {}, "すべてのセクタが一致しています"},
                    {{.writeFails = {100}}, {100}, {100}, "1 個のセクタが書けないか、読み戻すと一致しません。\nセクタ: 100"},
                    {{.altered = {2000}}, {}, {2000}, "セクタ: 2000"},
                    {{.readFails = {{2879, -1}}}, {}, {2879}, "セクタ: 2879"},
                    {{.flushFails = true}, {}, {}, disk + " に書き込めません。"}};
    for (Case& c : cases) {
        SCOPED_TRACE(c.piece);
        WriteWhole(disk, std::string(kImageBytes, 'x'));
        const RestoreOutcome restored = RestoreFloppy(floppy.location(), disk, {}, {}, Failing(c.faults));
        EXPECT_EQ(std::pair(restored.writing.unwritten, restored.writing.differing), std::pair(c.unwritten, c.differing));
        EXPECT_EQ(restored.result.ok() && restored.writing.ok(), &c == cases);
        EXPECT_THAT(restored.Message(floppy.location(), disk), HasSubstr(c.piece));
        EXPECT_EQ(Bytes(disk) == withNote, c.faults.writeFails.empty());
    }
}

TEST(DeviceFinding, UnmountedRemovableDisksOfAFloppysSizeWhereNeitherTheyNorAPartitionOfThemIsMounted) {
    TempDir sys;
    // path under the devices folder, size in sectors, removable flag ("" for a partition)
    const std::vector<std::tuple<std::string, std::string, std::string>> nodes = {
        {"sdg", "2880\n", "1\n"}, {"sda", "2880", "1"}, {"sdap", "2880", "1"}, {"sdb", "2880", "1"},
        {"sdb/sdb1", "2880", ""}, {"sdc", "2880", "1"}, {"sdh", "5760", "1"}, {"sde", "4000", "1"}, {"sde/sde1", "2880", ""},
        {"nvme0n1", "4000", "0"}, {"nvme0n1/nvme0n1p1", "2880", ""}, {"loop0", "2880", "1"}, {"loop1", "2880", "1"}};
    fs::create_directories(sys.Path("class"));
    for (const auto& [path, size, removable] : nodes) {
        fs::create_directories(sys.Path("devices/" + path));
        WriteWhole(sys.Path("devices/" + path + "/size"), size);
        const bool partition = removable.empty();
        WriteWhole(sys.Path("devices/" + path + (partition ? "/partition" : "/removable")), partition ? "1" : removable);
        fs::create_directory_symlink("../devices/" + path, sys.Path("class/" + fs::path(path).filename().string()));
    }
    const std::vector<MountEntry> mounts = {{"/dev/sdb1", "/media/u/FLOPPY", "vfat"}, {"/dev/loop0p1", "/mnt/l", "vfat"},
                                            {"/dev/loop10", "/mnt/ten", "ext4"}, {"/dev/sdc", "/media/u/C/", "vfat"},
                                            {"/dev/sdap1", "/media/ap", "vfat"}, {"tmpfs", "/tmp", "tmpfs"}};
    EXPECT_EQ(FindFloppyDevices(mounts, sys.Path("class"), "/dev"),
              (Strings{"/dev/loop1", "/dev/sda", "/dev/sde1", "/dev/sdg"}));
    EXPECT_EQ(MountPointOf("/dev/sdb", mounts), "/media/u/FLOPPY") << "where its partition is";
}

// A change of mounts elsewhere leaves the medium as it was: only its own mount, or a disk
// coming or going in its device, asks for a new reading.
TEST(DeviceFinding, AMediumIsTheSameUntilItsOwnMountOrDiskChanges) {
    TempDir sys;
    const std::vector<MountEntry> before = {{"/dev/sdb", "/media/u/FLOPPY", "vfat"}, {"/dev/sdc1", "/media/u/STICK", "vfat"},
                                            {"/dev/nvme0n1p2", "/", "ext4"}};
    auto with = [&](auto change) { std::vector<MountEntry> mounts = before; change(mounts); return mounts; };
    const std::vector<std::vector<MountEntry>> elsewhere = {
        with([](auto& m) { m.push_back({"/dev/sdd1", "/media/u/CAMERA", "vfat"}); }),
        with([](auto& m) { m.erase(m.begin() + 1); }),
        with([](auto& m) { m.push_back({"/dev/sdd1", "/media/u/FLOPPYX", "vfat"}); }),   // a sibling whose name begins alike
    };
    const std::vector<std::vector<MountEntry>> ownChanged = {
        with([](auto& m) { m[0].device = "/dev/sdd"; }),   // another disk mounted where the floppy was
        with([](auto& m) { m.erase(m.begin()); }),
        with([](auto& m) { m.push_back({"/dev/sde", "/media/u/FLOPPY", "vfat"}); }),   // mounted over it
    };
    for (const std::string location : {"/media/u/FLOPPY/", "/media/u/FLOPPY/DSKA0001.IMG"}) {
        const std::string was = MediumIdentity(location, before, sys.path());
        for (const auto& mounts : elsewhere) EXPECT_EQ(MediumIdentity(location, mounts, sys.path()), was) << location;
        for (const auto& mounts : ownChanged) EXPECT_NE(MediumIdentity(location, mounts, sys.path()), was) << location;
    }
    // A drive's device: a disk in it or none, as the kernel counts its sectors.
    if (!IsBlockDevice("/dev/loop0")) GTEST_SKIP() << "no block device /dev/loop0 to stand for a drive";
    fs::create_directories(sys.Path("7:0"));
    WriteWhole(sys.Path("7:0/size"), "2880\n");
    const std::string withDisk = MediumIdentity("/dev/loop0", before, sys.path());
    WriteWhole(sys.Path("7:0/size"), "0\n");
    EXPECT_NE(MediumIdentity("/dev/loop0", before, sys.path()), withDisk);
}

}  // namespace
}  // namespace tunecrate::testing
