// SPDX-License-Identifier: MIT
#include "core/disk/FileOps.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"

namespace tunecrate {
namespace {

using testing::BecomeUnprivileged;
using testing::InChildProcess;
using testing::TempDir;
using testing::TmpfsMount;

// ---- finding names without regard to case -------------------------------------

TEST(FileOps, CaseInsensitiveLookupPrefersTheExactSpellingAndFoldsOnlyAsciiLetters) {
    TempDir dir;
    for (const char* name : {"MDR_00.b00", "mdr_00.B00", "MDR_00.B00", "a[b", "\xC3\x89.b00", "\xC0x"}) {
        dir.Write(name, "x");
    }
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"MDR_00.B00", "MDR_00.B00"},
        {"mdr_00.B00", "mdr_00.B00"},
        // No exact spelling: a case variant, the same one whatever the listing order.
        {"Mdr_00.b00", "MDR_00.B00"},
        {"MDR_01.B00", std::nullopt},
        {"A{B", std::nullopt},   // '[' and '{' differ only in the bit that ASCII case uses
        {"A[B", "a[b"},
        {"\xC3\xA9.B00", std::nullopt},   // é does not fold to É
        {"\xC3\x89.B00", "\xC3\x89.b00"},
        {"\xE0X", std::nullopt},   // a raw byte that Latin-1 would fold
        {"\xC0X", "\xC0x"},
    };
    for (const auto& [name, found] : cases) EXPECT_EQ(FindNameNoCase(dir.path(), name), found) << name;
    EXPECT_EQ(FindNameNoCase(dir.Path("missing"), "MDR_00.B00"), std::nullopt);
}

TEST(FileOps, ExtensionMatchIgnoresCaseButTheBaseDoesNot) {
    TempDir dir;
    for (const char* name : {"Blues.CMT", "blues.cmt", "Rock.cmtx"}) dir.Write(name, "x");
    EXPECT_EQ(FindWithExtensionNoCase(dir.path(), "Blues", ".cmt"), "Blues.CMT");
    EXPECT_EQ(FindWithExtensionNoCase(dir.path(), "blues", ".CMT"), "blues.cmt");
    for (const char* base : {"BLUES", "Rock", "Jazz"}) {
        EXPECT_EQ(FindWithExtensionNoCase(dir.path(), base, ".cmt"), std::nullopt) << base;
    }
}

// ---- writing and reading whole files ---------------------------------------------

TEST(FileOps, WriteFileBytesReplacesTheWholeContent) {
    TempDir dir;
    dir.Write("old.dat", std::string(5000, 'z'));
    for (const std::string& bytes : {std::string("\x83\x5C\0\r\n\xFF", 6), std::string("short"), std::string()}) {
        ASSERT_TRUE(WriteFileBytes(dir.Path("old.dat"), bytes).ok());
        EXPECT_EQ(dir.Read("old.dat"), bytes);
    }
    ASSERT_TRUE(WriteFileBytes(dir.Path("new.dat"), "new").ok());
    EXPECT_EQ(dir.Read("new.dat"), "new");
}

TEST(FileOps, WriteFileBytesFailsWithAReason) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.Path("folder").c_str(), 0755), 0);
    // A FIFO without a reader must neither block the writer nor count as written.
    ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0644), 0);
    for (const char* name : {"folder", "missing/song.nam", "pipe"}) {
        const FileResult result = WriteFileBytes(dir.Path(name), "x");
        EXPECT_EQ(result.status, FileStatus::Failed) << name;
        EXPECT_NE(result.Reason(), "") << name;
    }
    EXPECT_EQ(WriteFileBytes(dir.Path("missing/song.nam"), "x").error, ENOENT);
    EXPECT_FALSE(dir.Exists("missing"));
}

TEST(FileOps, ErrnoMapsToStatus) {
    for (const auto& [err, status] : std::vector<std::pair<int, FileStatus>>{{ENOSPC, FileStatus::DiskFull},
                                                                             {EDQUOT, FileStatus::DiskFull},
                                                                             {EEXIST, FileStatus::TargetExists},
                                                                             {EACCES, FileStatus::Failed}}) {
        EXPECT_EQ(FileResult::FromErrno(err).status, status) << err;
        EXPECT_NE(FileResult::FromErrno(err).Reason(), "") << err;
    }
    EXPECT_EQ(FileResult{}.Reason(), "");
}

