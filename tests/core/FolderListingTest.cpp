// SPDX-License-Identifier: MIT
#include "core/disk/FolderListing.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "TempDir.h"

namespace tunecrate {
namespace {

using testing::BecomeUnprivileged;
using testing::InChildProcess;
using testing::TempDir;

void MakeFolder(const TempDir& dir, const std::string& name) {
    ASSERT_EQ(::mkdir(dir.Path(name).c_str(), 0755), 0) << name;
}

MountEntry Mount(std::string mountPoint) {
    MountEntry entry;
    entry.device = "/dev/sdx1";
    entry.mountPoint = std::move(mountPoint);
    entry.fsType = "ext4";
    return entry;
}

// ---- ListSubfolders ---------------------------------------------------------

TEST(FolderListing, SubfoldersAreOnlyFoldersInNameOrder) {
    TempDir outside;
    TempDir dir;
    for (const char* name : {"take2", "Banana", ".hidden", "take", "apple", "_take", "take 2"}) MakeFolder(dir, name);
    dir.WriteSized("file.B00", 1);
    dir.WriteSized("zfile", 1);
    ASSERT_EQ(::symlink(outside.path().c_str(), dir.Path("Linked").c_str()), 0);
    ASSERT_EQ(::symlink(dir.Path("file.B00").c_str(), dir.Path("FileLink").c_str()), 0);
    ASSERT_EQ(::symlink(dir.Path("nowhere").c_str(), dir.Path("Dangling").c_str()), 0);

    const std::vector<std::string> expected = {".hidden", "_take", "apple", "Banana", "Linked",
                                               "take",    "take 2", "take2"};
    EXPECT_EQ(ListSubfolders(dir.path()), expected);
}

TEST(FolderListing, FolderThatCannotBeListedHasNoSubfolders) {
    TempDir dir;
    MakeFolder(dir, "Sub");
    dir.WriteSized("file", 1);
    for (const std::string& folder : {dir.Path("missing"), dir.Path("file"), std::string()}) {
        EXPECT_TRUE(ListSubfolders(folder).empty()) << folder;
        EXPECT_FALSE(HasContent(folder, true)) << folder;
    }

    // Without read permission, as a user sees it (root reads anything).
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    MakeFolder(dir, "Locked");
    MakeFolder(dir, "Locked/Inner");
    ASSERT_EQ(::chmod(dir.Path("Locked").c_str(), 0311), 0);
    const bool asUser = InChildProcess([&] {
        if (!BecomeUnprivileged()) return false;
        // The same user still lists a readable folder, or this proves nothing.
        return ListSubfolders(dir.path()) == std::vector<std::string>{"Locked", "Sub"} &&
               ListSubfolders(dir.Path("Locked")).empty() && !HasContent(dir.Path("Locked"), true);
    });
    EXPECT_TRUE(asUser);
}

// ---- HasContent -------------------------------------------------------------

// Any subfolder (a hidden one, a link to one) is content; a file only when
// files count and it is not hidden.
TEST(FolderListing, HasContentCountsSubfoldersAndVisibleFiles) {
    TempDir outside;
    TempDir dir;
    for (const char* folder : {"Empty", "Songs", "HiddenFiles", "HiddenSub", "HiddenSub/.git", "LinkOnly"}) {
        MakeFolder(dir, folder);
    }
    for (const char* file : {"Songs/a.B00", "Songs/.b.B00", "HiddenFiles/.directory", "HiddenFiles/.b00"}) {
        dir.WriteSized(file, 1);
    }
    ASSERT_EQ(::symlink(outside.path().c_str(), dir.Path("LinkOnly/.link").c_str()), 0);
    const std::vector<std::tuple<const char*, bool, bool>> cases = {
        {"Empty", false, false},    {"Songs", true, false},    {"HiddenFiles", false, false},
        {"HiddenSub", true, true},  {"LinkOnly", true, true},
    };
    for (const auto& [folder, withFiles, foldersOnly] : cases) {
        EXPECT_EQ(HasContent(dir.Path(folder), true), withFiles) << folder;
        EXPECT_EQ(HasContent(dir.Path(folder), false), foldersOnly) << folder;
    }
}

// ---- TopLevelFolders --------------------------------------------------------

TEST(FolderListing, TopLevelIsRootThenHomeThenMountedVolumesInTableOrder) {
    const std::vector<MountEntry> mounts = {
        Mount("/"),          Mount("/boot"),          Mount("/proc"),           Mount("/mnt/backup"),
        Mount("/home"),      Mount("/media/u/USB"),   Mount("/media/u/FLOPPY"), Mount("/run/media/u/CARD"),
        Mount("/mediafoo"),  Mount("/run/mediax/u"),  Mount("/mnt/backup"),     Mount("/media/u/USB/"),
    };
    const std::vector<std::string> expected = {"/", "/home/u", "/mnt/backup", "/media/u/USB", "/run/media/u/CARD"};
    EXPECT_EQ(TopLevelFolders(mounts, "/home/u", "/media/u/FLOPPY/"), expected);
}

TEST(FolderListing, TopLevelNamesNoFolderTwice) {
    // A home that is the root folder, or a home mounted under /mnt.
    EXPECT_EQ(TopLevelFolders({Mount("/")}, "/", ""), std::vector<std::string>{"/"});
    EXPECT_EQ(TopLevelFolders({Mount("/mnt/home")}, "/mnt/home/", ""),
              (std::vector<std::string>{"/", "/mnt/home"}));
    // No home known: the root folder and the volumes.
    EXPECT_EQ(TopLevelFolders({Mount("/media/u/USB")}, "", ""), (std::vector<std::string>{"/", "/media/u/USB"}));
    // Without a floppy nothing is left out.
    EXPECT_EQ(TopLevelFolders({Mount("/media/u/FLOPPY")}, "/home/u", ""),
              (std::vector<std::string>{"/", "/home/u", "/media/u/FLOPPY"}));
}

}  // namespace
}  // namespace tunecrate
