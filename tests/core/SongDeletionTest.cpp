// SPDX-License-Identifier: MIT
#include "core/songs/SongDeletion.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "SongDisk.h"
#include "TempDir.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FolderVolume.h"

namespace tunecrate {
namespace {

using testing::CommentsFile;
using testing::Files;
using testing::Snapshot;
using testing::TakeSnapshot;
using testing::TempDir;
using testing::TitlesFile;
using testing::TmpfsMount;
using Strings = std::vector<std::string>;

// ---- floppy ----------------------------------------------------------------

// A floppy with five full slots and lines beyond the fifth slot that a
// rewrite must keep.
void FillFloppy(const TempDir& floppy) {
    Strings titles, comments;
    for (int slot = 0; slot < 5; ++slot) {
        const std::string n = std::to_string(slot);
        floppy.Write("MDR_0" + n + ".B00", "song " + n);
        floppy.Write("MDR_0" + n + ".EVT", "events " + n);
        titles.push_back("Title " + n);
        comments.push_back("Comment " + n);
    }
    floppy.Write("song.nam", TitlesFile(titles, "Leftover"));
    floppy.Write("comments.dat", CommentsFile(comments, "leftover"));
}

class FloppyDeletionTest : public ::testing::Test {
protected:
    void SetUp() override { FillFloppy(dir); }

    std::vector<SlotRow> ReadRows() {
        const CatalogueReading reading = ReadCatalogue(&volume);
        EXPECT_TRUE(reading.readable);
        EXPECT_EQ(reading.rows.size(), 5u);
        return reading.rows;
    }

    TempDir dir;
    FolderVolume volume{dir.path()};
};

TEST_F(FloppyDeletionTest, DeletingTheThirdSlotEmptiesItAlone) {
    std::vector<SlotRow> rows = ReadRows();
    std::vector<SlotRow> expected = rows;
    expected[2] = SlotRow{3, "", "----", "", SlotState::EmptySlot, ""};

    EXPECT_TRUE(DeleteFloppySlots(volume, rows, {2}).empty());
    EXPECT_EQ(ReadRows(), expected);

    Snapshot files = TakeSnapshot(dir.path());
    EXPECT_EQ(files["song.nam"],
              testing::Fingerprint(TitlesFile({"Title 0", "Title 1", "", "Title 3", "Title 4"}, "Leftover")));
    EXPECT_EQ(files["comments.dat"],
              testing::Fingerprint(CommentsFile({"Comment 0", "Comment 1", "", "Comment 3", "Comment 4"}, "leftover")));
    files.erase("song.nam");
    files.erase("comments.dat");
    EXPECT_EQ(files, (Files({{"MDR_00.B00", "song 0"}, {"MDR_00.EVT", "events 0"}, {"MDR_01.B00", "song 1"},
                             {"MDR_01.EVT", "events 1"}, {"MDR_03.B00", "song 3"}, {"MDR_03.EVT", "events 3"},
                             {"MDR_04.B00", "song 4"}, {"MDR_04.EVT", "events 4"}})));
}

// An empty slot in the selection is deleted with what it has: nothing, and no
// complaint. Slot files written in lower case are the same files on the
// floppy's own disk and go too. Indices outside the rows delete nothing.
TEST_F(FloppyDeletionTest, SeveralSlotsAtOnceIncludingEmptyAndLowerCaseOnes) {
    ASSERT_EQ(::unlink(dir.Path("MDR_00.B00").c_str()), 0);
    ASSERT_EQ(::unlink(dir.Path("MDR_00.EVT").c_str()), 0);
    ASSERT_EQ(::rename(dir.Path("MDR_04.B00").c_str(), dir.Path("mdr_04.b00").c_str()), 0);
    ASSERT_EQ(::rename(dir.Path("MDR_04.EVT").c_str(), dir.Path("Mdr_04.evt").c_str()), 0);
    dir.Write("MDR_05.B00", "song 5");
    std::vector<SlotRow> rows = ReadRows();

    EXPECT_TRUE(DeleteFloppySlots(volume, rows, {-1, 0, 1, 4, 5, 1000}).empty());
    EXPECT_EQ(TakeSnapshot(dir.path()), (Files({
                                            {"MDR_02.B00", "song 2"},
                                            {"MDR_02.EVT", "events 2"},
                                            {"MDR_03.B00", "song 3"},
                                            {"MDR_03.EVT", "events 3"},
                                            {"MDR_05.B00", "song 5"},
                                            {"song.nam", TitlesFile({"", "", "Title 2", "Title 3", ""}, "Leftover")},
                                            {"comments.dat", CommentsFile({"", "", "Comment 2", "Comment 3", ""}, "leftover")},
                                        })));
}

// A slot whose song changed since the window read it is not deleted: the
// user would lose a song they never saw.
TEST_F(FloppyDeletionTest, SlotChangedSinceTheWindowReadItIsNotDeleted) {
    const std::vector<SlotRow> shown = ReadRows();
    dir.Write("MDR_02.B00", "another song");
    const Snapshot before = TakeSnapshot(dir.path());
    EXPECT_EQ(DeleteFloppySlots(volume, shown, {1, 2}), Strings{CatalogueChangedMessage(false)});
    EXPECT_EQ(TakeSnapshot(dir.path()), before);
}

// A write-protected floppy keeps its songs and its catalogue; the user is
// told which song stayed.
TEST(FloppyDeletion, WriteProtectedFloppyKeepsTheSongAndItsRow) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a read-only tmpfs";
    const TempDir& dir = disk.dir();
    FillFloppy(dir);
    const Snapshot before = TakeSnapshot(dir.path());
    ASSERT_TRUE(disk.RemountReadOnly());
    FolderVolume volume(dir.path());
    const CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    std::vector<SlotRow> rows = reading.rows;

