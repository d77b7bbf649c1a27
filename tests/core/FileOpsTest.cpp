// SPDX-License-Identifier: MIT
#include "core/FileOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

#include "TempDir.h"

namespace tunecrate {
namespace {

using testing::BecomeUnprivileged;
using testing::InChildProcess;
using testing::RunningAsRoot;
using testing::TempDir;
using testing::TmpfsMount;

TEST(FileOps, FindNameNoCasePrefersTheExactSpelling) {
    TempDir dir;
    dir.Write("MDR_00.b00", "x");
    dir.Write("mdr_00.B00", "x");
    dir.Write("MDR_00.B00", "x");
    EXPECT_EQ(FindNameNoCase(dir.path(), "MDR_00.B00"), "MDR_00.B00");
    EXPECT_EQ(FindNameNoCase(dir.path(), "mdr_00.B00"), "mdr_00.B00");
    // No exact spelling: a case variant, the same one whatever the listing order.
    EXPECT_EQ(FindNameNoCase(dir.path(), "Mdr_00.b00"), "MDR_00.B00");
    EXPECT_EQ(FindNameNoCase(dir.path(), "MDR_01.B00"), std::nullopt);
    EXPECT_EQ(FindNameNoCase(dir.path() + "/missing", "MDR_00.B00"), std::nullopt);
}

TEST(FileOps, FindNameNoCaseFoldsOnlyAsciiLetters) {
    TempDir dir;
    dir.Write("a[b", "x");
    dir.Write("\xC3\x89.b00", "x");   // É in UTF-8
    dir.Write("\xC0x", "x");          // a raw byte that Latin-1 would fold to 0xE0
    // '[' and '{' differ only in the bit that ASCII case uses.
    EXPECT_EQ(FindNameNoCase(dir.path(), "A{B"), std::nullopt);
    EXPECT_EQ(FindNameNoCase(dir.path(), "A[B"), "a[b");
    EXPECT_EQ(FindNameNoCase(dir.path(), "\xC3\xA9.B00"), std::nullopt);   // é
    EXPECT_EQ(FindNameNoCase(dir.path(), "\xC3\x89.B00"), "\xC3\x89.b00");
    EXPECT_EQ(FindNameNoCase(dir.path(), "\xE0X"), std::nullopt);
    EXPECT_EQ(FindNameNoCase(dir.path(), "\xC0X"), "\xC0x");
}

TEST(FileOps, ExtensionMatchIgnoresCaseButTheBaseDoesNot) {
    TempDir dir;
    dir.Write("Blues.CMT", "x");
    dir.Write("blues.cmt", "x");
    dir.Write("Rock.cmtx", "x");
    EXPECT_EQ(FindWithExtensionNoCase(dir.path(), "Blues", ".cmt"), "Blues.CMT");
    EXPECT_EQ(FindWithExtensionNoCase(dir.path(), "blues", ".CMT"), "blues.cmt");
    EXPECT_EQ(FindWithExtensionNoCase(dir.path(), "BLUES", ".cmt"), std::nullopt);
    EXPECT_EQ(FindWithExtensionNoCase(dir.path(), "Rock", ".cmt"), std::nullopt);
    EXPECT_EQ(FindWithExtensionNoCase(dir.path(), "Jazz", ".cmt"), std::nullopt);
}

TEST(FileOps, WriteFileBytesReplacesTheWholeContent) {
    TempDir dir;
    const std::string bytes("\x83\x5C\0\r\n\xFF", 6);
    ASSERT_TRUE(WriteFileBytes(dir.Path("new.dat"), bytes).ok());
    EXPECT_EQ(dir.Read("new.dat"), bytes);

    dir.Write("old.dat", std::string(5000, 'z'));
    ASSERT_TRUE(WriteFileBytes(dir.Path("old.dat"), "short").ok());
    EXPECT_EQ(dir.Read("old.dat"), "short");

    ASSERT_TRUE(WriteFileBytes(dir.Path("old.dat"), "").ok());
    EXPECT_EQ(dir.Read("old.dat"), "");
}

TEST(FileOps, WriteFileBytesFailsWithAReason) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.Path("folder").c_str(), 0755), 0);
    FileResult onFolder = WriteFileBytes(dir.Path("folder"), "x");
    EXPECT_EQ(onFolder.status, FileStatus::Failed);
    EXPECT_FALSE(onFolder.Reason().empty());

    FileResult inMissing = WriteFileBytes(dir.Path("missing/song.nam"), "x");
    EXPECT_EQ(inMissing.status, FileStatus::Failed);
    EXPECT_EQ(inMissing.error, ENOENT);
    EXPECT_FALSE(inMissing.Reason().empty());
    EXPECT_FALSE(dir.Exists("missing"));

    // A FIFO without a reader must neither block the writer nor count as written.
    ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0644), 0);
    EXPECT_FALSE(WriteFileBytes(dir.Path("pipe"), "x").ok());
}

