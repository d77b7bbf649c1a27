// SPDX-License-Identifier: MIT
#include "core/SongRename.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"

namespace tunecrate {
namespace {

using testing::BecomeUnprivileged;
using testing::InChildProcess;
using testing::RunningAsRoot;
using testing::TempDir;
using testing::TmpfsMount;

// Every entry of a folder with its content ("<dir>" for a folder), so that a
// test can say "nothing changed" about all of it at once.
std::map<std::string, std::string> Snapshot(const TempDir& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        entries[name] = entry.is_directory() ? "<dir>" : dir.Read(name).value_or("<unreadable>");
    }
    return entries;
}

// A song of three files with distinct contents, so that a swapped file shows.
void WriteBluesSong(const TempDir& dir) {
    dir.Write("Blues.B00", "song");
    dir.Write("Blues.EVT", "events");
    dir.Write("Blues.cmt", "comment");
}

const std::map<std::string, std::string> kBluesSong = {
    {"Blues.B00", "song"}, {"Blues.EVT", "events"}, {"Blues.cmt", "comment"}};

// A folder named like a file of the new title, with something inside so that
// neither an unlink nor a rename onto it can succeed.
void BlockName(const TempDir& dir, const std::string& name) {
    ASSERT_EQ(::mkdir(dir.Path(name).c_str(), 0755), 0);
    dir.Write(name + "/keep", "k");
}

class SongRenameTest : public ::testing::Test {
protected:
    TempDir dir;
};

// ---- renaming --------------------------------------------------------------

TEST_F(SongRenameTest, AllThreeFilesTakeTheNewTitleWithTheirContent) {
    WriteBluesSong(dir);
    dir.Write("Other.B00", "other song");

    RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", "Slow Blues");
    EXPECT_EQ(result.outcome, RenameSongOutcome::TitleChanged);
    EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{{"Slow Blues.B00", "song"},
                                                                  {"Slow Blues.EVT", "events"},
                                                                  {"Slow Blues.cmt", "comment"},
                                                                  {"Other.B00", "other song"}}));
}

TEST_F(SongRenameTest, SongWithoutCompanionsRenamesItsSongFileOnly) {
    dir.Write("Blues.B00", "song");
    EXPECT_EQ(RenameHardDiskSong(dir.path(), "Blues", "Rock").outcome, RenameSongOutcome::TitleChanged);
    EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{{"Rock.B00", "song"}}));

    // With events but no comment: no comment file appears from nowhere.
    dir.Write("Rock.EVT", "events");
    EXPECT_EQ(RenameHardDiskSong(dir.path(), "Rock", "Jazz").outcome, RenameSongOutcome::TitleChanged);
    EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{{"Jazz.B00", "song"}, {"Jazz.EVT", "events"}}));
}

// Files copied from other systems carry other cases of the extensions; the
// renamed files are spelled as the program writes them.
TEST_F(SongRenameTest, CompanionsInOtherCasesFollowAndTakeTheUsualSpelling) {
    dir.Write("Blues.b00", "song");
    dir.Write("Blues.evt", "events");
    dir.Write("Blues.CMT", "comment");

    EXPECT_EQ(RenameHardDiskSong(dir.path(), "Blues", "Rock").outcome, RenameSongOutcome::TitleChanged);
    EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{
                                 {"Rock.B00", "song"}, {"Rock.EVT", "events"}, {"Rock.cmt", "comment"}}));
}

// On a disk that tells cases apart, "blues" and "Blues" are two names.
TEST_F(SongRenameTest, CaseOnlyRenameWorksOnACaseSensitiveFolder) {
    dir.Write("blues.B00", "song");
    dir.Write("blues.EVT", "events");
    dir.Write("blues.cmt", "comment");

    EXPECT_EQ(RenameHardDiskSong(dir.path(), "blues", "Blues").outcome, RenameSongOutcome::TitleChanged);
    EXPECT_EQ(Snapshot(dir), kBluesSong);
}

// ---- names that are taken or impossible ------------------------------------

