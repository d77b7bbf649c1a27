// SPDX-License-Identifier: MIT
#include "core/SongDeletion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"
#include "core/FloppyCatalogue.h"
#include "core/FolderVolume.h"

namespace tunecrate {
namespace {

using testing::Repeat;
using testing::TempDir;
using testing::TmpfsMount;

std::map<std::string, std::string> Snapshot(const TempDir& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        entries[name] = entry.is_directory() ? "<dir>" : dir.Read(name).value_or("<unreadable>");
    }
    return entries;
}

std::string TitleLine(const std::string& title) { return title + std::string(17 - title.size(), ' ') + "\r\n"; }

const std::string kBlankTitleLine = TitleLine("");

bool Mentions(const std::vector<std::string>& failures, const std::string& text) {
    for (const std::string& failure : failures) {
        if (failure.find(text) != std::string::npos) return true;
    }
    return false;
}

// ---- floppy ----------------------------------------------------------------

// A floppy with five full slots and lines beyond the fifth slot that a
// rewrite must blank.
void FillFloppy(const TempDir& floppy) {
    std::string titles, comments;
    for (int slot = 0; slot < 5; ++slot) {
        const std::string n = std::to_string(slot);
        floppy.Write("MDR_0" + n + ".B00", "song " + n);
        floppy.Write("MDR_0" + n + ".EVT", "events " + n);
        titles += TitleLine("Title " + n);
        comments += "Comment " + n + "\r\n";
    }
    titles += Repeat(TitleLine("Leftover"), 35);
    comments += Repeat("leftover\r\n", 35);
    floppy.Write("song.nam", titles);
    floppy.Write("comments.dat", comments);
}

class FloppyDeletionTest : public ::testing::Test {
protected:
    void SetUp() override { FillFloppy(dir); }

    std::vector<SlotRow> ReadRows() {
        CatalogueReading reading = ReadCatalogue(&volume);
        EXPECT_TRUE(reading.readable);
        EXPECT_EQ(reading.rows.size(), 5u);
        return reading.rows;
    }

    TempDir dir;
    FolderVolume volume{dir.path()};
};

TEST_F(FloppyDeletionTest, DeletingTheThirdSlotEmptiesItAlone) {
    std::vector<SlotRow> rows = ReadRows();
    std::vector<SlotRow> expectedRows = rows;
    expectedRows[2].title.clear();
    expectedRows[2].comment.clear();

    EXPECT_TRUE(DeleteFloppySlots(volume, rows, {2}).empty());
    EXPECT_EQ(rows, expectedRows);

    auto files = Snapshot(dir);
    EXPECT_EQ(files.count("MDR_02.B00"), 0u);
    EXPECT_EQ(files.count("MDR_02.EVT"), 0u);
    for (int slot : {0, 1, 3, 4}) {
        const std::string n = std::to_string(slot);
        EXPECT_EQ(files["MDR_0" + n + ".B00"], "song " + n);
        EXPECT_EQ(files["MDR_0" + n + ".EVT"], "events " + n);
    }
    EXPECT_EQ(files.size(), 8u + 2u);

    const std::string titles = TitleLine("Title 0") + TitleLine("Title 1") + kBlankTitleLine + TitleLine("Title 3") +
                               TitleLine("Title 4") + Repeat(kBlankTitleLine, 35);
    EXPECT_EQ(titles.size(), 760u);
    EXPECT_EQ(files["song.nam"], titles);
    EXPECT_EQ(files["comments.dat"],
              "Comment 0\r\nComment 1\r\n\r\nComment 3\r\nComment 4\r\n" + Repeat("\r\n", 35));

    // Read back, the slot is empty and the others are as they were.
    std::vector<SlotRow> reread = ReadRows();
    ASSERT_EQ(reread.size(), 5u);
    EXPECT_EQ(reread[2].state, SlotState::EmptySlot);
    EXPECT_EQ(reread[2].title, "");
    for (std::size_t slot : {0u, 1u, 3u, 4u}) EXPECT_EQ(reread[slot], expectedRows[slot]) << slot;
}

// An empty slot in the selection is deleted with what it has: nothing, and no
// complaint. Slot files written in lower case are the same files on the
// floppy's own disk and go too.
TEST_F(FloppyDeletionTest, SeveralSlotsAtOnceIncludingEmptyAndLowerCaseOnes) {
    ASSERT_EQ(::unlink(dir.Path("MDR_00.B00").c_str()), 0);
    ASSERT_EQ(::unlink(dir.Path("MDR_00.EVT").c_str()), 0);
    ASSERT_EQ(::rename(dir.Path("MDR_04.B00").c_str(), dir.Path("mdr_04.b00").c_str()), 0);
    ASSERT_EQ(::rename(dir.Path("MDR_04.EVT").c_str(), dir.Path("Mdr_04.evt").c_str()), 0);
    std::vector<SlotRow> rows = ReadRows();

    EXPECT_TRUE(DeleteFloppySlots(volume, rows, {0, 1, 4}).empty());
    for (std::size_t slot : {0u, 1u, 4u}) {
        EXPECT_EQ(rows[slot].title, "") << slot;
        EXPECT_EQ(rows[slot].comment, "") << slot;
    }
    EXPECT_EQ(rows[2].title, "Title 2");
    EXPECT_EQ(rows[3].comment, "Comment 3");

    auto files = Snapshot(dir);
    EXPECT_EQ(files, (std::map<std::string, std::string>{
                         {"MDR_02.B00", "song 2"},
                         {"MDR_02.EVT", "events 2"},
                         {"MDR_03.B00", "song 3"},
                         {"MDR_03.EVT", "events 3"},
                         {"song.nam", kBlankTitleLine + kBlankTitleLine + TitleLine("Title 2") + TitleLine("Title 3") +
                                          Repeat(kBlankTitleLine, 36)},
                         {"comments.dat", "\r\n\r\nComment 2\r\nComment 3\r\n" + Repeat("\r\n", 36)},
                     }));
}

TEST_F(FloppyDeletionTest, IndicesOutsideTheRowsDeleteNothing) {
    dir.Write("MDR_05.B00", "song 5");
    dir.Write("MDR_07.B00", "song 7");
    std::vector<SlotRow> rows = ReadRows();
    const std::vector<SlotRow> before = rows;

    EXPECT_TRUE(DeleteFloppySlots(volume, rows, {-1, 5, 7, 1000}).empty());
    EXPECT_EQ(rows, before);
    auto files = Snapshot(dir);
    EXPECT_EQ(files["MDR_05.B00"], "song 5");
    EXPECT_EQ(files["MDR_07.B00"], "song 7");
    for (int slot = 0; slot < 5; ++slot) EXPECT_EQ(files.count("MDR_0" + std::to_string(slot) + ".B00"), 1u);
}

// A write-protected floppy keeps its songs, and the rows keep what the disk
// still holds; the user is told which files stayed.
TEST(FloppyDeletion, WriteProtectedFloppyKeepsTheSongAndItsRow) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a read-only tmpfs";
    const TempDir& dir = disk.dir();
    FillFloppy(dir);
    const auto before = Snapshot(dir);
    ASSERT_TRUE(disk.RemountReadOnly());
    FolderVolume volume(dir.path());
    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    std::vector<SlotRow> rows = reading.rows;