TEST(FileOps, ErrnoMapsToStatus) {
    EXPECT_EQ(FileResult::FromErrno(ENOSPC).status, FileStatus::DiskFull);
    EXPECT_EQ(FileResult::FromErrno(EDQUOT).status, FileStatus::DiskFull);
    EXPECT_EQ(FileResult::FromErrno(EEXIST).status, FileStatus::TargetExists);
    EXPECT_EQ(FileResult::FromErrno(EACCES).status, FileStatus::Failed);
    EXPECT_FALSE(FileResult::FromErrno(ENOSPC).Reason().empty());
    EXPECT_FALSE(FileResult::FromErrno(ENOSPC).ok());
    EXPECT_TRUE(FileResult{}.Reason().empty());
}

TEST(FileOps, WriteOnFullDiskReportsDiskFull) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    FileResult result = WriteFileBytes(disk.dir().Path("big.dat"), std::string(256 * 1024, 'x'));
    EXPECT_EQ(result.status, FileStatus::DiskFull);
    EXPECT_EQ(result.error, ENOSPC);
}

// A catalogue that must grow on a full disk is refused whole: the old content
// stays readable instead of being left half overwritten.
TEST(FileOps, GrowingAFileOnAFullDiskKeepsItsOldContent) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    const std::string path = disk.dir().Path("comments.dat");
    const std::string old(100, 'o');
    ASSERT_TRUE(WriteFileBytes(path, old).ok());
    {
        // Take every free page of the disk.
        int fd = ::open(disk.dir().Path("filler").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const std::string chunk(4096, 'f');
        while (::write(fd, chunk.data(), chunk.size()) > 0) {
        }
        ::close(fd);
    }
    FileResult result = WriteFileBytes(path, std::string(20000, 'n'));
    EXPECT_EQ(result.status, FileStatus::DiskFull);
    EXPECT_EQ(ReadFileBytes(path, 1 << 20), old);
    // A rewrite that fits in the file's own space still succeeds.
    EXPECT_TRUE(WriteFileBytes(path, std::string(120, 's')).ok());
    EXPECT_EQ(ReadFileBytes(path, 1 << 20), std::string(120, 's'));
}

// A failed write never leaves its temporary file behind.
TEST(FileOps, FailedWriteLeavesNoTemporaryFile) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    FileResult result = WriteFileBytes(disk.dir().Path("big.dat"), std::string(256 * 1024, 'x'));
    EXPECT_EQ(result.status, FileStatus::DiskFull);
    int entries = 0;
    if (DIR* d = ::opendir(disk.dir().path().c_str())) {
        while (dirent* e = ::readdir(d)) entries += std::string_view(e->d_name) != "." && std::string_view(e->d_name) != "..";
        ::closedir(d);
    }
    EXPECT_EQ(entries, 0);
}

TEST(FileOps, ReadFileBytesStopsAtTheLimit) {
    TempDir dir;
    dir.Write("long.dat", std::string(40000, 'a') + "b");
    auto some = ReadFileBytes(dir.Path("long.dat"), 10);
    ASSERT_TRUE(some.has_value());
    EXPECT_EQ(*some, std::string(10, 'a'));
    // More than one internal buffer, still exact.
    auto most = ReadFileBytes(dir.Path("long.dat"), 40000);
    ASSERT_TRUE(most.has_value());
    EXPECT_EQ(*most, std::string(40000, 'a'));
    EXPECT_EQ(ReadFileBytes(dir.Path("long.dat"), 1 << 20)->size(), 40001u);

    EXPECT_EQ(ReadFileBytes(dir.Path("missing.dat"), 10), std::nullopt);
    EXPECT_EQ(ReadFileBytes(dir.path(), 10), std::nullopt);
}

TEST(FileOps, ReadFileBytesDoesNotBlockOnAFifo) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.Path("song.nam").c_str(), 0644), 0);
    // Without a writer a blocking open or read would hang here for ever.
    EXPECT_EQ(ReadFileBytes(dir.Path("song.nam"), 1024), std::nullopt);
    EXPECT_EQ(FileSize(dir.Path("song.nam")), std::nullopt);
}