// A write that does not fit fails whole and leaves no temporary file, and
// the old content stays readable: nothing is ever rewritten in place, where
// a crash would leave half of each.
TEST(FileOps, WritesOnAFullDiskFailWholeAndKeepTheOldContent) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    const FileResult tooBig = WriteFileBytes(disk.dir().Path("big.dat"), std::string(256 * 1024, 'x'));
    EXPECT_EQ(tooBig.status, FileStatus::DiskFull);
    EXPECT_EQ(tooBig.error, ENOSPC);
    EXPECT_EQ(disk.dir().EntryCount(), 0u);

    const std::string path = disk.dir().Path("comments.dat");
    ASSERT_TRUE(WriteFileBytes(path, std::string(100, 'o')).ok());
    testing::FillDisk(disk.dir().Path("filler"));
    for (std::size_t size : {20000u, 120u}) {
        EXPECT_EQ(WriteFileBytes(path, std::string(size, 'n')).status, FileStatus::DiskFull) << size;
        EXPECT_EQ(ReadFileBytes(path, 1 << 20), std::string(100, 'o'));
    }
    EXPECT_EQ(disk.dir().EntryCount(), 2u);
}

TEST(FileOps, ReadFileBytesStopsAtTheLimit) {
    TempDir dir;
    dir.Write("long.dat", std::string(40000, 'a') + "b");
    EXPECT_EQ(ReadFileBytes(dir.Path("long.dat"), 10), std::string(10, 'a'));
    // More than one internal buffer, still exact.
    EXPECT_EQ(ReadFileBytes(dir.Path("long.dat"), 40000), std::string(40000, 'a'));
    EXPECT_EQ(ReadFileBytes(dir.Path("long.dat"), 1 << 20), std::string(40000, 'a') + "b");
}

// A FIFO named like a catalogue would block a reader for ever: without a
// writer it is no file at all.
TEST(FileOps, OnlyRegularFilesHaveASizeAndContent) {
    TempDir dir;
    dir.WriteSized("MDR_00.B00", 1023);
    ASSERT_EQ(::mkfifo(dir.Path("song.nam").c_str(), 0644), 0);
    EXPECT_EQ(FileSize(dir.Path("MDR_00.B00")), 1023u);
    for (const std::string& path : {dir.Path("missing"), dir.path(), dir.Path("song.nam")}) {
        EXPECT_EQ(FileSize(path), std::nullopt) << path;
        EXPECT_EQ(ReadFileBytes(path, 1024), std::nullopt) << path;
    }
}

// ---- removing ----------------------------------------------------------------

// A folder that tells cases apart may hold one floppy file several times; a
// deletion that left one behind would leave the song on the instrument.
TEST(FileOps, RemoveNameNoCaseRemovesEveryCaseVariantAndNothingElse) {
    TempDir dir;
    for (const char* name : {"MDR_02.B00", "mdr_02.b00", "Mdr_02.B00", "MDR_02.EVT", "MDR_02.B00x", "MDR_20.B00"}) {
        dir.Write(name, "x");
    }
    EXPECT_TRUE(RemoveNameNoCase(dir.path(), "mdr_02.B00").ok());
    for (const char* gone : {"MDR_02.B00", "mdr_02.b00", "Mdr_02.B00"}) EXPECT_FALSE(dir.Exists(gone)) << gone;
    EXPECT_EQ(dir.EntryCount(), 3u);

    // Gone already: no failure.
    const FileResult again = RemoveNameNoCase(dir.path(), "MDR_02.B00");
    EXPECT_TRUE(again.ok());
    EXPECT_EQ(again.error, 0);
}

TEST(FileOps, RemoveNameNoCaseReportsAFolderOfThatNameAndStillRemovesTheFiles) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.Path("song.nam").c_str(), 0755), 0);
    dir.Write("SONG.NAM", "x");
    const FileResult result = RemoveNameNoCase(dir.path(), "Song.Nam");
    EXPECT_EQ(result.status, FileStatus::Failed);
    EXPECT_EQ(result.error, EISDIR);
    EXPECT_FALSE(dir.Exists("SONG.NAM"));
    EXPECT_TRUE(dir.Exists("song.nam"));
}

TEST(FileOps, RemoveWithExtensionNoCaseMatchesTheBaseExactly) {
    TempDir dir;
    for (const char* name : {"Blues.cmt", "Blues.CMT", "blues.cmt", "Blues.cmtx", "Blues.c", "XBlues.cmt"}) {
        dir.Write(name, "x");
    }
    EXPECT_TRUE(RemoveWithExtensionNoCase(dir.path(), "Blues", ".cmt").ok());
    EXPECT_FALSE(dir.Exists("Blues.cmt"));
    EXPECT_FALSE(dir.Exists("Blues.CMT"));
    EXPECT_EQ(dir.EntryCount(), 4u);
    EXPECT_TRUE(RemoveWithExtensionNoCase(dir.path(), "Rock", ".cmt").ok());
}

