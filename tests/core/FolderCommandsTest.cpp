// SPDX-License-Identifier: MIT
#include "core/FolderCommands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "TempDir.h"

namespace tunecrate {
namespace {

using ::testing::Contains;
using testing::BecomeUnprivileged;
using testing::InChildProcess;
using testing::RunningAsRoot;
using testing::TempDir;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

void MakeFolder(const TempDir& dir, const std::string& name) {
    ASSERT_EQ(::mkdir(dir.Path(name).c_str(), 0755), 0) << name;
}

// Old with a song, a subfolder with a song, an empty folder and a hidden
// file; Keep beside it must outlive every deletion of Old.
void MakeSongTree(const TempDir& dir) {
    MakeFolder(dir, "Old");
    dir.WriteSized("Old/a.B00", 100);
    dir.WriteSized("Old/.hidden", 1);
    MakeFolder(dir, "Old/Sub");
    dir.WriteSized("Old/Sub/b.B00", 100);
    dir.WriteSized("Old/Sub/b.EVT", 100);
    MakeFolder(dir, "Old/Sub/Deep");
    MakeFolder(dir, "Keep");
    dir.WriteSized("Keep/k.B00", 100);
}

// A tmpfs mounted on a folder inside a test's tree, so that the tree holds an
// entry that cannot be removed; unmounted when it goes.
class MountInside {
public:
    explicit MountInside(std::string path) : m_path(std::move(path)) {
        m_mounted = ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, "size=256k") == 0;
    }
    ~MountInside() {
        if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
    }
    MountInside(const MountInside&) = delete;
    MountInside& operator=(const MountInside&) = delete;