TEST(FileOps, FileSizeOfRegularFilesOnly) {
    TempDir dir;
    dir.WriteSized("MDR_00.B00", 1023);
    EXPECT_EQ(FileSize(dir.Path("MDR_00.B00")), 1023u);
    EXPECT_EQ(FileSize(dir.Path("missing")), std::nullopt);
    EXPECT_EQ(FileSize(dir.path()), std::nullopt);
}

// A folder that tells cases apart may hold one floppy file several times; a
// deletion that left one behind would leave the song on the instrument.
TEST(FileOps, RemoveNameNoCaseRemovesEveryCaseVariantAndNothingElse) {
    TempDir dir;
    for (const char* name : {"MDR_02.B00", "mdr_02.b00", "Mdr_02.B00", "MDR_02.EVT", "MDR_02.B00x", "MDR_20.B00"}) {
        dir.Write(name, "x");
    }
    EXPECT_TRUE(RemoveNameNoCase(dir.path(), "mdr_02.B00").ok());
    EXPECT_FALSE(dir.Exists("MDR_02.B00"));
    EXPECT_FALSE(dir.Exists("mdr_02.b00"));
    EXPECT_FALSE(dir.Exists("Mdr_02.B00"));
    EXPECT_EQ(dir.EntryCount(), 3u);

    // Gone already: no failure.
    FileResult again = RemoveNameNoCase(dir.path(), "MDR_02.B00");
    EXPECT_TRUE(again.ok());
    EXPECT_EQ(again.error, 0);
    EXPECT_EQ(dir.EntryCount(), 3u);
}

TEST(FileOps, RemoveNameNoCaseReportsAFolderOfThatNameAndStillRemovesTheFiles) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.Path("song.nam").c_str(), 0755), 0);
    dir.Write("SONG.NAM", "x");
    FileResult result = RemoveNameNoCase(dir.path(), "Song.Nam");
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
    EXPECT_TRUE(dir.Exists("blues.cmt"));
    EXPECT_TRUE(dir.Exists("Blues.cmtx"));
    EXPECT_TRUE(dir.Exists("Blues.c"));
    EXPECT_TRUE(dir.Exists("XBlues.cmt"));
    EXPECT_TRUE(RemoveWithExtensionNoCase(dir.path(), "Rock", ".cmt").ok());
}

// A folder that can be written but not listed (or whose listing fails on a bad
// disk) must not pass for one where the file is gone.
TEST(FileOps, RemoveInAFolderThatCannotBeListedIsNeverASilentSuccess) {
    TempDir dir;
    dir.Write("MDR_02.B00", "x");
    ASSERT_EQ(::chmod(dir.path().c_str(), 0333), 0);
    const std::string folder = dir.path();
    const bool reportedOk = InChildProcess([&] {
        return BecomeUnprivileged() && RemoveNameNoCase(folder, "MDR_02.B00").ok();
    });
    ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
    EXPECT_FALSE(reportedOk && dir.Exists("MDR_02.B00")) << "reported removed, yet the file is still there";
}

// ---- copying song files ------------------------------------------------------

// Bytes of every value, zero bytes and line ends included, over more than one
// read buffer.
std::string BinarySong(std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 131 + i / 256) & 0xFF);
    return bytes;
}

TEST(FileOps, CopyFileCopiesEveryByte) {
    TempDir dir;
    const std::string song = BinarySong(200 * 1024 + 17);
    dir.Write("Blues.B00", song);
    dir.Write("Empty.EVT", "");

    ASSERT_TRUE(CopyFile(dir.Path("Blues.B00"), dir.Path("MDR_00.B00"), true).ok());
    EXPECT_TRUE(dir.Read("MDR_00.B00") == song) << "the copy differs";
    EXPECT_TRUE(dir.Read("Blues.B00") == song) << "the source changed";

    ASSERT_TRUE(CopyFile(dir.Path("Empty.EVT"), dir.Path("MDR_00.EVT"), true).ok());
    EXPECT_EQ(dir.Read("MDR_00.EVT"), "");

    // Replacing a longer file leaves none of its tail behind.
    dir.Write("Short.B00", "short");
    ASSERT_TRUE(CopyFile(dir.Path("Short.B00"), dir.Path("MDR_00.B00"), false).ok());
    EXPECT_EQ(dir.Read("MDR_00.B00"), "short");
}