// A folder that can be written but not listed (or whose listing fails on a bad
// disk) must not pass for one where the file is gone: without a listing a case
// variant cannot even be found.
TEST(FileOps, RemoveInAFolderThatCannotBeListedIsNeverASilentSuccess) {
    for (const char* file : {"MDR_02.B00", "mdr_02.b00"}) {
        SCOPED_TRACE(file);
        TempDir dir;
        dir.Write(file, "x");
        ASSERT_EQ(::chmod(dir.path().c_str(), 0333), 0);
        const std::string folder = dir.path();
        const bool reportedOk =
            InChildProcess([&] { return BecomeUnprivileged() && RemoveNameNoCase(folder, "MDR_02.B00").ok(); });
        ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
        EXPECT_FALSE(reportedOk && dir.Exists(file)) << "reported removed, yet the file is still there";
    }
}

TEST(FileOps, RemoveFileRemovesOneFileAndAMissingOneIsNoFailure) {
    TempDir dir;
    dir.Write("Blues.B00", "x");
    dir.Write("blues.b00", "x");
    ASSERT_EQ(::mkdir(dir.Path("Folder.B00").c_str(), 0755), 0);
    EXPECT_TRUE(RemoveFile(dir.Path("Blues.B00")).ok());
    EXPECT_FALSE(dir.Exists("Blues.B00"));
    EXPECT_TRUE(dir.Exists("blues.b00"));   // exact name only
    EXPECT_TRUE(RemoveFile(dir.Path("Blues.B00")).ok());
    EXPECT_FALSE(RemoveFile(dir.Path("Folder.B00")).ok());
    EXPECT_TRUE(dir.Exists("Folder.B00"));
}

// ---- putting a song's files in place --------------------------------------------

// Bytes of every value, zero bytes and line ends included, over more than one
// read buffer.
std::string BinarySong(std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 131 + i / 256) & 0xFF);
    return bytes;
}

std::vector<FileChange> SongChanges(const std::string& song, std::optional<FileContent> events) {
    return {FileChange{"Blues.B00", HostPath{song}}, FileChange{"Blues.EVT", std::move(events)}};
}

TEST(FileOps, ReplaceFilesTakesTheVariantThatIsThereAndLeavesNoOtherOrStagedFile) {
    TempDir source, dir;
    const std::string song = BinarySong(200 * 1024 + 17);
    source.Write("Blues.B00", song);
    dir.Write("Blues.b00", "old song");
    dir.Write("Blues.evt", "old events");
    dir.Write("Blues.EVT", "older events");
    dir.Write("blues.EVT", "another song's events");
    ASSERT_TRUE(ReplaceFiles(dir.path(), SongChanges(source.Path("Blues.B00"), std::nullopt), NameCase::Extension).ok());
    EXPECT_TRUE(dir.Read("Blues.b00") == song) << "the copy differs";
    // The new song has no events file: none of the old song's stays with it.
    EXPECT_FALSE(dir.Exists("Blues.EVT") || dir.Exists("Blues.evt"));
    EXPECT_EQ(dir.Read("blues.EVT"), "another song's events");
    EXPECT_EQ(dir.EntryCount(), 2u);
    EXPECT_TRUE(source.Read("Blues.B00") == song) << "the source changed";

    ASSERT_TRUE(ReplaceFiles(dir.path(), SongChanges(source.Path("Blues.B00"), std::string()), NameCase::Extension).ok());
    EXPECT_EQ(dir.Read("Blues.EVT"), "");
    EXPECT_EQ(dir.EntryCount(), 3u);
}