TEST_F(SongRenameTest, TakenNameChangesNothing) {
    WriteBluesSong(dir);
    dir.Write("Rock.B00", "rock song");
    dir.Write("Jazz.b00", "jazz song");   // taken in another case of the extension
    const auto before = Snapshot(dir);

    EXPECT_EQ(RenameHardDiskSong(dir.path(), "Blues", "Rock").outcome, RenameSongOutcome::NameTaken);
    EXPECT_EQ(RenameHardDiskSong(dir.path(), "Blues", "Jazz").outcome, RenameSongOutcome::NameTaken);
    // The unchanged title: the song's own file takes the name.
    EXPECT_EQ(RenameHardDiskSong(dir.path(), "Blues", "Blues").outcome, RenameSongOutcome::NameTaken);
    EXPECT_EQ(Snapshot(dir), before);
}

// Only the song file decides whether a name is taken. Events and comment files
// of the new title without one are strays: the song's own replace them, and
// those the song has no counterpart for stay.
TEST_F(SongRenameTest, StrayCompanionsAreReplacedOnlyWhereTheSongHasItsOwn) {
    dir.Write("Blues.B00", "song");
    dir.Write("Blues.EVT", "events");
    dir.Write("Rock.evt", "stray events");    // in another case: must not survive beside Rock.EVT
    dir.Write("Rock.cmt", "stray comment");   // the song has no comment: stays

    EXPECT_EQ(RenameHardDiskSong(dir.path(), "Blues", "Rock").outcome, RenameSongOutcome::TitleChanged);
    EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{
                                 {"Rock.B00", "song"}, {"Rock.EVT", "events"}, {"Rock.cmt", "stray comment"}}));

    dir.Write("Rock.cmt", "comment");
    dir.Write("Jazz.EVT", "stray events");
    dir.Write("Jazz.CMT", "stray comment");
    EXPECT_EQ(RenameHardDiskSong(dir.path(), "Rock", "Jazz").outcome, RenameSongOutcome::TitleChanged);
    EXPECT_EQ(Snapshot(dir), (std::map<std::string, std::string>{
                                 {"Jazz.B00", "song"}, {"Jazz.EVT", "events"}, {"Jazz.cmt", "comment"}}));
}

// An empty title would give hidden files named ".B00"; the others are not a
// name in the folder at all.
TEST_F(SongRenameTest, TitleThatCannotBeAFileNameFailsAndChangesNothing) {
    WriteBluesSong(dir);
    ASSERT_EQ(::mkdir(dir.Path("a").c_str(), 0755), 0);
    const auto before = Snapshot(dir);

    for (const std::string& title : {std::string(), std::string("a/b"), std::string("."), std::string(".."),
                                     std::string("Blu\0es", 6)}) {
        SCOPED_TRACE("title \"" + title + "\"");
        EXPECT_FALSE(IsFileTitle(title));
        RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", title);
        EXPECT_EQ(result.outcome, RenameSongOutcome::Failed);
        EXPECT_FALSE(result.failure.ok());
        EXPECT_FALSE(result.failure.Reason().empty());
        EXPECT_EQ(Snapshot(dir), before);
        EXPECT_TRUE(std::filesystem::is_empty(dir.Path("a"))) << "nothing may go into the folder a/";
    }
    for (std::string_view title : {"...", ".hidden", "a b", "\xE3\x82\xBD", "x.B00"}) {
        EXPECT_TRUE(IsFileTitle(title)) << title;
    }
}

TEST_F(SongRenameTest, TitleWithoutASongFileFailsAndChangesNothing) {
    dir.Write("Ghost.EVT", "events");
    dir.Write("Ghost.cmt", "comment");
    const auto before = Snapshot(dir);

    RenameSongResult result = RenameHardDiskSong(dir.path(), "Ghost", "Rock");
    EXPECT_EQ(result.outcome, RenameSongOutcome::Failed);
    EXPECT_EQ(result.failure.error, ENOENT);
    EXPECT_EQ(Snapshot(dir), before);
}

