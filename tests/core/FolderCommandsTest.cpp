// SPDX-License-Identifier: MIT
#include "core/songs/FolderCommands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "SongDisk.h"
#include "TempDir.h"

namespace tunecrate {
namespace {

using ::testing::IsSupersetOf;
using testing::BecomeUnprivileged;
using testing::InChildProcess;
using testing::RunningAsRoot;
using testing::Snapshot;
using testing::TakeSnapshot;
using testing::TempDir;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

// A tmpfs, or a bind mount of another folder, mounted on a folder inside a
// test's tree; unmounted when it goes.
class MountInside {
public:
    explicit MountInside(std::string path, const std::string& bindFrom = {}) : m_path(std::move(path)) {
        m_mounted = bindFrom.empty() ? ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, "size=256k") == 0
                                     : ::mount(bindFrom.c_str(), m_path.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~MountInside() {
        if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
    }
    MountInside(const MountInside&) = delete;
    MountInside& operator=(const MountInside&) = delete;

    bool mounted() const { return m_mounted; }

private:
    std::string m_path;
    bool m_mounted = false;
};

// ---- MakeNewFolder ----------------------------------------------------------

// No numbering: a second new folder finds the name taken and leaves the first
// as it was. Without a folder to go in, none is made, least of all in the
// root folder for an empty path.
TEST(FolderCommands, NewFolderIsMadeInsideAnExistingFolderOnlyOnce) {
    TempDir dir;
    dir.Write("file", "f");
    const auto made = MakeNewFolder(dir.path());
    ASSERT_EQ(made, dir.path() + "/新規ディレクトリ");
    EXPECT_TRUE(IsFolder(*made));
    dir.Write("新規ディレクトリ/marker", "m");

    EXPECT_EQ(MakeNewFolder(dir.path()), std::nullopt);
    EXPECT_EQ(MakeNewFolder(dir.Path("missing")), std::nullopt);
    EXPECT_EQ(MakeNewFolder(dir.Path("file")), std::nullopt);
    EXPECT_EQ(dir.Read("新規ディレクトリ/marker"), "m");
    EXPECT_EQ(dir.EntryCount(), 2u);

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

// A taken name is never replaced, not even an empty folder; a name that is no
// plain name would move the folder elsewhere; an empty name is a cancelled edit.
TEST(FolderCommands, RenameThatCannotOrNeedNotHappenChangesNothing) {
    TempDir dir;
    MakeSongTree(dir);
    MakeFolder(dir, "Empty");
    dir.Write("Taken", "a file");
    const Snapshot before = TakeSnapshot(dir.path());

    const std::vector<std::pair<std::string, RenameOutcome>> cases = {
        {"Keep", RenameOutcome::Failed},        {"Empty", RenameOutcome::Failed},
        {"Taken", RenameOutcome::Failed},       {"Keep/Inside", RenameOutcome::Failed},
        {"../Escaped", RenameOutcome::Failed},  {"Sub/", RenameOutcome::Failed},
        {"/", RenameOutcome::Failed},           {".", RenameOutcome::Failed},
        {"..", RenameOutcome::Failed},          {"", RenameOutcome::Unchanged},
        {"Old", RenameOutcome::Unchanged},
    };
    for (const auto& [name, outcome] : cases) {
        EXPECT_EQ(RenameFolder(dir.Path("Old"), name), outcome) << name;
        EXPECT_EQ(TakeSnapshot(dir.path()), before) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.path()).parent_path() / "Escaped"));
    EXPECT_EQ(RenameFolder(dir.Path("Gone"), "New"), RenameOutcome::Failed);
    EXPECT_EQ(TakeSnapshot(dir.path()), before);
}

// ---- DeleteFolderTree -------------------------------------------------------

TEST(FolderCommands, DeleteRemovesEverythingBelowTheFolderAtAnyDepth) {
    TempDir dir;
    MakeSongTree(dir);
    std::string path = "Old/Sub/Deep";
    for (int level = 0; level < 80; ++level) {
        path += "/L" + std::to_string(level);
        MakeFolder(dir, path);
        dir.WriteSized(path + "/song.B00", 1);
    }
    EXPECT_TRUE(DeleteFolderTree(dir.Path("Old")).complete());
    EXPECT_FALSE(dir.Exists("Old"));
    EXPECT_EQ(TakeSnapshot(dir.path()), (testing::Files({{"Keep", "<dir>"}, {"Keep/k.B00", std::string(100, 'x')}})));
}

// A link is removed as a link, whether it is inside the tree or is the folder
// itself (with a final slash, which would make the system follow it).
TEST(FolderCommands, DeleteRemovesLinksAndNeverWhatTheyPointAt) {
    TempDir outside;
    outside.WriteSized("precious.B00", 10);
    ASSERT_EQ(::mkdir(outside.Path("Library").c_str(), 0755), 0);
    outside.WriteSized("Library/song.B00", 10);
    const Snapshot kept = TakeSnapshot(outside.path());
    TempDir dir;
    MakeSongTree(dir);
    ASSERT_EQ(::symlink(outside.Path("Library").c_str(), dir.Path("Old/Sub/ToLibrary").c_str()), 0);
    ASSERT_EQ(::symlink(outside.Path("precious.B00").c_str(), dir.Path("Old/ToFile.B00").c_str()), 0);
    ASSERT_EQ(::symlink(outside.Path("nowhere").c_str(), dir.Path("Old/Dangling").c_str()), 0);
    ASSERT_EQ(::symlink(outside.path().c_str(), dir.Path("Plain").c_str()), 0);
    ASSERT_EQ(::symlink(outside.path().c_str(), dir.Path("Slashed").c_str()), 0);

    EXPECT_TRUE(DeleteFolderTree(dir.Path("Old")).complete());
    EXPECT_TRUE(DeleteFolderTree(dir.Path("Plain")).complete());
    EXPECT_TRUE(DeleteFolderTree(dir.Path("Slashed") + "/").complete());
    EXPECT_EQ(dir.EntryCount(), 1u);   // Keep
    EXPECT_EQ(TakeSnapshot(outside.path()), kept);
}

// A volume, and a bind mount of a folder beside the deleted one (same file
// system, so only the mount id tells), are left whole and never entered: the
// deletion names them and removes everything else.
TEST(FolderCommands, DeleteNeverEntersAMountBelowTheFolder) {
    if (!RunningAsRoot()) GTEST_SKIP() << "mounting needs root";
    TempDir dir;
    MakeSongTree(dir);
    MakeFolder(dir, "Old/Mounted");
    MakeFolder(dir, "Old/Sub/Bound");
    MountInside mounted(dir.Path("Old/Mounted"));
    MountInside bound(dir.Path("Old/Sub/Bound"), dir.Path("Keep"));
    if (!mounted.mounted() || !bound.mounted()) GTEST_SKIP() << "cannot mount here";
    MakeFolder(dir, "Old/Mounted/Inner");
    dir.WriteSized("Old/Mounted/Inner/m.B00", 10);

    const DeleteReport report = DeleteFolderTree(dir.Path("Old"));
    EXPECT_THAT(report.leftovers, ::testing::UnorderedElementsAre(dir.Path("Old/Mounted"), dir.Path("Old/Sub/Bound"),
                                                                  dir.Path("Old/Sub"), dir.Path("Old")));
    EXPECT_TRUE(dir.Exists("Old/Mounted/Inner/m.B00"));
    EXPECT_TRUE(dir.Exists("Old/Sub/Bound/k.B00"));
    EXPECT_TRUE(dir.Exists("Keep/k.B00"));
    for (const char* gone : {"Old/a.B00", "Old/.hidden", "Old/Sub/b.B00", "Old/Sub/b.EVT", "Old/Sub/Deep"}) {
        EXPECT_FALSE(dir.Exists(gone)) << gone;
    }
}

// Every name of a protected folder, or of a folder holding one, is refused
// before anything is touched, and so is a whole mounted volume. Only temporary
// folders are ever at stake, even if the refusal failed.
TEST(FolderCommands, DeleteRefusesProtectedFoldersAndWholeVolumesHoweverNamed) {
    TempDir dir;
    MakeSongTree(dir);
    MakeFolder(dir, "Top");
    MakeFolder(dir, "Top/Sub");
    dir.WriteSized("Top/canary.B00", 10);
    MakeFolder(dir, "Home");
    dir.WriteSized("Home/canary.B00", 10);
    ASSERT_EQ(::symlink(dir.Path("Top").c_str(), dir.Path("ToTop").c_str()), 0);
    std::vector<std::string> protectedFolders = {dir.Path("Top"), dir.Path("Old/../Home/")};
    std::vector<std::pair<std::string, DeleteRefusal>> cases = {
        {dir.Path("Top"), DeleteRefusal::Protected},          {dir.Path("Top/."), DeleteRefusal::Protected},
        {dir.Path("Top/Sub/.."), DeleteRefusal::Protected},   {dir.Path("Top///"), DeleteRefusal::Protected},
        {dir.Path("ToTop/."), DeleteRefusal::Protected},      {dir.Path("Old/../Top"), DeleteRefusal::Protected},
        {dir.Path("Home"), DeleteRefusal::Protected},         {dir.Path("Old/.."), DeleteRefusal::Protected},
        {dir.path(), DeleteRefusal::Protected},               {"", DeleteRefusal::NoFolder},
    };
    std::optional<testing::TmpfsMount> volume;
    std::optional<MountInside> inner, bound;
    if (RunningAsRoot()) {
        volume.emplace("size=64k");
        MakeFolder(dir, "Old/Volume");
        MakeFolder(dir, "Old/Bound");
        inner.emplace(dir.Path("Old/Volume"));
        bound.emplace(dir.Path("Old/Bound"), dir.Path("Keep"));
        ASSERT_TRUE(volume->mounted() && inner->mounted() && bound->mounted());
        volume->dir().WriteSized("canary.B00", 10);
        dir.WriteSized("Old/Volume/canary.B00", 10);
        protectedFolders.push_back(volume->dir().path());
        cases.insert(cases.end(), {{volume->dir().path(), DeleteRefusal::Protected},
                                   {volume->dir().Path("."), DeleteRefusal::Protected},
                                   {dir.Path("Old/Volume"), DeleteRefusal::MountRoot},
                                   {dir.Path("Old/Volume/"), DeleteRefusal::MountRoot},
                                   {dir.Path("Old/Bound"), DeleteRefusal::MountRoot}});
    }
    const Snapshot before = TakeSnapshot(dir.path());
    for (const auto& [path, refusal] : cases) {
        EXPECT_EQ(CheckFolderDeletion(path, protectedFolders), refusal) << path;
        const DeleteReport report = DeleteFolderTree(path, protectedFolders);
        EXPECT_EQ(report.refusal, refusal) << path;
        EXPECT_TRUE(report.leftovers.empty()) << path;
        EXPECT_FALSE(report.complete()) << path;
        EXPECT_EQ(TakeSnapshot(dir.path()), before) << path;
    }
    if (volume) {
        EXPECT_TRUE(volume->dir().Exists("canary.B00"));
    }
    // $HOME is protected without being named.
    EXPECT_TRUE(InChildProcess([&] {
        return ::setenv("HOME", dir.Path("Old/Sub").c_str(), 1) == 0 &&
               DeleteFolderTree(dir.Path("Old")).refusal == DeleteRefusal::Protected;
    }));
    // A link to a protected folder is only a link.
    EXPECT_TRUE(DeleteFolderTree(dir.Path("ToTop"), protectedFolders).complete());
    EXPECT_FALSE(dir.Exists("ToTop"));
    EXPECT_TRUE(dir.Exists("Top/canary.B00"));
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
    const Snapshot before = TakeSnapshot(dir.path());
    // Each attempt runs in a child whose working folder, and with root its
    // root folder, is the temporary folder: a fault costs only test files.
    EXPECT_TRUE(InChildProcess([&] {
        return ::chdir(dir.path().c_str()) == 0 && DeleteFolderTree("").refusal == DeleteRefusal::NoFolder;
    }));
    if (RunningAsRoot()) {
        EXPECT_TRUE(InChildProcess([&] {
            if (::chroot(dir.path().c_str()) != 0 || ::chdir("/") != 0) return false;
            for (const char* root : {"/", "//", "/.", "/./", "/Old/..", "/Old/Sub/../..", ".", "Old/.."}) {
                if (DeleteFolderTree(root).refusal != DeleteRefusal::Protected) return false;
            }
            return true;
        }));
    }
    EXPECT_EQ(TakeSnapshot(dir.path()), before);
}

TEST(FolderCommands, DeleteQuestionQuotesThePath) {
    EXPECT_EQ(DeleteFolderQuestion("/home/u/Old"),
              "ディレクトリ\"/home/u/Old\" と、全ての下位ディレクトリのデータは消去されます。");
}

}  // namespace
}  // namespace tunecrate
