// SPDX-License-Identifier: MIT
#include "core/disk/FolderVolume.h"

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

// Two catalogues differing in case would leave the instrument reading the
// stale one; a slot's song removed in one case would stay in another.
TEST(FolderVolume, WritesAndRemovesReachEveryCaseVariantOfTheName) {
    TempDir dir;
    dir.Write("SONG.NAM", "old old old");
    for (const char* name : {"MDR_02.B00", "mdr_02.b00", "MDR_02.EVT"}) dir.Write(name, "x");
    FolderVolume volume(dir.path());

    ASSERT_TRUE(volume.WriteFile("song.nam", "new").ok());
    EXPECT_EQ(dir.Read("SONG.NAM"), "new");
    EXPECT_FALSE(dir.Exists("song.nam"));
    ASSERT_TRUE(volume.WriteFile("comments.dat", "c").ok());
    EXPECT_EQ(dir.Read("comments.dat"), "c");

    EXPECT_TRUE(volume.Remove("Mdr_02.B00").ok());
    EXPECT_FALSE(volume.Exists("MDR_02.B00"));
    EXPECT_TRUE(volume.Remove("MDR_02.B00").ok());
    EXPECT_EQ(dir.EntryCount(), 3u);   // SONG.NAM, comments.dat, MDR_02.EVT
}

TEST(FolderVolume, SpaceIsTheFolderFileSystem) {
    TempDir dir;
    const auto space = FolderVolume(dir.path()).Space();
    ASSERT_TRUE(space.has_value());
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(dir.path().c_str(), &vfs), 0);
    EXPECT_EQ(space->totalUnits, vfs.f_blocks);
    EXPECT_EQ(space->unitBytes, vfs.f_frsize);
    EXPECT_EQ(FolderVolume(dir.Path("missing")).Space(), std::nullopt);
}

// A slot's song replaced writes the spelling that is there, never a second
// file for the slot; a link where a slot file must go refuses the whole song.
TEST(FolderVolume, ApplyReplacesTheSpellingThereAndNeverWritesThroughALink) {
    TempDir floppy, host;
    floppy.Write("mdr_00.b00", "old song");
    floppy.Write("outside.txt", "not a song");
    ASSERT_EQ(::symlink(floppy.Path("outside.txt").c_str(), floppy.Path("MDR_03.EVT").c_str()), 0);
    host.Write("Blues.B00", "new song");
    FolderVolume volume(floppy.path());

    ASSERT_TRUE(volume.Apply({FileChange{"MDR_00.B00", HostPath{host.Path("Blues.B00")}},
                              FileChange{"MDR_00.EVT", std::string("events")}},
                             Room::Songs)
                    .ok());
    EXPECT_EQ(floppy.Read("mdr_00.b00"), "new song");
    EXPECT_EQ(floppy.Read("MDR_00.EVT"), "events");
    const FileResult refused = volume.Apply(
        {FileChange{"MDR_03.B00", std::string("song")}, FileChange{"MDR_03.EVT", std::string("events")}}, Room::Songs);
    EXPECT_EQ(refused.error, ELOOP);
    EXPECT_FALSE(volume.Exists("MDR_03.B00"));
    EXPECT_EQ(floppy.Read("outside.txt"), "not a song");
    EXPECT_EQ(floppy.EntryCount(), 4u);
}

}  // namespace
}  // namespace tunecrate
