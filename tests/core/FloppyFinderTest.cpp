// SPDX-License-Identifier: MIT
#include "core/disk/FloppyFinder.h"

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

// Only a removable device of exactly the capacity a 1.44 MB floppy's file
// system reports counts; of several, the last in the table wins.
TEST(FloppyFinder, LastRemovableDiskOfFloppyCapacityIsTheFloppy) {
    EXPECT_EQ(FindFloppy({Mount("/media/u/FLOPPY", true, 1'457'664)}), "/media/u/FLOPPY/");
    EXPECT_EQ(FindFloppy({Mount("/media/u/FLOPPY/", true, 1'457'664)}), "/media/u/FLOPPY/");
    EXPECT_EQ(FindFloppy({}), std::nullopt);
    EXPECT_EQ(FindFloppy({
                  Mount("/media/u/720K", true, 737'280),
                  Mount("/media/u/RAW144", true, 1'474'560),   // 1.44 MB before the file system
                  Mount("/media/u/FIXED", false, 1'457'664),
                  Mount("/media/u/EMPTY", true, 0),
              }),
              std::nullopt);
    EXPECT_EQ(FindFloppy({
                  Mount("/media/u/FIRST", true, 1'457'664),
                  Mount("/media/u/SECOND", true, 1'457'664),
                  Mount("/media/u/USB", true, 8'000'000'000),
              }),
              "/media/u/SECOND/");
}

TEST(FloppyFinder, MountTableFieldsAreDecoded) {
    const std::vector<MountEntry> mounts = ParseMountTable(
        "/dev/vda / ext4 rw,relatime 0 0\n"
        "proc /proc proc rw,nosuid 0 0\n"
        "/dev/sdb /media/u/MY\\040DISK vfat rw,nosuid 0 0\n"
        "/dev/sdc /media/u/tab\\011and\\134slash msdos ro 0 0\n"
        "broken-line\n"
        "\n");
    ASSERT_EQ(mounts.size(), 4u);
    std::vector<std::vector<std::string>> fields;
    for (const MountEntry& mount : mounts) {
        fields.push_back({mount.device, mount.mountPoint, mount.fsType});
        EXPECT_FALSE(mount.removable);
        EXPECT_EQ(mount.totalBytes, 0u);
    }
    EXPECT_EQ(fields, (std::vector<std::vector<std::string>>{{"/dev/vda", "/", "ext4"},
                                                             {"proc", "/proc", "proc"},
                                                             {"/dev/sdb", "/media/u/MY DISK", "vfat"},
                                                             {"/dev/sdc", "/media/u/tab\tand\\slash", "msdos"}}));
}

TEST(FloppyFinder, SystemMountTableHasTheRootFolder) {
    const std::vector<MountEntry> mounts = ReadMountTable();
    EXPECT_TRUE(std::any_of(mounts.begin(), mounts.end(), [](const MountEntry& m) { return m.mountPoint == "/"; }));
}

}  // namespace
}  // namespace tunecrate
