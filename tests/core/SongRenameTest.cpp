// SPDX-License-Identifier: MIT
#include "core/songs/SongRename.h"
#include "core/text/SongNames.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"

namespace tunecrate {
namespace {

using namespace std::literals;
using testing::BecomeUnprivileged;
using testing::InChildProcess;
using testing::RunningAsRoot;
using testing::TempDir;
using testing::TmpfsMount;

// The entries of a folder by name, with their content ("<dir>" for a folder).
using Folder = std::map<std::string, std::string>;

Folder Contents(const TempDir& dir) {
    Folder entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        entries[name] = entry.is_directory() ? "<dir>" : dir.Read(name).value_or("<unreadable>");
    }
    return entries;
}

void Fill(const TempDir& dir, const Folder& files) {
    for (const auto& [name, content] : files) dir.Write(name, content);
}

Folder With(Folder files, const Folder& more) {
    files.insert(more.begin(), more.end());
    return files;
}

// A song of three files with distinct contents, so that a swapped file shows.
const Folder kBluesSong = {{"Blues.B00", "song"}, {"Blues.EVT", "events"}, {"Blues.cmt", "comment"}};

TEST(SongRename, SongFilesTakeTheNewTitleOrChangeNothing) {
    struct Case {
        const char* name;
        Folder before;
        std::string oldTitle, newTitle;
        RenameSongOutcome outcome;
        Folder after;
    };
    const auto changed = RenameSongOutcome::TitleChanged;
    const auto taken = RenameSongOutcome::NameTaken;
    const std::vector<Case> cases = {
        {"all three files with their content", With(kBluesSong, {{"Other.B00", "other"}}), "Blues", "Slow Blues",
         changed,
         {{"Slow Blues.B00", "song"}, {"Slow Blues.EVT", "events"}, {"Slow Blues.cmt", "comment"},
          {"Other.B00", "other"}}},
        {"a song alone", {{"Blues.B00", "song"}}, "Blues", "Rock", changed, {{"Rock.B00", "song"}}},
        // No comment file appears from nowhere.
        {"a song with events only", {{"Rock.B00", "song"}, {"Rock.EVT", "events"}}, "Rock", "Jazz", changed,
         {{"Jazz.B00", "song"}, {"Jazz.EVT", "events"}}},
        // Files copied from other systems carry other cases of the
        // extensions; the renamed files are spelled as the program writes them.
        {"companions in other cases", {{"Blues.b00", "song"}, {"Blues.evt", "events"}, {"Blues.CMT", "comment"}},
         "Blues", "Rock", changed, {{"Rock.B00", "song"}, {"Rock.EVT", "events"}, {"Rock.cmt", "comment"}}},
        // On a disk that tells cases apart, "blues" and "Blues" are two names.
        {"a change of case only", {{"blues.B00", "song"}, {"blues.EVT", "events"}, {"blues.cmt", "comment"}},
         "blues", "Blues", changed, kBluesSong},
        // Only the song file decides whether a name is taken. Events and
        // comment files of the new title without one are strays: the song's
        // own replace them, in any case; those it has no counterpart for stay.
        {"stray companions",
         {{"Blues.B00", "song"}, {"Blues.EVT", "events"}, {"Rock.evt", "stray events"}, {"Rock.cmt", "stray comment"}},
         "Blues", "Rock", changed,
         {{"Rock.B00", "song"}, {"Rock.EVT", "events"}, {"Rock.cmt", "stray comment"}}},
        {"stray companions replaced", With(kBluesSong, {{"Jazz.EVT", "stray events"}, {"Jazz.CMT", "stray comment"}}),
         "Blues", "Jazz", changed, {{"Jazz.B00", "song"}, {"Jazz.EVT", "events"}, {"Jazz.cmt", "comment"}}},
        {"a taken name", With(kBluesSong, {{"Rock.B00", "rock"}}), "Blues", "Rock", taken,
         With(kBluesSong, {{"Rock.B00", "rock"}})},
        {"a name taken in another case of the extension", With(kBluesSong, {{"Jazz.b00", "jazz"}}), "Blues", "Jazz",
         taken, With(kBluesSong, {{"Jazz.b00", "jazz"}})},
        // The unchanged title: the song's own file takes the name.
        {"the same title", kBluesSong, "Blues", "Blues", taken, kBluesSong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Fill(dir, c.before);
        EXPECT_EQ(RenameHardDiskSong(dir.path(), c.oldTitle, c.newTitle).outcome, c.outcome);
        EXPECT_EQ(Contents(dir), c.after);
    }
}

// An empty title would give hidden files named ".B00"; the others are not a
// name in the folder at all.
TEST(SongRename, TitleThatCannotBeAFileNameFailsAndChangesNothing) {
    TempDir dir;
    Fill(dir, kBluesSong);
    ASSERT_EQ(::mkdir(dir.Path("a").c_str(), 0755), 0);
    const Folder before = Contents(dir);

    for (const std::string& title : {""s, "a/b"s, "."s, ".."s, "Blu\0es"s}) {
        SCOPED_TRACE("title \"" + title + "\"");
        EXPECT_FALSE(IsFileTitle(title));
        const RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", title);
        EXPECT_EQ(result.outcome, RenameSongOutcome::Failed);
        EXPECT_NE(result.failure.Reason(), "");
        EXPECT_EQ(Contents(dir), before);
        EXPECT_TRUE(std::filesystem::is_empty(dir.Path("a"))) << "nothing may go into the folder a/";
    }
    for (std::string_view title : {"...", ".hidden", "a b", "\xE3\x82\xBD", "x.B00"}) {
        EXPECT_TRUE(IsFileTitle(title)) << title;
    }
}

TEST(SongRename, TitleWithoutASongFileFailsAndChangesNothing) {
    TempDir dir;
    Fill(dir, {{"Ghost.EVT", "events"}, {"Ghost.cmt", "comment"}});
    const RenameSongResult result = RenameHardDiskSong(dir.path(), "Ghost", "Rock");
    EXPECT_EQ(result.outcome, RenameSongOutcome::Failed);
    EXPECT_EQ(result.failure.error, ENOENT);
    EXPECT_EQ(Contents(dir), (Folder{{"Ghost.EVT", "events"}, {"Ghost.cmt", "comment"}}));
}

// ---- a step that fails -----------------------------------------------------

// The song file is renamed first; when a later step fails, the renames already
// made are undone, in their old spellings, so the song is never split across
// two titles. A folder of the new file's name, with something inside, can be
// neither unlinked nor renamed onto.
TEST(SongRename, FailedStepPutsTheFilesRenamedBeforeItBack) {
    const Folder oddSpellings = {{"Blues.b00", "song"}, {"Blues.Evt", "events"}, {"Blues.cmt", "comment"}};
    for (const auto& [song, blocked, failedOn] : std::vector<std::tuple<Folder, std::string, std::string>>{
             {kBluesSong, "Rock.EVT", "Blues.EVT"}, {oddSpellings, "Rock.cmt", "Blues.cmt"}}) {
        SCOPED_TRACE(blocked);
        TempDir dir;
        Fill(dir, song);
        ASSERT_EQ(::mkdir(dir.Path(blocked).c_str(), 0755), 0);
        dir.Write(blocked + "/keep", "k");

        const RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", "Rock");
        EXPECT_EQ(result.outcome, RenameSongOutcome::Failed);
        EXPECT_FALSE(result.failure.ok());
        EXPECT_EQ(result.file, dir.Path(failedOn));
        EXPECT_EQ(Contents(dir), With(song, {{blocked, "<dir>"}}));
    }
}

TEST(SongRename, ReadOnlyFolderFailsWithEveryFileUnderTheOldTitle) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a read-only tmpfs";
    Fill(disk.dir(), kBluesSong);
    ASSERT_TRUE(disk.RemountReadOnly());

    const RenameSongResult result = RenameHardDiskSong(disk.dir().path(), "Blues", "Rock");
    EXPECT_EQ(result.outcome, RenameSongOutcome::Failed);
    EXPECT_EQ(result.failure.error, EROFS);
    EXPECT_EQ(result.file, disk.dir().Path("Blues.B00"));
    EXPECT_EQ(Contents(disk.dir()), kBluesSong);
}

// A sticky folder lets a user rename his own files only: the song file (his)
// moves, the events file (someone else's) is refused, and the song file must
// come back. Needs root to give the files two owners.
TEST(SongRename, StepRefusedByPermissionsRollsBack) {
    if (!RunningAsRoot()) GTEST_SKIP() << "needs root to give files two owners";
    TempDir dir;
    Fill(dir, kBluesSong);
    const uid_t nobody = 65534;
    ASSERT_EQ(::chmod(dir.path().c_str(), 01777), 0);
    ASSERT_EQ(::chown(dir.Path("Blues.B00").c_str(), nobody, nobody), 0);

    const std::string expectedFile = dir.Path("Blues.EVT");
    const bool failedOnEvents = InChildProcess([&] {
        if (!BecomeUnprivileged()) return false;
        const RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", "Rock");
        return result.outcome == RenameSongOutcome::Failed && result.failure.error == EPERM &&
               result.file == expectedFile;
    });
    EXPECT_TRUE(failedOnEvents) << "expected Failed with EPERM on " << expectedFile;
    EXPECT_EQ(Contents(dir), kBluesSong);
}

// Without root, or after giving it up, a folder without write permission
// refuses the very first rename.
TEST(SongRename, FolderWithoutWritePermissionFailsWithNothingRenamed) {
    TempDir dir;
    Fill(dir, kBluesSong);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);

    const std::string expectedFile = dir.Path("Blues.B00");
    const bool failed = InChildProcess([&] {
        if (!BecomeUnprivileged()) return false;
        const RenameSongResult result = RenameHardDiskSong(dir.path(), "Blues", "Rock");
        return result.outcome == RenameSongOutcome::Failed && result.failure.error == EACCES &&
               result.file == expectedFile;
    });
    EXPECT_TRUE(failed) << "expected Failed with EACCES on " << expectedFile;
    EXPECT_EQ(Contents(dir), kBluesSong);
}

}  // namespace
}  // namespace tunecrate
