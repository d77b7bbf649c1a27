// SPDX-License-Identifier: MIT
// Factory-firmware sticks: raw slots of 1.5 MiB with no file system, here as
// sparse dump files and as a loop device over one. FAT tools are the referees
// of what a slot holds; the bytes outside a slot are checked to be untouched.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "Songs.h"
#include "core/disk/DiskStore.h"
#include "core/disk/StickSlots.h"
#include "core/songs/Shelf.h"
#include "core/Texts.h"

namespace tunecrate::testing {
namespace {

std::string MakeStick(const TempDir& dir, const std::string& name, std::uint64_t size,
                      const std::vector<std::pair<std::uint64_t, std::string>>& bytes = {}) {
    MakeSparseFile(dir.Path(name), size, bytes);
    return dir.Path(name);
}

StickReading LayoutOf(const std::string& path) {
    Expected<OpenDisk> opened = OpenDiskAt(path, {});
    EXPECT_TRUE(opened.has_value()) << path;
    return opened ? ReadStickLayout(*opened->store, opened->bytes) : StickReading{};
}

std::string BootSector(std::initializer_list<std::pair<std::size_t, std::string>> fields) {
    std::string sector(512, '\0');
    for (const auto& [at, bytes] : fields) sector.replace(at, bytes.size(), bytes);
    return sector;
}

TEST(Sticks, SlotPathsAndCounts) {
    for (const auto& [path, stick, slot] : std::vector<std::tuple<std::string, std::string, int>>{
             {"/dev/sdb@12", "/dev/sdb", 12}, {"stick.bin@007", "stick.bin", 7}, {"a@b@999", "a@b", 999}, {"x@0", "x", 0}}) {
        const auto parsed = ParseSlotPath(path);
        ASSERT_TRUE(parsed.has_value()) << path;
        EXPECT_EQ(std::pair(parsed->stick, parsed->slot), std::pair(stick, slot)) << path;
        EXPECT_EQ(ParseSlotPath(SlotPathOf(stick, slot))->slot, slot);
    }
    for (const char* path : {"stick@1000", "@5", "stick@", "stick@1a", "stick@-1", "stick.img", "stick@ 1"})
        EXPECT_FALSE(ParseSlotPath(path).has_value()) << path;
    EXPECT_EQ(SlotPathOf("/dev/sdb", 5), "/dev/sdb@005");
    // A slot needs a whole floppy; its gap may be cut off at the end.
    for (const auto& [bytes, count] : std::vector<std::pair<std::uint64_t, int>>{
             {0, 0}, {kImageBytes - 1, 0}, {kImageBytes, 1}, {kSlotStride + kImageBytes - 1, 1}, {kSlotStride + kImageBytes, 2},
             {100 * kSlotStride, 100}, {1000 * kSlotStride, 1000}, {4'000'000'000, 1000}})
        EXPECT_EQ(StickSlotCount(bytes), count) << bytes;
}

// The layout comes from sector 0, and where it is blank, from the first floppy further on.
TEST(Sticks, TheLayoutIsToldFromTheFirstSectorsAndExplainedInPlainWords) {
    TempDir dir;
    const std::string floppy = NewSongFloppyImageBytes().substr(0, 512);
    std::string mbr = BootSector({{446, "\x80"}, {450, "\x0c"}, {510, "\x55\xAA"}});
    std::string gpt = BootSector({{446, std::string(1, '\0')}, {450, "\xEE"}, {510, "\x55\xAA"}});
    std::string noise(512, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7 + 3);
    const std::uint64_t size = 100 * kSlotStride;
    std::string vfat = MakeStick(dir, "fat32.bin", size);
    ASSERT_EQ(RunPeer({"mkfs.vfat", "-F", "32", vfat}).exitCode, 0);
    // stick, layout, what, the message
    for (const auto& [path, layout, what, message] : std::vector<std::tuple<std::string, StickLayout, std::string, std::string>>{
             {MakeStick(dir, "blank.bin", size), StickLayout::Blank, "", texts::kStickIsBlank},
             {MakeStick(dir, "slot0.bin", size, {{0, floppy}}), StickLayout::Slots, "", ""},
             {MakeStick(dir, "slot37.bin", size, {{37 * kSlotStride, floppy}}), StickLayout::Slots, "", ""},
             {MakeStick(dir, "last.bin", size, {{99 * kSlotStride, floppy}}), StickLayout::Slots, "", ""},
             // a floppy that is not at a slot's start tells nothing
             {MakeStick(dir, "between.bin", size, {{kImageBytes, floppy}}), StickLayout::Blank, "", texts::kStickIsBlank},
             {vfat, StickLayout::FileSystem, "FAT32", texts::kStickHasFileSystem},
             {MakeStick(dir, "mbr.bin", size, {{0, mbr}}), StickLayout::FileSystem, "MBR", texts::kStickHasFileSystem},
             {MakeStick(dir, "gpt.bin", size, {{0, gpt}}), StickLayout::FileSystem, "GPT", texts::kStickHasFileSystem},
             {MakeStick(dir, "exfat.bin", size, {{3, "EXFAT   "}}), StickLayout::FileSystem, "exFAT", texts::kStickHasFileSystem},
             {MakeStick(dir, "noise.bin", size, {{0, noise}}), StickLayout::Unknown, "", texts::kStickUnknown},
             {MakeStick(dir, "one.bin", kImageBytes, {{0, floppy}}), StickLayout::Slots, "", texts::kStickTooSmall}}) {
        SCOPED_TRACE(path);
        const StickReading reading = LayoutOf(path);
        EXPECT_EQ(std::pair(reading.layout, reading.what), std::pair(layout, what));
        const std::string expected = message.empty() ? "" : Translated(message.c_str(), {path, what});
        EXPECT_EQ(NotSlotStickMessage(path, reading), expected);
    }
}

// A slot seen through its window: reads and writes are moved by the slot's
// offset, and one that would leave it never reaches the stick, whose bytes
// are the referee.
TEST(Sticks, AWindowNeverReachesOutsideItsSlot) {
    TempDir dir;
    std::string bytes(4 * kSlotStride, '\0');   // no two sectors alike
    std::mt19937 random(3);
    for (char& c : bytes) c = static_cast<char>(random());
    WriteWhole(dir.Path("stick.bin"), bytes);
    Expected<OpenDisk> opened = OpenDiskAt(dir.Path("stick.bin"), {.write = true});
    ASSERT_TRUE(opened) << opened.error().reason;
    const std::uint64_t base = 3 * kSlotStride;
    SlotWindow window(std::move(opened->store), base, kImageBytes);
    std::string buffer(1024, '\0');
    // offset, size, allowed
    for (const auto& [offset, size, allowed] : std::vector<std::tuple<std::uint64_t, std::size_t, bool>>{
             {0, 512, true}, {kImageBytes - 512, 512, true}, {kImageBytes - 511, 512, false}, {kImageBytes, 0, true},
             {kImageBytes, 1, false}, {~std::uint64_t{0} - 10, 512, false}}) {
        SCOPED_TRACE(std::to_string(offset) + "+" + std::to_string(size));
        errno = 0;
        EXPECT_EQ(window.Read(offset, buffer.data(), size), allowed);
        EXPECT_TRUE(!allowed || buffer.substr(0, size) == bytes.substr(base + offset, size)) << "read elsewhere";
        EXPECT_EQ(window.Write(offset, std::string(size, 'w')), allowed);
        if (!allowed) {
            EXPECT_EQ(errno, EINVAL);
        }
        if (allowed) bytes.replace(base + offset, size, size, 'w');
        EXPECT_TRUE(window.Flush() && ReadWhole(dir.Path("stick.bin")) == bytes) << "written elsewhere";
    }
}

#ifdef TUNECRATE_PROGRAM
PeerRun Program(const std::vector<std::string>& args) { return RunCommand("'" TUNECRATE_PROGRAM "'", args, " 2>&1"); }

std::string Slot(const std::string& stick, int slot, const TempDir& dir) {
    const std::string image = dir.Path("slot" + std::to_string(slot) + ".img");
    EXPECT_EQ(RunCommand("dd", {"if=" + stick, "of=" + image, "bs=" + std::to_string(kSlotStride), "skip=" + std::to_string(slot), "count=1",
                                "status=none"}, " 2>&1").exitCode, 0);
    std::filesystem::resize_file(image, kImageBytes);
    return image;
}

// The whole way on a dump: new floppies in the unused slots, songs imported
// into them, listed, exported, and read back by FAT tools from the slot cut
// out with dd. Nothing outside the slots written ever changes.
TEST(Sticks, SongsGoIntoSlotsAndComeBackByteForByte) {
    TempDir dir;
    const std::string other = NewSongFloppyImageBytes();
    const std::string stick = MakeStick(dir, "stick.bin", 20 * kSlotStride, {{2 * kSlotStride, other}, {kImageBytes, std::string(1000, 'g')}});
    const std::string before = ReadWhole(stick).value_or("");
    TestFolder songs("Blues=Blues+/live Rock=Rock ふるさと=Home+", dir.Path("songs"));

    EXPECT_EQ(Program({"new", "--count", "2", "--gaps", stick}).output, stick + "@000\n" + stick + "@001\n");
    const PeerRun imported = Program({"import", songs.path(), stick});
    EXPECT_EQ(imported.exitCode, 0) << imported.output;
    // Into the last slot that holds a floppy, slot 2.
    EXPECT_NE(imported.output.find(stick + "@002\t1"), std::string::npos) << imported.output;
    const PeerRun listed = Program({"list", stick});
    const auto bytes = [&](const std::string& title) { return std::to_string(ReadWhole(songs.Item(title + ".B00")).value_or("").size()); };
    EXPECT_EQ(listed.output, stick + "@002\t1\tBlues\t" + bytes("Blues") + "\tlive\n" + stick + "@002\t2\tRock\t" + bytes("Rock") +
                                 "\t\n" + stick + "@002\t3\tふるさと\t" + bytes("ふるさと") + "\t\n");
    EXPECT_EQ(Program({"check", stick}).output, stick + "@000: " + Translated(texts::kImageOk) + "\n" + stick + "@001: " +
                                                Translated(texts::kImageOk) + "\n" + stick + "@002: " + Translated(texts::kImageOk) + "\n");
    const std::map<std::string, std::string> files = PeerFiles(Slot(stick, 2, dir));
    EXPECT_EQ(files.at("MDR_00.B00"), ReadWhole(songs.Item("Blues.B00")));
    EXPECT_EQ(files.at("MDR_00.EVT"), ReadWhole(songs.Item("Blues.EVT")));
    EXPECT_EQ(files.at("MDR_02.B00"), ReadWhole(songs.Item("ふるさと.B00")));
    EXPECT_EQ(Fsck(Slot(stick, 0, dir)).exitCode, 0);
    // A new floppy goes after the highest slot in use, never over one in use; or into the slot named, never a
    // file of that name beside the stick (as it once did, saying it was done).
    EXPECT_EQ(Program({"new", "--count", "1", stick}).output, stick + "@003\n");
    const PeerRun made = Program({"new", stick + "@7"});
    EXPECT_EQ(std::pair(made.exitCode, made.output), std::pair(0, stick + "@007\n"));
    EXPECT_EQ(Program({"check", stick + "@7"}).output, stick + "@7: " + Translated(texts::kImageOk) + "\n");
    EXPECT_EQ(Program({"list", stick}).output, listed.output);
    const std::string out = dir.Path("out");
    std::filesystem::create_directory(out);
    EXPECT_EQ(Program({"export", stick + "@2", out}).exitCode, 0);
    EXPECT_EQ(ReadWhole(out + "/Rock.B00"), ReadWhole(songs.Item("Rock.B00")));
    // Every byte outside slots 0-3 and 7 is as it was, the gap after slot 0 too.
    std::string after = ReadWhole(stick).value_or("");
    ASSERT_EQ(after.size(), before.size());
    for (std::uint64_t slot : {0, 1, 2, 3, 7}) after.replace(slot * kSlotStride, kImageBytes, before, slot * kSlotStride, kImageBytes);
    EXPECT_TRUE(after == before) << "bytes outside the slots changed";
}

// A stick named from its own folder ("stick.bin"): a slot's reason names it
// "stick.bin@001", which holds the path it stands for. That once never ended.
TEST(Sticks, ASlotIsNamedAsGivenFromTheSticksOwnFolder) {
    TempDir dir;
    const std::string stick = MakeStick(dir, "stick.bin", 3 * kSlotStride, {{0, NewSongFloppyImageBytes()}, {kSlotStride, "no floppy " + std::string(1000, 'g')}});
    const auto list = [&](const std::string& from, const std::string& name) {
        return RunCommand("cd '" + from + "' && timeout 60 '" TUNECRATE_PROGRAM "'", {"list", name}, " 2>&1");
    };
    const PeerRun here = list(dir.path(), "stick.bin"), whole = list("/", stick);
    EXPECT_EQ(here.exitCode, whole.exitCode) << here.output;
    EXPECT_NE(here.output.find("stick.bin@001"), std::string::npos) << here.output;
    std::string named = whole.output;   // the same lines, the stick named as given
    for (std::size_t at = 0; (at = named.find(stick, at)) != std::string::npos; at += 9) named.replace(at, stick.size(), "stick.bin");
    EXPECT_EQ(here.output, named);
}

// A stick of 1,000 slots, some empty, one damaged, through a folder and onto
// a fresh stick and a file stick: every floppy comes back byte for byte.
TEST(Sticks, ConvertingToImagesAndBackGivesTheSameSlots) {
    TempDir dir;
    std::vector<std::pair<std::uint64_t, std::string>> slots;
    std::map<int, std::string> floppies;
    for (int slot : {0, 5, 998}) {
        std::filesystem::create_directory(dir.Path("f" + std::to_string(slot)));
        TestFloppy floppy(Medium::Image, "1:Song" + std::to_string(slot) + "/c=S" + std::to_string(slot) + "+", dir.Path("f" + std::to_string(slot)));
        floppies[slot] = ReadWhole(floppy.location()).value_or("");
        slots.emplace_back(slot * kSlotStride, floppies[slot]);
    }
    std::string damaged(4096, 'x');
    damaged.replace(100, 7, "damaged");
    slots.emplace_back(7 * kSlotStride, damaged);   // used, but no floppy
    const std::string stick = MakeStick(dir, "stick.bin", 1000 * kSlotStride, slots);
    const std::string folder = dir.Path("images");
    std::filesystem::create_directory(folder);
    const PeerRun out = Program({"convert", stick, folder});
    EXPECT_EQ(out.output, stick + "@000\t" + folder + "/DSKA0000.IMG\n" + stick + "@005\t" + folder + "/DSKA0005.IMG\n" + stick + "@007\t" +
                              folder + "/DSKA0007.IMG\n" + stick + "@998\t" + folder + "/DSKA0998.IMG\n");
    EXPECT_EQ(ReadWhole(folder + "/DSKA0007.IMG")->substr(0, 4096), damaged);
    // Never over a file that is there.
    const PeerRun again = Program({"convert", stick, folder});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(ReadWhole(folder + "/DSKA0005.IMG"), floppies[5]);

    const std::string fresh = MakeStick(dir, "fresh.bin", 1000 * kSlotStride);
    const std::string files = MakeStick(dir, "files.bin", 24 * kSlotStride);
    ASSERT_EQ(RunPeer({"mkfs.vfat", "-F", "32", files}).exitCode, 0);
    std::filesystem::remove(folder + "/DSKA0998.IMG");   // beyond the file stick's 24 slots otherwise
    for (const std::string& target : {fresh, files}) {
        SCOPED_TRACE(target);
        const PeerRun back = Program({"convert", folder, target});
        // The slot that held no floppy cannot be laid out again, and is named.
        EXPECT_EQ(back.exitCode, 1);
        EXPECT_NE(back.output.find(folder + "/DSKA0007.IMG"), std::string::npos) << back.output;
        for (int slot : {0, 5}) EXPECT_TRUE(ReadWhole(Slot(target, slot, dir)) == floppies[slot]) << "slot " << slot;
        EXPECT_EQ(LayoutOf(target).layout, StickLayout::Slots);
        EXPECT_EQ(Program({"check", target}).output, target + "@000: " + Translated(texts::kImageOk) + "\n" + target + "@005: " +
                                                         Translated(texts::kImageOk) + "\n");
    }
    // Without an image for slot 0, the file system's boot sector must still go, or the stick stays a file stick.
    const std::string other = MakeStick(dir, "other.bin", 24 * kSlotStride);
    ASSERT_EQ(RunPeer({"mkfs.vfat", "-F", "32", other}).exitCode, 0);
    for (const char* gone : {"DSKA0000.IMG", "DSKA0007.IMG"}) std::filesystem::remove(folder + "/" + gone);
    EXPECT_EQ(Program({"convert", folder, other}).exitCode, 0);
    EXPECT_EQ(LayoutOf(other).layout, StickLayout::Slots);
    EXPECT_TRUE(ReadWhole(Slot(other, 5, dir)) == floppies[5]);
}

// A stick of the other kind, or of no kind, is explained and never written;
// a factory stick taken for one floppy is explained too, and a new floppy
// never goes over a slot in use or past the last.
TEST(Sticks, AStickOfAnotherLayoutIsExplainedAndNeverWritten) {
    TempDir dir;
    const std::string fat32 = MakeStick(dir, "files.bin", 24 * kSlotStride);   // the least FAT32 takes
    ASSERT_EQ(RunPeer({"mkfs.vfat", "-F", "32", fat32}).exitCode, 0);
    const std::string factory = MakeStick(dir, "factory.bin", 4 * kSlotStride, {{kSlotStride, NewSongFloppyImageBytes()}});
    // Something unknown at byte 0, though a floppy lies where slot 1 would start.
    const std::string unknown = MakeStick(dir, "unknown.bin", 4 * kSlotStride, {{0, "not a stick's first sector"}, {kSlotStride, NewSongFloppyImageBytes()}});
    TestFolder songs("Blues=Blues", dir.Path("songs"));
    const std::string fileStick = Translated(texts::kStickHasFileSystem, {fat32, "FAT32"});
    // args, exit status, what is said
    for (const auto& [args, status, said] : std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
             {{"list", fat32}, 1, fileStick},
             {{"new", "--count", "1", fat32}, 1, fileStick}, {{"new", fat32 + "@3"}, 1, fileStick},
             {{"new", factory + "@1"}, 1, Translated(texts::kImageExists, {factory + "@001"})},
             {{"new", factory + "@9"}, 1, Translated(texts::kNoSuchSlot, {factory, "9", "003"})},
             {{"import", songs.path(), fat32}, 1, Translated(texts::kNotPlaced, {songs.Item("Blues"), fileStick})},
             {{"import", songs.path(), fat32 + "@3"}, 1, Translated(texts::kNotPlaced, {songs.Item("Blues"), fileStick})},
             {{"list", factory + "@0"}, 1, Translated(texts::kSlotHoldsNoFloppy, {"factory.bin@0"})},
             {{"list", factory + "@4"}, 1, Translated(texts::kNoSuchSlot, {factory, "4", "003"})},
             {{"export", factory, dir.path()}, 1, Translated(texts::kIsSlotStick, {factory, "4"})},
             {{"import", songs.path(), unknown + "@1"}, 1, Translated(texts::kStickUnknown, {unknown})}}) {
        SCOPED_TRACE(args[0] + " " + args.back());
        const std::string fat32Before = ReadWhole(fat32).value_or(""), factoryBefore = ReadWhole(factory).value_or("");
        const std::string unknownBefore = ReadWhole(unknown).value_or("");
        const PeerRun run = Program(args);
        EXPECT_EQ(run.exitCode, status);
        EXPECT_NE(run.output.find(said), std::string::npos) << run.output;
        EXPECT_FALSE(args.back().find('@') != std::string::npos && std::filesystem::exists(args.back())) << "a file beside the stick";
        EXPECT_TRUE(ReadWhole(fat32) == fat32Before && ReadWhole(factory) == factoryBefore && ReadWhole(unknown) == unknownBefore)
            << "a stick was written";
    }
}
#endif

// One program at a time in a slot, as in an image file; other slots are free. A shelf reads slots through its hold
// on the stick, with no path opened per slot: under the same locks. A slot another program writes is told in use,
// by its path or through a hold, and its neighbour reads; while any reader of a slot lives (two here, ending one
// after the other), another program cannot write it, and can once the last is gone.
TEST(Sticks, SlotsReadThroughAHoldTakeTurnsWithWritersElsewhere) {
    TempDir dir;
    const std::string image = NewSongFloppyImageBytes();
    const std::string stick = MakeStick(dir, "stick.bin", 3 * kSlotStride, {{0, image}, {kSlotStride, image}});
    const auto writable = [&](int slot) {   // asked of another program
        return InChildProcess([&] { return ImageVolume(stick + "@" + std::to_string(slot)).Opened().ok(); });
    };
    {
        ImageVolume writer(stick + "@1");
        ASSERT_TRUE(writer.Opened().ok()) << writer.Opened().reason;
        EXPECT_TRUE(InChildProcess([&] {
            if (ImageVolume(stick + "@1", {}, ImageAccess::ReadOnly).Opened().reason != Translated(texts::kImageInUse, {stick + "@1"}) ||
                !ImageVolume(stick + "@0", {}, ImageAccess::ReadOnly).Opened().ok())
                return false;
            const auto hold = StickHold::Take(stick);
            const std::string inUse = Translated(texts::kImageInUse, {"stick.bin@001"});   // the row tells its first line
            return hold && ImageVolume(*hold, 1, "s@1").Opened().reason == Translated(texts::kImageInUse, {"s@1"}) &&
                   ImageVolume(*hold, 0, "s@0").Opened().ok() &&
                   ReadShelfEntry(stick, {"@001", {}}).condition.reason.rfind(inUse.substr(0, inUse.find('\n')), 0) == 0;
        }));
    }
    const auto hold = StickHold::Take(stick);
    ASSERT_TRUE(hold);
    auto first = std::make_unique<ImageVolume>(*hold, 1, "s@1");
    auto second = std::make_unique<ImageVolume>(*hold, 1, "s@1");
    ASSERT_TRUE(first->Opened().ok() && second->Opened().ok());
    EXPECT_EQ(std::pair(first->ReadFile("song.nam", 100000), second->Mark().empty()),
              std::pair(ImageVolume(stick + "@0", {}, ImageAccess::ReadOnly).ReadFile("song.nam", 100000), false));
    std::vector<bool> states = {writable(0), writable(1)};
    first.reset();
    states.push_back(writable(1));
    second.reset();
    states.push_back(writable(1));
    EXPECT_EQ(states, (std::vector<bool>{true, false, false, true}));
}

// A shelf's reading share-locks the slots ahead a window at a time, where each slot would take two lock calls: a
// writer elsewhere waits for the window, never for the whole stick, and nothing stays locked after the reading. A
// slot a writer holds is told in use and the rest of its window reads; a window and a slot's own reader add up.
TEST(Sticks, AShelfReadingLocksTheSlotsAheadAWindowAtATime) {
    TempDir dir;
    const std::string image = NewSongFloppyImageBytes();
    const std::string stick = MakeStick(dir, "stick.bin", 40 * kSlotStride,
                                        {{0, image}, {kSlotStride, image}, {5 * kSlotStride, image}, {33 * kSlotStride, image}});
    // Whether another program could write each of these slots now; it asks without waiting.
    const auto writableElsewhere = [&](std::vector<int> slots) {
        std::vector<bool> could;
        const int fd = ::open(stick.c_str(), O_RDWR | O_CLOEXEC);
        for (int slot : slots) {
            could.push_back(LockSlotRange(fd, static_cast<std::uint64_t>(slot) * kSlotStride, true, false));
            if (could.back()) {
                struct flock range {};
                range.l_type = F_UNLCK;
                range.l_start = static_cast<off_t>(static_cast<std::uint64_t>(slot) * kSlotStride);
                range.l_len = static_cast<off_t>(kSlotStride);
                ::fcntl(fd, F_OFD_SETLK, &range);
            }
        }
        ::close(fd);
        return could;
    };
    const FloppiesAtPath found = FloppiesAt(stick);
    ASSERT_TRUE(found.stick);
    const auto entry = [&](int slot) { return found.images.at(static_cast<std::size_t>(slot)); };
    {
        ShelfReader reader(found.folder);
        EXPECT_TRUE(reader.Read(entry(0)).condition.ok());
        EXPECT_EQ(writableElsewhere({1, 5, 31, 32, 33}), (std::vector<bool>{false, false, false, true, true}));
        EXPECT_TRUE(reader.Read(entry(5)).condition.ok());
        EXPECT_TRUE(reader.Read(entry(33)).condition.ok());
        EXPECT_EQ(writableElsewhere({5, 31, 32, 33, 39}), (std::vector<bool>{true, true, true, false, false}));
    }
    EXPECT_EQ(writableElsewhere({0, 5, 33, 39}), (std::vector<bool>{true, true, true, true}));
    {
        ImageVolume writer(stick + "@5");
        ASSERT_TRUE(writer.Opened().ok()) << writer.Opened().reason;
        ShelfReader reader(found.folder);
        std::vector<bool> read;
        for (int slot : {0, 1, 5, 33}) read.push_back(reader.Read(entry(slot)).condition.ok());
        EXPECT_EQ(read, (std::vector<bool>{true, true, false, true}));
        const std::string inUse = Translated(texts::kImageInUse, {"stick.bin@005"});
        EXPECT_EQ(reader.Read(entry(5)).condition.reason.rfind(inUse.substr(0, inUse.find('\n')), 0), 0u);
    }
    EXPECT_EQ(writableElsewhere({0, 1, 5, 33}), (std::vector<bool>{true, true, true, true}));
    // A slot's own reader, then a window over it: each lets go of only what no other still reads.
    const auto hold = StickHold::Take(stick);
    ASSERT_TRUE(hold);
    auto own = std::make_unique<ImageVolume>(*hold, 1, "s@1");
    auto window = (*hold)->ShareSlots(0, 4);
    ASSERT_TRUE(own->Opened().ok() && window.has_value());
    own.reset();
    const std::vector<bool> underWindow = writableElsewhere({0, 1, 3, 4});
    window.reset();
    own = std::make_unique<ImageVolume>(*hold, 1, "s@1");
    EXPECT_EQ(std::pair(underWindow, writableElsewhere({0, 1, 3})),
              std::pair(std::vector<bool>{false, false, false, true}, std::vector<bool>{true, false, true}));
    // A window that a writer refuses lets go of what it took, and of nothing another reader holds.
    ImageVolume writer(stick + "@5");
    ASSERT_TRUE(writer.Opened().ok()) << writer.Opened().reason;
    EXPECT_FALSE((*hold)->ShareSlots(0, 8).has_value());
    EXPECT_EQ(writableElsewhere({0, 1, 2, 4}), (std::vector<bool>{true, false, true, true}));
}

// A device is held exclusively while a slot is open, and one that is not
// removable is refused unless the user says it is a stick. The shelf finds an
// unmounted factory stick by itself: a removable disk of a stick's size whose
// first sectors say so; other disks are never opened.
TEST(Sticks, ADeviceIsHeldExclusivelyFoundByItselfAndANonRemovableOneOnlyWhenForced) {
    TempDir dir;
    const std::string stick = MakeStick(dir, "stick.bin", 4 * kSlotStride, {{kSlotStride, NewSongFloppyImageBytes()}});
    const std::string blank = MakeStick(dir, "blank.bin", 4 * kSlotStride);
    LoopDevice loop(stick), other(blank);
    if (loop.path().empty() || other.path().empty()) GTEST_SKIP() << "needs loop devices: root, and losetup that can attach them";
    AllowAnyStickDevice(false);
    ImageVolume refused(loop.path() + "@1");
    EXPECT_EQ(refused.Opened().reason, Translated(texts::kStickDeviceRefused, {loop.path()}));
    AllowAnyStickDevice(true);   // from here on a loop device stands in for a removable stick
    {
        ImageVolume slot(loop.path() + "@1");
        ASSERT_TRUE(slot.Opened().ok()) << slot.Opened().reason;
        EXPECT_TRUE(slot.WriteFile("MDR_00.B00", "song").ok());
        const int held = ::open(loop.path().c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
        EXPECT_EQ(std::pair(held, errno), std::pair(-1, EBUSY)) << "another program could claim or mount the stick";
        if (held >= 0) ::close(held);
    }
    const int after = ::open(loop.path().c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
    EXPECT_GE(after, 0) << "the stick is still held after its last slot closed";
    if (after >= 0) ::close(after);
    const std::string name = loop.path().substr(5), otherName = other.path().substr(5);
    // name, removable, sectors
    for (const auto& [disk, removable, sectors] : std::vector<std::tuple<std::string, const char*, std::uint64_t>>{
             {name, "1", 4 * kSlotStride / 512}, {otherName, "1", 4 * kSlotStride / 512}, {"sdz", "0", 4 * kSlotStride / 512},
             {"sdy", "1", kImageBytes / 512}}) {
        std::filesystem::create_directories(dir.Path("sys/" + disk));
        WriteWhole(dir.Path("sys/" + disk + "/removable"), std::string(removable) + "\n");
        WriteWhole(dir.Path("sys/" + disk + "/size"), std::to_string(sectors) + "\n");
    }
    EXPECT_EQ(FindSlotSticks({}, dir.Path("sys")), std::vector<std::string>{loop.path()});
    EXPECT_EQ(FindSlotSticks({{loop.path(), "/media/stick", "vfat", false, 0}}, dir.Path("sys")), std::vector<std::string>{}) << "mounted";
    AllowAnyStickDevice(false);
}

}  // namespace
}  // namespace tunecrate::testing
