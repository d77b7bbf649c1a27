// SPDX-License-Identifier: MIT
#include "core/disk/ImageVolume.h"
#include "core/songs/SongFloppyImage.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "FloppyImages.h"
#include "ScriptedPrompter.h"
#include "SongDisk.h"
#include "TempDir.h"
#include "core/text/DragPayload.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/FolderDrop.h"
#include "core/songs/SongDeletion.h"
#include "core/text/SongNames.h"

namespace tunecrate {
namespace {

using testing::Fingerprint;
using testing::FingerprintIfAny;
using testing::Listing;
using testing::PeerRun;
using testing::ReadImage;
using testing::ReadWhole;
using testing::ScriptedPrompter;
using testing::SongData;
using testing::TempDir;

// The files an image should hold, by the name mdir shows, with their bytes.
using Contents = std::map<std::string, std::string>;

std::string Hex(std::string_view bytes) {
    std::string text;
    char pair[4];
    for (char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02x ", static_cast<unsigned char>(c));
        text += pair;
    }
    return text;
}

// Everything the peers can say about an image agrees with what we meant to
// write: fsck finds nothing wrong, mdir lists exactly these files and sizes,
// mtype gives their bytes, and mdir's free space is ours.
void ExpectPeersAgree(const std::string& image, const Contents& files, const std::string& when) {
    SCOPED_TRACE(when);
    const PeerRun fsck = testing::Fsck(image);
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    const Listing listing = testing::Mdir(image);
    std::map<std::string, std::uint64_t> sizes;
    for (const auto& [name, bytes] : files) sizes[name] = bytes.size();
    EXPECT_EQ(listing.files, sizes) << listing.raw;
    for (const auto& [name, bytes] : files) {
        EXPECT_EQ(FingerprintIfAny(testing::Mtype(image, name)), Fingerprint(bytes)) << name;
    }
    ImageVolume volume(image);
    const auto space = volume.Space();
    ASSERT_TRUE(space.has_value()) << volume.Problem();
    EXPECT_EQ(listing.freeBytes, space->FreeBytes()) << listing.raw;
}

// ---- peers check our writes --------------------------------------------------

enum class Formatter { MkfsFat, SongFloppy };

class OurWritesTest : public ::testing::TestWithParam<Formatter> {
protected:
    std::string Host(const std::string& name, const std::string& bytes) {
        dir.Write(name, bytes);
        return dir.Path(name);
    }
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
};

TEST_P(OurWritesTest, EveryChangeLeavesAnImageThePeersFindCleanAndComplete) {
    Contents files;
    if (GetParam() == Formatter::MkfsFat) {
        testing::MakeMkfsImage(image);
    } else {
        ASSERT_TRUE(CreateSongFloppyImage(image).ok());
        files = {{"song.nam", TitlesFileBytes({})}, {"comments.dat", CommentsFileBytes({})}};
    }
    ExpectPeersAgree(image, files, "as formatted");
    const std::string first = SongData("first", 3000), second = SongData("second", 2000);
    const std::string longer = SongData("longer", 7000), shorter = SongData("shorter", 100);
    const std::string chunk = SongData("chunk", 100'000);

    auto retitle = [&](ImageVolume& volume, const std::string& title) {
        CatalogueReading reading = ReadCatalogue(&volume);
        ASSERT_TRUE(reading.readable) << reading.failure;
        reading.rows[0].title = title;
        EXPECT_EQ(UpdateCatalogue(volume, {SlotText{0, title, std::nullopt}}), std::vector<std::string>{});
        files["song.nam"] = TitlesFileBytes(reading.rows);
        files["comments.dat"] = CommentsFileBytes(reading.rows);
    };
    struct Step {
        const char* what;
        std::function<void(ImageVolume&)> change;
    };
    const std::vector<Step> steps = {
        {"copy in from the host",
         [&](ImageVolume& volume) {
             EXPECT_TRUE(volume.Apply({FileChange{"MDR_00.B00", HostPath{Host("first", first)}},
                                       FileChange{"MDR_01.B00", HostPath{Host("second", second)}}},
                                      Room::Songs)
                             .ok());
             files["MDR_00.B00"] = first;
             files["MDR_01.B00"] = second;
         }},
        {"overwrite with a longer file",
         [&](ImageVolume& volume) {
             EXPECT_TRUE(volume.Apply({FileChange{"mdr_00.b00", HostPath{Host("longer", longer)}}}, Room::Songs).ok());
             files["MDR_00.B00"] = longer;
         }},
        {"overwrite with a shorter file",
         [&](ImageVolume& volume) {
             EXPECT_TRUE(volume.WriteFile("MDR_01.B00", shorter).ok());
             files["MDR_01.B00"] = shorter;
         }},
        {"delete",
         [&](ImageVolume& volume) {
             EXPECT_TRUE(volume.Remove("mdr_01.b00").ok());
             files.erase("MDR_01.B00");
         }},
        {"titles after a title changed", [&](ImageVolume& volume) { retitle(volume, "Blues"); }},
        // The freed clusters of the overwrites leave holes, so these chains are
        // not contiguous. Songs stop short of the room kept for the catalogue.
        {"copy until the disk is full",
         [&](ImageVolume& volume) {
             const std::string source = Host("chunk", chunk);
             FileResult copied;
             for (int i = 0; i < 20 && copied.ok(); ++i) {
                 const std::string name = "FILL" + std::to_string(10 + i) + ".BIN";
                 copied = volume.Apply({FileChange{name, HostPath{source}}}, Room::Songs);
                 if (copied.ok()) files[name] = chunk;
             }
             EXPECT_EQ(copied.status, FileStatus::DiskFull);
             const std::uint64_t kept = CatalogueRoomBytes(kImageSectorBytes);
             const std::string rest = SongData("rest", volume.Space().value_or(SpaceInfo{}).FreeBytes() - kept);
             EXPECT_EQ(volume.Apply({FileChange{"REST.BIN", rest + "x"}}, Room::Songs).status, FileStatus::DiskFull);
             EXPECT_TRUE(volume.Apply({FileChange{"REST.BIN", rest}}, Room::Songs).ok());
             files["REST.BIN"] = rest;
             EXPECT_EQ(volume.Space().value_or(SpaceInfo{}).FreeBytes(), kept);
         }},
        // A replacement is written beside the old file: with no room for
        // both, the old one stays whole, even where its own clusters would do.
        {"a song that does not fit beside the old one",
         [&](ImageVolume& volume) {
             EXPECT_EQ(volume.Apply({FileChange{"MDR_00.B00", SongData("shorter", 5000)}}, Room::Songs).status,
                       FileStatus::DiskFull);
         }},
        {"titles rewritten on a full disk", [&](ImageVolume& volume) { retitle(volume, "Full disk"); }},
    };
    for (const Step& step : steps) {
        {
            ImageVolume volume(image);
            ASSERT_EQ(volume.Problem(), "");
            step.change(volume);
        }
        ExpectPeersAgree(image, files, step.what);
    }
}

INSTANTIATE_TEST_SUITE_P(ImageVolume, OurWritesTest, ::testing::Values(Formatter::MkfsFat, Formatter::SongFloppy),
                         [](const ::testing::TestParamInfo<Formatter>& param) {
                             return param.param == Formatter::MkfsFat ? "MkfsFat" : "SongFloppy";
                         });

TEST(SongFloppyImage, HasTheBootParametersOfMkfs) {
    TempDir dir;
    ASSERT_TRUE(CreateSongFloppyImage(dir.Path("ours.img")).ok());
    testing::MakeMkfsImage(dir.Path("theirs.img"));
    const std::string ours = ReadImage(dir.Path("ours.img"));
    const std::string theirs = ReadImage(dir.Path("theirs.img"));
    ASSERT_EQ(ours.size(), theirs.size());
    // Bytes 39..42 are the volume id, different on every disk.
    EXPECT_EQ(Hex(ours.substr(11, 28)), Hex(theirs.substr(11, 28)));
    EXPECT_EQ(Hex(ours.substr(43, 19)), Hex(theirs.substr(43, 19)));
}

TEST(SongFloppyImage, NeverReplacesAnExistingFile) {
    TempDir dir;
    dir.Write("songs.img", "not a floppy, but someone's file");
    EXPECT_EQ(CreateSongFloppyImage(dir.Path("songs.img")).status, FileStatus::TargetExists);
    EXPECT_EQ(dir.Read("songs.img"), "not a floppy, but someone's file");
}

// ---- our reads of the peers' writes ------------------------------------------

TEST(ImageVolume, FilesPeersWroteAreFoundAndReadByAnyCaseOfEitherName) {
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    testing::MakeMkfsImage(image);
    struct PeerFile {
        std::string name;   // as mcopy writes it
        std::size_t size;
        std::vector<std::string> lookups;
    };
    const std::vector<PeerFile> cases = {
        {"UPPER.TXT", 1300, {"UPPER.TXT", "upper.txt", "Upper.Txt"}},
        {"song.nam", 760, {"song.nam", "SONG.NAM", "Song.Nam"}},
        {"Mixed Case Name.txt", 2100,
         {"Mixed Case Name.txt", "MIXED CASE NAME.TXT", "mixed case name.txt", "MIXEDC~1.TXT", "mixedc~1.txt"}},
    };
    for (const PeerFile& file : cases) {
        dir.Write("source", SongData(file.name, file.size));
        testing::Mcopy(image, dir.Path("source"), file.name);
    }
    ImageVolume volume(image);
    ASSERT_EQ(volume.Problem(), "");
    for (const PeerFile& file : cases) {
        const std::string bytes = SongData(file.name, file.size);
        for (const std::string& lookup : file.lookups) {
            SCOPED_TRACE(lookup);
            EXPECT_TRUE(volume.Exists(lookup));
            EXPECT_EQ(volume.FileSize(lookup), file.size);
            EXPECT_EQ(FingerprintIfAny(volume.ReadFile(lookup, 1 << 20)), Fingerprint(bytes));
        }
    }
    EXPECT_FALSE(volume.Exists("Mixed Case Name"));
    EXPECT_FALSE(volume.Exists("UPPER"));
}

TEST(ImageVolume, RemovingALongNamedFileTakesItsLongNameEntriesWithIt) {
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    testing::MakeMkfsImage(image);
    dir.Write("long", SongData("long", 1300));
    dir.Write("keep", "keep me");
    testing::Mcopy(image, dir.Path("long"), "Mixed Case Name.txt");
    testing::Mcopy(image, dir.Path("keep"), "keep.txt");
    {
        ImageVolume volume(image);
        EXPECT_TRUE(volume.Remove("mixed case name.txt").ok());
        EXPECT_FALSE(volume.Exists("MIXEDC~1.TXT"));
    }
    // fsck calls a long-name entry left without its file an error.
    ExpectPeersAgree(image, {{"keep.txt", "keep me"}}, "after the remove");
    const std::string after = ReadImage(image);
    for (std::uint32_t slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(Hex(testing::RootSlot(after, slot).substr(0, 1)), "e5 ") << "slot " << slot;
    }
}

// A directory that ends early, with old entries past its end mark, as
// tools that only rewrite the end mark leave it.
class EndMarkTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(EndMarkTest, GarbagePastTheEndMarkStaysUnseenAfterAFileIsAdded) {
    const std::uint32_t endSlot = GetParam();
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    ASSERT_TRUE(CreateSongFloppyImage(image).ok());
    Contents files = {{"song.nam", TitlesFileBytes({})}, {"comments.dat", CommentsFileBytes({})}};
    {
        ImageVolume volume(image);
        for (std::uint32_t slot = 2; slot < endSlot; ++slot) {
            const std::string name = "F" + std::to_string(slot) + ".TXT";
            ASSERT_TRUE(volume.WriteFile(name, "f").ok());
            files[name] = "f";
        }
    }
    std::string ghosts = "GHOST   TXT\x20" + std::string(20, '\0');
    ghosts += "GHOST2  TXT\x20" + std::string(20, '\0');
    testing::PatchFile(image, testing::kRootOffset + (endSlot + 1) * 32u, ghosts);
    ASSERT_EQ(testing::Mdir(image).files.count("GHOST.TXT"), 0u);
    {
        ImageVolume volume(image);
        ASSERT_TRUE(volume.WriteFile("NEW.TXT", "new").ok());
        files["NEW.TXT"] = "new";
    }
    ExpectPeersAgree(image, files, "after adding a file");
    ImageVolume volume(image);
    EXPECT_FALSE(volume.Exists("GHOST.TXT"));
    EXPECT_FALSE(volume.Exists("GHOST2.TXT"));
    EXPECT_EQ(volume.ReadFile("NEW.TXT", 100), "new");
}

// The end mark in the middle of the root's first sector, and in the last slot
// of it, where the new end mark falls into the next sector.
INSTANTIATE_TEST_SUITE_P(ImageVolume, EndMarkTest, ::testing::Values(2u, 15u));

TEST(ImageVolume, NameStartingWithByte05ReadsAsE5) {
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    testing::MakeMkfsImage(image);
    dir.Write("source", "kanji first byte");
    testing::Mcopy(image, dir.Path("source"), "XBC.TXT");
    // 0xE5 would mark the entry deleted, so a name starting with it stores 0x05.
    testing::PatchFile(image, testing::kRootOffset, "\x05");
    ImageVolume volume(image);
    EXPECT_TRUE(volume.Exists("\xE5" "BC.TXT"));
    EXPECT_EQ(volume.ReadFile("\xE5" "bc.txt", 100), "kanji first byte");
    EXPECT_FALSE(volume.Exists("\x05" "BC.TXT"));
    EXPECT_FALSE(volume.Exists("XBC.TXT"));
}

// ---- a full floppy through the real drop path --------------------------------

struct FullDropCase {
    const char* name;
    std::size_t secondSongBytes;
    std::size_t secondEventsBytes;
};

class FullImageDropTest : public ::testing::TestWithParam<FullDropCase> {};

// The image has room for the first song, the room kept for the catalogue and
// one cluster more: the second song does not fit (in its song file, or only
// in its events file), and the catalogue is then written in the room kept for it.
TEST_P(FullImageDropTest, FirstSongArrivesTheSecondLeavesNothingAndTheCatalogueIsWritten) {
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    ASSERT_TRUE(CreateSongFloppyImage(image).ok());
    const std::string first = SongData("First", 8000), firstEvents = SongData("First events", 1000);
    const std::uint64_t firstBytes = (16 + 2) * 512, kept = CatalogueRoomBytes(512);
    const std::uint64_t freeBefore = testing::Mdir(image).freeBytes.value_or(0);
    ASSERT_GT(freeBefore, firstBytes + kept + 512);
    const std::string filler = SongData("filler", freeBefore - firstBytes - kept - 512);
    dir.Write("filler", filler);
    testing::Mcopy(image, dir.Path("filler"), "FILLER.BIN");

    const std::string songs = dir.Path("Songs");
    ASSERT_EQ(::mkdir(songs.c_str(), 0755), 0);
    dir.Write("Songs/First.B00", first);
    dir.Write("Songs/First.EVT", firstEvents);
    dir.Write("Songs/First.cmt", "one");
    dir.Write("Songs/Second.B00", SongData("Second", GetParam().secondSongBytes));
    dir.Write("Songs/Second.EVT", SongData("Second events", GetParam().secondEventsBytes));
    dir.Write("Songs/Second.cmt", "two");
    const testing::Snapshot hardDisk = testing::TakeSnapshot(songs);

    std::vector<SlotRow> rows;
    {
        ImageVolume volume(image);
        rows = ReadCatalogue(&volume).rows;
        ASSERT_EQ(rows.size(), 5u);
        ScriptedPrompter prompter;
        DropContext context{&volume, rows, prompter, false};
        const DropResult result = DropOntoFloppyList(
            context, 0, ParsePayload(BuildPayload(kHardDiskType, {songs + "/First", songs + "/Second"})));

        EXPECT_TRUE(result.rereadFloppy);
        EXPECT_EQ(prompter.calls(), std::vector<ScriptedPrompter::Call>{ScriptedPrompter::Message(
                                        "ディスクがいっぱいです！", "Error!", MessageIcon::Exclamation)});
        EXPECT_FALSE(volume.Exists("MDR_01.B00"));
        EXPECT_FALSE(volume.Exists("MDR_01.EVT"));
        const CatalogueReading after = ReadCatalogue(&volume);
        ASSERT_TRUE(after.readable);
        EXPECT_EQ(after.rows[0].title, "First");
        EXPECT_EQ(after.rows[0].comment, "one");
        EXPECT_EQ(after.rows[0].state, SlotState::FullSong);
        EXPECT_EQ(after.rows[1].title, "");
        EXPECT_EQ(after.rows[1].state, SlotState::EmptySlot);
    }
    EXPECT_EQ(testing::TakeSnapshot(songs), hardDisk);
    ExpectPeersAgree(image,
                     {{"FILLER.BIN", filler},
                      {"MDR_00.B00", first},
                      {"MDR_00.EVT", firstEvents},
                      {"song.nam", TitlesFileBytes(rows)},
                      {"comments.dat", CommentsFileBytes(rows)}},
                     "after the drop");
    EXPECT_EQ(testing::Mdir(image).freeBytes, kept + 512);
}

INSTANTIATE_TEST_SUITE_P(ImageVolume, FullImageDropTest,
                         ::testing::Values(FullDropCase{"SongFileTooBig", 20'000, 100},
                                           FullDropCase{"EventsFileTooBig", 300, 20'000}),
                         [](const ::testing::TestParamInfo<FullDropCase>& param) { return param.param.name; });

// ---- bad images --------------------------------------------------------------

struct BadImage {
    const char* name;
    std::function<void(const std::string&)> damage;
    const char* reason;   // words the problem must hold; null: the image opens, song.nam does not read
};

// Bytes after the 1.44 MB, as some tools pad an image: a cluster number
// beyond the disk then still lands inside the file, and its FAT entry (the
// FAT has room past the last cluster) can end the chain there.
void PadImage(const std::string& path) { ASSERT_EQ(::truncate(path.c_str(), 2'000'000), 0); }

// Song floppies made by us, with song.nam in clusters 2 and 3.
const BadImage kBadImages[] = {
    {"Truncated", [](const std::string& p) { ASSERT_EQ(::truncate(p.c_str(), 1'000'000), 0); }, "1000000 bytes"},
    {"OneFat", [](const std::string& p) { testing::PatchFile(p, 16, "\x01"); }, "FATs"},
    {"RootOf512Entries", [](const std::string& p) { testing::PatchFile(p, 17, std::string("\x00\x02", 2)); },
     "root entries"},
    {"SectorsOf2048Bytes", [](const std::string& p) { testing::PatchFile(p, 11, std::string("\x00\x08", 2)); },
     "bytes per sector"},
    {"ZeroBootSector", [](const std::string& p) { testing::PatchFile(p, 0, std::string(512, '\0')); },
     "bytes per sector"},
    {"TitlesChainLoops", [](const std::string& p) { testing::PatchFatEntry(p, 3, 2); }, nullptr},
    {"TitlesChainLeavesTheDisk",
     [](const std::string& p) {
         PadImage(p);
         testing::PatchFatEntry(p, 2, 0xB30);
         testing::PatchFatEntry(p, 0xB30, 0xFFF);
     },
     nullptr},
    {"TitlesStartOffTheDisk",
     [](const std::string& p) {
         PadImage(p);
         testing::PatchFile(p, testing::kRootOffset + 26, std::string("\x30\x0B", 2));
         testing::PatchFatEntry(p, 0xB30, 0xB31);
         testing::PatchFatEntry(p, 0xB31, 0xFFF);
     },
     nullptr},
    {"TitlesSizeBeyondTheirChain",
     [](const std::string& p) { testing::PatchFile(p, testing::kRootOffset + 28, std::string("\x88\x13\x00\x00", 4)); },
     nullptr},
};

class BadImageTest : public ::testing::TestWithParam<BadImage> {};

TEST_P(BadImageTest, GivesAClearReasonOrAnUnreadableFloppyAndChangesNoByte) {
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    ASSERT_TRUE(CreateSongFloppyImage(image).ok());
    {
        ImageVolume volume(image);
        ASSERT_EQ(testing::RootSlot(ReadImage(image), 0).substr(0, 11), "SONG    NAM");
        ASSERT_EQ(volume.FileSize("song.nam"), 760u);
    }
    GetParam().damage(image);
    const std::string before = ReadImage(image);

    std::unique_ptr<FloppyVolume> volume = OpenFloppyVolume(image);
    const CatalogueReading reading = ReadCatalogue(volume.get());
    EXPECT_FALSE(reading.readable);
    EXPECT_TRUE(reading.rows.empty());
    if (GetParam().reason != nullptr) {
        EXPECT_NE(volume->Problem().find(image), std::string::npos) << volume->Problem();
        EXPECT_NE(volume->Problem().find(GetParam().reason), std::string::npos) << volume->Problem();
        EXPECT_EQ(reading.failure, volume->Problem());
        EXPECT_FALSE(volume->WriteFile("song.nam", "x").ok());
    } else {
        EXPECT_EQ(volume->Problem(), "");
        EXPECT_EQ(volume->ReadFile("song.nam", 1 << 20), std::nullopt);
    }
    volume.reset();
    EXPECT_TRUE(ReadImage(image) == before) << "the image changed";
}

INSTANTIATE_TEST_SUITE_P(ImageVolume, BadImageTest, ::testing::ValuesIn(kBadImages),
                         [](const ::testing::TestParamInfo<BadImage>& param) { return param.param.name; });

// ---- locks and read-only images ---------------------------------------------

TEST(ImageVolume, SecondVolumeOnTheSameImageIsRefusedUntilTheFirstCloses) {
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    ASSERT_TRUE(CreateSongFloppyImage(image).ok());
    auto first = std::make_unique<ImageVolume>(image);
    ASSERT_EQ(first->Problem(), "");
    {
        ImageVolume second(image);
        EXPECT_NE(second.Problem().find(image + " is in use"), std::string::npos) << second.Problem();
        EXPECT_FALSE(ReadCatalogue(&second).readable);
        EXPECT_FALSE(second.WriteFile("song.nam", "x").ok());
    }
    first.reset();
    ImageVolume third(image);
    EXPECT_EQ(third.Problem(), "");
    EXPECT_TRUE(ReadCatalogue(&third).readable);
}

TEST(ImageVolume, LockHeldByAnotherProcessRefusesTheImage) {
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    ASSERT_TRUE(CreateSongFloppyImage(image).ok());
    int locked[2], release[2];
    ASSERT_EQ(::pipe2(locked, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(locked[0]);
        ::close(release[1]);
        const int fd = ::open(image.c_str(), O_RDONLY);
        const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
        (void)!::write(locked[1], &ok, 1);
        char ignored;
        (void)!::read(release[0], &ignored, 1);   // until the parent closes its end or ends
        ::_exit(0);
    }
    ::close(locked[1]);
    ::close(release[0]);
    {
        // Whatever the checks below decide, the child is let go and reaped.
        struct Release {
            int fd;
            pid_t pid;
            ~Release() {
                ::close(fd);
                int status = 0;
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }
        } letGo{release[1], child};
        char ok = 'n';
        pollfd ready{locked[0], POLLIN, 0};
        ASSERT_EQ(::poll(&ready, 1, 10'000), 1) << "the child never reported";
        ASSERT_EQ(::read(locked[0], &ok, 1), 1);
        ::close(locked[0]);
        ASSERT_EQ(ok, 'y');
        ImageVolume volume(image);
        EXPECT_NE(volume.Problem().find(image + " is in use"), std::string::npos) << volume.Problem();
    }
    EXPECT_EQ(ImageVolume(image).Problem(), "") << "the lock ends with the program that held it";
}

TEST(ImageVolume, ReadOnlyImageReadsButRefusesEveryWrite) {
    // Root writes through any mode bits: it gets a file system mounted read-only instead.
    testing::TmpfsMount mount("size=4m");
    TempDir plain;
    const TempDir& dir = testing::RunningAsRoot() ? mount.dir() : plain;
    if (testing::RunningAsRoot()) {
        ASSERT_TRUE(mount.mounted());
    }
    const std::string image = dir.Path("floppy.img");
    ASSERT_TRUE(CreateSongFloppyImage(image).ok());
    {
        ImageVolume volume(image);
        CatalogueReading reading = ReadCatalogue(&volume);
        ASSERT_TRUE(reading.readable);
        ASSERT_TRUE(UpdateCatalogue(volume, {SlotText{0, "Blues", std::nullopt}}).empty());
        ASSERT_TRUE(volume.WriteFile("MDR_00.B00", "song").ok());
    }
    if (testing::RunningAsRoot()) {
        ASSERT_TRUE(mount.RemountReadOnly());
    } else {
        ASSERT_EQ(::chmod(image.c_str(), 0444), 0);
    }
    plain.Write("host", "new song");
    const std::string before = ReadImage(image);

    ImageVolume volume(image);
    EXPECT_EQ(volume.Problem(), "");
    const CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable) << reading.failure;
    EXPECT_EQ(reading.rows[0].title, "Blues");
    EXPECT_EQ(volume.ReadFile("MDR_00.B00", 100), "song");
    EXPECT_FALSE(volume.WriteFile("song.nam", "x").ok());
    EXPECT_FALSE(volume.WriteFile("NEW.TXT", "x").ok());
    EXPECT_FALSE(volume.Remove("MDR_00.B00").ok());
    EXPECT_FALSE(volume.Apply({FileChange{"MDR_01.B00", HostPath{plain.Path("host")}}}, Room::Songs).ok());
    EXPECT_TRUE(volume.Exists("MDR_00.B00"));
    EXPECT_TRUE(ReadImage(image) == before) << "the image changed";
}

// ---- nothing above the file layer depends on the kind of floppy ---------------

enum class Medium { Folder, Image };

class SameSongsTest : public ::testing::TestWithParam<Medium> {
protected:
    void SetUp() override {
        const Contents files = {{"MDR_00.B00", kBlues},
                                {"MDR_00.EVT", kBluesEvents},
                                {"MDR_02.B00", kDemo},
                                {"song.nam", testing::TitlesFile({"Blues", "", "Demo"})},
                                {"comments.dat", testing::CommentsFile({"live", "", "demo"})}};
        std::string location;
        if (GetParam() == Medium::Folder) {
            location = dir.Path("floppy");
            ASSERT_EQ(::mkdir(location.c_str(), 0755), 0);
            for (const auto& [name, bytes] : files) dir.Write("floppy/" + name, bytes);
        } else {
            location = dir.Path("floppy.img");
            ASSERT_TRUE(CreateSongFloppyImage(location).ok());
            ImageVolume image(location);
            for (const auto& [name, bytes] : files) {
                ASSERT_TRUE(image.WriteFile(name, bytes).ok());
            }
        }
        volume = OpenFloppyVolume(location);
        ASSERT_EQ(volume->Problem(), "");
    }

    // The rows without what tells files apart, which differs by medium.
    static std::vector<SlotRow> Unstamped(std::vector<SlotRow> rows) {
        for (SlotRow& row : rows) row.stamp.clear();
        return rows;
    }

    static SlotRow Row(int number, std::string title, std::string sizeText, std::string comment, SlotState state) {
        return SlotRow{number, std::move(title), std::move(sizeText), std::move(comment), state, ""};
    }

    const std::string kBlues = SongData("Blues", 5000);
    const std::string kBluesEvents = SongData("Blues events", 700);
    const std::string kDemo = SongData("Demo", 3000);
    TempDir dir;
    std::unique_ptr<FloppyVolume> volume;
};

TEST_P(SameSongsTest, FloppyOperationsHaveTheSameOutcome) {
    CatalogueReading reading = ReadCatalogue(volume.get());
    ASSERT_TRUE(reading.readable);
    const std::vector<SlotRow> expected = {
        Row(1, "Blues", SizeText(5000, 700, true), "live", SlotState::FullSong),
        Row(2, "", std::string(kEmptySizeText), "", SlotState::EmptySlot),
        Row(3, "Demo", SizeText(3000, 0, false), "demo", SlotState::PartialSong),
        Row(4, "", std::string(kEmptySizeText), "", SlotState::EmptySlot),
        Row(5, "", std::string(kEmptySizeText), "", SlotState::EmptySlot),
    };
    EXPECT_EQ(Unstamped(reading.rows), expected);
    std::vector<SlotRow> rows = reading.rows;

    const std::string folder = dir.Path("Songs");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ScriptedPrompter prompter;
    DropContext context{volume.get(), rows, prompter, false};
    DropState state;
    EXPECT_EQ(CopyFloppySongToFolder(context, state, 0, folder), TransferResult::Copied);
    EXPECT_EQ(testing::TakeSnapshot(folder),
              testing::Files({{"Blues.B00", kBlues}, {"Blues.EVT", kBluesEvents}, {"Blues.cmt", "live"}}));

    rows[2].title = "Dawn";
    EXPECT_EQ(UpdateCatalogue(*volume, {SlotText{2, "Dawn", std::nullopt}}), std::vector<std::string>{});
    EXPECT_EQ(volume->ReadFile("song.nam", 4096), TitlesFileBytes(rows));

    EXPECT_EQ(DeleteFloppySlots(*volume, rows, {0}), std::vector<std::string>{});
    EXPECT_FALSE(volume->Exists("MDR_00.B00"));
    EXPECT_FALSE(volume->Exists("MDR_00.EVT"));
    std::vector<SlotRow> after = expected;
    after[0] = Row(1, "", std::string(kEmptySizeText), "", SlotState::EmptySlot);
    after[2].title = "Dawn";
    EXPECT_EQ(Unstamped(ReadCatalogue(volume.get()).rows), after);
    EXPECT_EQ(prompter.calls(), std::vector<ScriptedPrompter::Call>{});
}

INSTANTIATE_TEST_SUITE_P(FloppyVolume, SameSongsTest, ::testing::Values(Medium::Folder, Medium::Image),
                         [](const ::testing::TestParamInfo<Medium>& param) {
                             return param.param == Medium::Folder ? "Folder" : "Image";
                         });

}  // namespace
}  // namespace tunecrate