    const std::vector<std::string> failures = DeleteFloppySlots(volume, rows, {2});
    EXPECT_EQ(rows, reading.rows);
    EXPECT_EQ(rows[2].title, "Title 2");
    EXPECT_EQ(rows[2].comment, "Comment 2");
    EXPECT_EQ(Snapshot(dir), before);
    EXPECT_TRUE(Mentions(failures, volume.Root() + "MDR_02.B00")) << ::testing::PrintToString(failures);
    EXPECT_TRUE(Mentions(failures, volume.Root() + "song.nam")) << ::testing::PrintToString(failures);
    EXPECT_TRUE(Mentions(failures, volume.Root() + "comments.dat")) << ::testing::PrintToString(failures);
}

// ---- hard disk -------------------------------------------------------------

class HardDiskDeletionTest : public ::testing::Test {
protected:
    TempDir dir;
};

// On a disk that tells cases apart a song may have its files twice; every
// variant goes, but a base name in another case is another song.
TEST_F(HardDiskDeletionTest, EveryCaseVariantOfTheThreeFilesGoes) {
    for (const char* name : {"Blues.B00", "Blues.b00", "Blues.EVT", "Blues.evt", "Blues.cmt", "Blues.CMT"}) {
        dir.Write(name, name);
    }
    const std::map<std::string, std::string> others = {
        {"blues.B00", "another song"}, {"BLUES.EVT", "its events"}, {"Blues.B00.bak", "backup"},
        {"Blues.mid", "export"},       {"Blues .B00", "blank"},     {"Rock.B00", "rock"},
    };
    for (const auto& [name, content] : others) dir.Write(name, content);

    EXPECT_TRUE(DeleteHardDiskSongs(dir.path(), {"Blues"}).empty());
    EXPECT_EQ(Snapshot(dir), others);
}

TEST_F(HardDiskDeletionTest, SeveralSongsGoAndMissingCompanionsAreNoFailure) {
    dir.Write("Blues.B00", "b");
    dir.Write("Blues.EVT", "e");
    dir.Write("Rock.b00", "r");   // no events, no comment
    dir.Write("Jazz.B00", "j");
    dir.Write("Jazz.cmt", "c");

    EXPECT_TRUE(DeleteHardDiskSongs(dir.path(), {"Blues", "Rock", "Gone"}).empty());
    EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{{"Jazz.B00", "j"}, {"Jazz.cmt", "c"}}));
}

TEST_F(HardDiskDeletionTest, FileThatCannotBeDeletedIsReportedAndTheRestGoes) {
    dir.Write("Blues.B00", "b");
    dir.Write("Blues.EVT", "e");
    ASSERT_EQ(::mkdir(dir.Path("Blues.cmt").c_str(), 0755), 0);

    const std::vector<std::string> failures = DeleteHardDiskSongs(dir.path(), {"Blues"});
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find(dir.Path("Blues.cmt")), std::string::npos) << failures[0];
    EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{{"Blues.cmt", "<dir>"}}));
}

// Without a folder there is nothing to delete in; the working directory must
// never stand in for it.
TEST_F(HardDiskDeletionTest, NoFolderDeletesNothingEvenInTheWorkingDirectory) {
    dir.Write("Blues.B00", "b");
    dir.Write("Blues.EVT", "e");
    dir.Write("Blues.cmt", "c");
    const std::string home = std::filesystem::current_path();
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);

    const std::vector<std::string> failures = DeleteHardDiskSongs("", {"Blues"});
    ASSERT_EQ(::chdir(home.c_str()), 0);
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(Snapshot(dir).size(), 3u);
}

}  // namespace
}  // namespace tunecrate
