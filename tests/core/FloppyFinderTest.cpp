// SPDX-License-Identifier: MIT
#include "core/FloppyFinder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tunecrate {
namespace {

MountEntry Mount(std::string mountPoint, bool removable, std::uint64_t totalBytes) {
    MountEntry entry;
    entry.device = "/dev/sdx";
    entry.mountPoint = std::move(mountPoint);
    entry.fsType = "vfat";
    entry.removable = removable;
    entry.totalBytes = totalBytes;
    return entry;
}

TEST(FloppyFinder, RemovableDiskOfFloppyCapacityIsTheFloppy) {
    EXPECT_EQ(FindFloppy({Mount("/media/u/FLOPPY", true, 1'457'664)}), "/media/u/FLOPPY/");
    EXPECT_EQ(FindFloppy({Mount("/media/u/FLOPPY/", true, 1'457'664)}), "/media/u/FLOPPY/");
}

TEST(FloppyFinder, OnlyTheExactCapacityOnARemovableDeviceCounts) {
    EXPECT_EQ(FindFloppy({}), std::nullopt);
    EXPECT_EQ(FindFloppy({
                  Mount("/media/u/720K", true, 737'280),
                  Mount("/media/u/RAW144", true, 1'474'560),   // 1.44 MB before the file system
                  Mount("/media/u/FIXED", false, 1'457'664),
                  Mount("/media/u/EMPTY", true, 0),
              }),
              std::nullopt);
}

TEST(FloppyFinder, LastMatchingMountWins) {
    EXPECT_EQ(FindFloppy({
                  Mount("/media/u/FIRST", true, 1'457'664),
                  Mount("/media/u/SECOND", true, 1'457'664),
                  Mount("/media/u/USB", true, 8'000'000'000),
              }),
              "/media/u/SECOND/");
}

TEST(FloppyFinder, MountTableFieldsAreDecoded) {
    const std::string table =
        "/dev/vda / ext4 rw,relatime 0 0\n"
        "proc /proc proc rw,nosuid 0 0\n"
        "/dev/sdb /media/u/MY\\040DISK vfat rw,nosuid 0 0\n"
        "/dev/sdc /media/u/tab\\011and\\134slash msdos ro 0 0\n"
        "broken-line\n"
        "\n";
    const std::vector<MountEntry> mounts = ParseMountTable(table);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[0].device, "/dev/vda");
    EXPECT_EQ(mounts[0].mountPoint, "/");
    EXPECT_EQ(mounts[0].fsType, "ext4");
    EXPECT_EQ(mounts[2].device, "/dev/sdb");
    EXPECT_EQ(mounts[2].mountPoint, "/media/u/MY DISK");
    EXPECT_EQ(mounts[2].fsType, "vfat");
    EXPECT_EQ(mounts[3].mountPoint, "/media/u/tab\tand\\slash");
    for (const MountEntry& mount : mounts) {
        EXPECT_FALSE(mount.removable);
        EXPECT_EQ(mount.totalBytes, 0u);
    }

    // The decoded mount point is what the floppy root is built from.
    std::vector<MountEntry> withFloppy = mounts;
    withFloppy[2].removable = true;
    withFloppy[2].totalBytes = kFloppyCapacity;
    EXPECT_EQ(FindFloppy(withFloppy), "/media/u/MY DISK/");
}

TEST(FloppyFinder, SystemMountTableHasTheRootFolder) {
    const std::vector<MountEntry> mounts = ReadMountTable();
    EXPECT_TRUE(std::any_of(mounts.begin(), mounts.end(),
                            [](const MountEntry& m) { return m.mountPoint == "/"; }));
}

}  // namespace
}  // namespace tunecrate