    const Strings failures = DeleteFloppySlots(volume, rows, {2});
    EXPECT_EQ(TakeSnapshot(dir.path()), before);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find(volume.Root() + "MDR_02.B00"), std::string::npos) << failures[0];
}

// ---- hard disk -------------------------------------------------------------

// On a disk that tells cases apart a song may have its files twice; every
// variant goes, but a base name in another case is another song.
TEST(HardDiskDeletion, EveryCaseVariantOfTheThreeFilesGoes) {
    TempDir dir;
    for (const char* name : {"Blues.B00", "Blues.b00", "Blues.EVT", "Blues.evt", "Blues.cmt", "Blues.CMT"}) {
        dir.Write(name, name);
    }
    const Snapshot others = Files({
        {"blues.B00", "another song"}, {"BLUES.EVT", "its events"}, {"Blues.B00.bak", "backup"},
        {"Blues.mid", "export"},       {"Blues .B00", "blank"},     {"Rock.B00", "rock"},
    });
    for (const auto& [name, content] : others) dir.Write(name, content);

    EXPECT_TRUE(DeleteHardDiskSongs(dir.path(), {"Blues"}).empty());
    EXPECT_EQ(TakeSnapshot(dir.path()), others);
}

TEST(HardDiskDeletion, SeveralSongsGoAndMissingCompanionsAreNoFailure) {
    TempDir dir;
    for (const char* name : {"Blues.B00", "Blues.EVT", "Rock.b00", "Jazz.B00", "Jazz.cmt"}) dir.Write(name, name);

    EXPECT_TRUE(DeleteHardDiskSongs(dir.path(), {"Blues", "Rock", "Gone"}).empty());
    EXPECT_EQ(TakeSnapshot(dir.path()), (Files({{"Jazz.B00", "Jazz.B00"}, {"Jazz.cmt", "Jazz.cmt"}})));
}

TEST(HardDiskDeletion, FileThatCannotBeDeletedIsReportedAndTheRestGoes) {
    TempDir dir;
    dir.Write("Blues.B00", "b");
    dir.Write("Blues.EVT", "e");
    ASSERT_EQ(::mkdir(dir.Path("Blues.cmt").c_str(), 0755), 0);

    const Strings failures = DeleteHardDiskSongs(dir.path(), {"Blues"});
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].rfind("Cannot delete " + dir.Path("Blues.cmt") + ".\n", 0), 0u) << failures[0];
    EXPECT_EQ(TakeSnapshot(dir.path()), (Files({{"Blues.cmt", "<dir>"}})));
}

// Without a folder there is nothing to delete in; neither the working folder
// nor the root folder may stand in for it. The child's working folder, and
// with root its root folder, is the temporary folder.
TEST(HardDiskDeletion, NoFolderDeletesNothingInTheWorkingOrTheRootFolder) {
    TempDir dir;
    for (const char* name : {"Blues.B00", "Blues.EVT", "Blues.cmt"}) dir.Write(name, name);
    const bool nothingReported = testing::InChildProcess([&] {
        if (testing::RunningAsRoot() && ::chroot(dir.path().c_str()) != 0) return false;
        return ::chdir(testing::RunningAsRoot() ? "/" : dir.path().c_str()) == 0 &&
               DeleteHardDiskSongs("", {"Blues"}).empty();
    });
    EXPECT_TRUE(nothingReported);
    EXPECT_EQ(dir.EntryCount(), 3u);
}

}  // namespace
}  // namespace tunecrate