// A song arrives whole or not at all, and nothing is ever written through a
// link: a link, a folder or a FIFO where one of its files must go refuses all
// of them, and the files and the link's target stay as they were.
TEST(FileOps, ReplaceFilesRefusesEveryFileWhenOneCannotGoAndNeverFollowsALink) {
    using Make = std::function<void(const TempDir&)>;
    const std::vector<std::pair<const char*, Make>> targets = {
        {"link to an outside file", [](const TempDir& d) { ASSERT_EQ(::symlink(d.Path("outside").c_str(), d.Path("Blues.EVT").c_str()), 0); }},
        {"dangling link", [](const TempDir& d) { ASSERT_EQ(::symlink(d.Path("nowhere").c_str(), d.Path("Blues.evt").c_str()), 0); }},
        {"folder", [](const TempDir& d) { ASSERT_EQ(::mkdir(d.Path("Blues.EVT").c_str(), 0755), 0); }},
        {"FIFO", [](const TempDir& d) { ASSERT_EQ(::mkfifo(d.Path("Blues.EVT").c_str(), 0644), 0); }},
    };
    for (const auto& [what, make] : targets) {
        SCOPED_TRACE(what);
        TempDir source, dir;
        source.Write("Blues.B00", "new song");
        source.Write("Blues.EVT", "new events");
        dir.Write("Blues.B00", "old song");
        dir.Write("outside", "not a song");
        make(dir);
        const std::size_t entries = dir.EntryCount();
        const FileResult put = ReplaceFiles(dir.path(), SongChanges(source.Path("Blues.B00"), HostPath{source.Path("Blues.EVT")}),
                                            NameCase::Extension);
        EXPECT_FALSE(put.ok());
        EXPECT_NE(put.message, "");
        EXPECT_EQ(dir.Read("Blues.B00"), "old song");
        EXPECT_EQ(dir.Read("outside"), "not a song");
        EXPECT_FALSE(dir.Exists("nowhere"));
        EXPECT_EQ(dir.EntryCount(), entries);
    }
}

TEST(FileOps, ReplaceFilesOfWhatIsNoFileOrOntoItselfChangesNothing) {
    TempDir dir;
    dir.Write("Blues.B00", "song");
    ASSERT_EQ(::mkdir(dir.Path("Folder.B00").c_str(), 0755), 0);
    // Without a writer a FIFO would block the copy for ever.
    ASSERT_EQ(::mkfifo(dir.Path("Pipe.B00").c_str(), 0644), 0);
    ASSERT_EQ(::link(dir.Path("Blues.B00").c_str(), dir.Path("Hard.B00").c_str()), 0);
    for (const char* source : {"Ghost.B00", "Folder.B00", "Pipe.B00", "Blues.B00", "Hard.B00"}) {
        SCOPED_TRACE(source);
        EXPECT_FALSE(ReplaceFiles(dir.path(), {FileChange{"Blues.B00", HostPath{dir.Path(source)}}}, NameCase::Exact).ok());
        EXPECT_EQ(dir.Read("Blues.B00"), "song");
        EXPECT_EQ(dir.EntryCount(), 4u);
    }
    // A title too long for a file name fails before any file of the song is written.
    const std::string longTitle(300, 'x');
    EXPECT_EQ(ReplaceFiles(dir.path(), {FileChange{"Blues.B00", std::string("new")}, FileChange{longTitle, std::string("x")}},
                           NameCase::Extension).error,
              ENAMETOOLONG);
    EXPECT_EQ(dir.Read("Blues.B00"), "song");
    EXPECT_EQ(dir.EntryCount(), 4u);
}

TEST(FileOps, ReplaceFilesOnAFullDiskKeepsTheOldFilesAndTheRoomAskedFor) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    TempDir source;
    source.Write("Big.B00", BinarySong(256 * 1024));
    source.Write("Small.B00", BinarySong(8 * 1024));
    disk.dir().Write("Blues.B00", "old song");

    const FileResult full = ReplaceFiles(disk.dir().path(), {FileChange{"Blues.B00", HostPath{source.Path("Big.B00")}}},
                                         NameCase::Exact);
    EXPECT_EQ(full.status, FileStatus::DiskFull);
    EXPECT_EQ(disk.dir().Read("Blues.B00"), "old song");
    EXPECT_EQ(disk.dir().EntryCount(), 1u);
    // Room that must stay free refuses a copy that would fit without it.
    const std::vector<FileChange> small = {FileChange{"Blues.B00", HostPath{source.Path("Small.B00")}}};
    EXPECT_EQ(ReplaceFiles(disk.dir().path(), small, NameCase::Exact, 60 * 1024).status, FileStatus::DiskFull);
    EXPECT_EQ(disk.dir().Read("Blues.B00"), "old song");
    ASSERT_TRUE(ReplaceFiles(disk.dir().path(), small, NameCase::Exact).ok());
    EXPECT_TRUE(disk.dir().Read("Blues.B00") == BinarySong(8 * 1024)) << "the copy differs";
}

}  // namespace
}  // namespace tunecrate
