// SPDX-License-Identifier: MIT
#include "core/FolderVolume.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "TempDir.h"

namespace tunecrate {
namespace {

using testing::TempDir;

TEST(FolderVolume, RootAlwaysEndsInOneSlash) {
    EXPECT_EQ(FolderVolume("/media/u/FLOPPY").Root(), "/media/u/FLOPPY/");
    EXPECT_EQ(FolderVolume("/media/u/FLOPPY/").Root(), "/media/u/FLOPPY/");
    EXPECT_EQ(FolderVolume("/").Root(), "/");
}

TEST(FolderVolume, NamesMatchAsOnTheFloppysOwnFileSystem) {
    TempDir dir;
    dir.WriteSized("mdr_00.b00", 1500);
    dir.Write("SONG.NAM", "Blues");
    FolderVolume volume(dir.path());

    EXPECT_TRUE(volume.Exists("MDR_00.B00"));
    EXPECT_TRUE(volume.Exists("MDR_00.b00"));
    EXPECT_FALSE(volume.Exists("MDR_00.EVT"));
    EXPECT_EQ(volume.FileSize("MDR_00.B00"), 1500u);
    EXPECT_EQ(volume.FileSize("MDR_01.B00"), std::nullopt);
    EXPECT_EQ(volume.ReadFile("song.nam", 100), "Blues");
    EXPECT_EQ(volume.ReadFile("song.nam", 3), "Blu");
    EXPECT_EQ(volume.ReadFile("comments.dat", 100), std::nullopt);
}

TEST(FolderVolume, WriteGoesToTheExistingCaseVariant) {
    TempDir dir;
    dir.Write("SONG.NAM", "old old old");
    FolderVolume volume(dir.path());
    ASSERT_TRUE(volume.WriteFile("song.nam", "new").ok());
    // Two catalogues differing in case would leave the instrument reading the stale one.
    EXPECT_EQ(dir.Read("SONG.NAM"), "new");
    EXPECT_FALSE(dir.Exists("song.nam"));
    EXPECT_EQ(dir.EntryCount(), 1u);

    ASSERT_TRUE(volume.WriteFile("comments.dat", "c").ok());
    EXPECT_EQ(dir.Read("comments.dat"), "c");
}

TEST(FolderVolume, SpaceIsTheFolderFileSystem) {
    TempDir dir;
    FolderVolume volume(dir.path());
    auto space = volume.Space();
    ASSERT_TRUE(space.has_value());
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(dir.path().c_str(), &vfs), 0);
    EXPECT_EQ(space->totalUnits, vfs.f_blocks);
    EXPECT_EQ(space->unitBytes, vfs.f_frsize);
    EXPECT_EQ(space->TotalBytes(), static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize);

    EXPECT_EQ(FolderVolume(dir.Path("missing")).Space(), std::nullopt);
}

TEST(FolderVolume, RemoveTakesEveryCaseVariantOfTheName) {
    TempDir dir;
    dir.Write("MDR_02.B00", "x");
    dir.Write("mdr_02.b00", "x");
    dir.Write("MDR_02.EVT", "x");
    FolderVolume volume(dir.path());   // no final slash: the root adds it
    EXPECT_TRUE(volume.Remove("Mdr_02.B00").ok());
    EXPECT_FALSE(volume.Exists("MDR_02.B00"));
    EXPECT_EQ(dir.EntryCount(), 1u);
    EXPECT_TRUE(dir.Exists("MDR_02.EVT"));

    EXPECT_TRUE(volume.Remove("MDR_02.B00").ok());

    ASSERT_EQ(::mkdir(dir.Path("MDR_03.B00").c_str(), 0755), 0);
    FileResult onFolder = volume.Remove("MDR_03.B00");
    EXPECT_FALSE(onFolder.ok());
    EXPECT_EQ(onFolder.error, EISDIR);
    EXPECT_TRUE(dir.Exists("MDR_03.B00"));
}

// ---- copies between the floppy and the hard disk ------------------------------

TEST(FolderVolume, CopyFromHostCountsEveryCaseVariantAsTheSlotsFile) {
    TempDir floppy, host;
    floppy.Write("mdr_00.b00", "old song");
    host.Write("Blues.B00", "new song");
    FolderVolume volume(floppy.path());

    EXPECT_EQ(volume.CopyFromHost(host.Path("Blues.B00"), "MDR_00.B00", true).status, FileStatus::TargetExists);
    EXPECT_EQ(floppy.Read("mdr_00.b00"), "old song");

    // Replacing writes the existing spelling: never two files for one slot.
    ASSERT_TRUE(volume.CopyFromHost(host.Path("Blues.B00"), "MDR_00.B00", false).ok());
    EXPECT_EQ(floppy.Read("mdr_00.b00"), "new song");
    EXPECT_EQ(floppy.EntryCount(), 1u);

    ASSERT_TRUE(volume.CopyFromHost(host.Path("Blues.B00"), "MDR_01.B00", true).ok());
    EXPECT_EQ(floppy.Read("MDR_01.B00"), "new song");
}

TEST(FolderVolume, CopyToHostReadsAnyCaseVariant) {
    TempDir floppy, host;
    floppy.Write("mdr_01.evt", "events");
    FolderVolume volume(floppy.path());

    ASSERT_TRUE(volume.CopyToHost("MDR_01.EVT", host.Path("Blues.EVT"), true).ok());
    EXPECT_EQ(host.Read("Blues.EVT"), "events");

    FileResult missing = volume.CopyToHost("MDR_02.EVT", host.Path("Demo.EVT"), true);
    EXPECT_EQ(missing.status, FileStatus::Failed);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_FALSE(host.Exists("Demo.EVT"));

    host.Write("Old.EVT", "kept");
    EXPECT_EQ(volume.CopyToHost("MDR_01.EVT", host.Path("Old.EVT"), true).status, FileStatus::TargetExists);
    EXPECT_EQ(host.Read("Old.EVT"), "kept");
}

TEST(FolderVolume, CopyOntoAFullFloppyLeavesNoPartialFile) {
    testing::TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    TempDir host;
    host.WriteSized("Big.B00", 256 * 1024);
    FolderVolume volume(disk.dir().path());

    EXPECT_EQ(volume.CopyFromHost(host.Path("Big.B00"), "MDR_00.B00", true).status, FileStatus::DiskFull);
    EXPECT_FALSE(volume.Exists("MDR_00.B00"));
    EXPECT_EQ(disk.dir().EntryCount(), 0u);
}

}  // namespace
}  // namespace tunecrate