TEST(FileOps, CopyFileThatMayNotReplaceLeavesTheTargetAlone) {
    TempDir dir;
    dir.Write("Blues.B00", "new song");
    dir.Write("MDR_00.B00", "old song");
    FileResult result = CopyFile(dir.Path("Blues.B00"), dir.Path("MDR_00.B00"), true);
    EXPECT_EQ(result.status, FileStatus::TargetExists);
    EXPECT_EQ(dir.Read("MDR_00.B00"), "old song");

    // A dangling link is a name in use too: nothing is written through it.
    ASSERT_EQ(::symlink(dir.Path("nowhere").c_str(), dir.Path("MDR_01.B00").c_str()), 0);
    EXPECT_FALSE(CopyFile(dir.Path("Blues.B00"), dir.Path("MDR_01.B00"), true).ok());
    EXPECT_FALSE(dir.Exists("nowhere"));
}

// A copy onto the same file would truncate it before reading it.
TEST(FileOps, CopyFileNeverCopiesAFileOntoItself) {
    TempDir dir;
    const std::string song = BinarySong(5000);
    dir.Write("Blues.B00", song);
    ASSERT_EQ(::mkdir(dir.Path("sub").c_str(), 0755), 0);
    ASSERT_EQ(::link(dir.Path("Blues.B00").c_str(), dir.Path("Hard.B00").c_str()), 0);
    ASSERT_EQ(::symlink(dir.Path("Blues.B00").c_str(), dir.Path("Soft.B00").c_str()), 0);

    for (const std::string& other : {dir.Path("Blues.B00"), dir.path() + "/./Blues.B00",
                                     dir.path() + "/sub/../Blues.B00", dir.Path("Hard.B00"), dir.Path("Soft.B00")}) {
        SCOPED_TRACE(other);
        EXPECT_FALSE(CopyFile(dir.Path("Blues.B00"), other, false).ok());
        EXPECT_EQ(CopyFile(dir.Path("Blues.B00"), other, true).status, FileStatus::TargetExists);
        EXPECT_FALSE(CopyFile(other, dir.Path("Blues.B00"), false).ok());
        EXPECT_TRUE(dir.Read("Blues.B00") == song) << "the source changed";
    }
}

TEST(FileOps, CopyFileOfWhatIsNoSongFails) {
    TempDir dir;
    FileResult missing = CopyFile(dir.Path("Ghost.B00"), dir.Path("MDR_00.B00"), true);
    EXPECT_EQ(missing.status, FileStatus::Failed);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_FALSE(dir.Exists("MDR_00.B00"));

    ASSERT_EQ(::mkdir(dir.Path("Folder.B00").c_str(), 0755), 0);
    EXPECT_FALSE(CopyFile(dir.Path("Folder.B00"), dir.Path("MDR_00.B00"), true).ok());
    EXPECT_FALSE(dir.Exists("MDR_00.B00"));

    // Without a reader's writer a FIFO would block the copy for ever.
    ASSERT_EQ(::mkfifo(dir.Path("Pipe.B00").c_str(), 0644), 0);
    EXPECT_FALSE(CopyFile(dir.Path("Pipe.B00"), dir.Path("MDR_00.B00"), true).ok());
    EXPECT_FALSE(dir.Exists("MDR_00.B00"));
}

TEST(FileOps, CopyFileOnAFullDiskLeavesNoPartialSong) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    TempDir source;
    source.Write("Big.B00", BinarySong(256 * 1024));
    source.Write("Small.B00", BinarySong(8 * 1024));

    FileResult full = CopyFile(source.Path("Big.B00"), disk.dir().Path("MDR_00.B00"), true);
    EXPECT_EQ(full.status, FileStatus::DiskFull);
    EXPECT_EQ(full.error, ENOSPC);
    EXPECT_EQ(disk.dir().EntryCount(), 0u);

    // The space of the failed copy is free again.
    ASSERT_TRUE(CopyFile(source.Path("Small.B00"), disk.dir().Path("MDR_00.B00"), true).ok());
    EXPECT_TRUE(disk.dir().Read("MDR_00.B00") == BinarySong(8 * 1024)) << "the copy differs";
}

TEST(FileOps, RemoveFileRemovesOneFileAndAMissingOneIsNoFailure) {
    TempDir dir;
    dir.Write("Blues.B00", "x");
    dir.Write("blues.b00", "x");
    EXPECT_TRUE(RemoveFile(dir.Path("Blues.B00")).ok());
    EXPECT_FALSE(dir.Exists("Blues.B00"));
    EXPECT_TRUE(dir.Exists("blues.b00"));   // exact name only
    EXPECT_TRUE(RemoveFile(dir.Path("Blues.B00")).ok());

    ASSERT_EQ(::mkdir(dir.Path("Folder.B00").c_str(), 0755), 0);
    EXPECT_FALSE(RemoveFile(dir.Path("Folder.B00")).ok());
    EXPECT_TRUE(dir.Exists("Folder.B00"));
}

}  // namespace
}  // namespace tunecrate