    bool mounted() const { return m_mounted; }
    bool RemountReadOnly() const {
        return ::mount("tmpfs", m_path.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::string m_path;
    bool m_mounted = false;
};

// ---- MakeNewFolder ----------------------------------------------------------

TEST(FolderCommands, NewFolderIsMadeInsideTheFolderOnlyOnce) {
    TempDir dir;
    const auto made = MakeNewFolder(dir.path());
    ASSERT_EQ(made, dir.path() + "/新規ディレクトリ");
    EXPECT_TRUE(IsFolder(*made));
    dir.Write("新規ディレクトリ/marker", "m");

    // No numbering: the name is taken, and the first folder stays as it was.
    EXPECT_EQ(MakeNewFolder(dir.path()), std::nullopt);
    EXPECT_EQ(dir.Read("新規ディレクトリ/marker"), "m");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(FolderCommands, NewFolderNeedsAFolderToGoIn) {
    TempDir dir;
    dir.Write("file", "f");
    EXPECT_EQ(MakeNewFolder(dir.Path("missing")), std::nullopt);
    EXPECT_FALSE(dir.Exists("missing"));
    EXPECT_EQ(MakeNewFolder(dir.Path("file")), std::nullopt);

    // No folder selected must not make one in the root folder.
    const bool wasThere = IsFolder("/新規ディレクトリ");
    EXPECT_EQ(MakeNewFolder(""), std::nullopt);
    if (!wasThere && IsFolder("/新規ディレクトリ")) {
        ADD_FAILURE() << "an empty path made /新規ディレクトリ";
        ::rmdir("/新規ディレクトリ");
    }
}

// ---- RenameFolder -----------------------------------------------------------

TEST(FolderCommands, RenameMovesTheFolderWithEverythingBelowIt) {
    TempDir dir;
    MakeSongTree(dir);
    EXPECT_EQ(RenameFolder(dir.Path("Old"), "New"), RenameOutcome::Renamed);
    EXPECT_FALSE(dir.Exists("Old"));
    EXPECT_EQ(dir.Read("New/Sub/b.B00"), std::string(100, 'x'));
    EXPECT_TRUE(IsFolder(dir.Path("New/Sub/Deep")));

    // A change of letter case alone is a new name on this file system.
    EXPECT_EQ(RenameFolder(dir.Path("New"), "new"), RenameOutcome::Renamed);
    EXPECT_TRUE(IsFolder(dir.Path("new/Sub")));
    EXPECT_FALSE(dir.Exists("New"));
}

TEST(FolderCommands, RenameOntoAnExistingNameFailsAndKeepsBoth) {
    TempDir dir;
    MakeSongTree(dir);
    MakeFolder(dir, "Empty");
    dir.Write("Taken", "a file");

    // An empty folder of that name must not be silently replaced either.
    for (const char* name : {"Keep", "Empty", "Taken"}) {
        EXPECT_EQ(RenameFolder(dir.Path("Old"), name), RenameOutcome::Failed) << name;
    }
    EXPECT_TRUE(dir.Exists("Old/a.B00"));
    EXPECT_TRUE(dir.Exists("Old/Sub/Deep"));
    EXPECT_TRUE(dir.Exists("Keep/k.B00"));
    EXPECT_TRUE(IsFolder(dir.Path("Empty")));
    EXPECT_FALSE(dir.Exists("Empty/a.B00"));
    EXPECT_EQ(dir.Read("Taken"), "a file");
    EXPECT_EQ(dir.EntryCount(), 4u);
}

TEST(FolderCommands, RenameToNoNameOrTheSameNameChangesNothing) {
    TempDir dir;
    MakeSongTree(dir);
    EXPECT_EQ(RenameFolder(dir.Path("Old"), ""), RenameOutcome::Unchanged);
    EXPECT_EQ(RenameFolder(dir.Path("Old"), "Old"), RenameOutcome::Unchanged);
    EXPECT_TRUE(dir.Exists("Old/a.B00"));
    EXPECT_EQ(dir.EntryCount(), 2u);
}

TEST(FolderCommands, RenameToSomethingThatIsNoPlainNameIsRefused) {
    TempDir dir;
    MakeSongTree(dir);
    // Each of these would move the folder somewhere else if passed through.
    for (const char* name : {"Keep/Inside", "../Escaped", "Sub/", "/", ".", ".."}) {
        EXPECT_EQ(RenameFolder(dir.Path("Old"), name), RenameOutcome::Failed) << name;
    }
    EXPECT_TRUE(dir.Exists("Old/a.B00"));
    EXPECT_TRUE(dir.Exists("Old/Sub/b.B00"));
    EXPECT_FALSE(dir.Exists("Keep/Inside"));
    EXPECT_EQ(dir.EntryCount(), 2u);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.path()).parent_path() / "Escaped"));