// ---- a step that fails -----------------------------------------------------

// The song file is renamed first; when a later step fails, the renames already
// made are undone so the song is never split across two titles.
TEST_F(SongRenameTest, FailedEventsStepPutsTheSongFileBack) {
    WriteBluesSong(dir);
    BlockName(dir, "Rock.EVT");

    RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", "Rock");
    EXPECT_EQ(result.outcome, RenameSongOutcome::Failed);
    EXPECT_FALSE(result.failure.ok());
    EXPECT_EQ(result.file, dir.Path("Blues.EVT"));
    auto after = Snapshot(dir);
    EXPECT_EQ(after.erase("Rock.EVT"), 1u);
    EXPECT_EQ(after, kBluesSong);
}

TEST_F(SongRenameTest, FailedCommentStepPutsSongAndEventsFilesBack) {
    dir.Write("Blues.b00", "song");   // the old spellings come back too
    dir.Write("Blues.Evt", "events");
    dir.Write("Blues.cmt", "comment");
    BlockName(dir, "Rock.cmt");

    RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", "Rock");
    EXPECT_EQ(result.outcome, RenameSongOutcome::Failed);
    EXPECT_EQ(result.file, dir.Path("Blues.cmt"));
    auto after = Snapshot(dir);
    EXPECT_EQ(after.erase("Rock.cmt"), 1u);
    EXPECT_EQ(after, (std::map<std::string, std::string>{
                         {"Blues.b00", "song"}, {"Blues.Evt", "events"}, {"Blues.cmt", "comment"}}));
}

TEST(SongRename, ReadOnlyFolderFailsWithEveryFileUnderTheOldTitle) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a read-only tmpfs";
    const TempDir& dir = disk.dir();
    WriteBluesSong(dir);
    ASSERT_TRUE(disk.RemountReadOnly());

    RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", "Rock");
    EXPECT_EQ(result.outcome, RenameSongOutcome::Failed);
    EXPECT_EQ(result.failure.error, EROFS);
    EXPECT_EQ(result.file, dir.Path("Blues.B00"));
    EXPECT_EQ(Snapshot(dir), kBluesSong);
}

// A sticky folder lets a user rename his own files only: the song file (his)
// moves, the events file (someone else's) is refused, and the song file must
// come back. Needs root to give the files two owners.
TEST(SongRename, StepRefusedByPermissionsRollsBack) {
    if (!RunningAsRoot()) GTEST_SKIP() << "needs root to give files two owners";
    TempDir dir;
    WriteBluesSong(dir);
    const uid_t nobody = 65534;
    ASSERT_EQ(::chmod(dir.path().c_str(), 01777), 0);
    ASSERT_EQ(::chown(dir.Path("Blues.B00").c_str(), nobody, nobody), 0);

    const std::string expectedFile = dir.Path("Blues.EVT");
    const bool failedOnEvents = InChildProcess([&] {
        if (!BecomeUnprivileged()) return false;
        RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", "Rock");
        return result.outcome == RenameSongOutcome::Failed && result.failure.error == EPERM &&
               result.file == expectedFile;
    });
    EXPECT_TRUE(failedOnEvents) << "expected Failed with EPERM on " << expectedFile;
    EXPECT_EQ(Snapshot(dir), kBluesSong);
}

// Without root, or after giving it up, a folder without write permission
// refuses the very first rename.
TEST(SongRename, FolderWithoutWritePermissionFailsWithNothingRenamed) {
    TempDir dir;
    WriteBluesSong(dir);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);

    const std::string expectedFile = dir.Path("Blues.B00");
    const bool failed = InChildProcess([&] {
        if (!BecomeUnprivileged()) return false;
        RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", "Rock");
        return result.outcome == RenameSongOutcome::Failed && result.failure.error == EACCES &&
               result.file == expectedFile;
    });
    EXPECT_TRUE(failed) << "expected Failed with EACCES on " << expectedFile;
    EXPECT_EQ(Snapshot(dir), kBluesSong);
}

}  // namespace
}  // namespace tunecrate