    EXPECT_EQ(RenameFolder(dir.Path("Gone"), "New"), RenameOutcome::Failed);
    EXPECT_FALSE(dir.Exists("New"));
}

// ---- DeleteFolderTree -------------------------------------------------------

TEST(FolderCommands, DeleteRemovesFilesSubfoldersAndEmptyFolders) {
    TempDir dir;
    MakeSongTree(dir);
    const DeleteReport report = DeleteFolderTree(dir.Path("Old"));
    EXPECT_TRUE(report.complete());
    EXPECT_FALSE(dir.Exists("Old"));
    EXPECT_EQ(dir.Read("Keep/k.B00"), std::string(100, 'x'));
}

TEST(FolderCommands, DeleteReachesBelowManyLevels) {
    TempDir dir;
    std::string path = "Old";
    MakeFolder(dir, path);
    for (int level = 0; level < 80; ++level) {
        path += "/L" + std::to_string(level);
        MakeFolder(dir, path);
        dir.WriteSized(path + "/song.B00", 1);
    }
    EXPECT_TRUE(DeleteFolderTree(dir.Path("Old")).complete());
    EXPECT_EQ(dir.EntryCount(), 0u);
}

TEST(FolderCommands, DeleteRemovesLinksAndNeverWhatTheyPointAt) {
    TempDir outside;
    outside.WriteSized("precious.B00", 10);
    ASSERT_EQ(::mkdir(outside.Path("Library").c_str(), 0755), 0);
    outside.WriteSized("Library/song.B00", 10);
    TempDir dir;
    MakeSongTree(dir);
    ASSERT_EQ(::symlink(outside.Path("Library").c_str(), dir.Path("Old/Sub/ToLibrary").c_str()), 0);
    ASSERT_EQ(::symlink(outside.Path("precious.B00").c_str(), dir.Path("Old/ToFile.B00").c_str()), 0);
    ASSERT_EQ(::symlink(outside.Path("nowhere").c_str(), dir.Path("Old/Dangling").c_str()), 0);

    EXPECT_TRUE(DeleteFolderTree(dir.Path("Old")).complete());
    EXPECT_FALSE(dir.Exists("Old"));
    EXPECT_TRUE(outside.Exists("precious.B00"));
    EXPECT_TRUE(outside.Exists("Library/song.B00"));
}

TEST(FolderCommands, DeleteOfALinkToAFolderRemovesOnlyTheLink) {
    TempDir outside;
    outside.WriteSized("song.B00", 10);
    TempDir dir;
    ASSERT_EQ(::symlink(outside.path().c_str(), dir.Path("Plain").c_str()), 0);
    ASSERT_EQ(::symlink(outside.path().c_str(), dir.Path("Slashed").c_str()), 0);

    EXPECT_TRUE(DeleteFolderTree(dir.Path("Plain")).complete());
    // A final slash would make the system follow the link.
    EXPECT_TRUE(DeleteFolderTree(dir.Path("Slashed") + "/").complete());
    EXPECT_FALSE(IsLink(dir.Path("Plain")));
    EXPECT_FALSE(IsLink(dir.Path("Slashed")));
    EXPECT_TRUE(outside.Exists("song.B00"));
    EXPECT_TRUE(IsFolder(outside.path()));
}

TEST(FolderCommands, DeleteEndsAtAMountPointAndRemovesTheRest) {
    if (!RunningAsRoot()) GTEST_SKIP() << "mounting needs root";
    TempDir dir;
    MakeSongTree(dir);
    MakeFolder(dir, "Old/Mounted");
    MountInside mount(dir.Path("Old/Mounted"));
    if (!mount.mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here";

    const DeleteReport report = DeleteFolderTree(dir.Path("Old"));
    EXPECT_FALSE(report.complete());
    EXPECT_THAT(report.leftovers, Contains(dir.Path("Old/Mounted")));
    EXPECT_THAT(report.leftovers, Contains(dir.Path("Old")));
    EXPECT_FALSE(dir.Exists("Old/a.B00"));
    EXPECT_FALSE(dir.Exists("Old/.hidden"));
    EXPECT_FALSE(dir.Exists("Old/Sub"));
    EXPECT_TRUE(IsFolder(dir.Path("Old/Mounted")));
    EXPECT_TRUE(dir.Exists("Keep/k.B00"));
}

TEST(FolderCommands, DeleteLeavesWhatAReadOnlyDiskKeepsAndRemovesTheRest) {
    if (!RunningAsRoot()) GTEST_SKIP() << "mounting needs root";
    TempDir dir;
    MakeSongTree(dir);
    MakeFolder(dir, "Old/ReadOnly");
    MountInside mount(dir.Path("Old/ReadOnly"));
    if (!mount.mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here";
    MakeFolder(dir, "Old/ReadOnly/Inner");
    dir.WriteSized("Old/ReadOnly/Inner/locked.B00", 10);
    dir.WriteSized("Old/ReadOnly/top.B00", 10);
    ASSERT_TRUE(mount.RemountReadOnly());
    MakeFolder(dir, "Old/Zed");
    dir.WriteSized("Old/Zed/z.B00", 10);

    const DeleteReport report = DeleteFolderTree(dir.Path("Old"));
    EXPECT_FALSE(report.complete());
    EXPECT_THAT(report.leftovers, Contains(dir.Path("Old/ReadOnly/Inner/locked.B00")));
    EXPECT_THAT(report.leftovers, Contains(dir.Path("Old")));
    EXPECT_TRUE(dir.Exists("Old/ReadOnly/Inner/locked.B00"));
    EXPECT_TRUE(dir.Exists("Old/ReadOnly/top.B00"));
    EXPECT_FALSE(dir.Exists("Old/a.B00"));
    EXPECT_FALSE(dir.Exists("Old/Sub"));
    EXPECT_FALSE(dir.Exists("Old/Zed"));
    // Every leftover is really still there.
    for (const std::string& path : report.leftovers) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    }
}

TEST(FolderCommands, DeleteByAUserEndsAtWhatPermissionsKeep) {
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    // The user makes the tree and deletes it; root would override the permissions.
    const bool asExpected = InChildProcess([&] {
        if (!BecomeUnprivileged()) return false;
        bool made = true;
        for (const char* folder : {"Old", "Old/Sub", "Old/Locked", "Old/Unlisted", "Old/Zed"}) {
            made = made && ::mkdir(dir.Path(folder).c_str(), 0755) == 0;
        }
        for (const char* file :
             {"Old/a.B00", "Old/Sub/b.B00", "Old/Locked/x.B00", "Old/Unlisted/y.B00", "Old/Zed/z.B00"}) {
            const int fd = ::open(dir.Path(file).c_str(), O_WRONLY | O_CREAT, 0644);
            made = made && fd >= 0 && ::close(fd) == 0;
        }
        made = made && ::chmod(dir.Path("Old/Locked").c_str(), 0555) == 0 &&
               ::chmod(dir.Path("Old/Unlisted").c_str(), 0311) == 0;
        if (!made) return false;

        const DeleteReport report = DeleteFolderTree(dir.Path("Old"));
        auto reported = [&](const std::string& name) {
            const auto& left = report.leftovers;
            return std::find(left.begin(), left.end(), dir.Path(name)) != left.end();
        };
        const bool ok = reported("Old/Locked/x.B00") && reported("Old/Unlisted") && reported("Old") &&
                        dir.Exists("Old/Locked/x.B00") && dir.Exists("Old/Unlisted") && !dir.Exists("Old/a.B00") &&
                        !dir.Exists("Old/Sub") && !dir.Exists("Old/Zed");
        if (!ok) {
            for (const std::string& path : report.leftovers) std::fprintf(stderr, "left: %s\n", path.c_str());
        }
        return ok;
    });
    EXPECT_TRUE(asExpected);
}

TEST(FolderCommands, DeleteRefusesTheRootFolderAndAnEmptyPath) {
    TempDir dir;
    MakeSongTree(dir);
    // Each attempt runs in a child whose working folder, and with root its
    // root folder, is the temporary folder: a fault costs only test files.
    const bool emptyRefused = InChildProcess([&] {
        return ::chdir(dir.path().c_str()) == 0 && !DeleteFolderTree("").complete();
    });
    EXPECT_TRUE(emptyRefused);
    if (RunningAsRoot()) {
        const bool rootRefused = InChildProcess([&] {
            if (::chroot(dir.path().c_str()) != 0 || ::chdir("/") != 0) return false;
            return !DeleteFolderTree("/").complete() && !DeleteFolderTree("//").complete();
        });
        EXPECT_TRUE(rootRefused);
    }
    EXPECT_TRUE(dir.Exists("Old/a.B00"));
    EXPECT_TRUE(dir.Exists("Old/Sub/Deep"));
    EXPECT_TRUE(dir.Exists("Keep/k.B00"));
}

TEST(FolderCommands, DeleteQuestionQuotesThePath) {
    EXPECT_EQ(DeleteFolderQuestion("/home/u/Old"),
              "ディレクトリ\"/home/u/Old\" と、全ての下位ディレクトリのデータは消去されます。");
}

}  // namespace
}  // namespace tunecrate
