// SPDX-License-Identifier: MIT
#include "core/songs/HardDiskSongs.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "TempDir.h"

namespace tunecrate {

// Readable failure output; found by argument-dependent lookup, so outside the
// unnamed namespace.
static void PrintTo(const HardDiskRow& row, std::ostream* out) {
    *out << "{key=\"" << row.key << "\" title=\"" << row.title << "\" hasEvt=" << row.hasEvt << " size=\""
         << row.sizeText << "\" comment=\"" << row.comment << "\" files=\"" << row.songFile << "\",\""
         << row.eventsFile << "\",\"" << row.commentFile << "\"}";
}

namespace {

using testing::BecomeUnprivileged;
using testing::InChildProcess;
using testing::RunningAsRoot;
using testing::TempDir;
using Strings = std::vector<std::string>;

Strings Titles(const std::vector<HardDiskRow>& rows) {
    Strings titles;
    for (const HardDiskRow& row : rows) titles.push_back(row.title);
    return titles;
}

std::map<std::string, HardDiskRow> ByTitle(const std::vector<HardDiskRow>& rows) {
    std::map<std::string, HardDiskRow> map;
    for (const HardDiskRow& row : rows) map[row.title] = row;
    return map;
}

// Companions are found in any case of their extension and keep their real
// names; the size is the sum of both files divided once.
TEST(HardDiskSongs, SongsWithAndWithoutCompanionsGiveTheGoldenRows) {
    TempDir dir;
    dir.WriteSized("Blues.B00", 3000);
    dir.WriteSized("Blues.EVT", 1200);
    dir.Write("Blues.cmt", "live take");
    dir.WriteSized("demo.b00", 2100);
    dir.WriteSized("Rock.b00", 600);
    dir.WriteSized("Rock.Evt", 600);
    dir.Write("Rock.cMt", "loud");

    const std::vector<HardDiskRow> expected = {
        {dir.Path("Blues"), "Blues", true, "4kb", "live", "Blues.B00", "Blues.EVT", "Blues.cmt"},
        {dir.Path("demo"), "demo", false, "2kb", "", "demo.b00", "", ""},
        {dir.Path("Rock"), "Rock", true, "1kb", "loud", "Rock.b00", "Rock.Evt", "Rock.cMt"},
    };
    EXPECT_EQ(ListFolderSongs(dir.path()), expected);
    // The key joins folder and title with one slash.
    EXPECT_EQ(ListFolderSongs(dir.path() + "/"), expected);
}

TEST(HardDiskSongs, TitlesSortWithoutCaseAndPrefixesFirst) {
    TempDir dir;
    for (const char* title : {"take2", "Banana", "\xE3\x81\x82", "take", "apple", "Zed", "_take", "take 2"}) {
        dir.WriteSized(std::string(title) + ".B00", 10);
    }
    EXPECT_EQ(Titles(ListFolderSongs(dir.path())),
              (Strings{"_take", "apple", "Banana", "take", "take 2", "take2", "Zed", "\xE3\x81\x82"}));
}

TEST(HardDiskSongs, NamesDifferingOnlyInCaseAreTwoSongsWithTheirOwnCompanions) {
    TempDir dir;
    dir.WriteSized("abc.B00", 1024);
    dir.WriteSized("ABC.b00", 3072);
    dir.WriteSized("abc.EVT", 1024);
    dir.Write("ABC.cmt", "upper");
    const auto rows = ByTitle(ListFolderSongs(dir.path()));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.at("abc"), (HardDiskRow{dir.Path("abc"), "abc", true, "2kb", "", "abc.B00", "abc.EVT", ""}));
    EXPECT_EQ(rows.at("ABC"), (HardDiskRow{dir.Path("ABC"), "ABC", false, "3kb", "upper", "ABC.b00", "", "ABC.cmt"}));
}

// Hidden files and a bare extension are songs; folders, events without a song
// and names that only contain "B00" are not.
TEST(HardDiskSongs, OnlyFilesEndingInB00MakeSongs) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.Path("old.b00").c_str(), 0755), 0);
    dir.WriteSized("old.b00/inner.B00", 10);
    for (const char* name : {"take.B00.bak", "take.B000", "takeB00", "Lone.EVT", "Lone.cmt", "b00", "kept.b00",
                             ".hidden.B00"}) {
        dir.WriteSized(name, 10);
    }
    dir.WriteSized(".b00", 1024);
    dir.WriteSized(".EVT", 1024);
    const auto rows = ListFolderSongs(dir.path());
    ASSERT_EQ(Titles(rows), (Strings{"", ".hidden", "kept"}));
    EXPECT_EQ(rows[0], (HardDiskRow{dir.path() + "/", "", true, "2kb", "", ".b00", ".EVT", ""}));
}

TEST(HardDiskSongs, CompanionThatIsNoFileNeitherCountsNorBlocks) {
    TempDir dir;
    dir.WriteSized("Blues.B00", 1024);
    ASSERT_EQ(::mkdir(dir.Path("Blues.EVT").c_str(), 0755), 0);
    dir.WriteSized("Blues.EVT/inside", 4096);
    // A reader that opened this pipe would wait for a writer for ever.
    ASSERT_EQ(::mkfifo(dir.Path("Blues.cmt").c_str(), 0644), 0);
    const auto rows = ListFolderSongs(dir.path());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(rows[0].hasEvt);
    EXPECT_EQ(rows[0].sizeText, "1kb");
    EXPECT_EQ(rows[0].comment, "");
}

TEST(HardDiskSongs, LinksCountByWhatTheyPointAt) {
    TempDir outside;
    outside.WriteSized("real.B00", 2048);
    ASSERT_EQ(::mkdir(outside.Path("folder.b00").c_str(), 0755), 0);
    TempDir dir;
    ASSERT_EQ(::symlink(outside.Path("real.B00").c_str(), dir.Path("Linked.B00").c_str()), 0);
    ASSERT_EQ(::symlink(outside.Path("folder.b00").c_str(), dir.Path("Folder.b00").c_str()), 0);
    const auto rows = ListFolderSongs(dir.path());
    ASSERT_EQ(Titles(rows), Strings{"Linked"});
    EXPECT_EQ(rows[0].sizeText, "2kb");   // the size of the file, not of the link
}

TEST(HardDiskSongs, RootFolderKeysHaveOneSlashAndNoFolderListsNothing) {
    if (!RunningAsRoot()) GTEST_SKIP() << "confining a child to a folder needs root";
    TempDir dir;
    dir.WriteSized("Blues.B00", 10);
    // A child whose root folder is the temporary folder: its root holds a song.
    const bool asExpected = InChildProcess([&] {
        if (::chroot(dir.path().c_str()) != 0 || ::chdir("/") != 0) return false;
        const auto rows = ListFolderSongs("/");
        // No folder selected is not the root folder, nor the working folder.
        return rows.size() == 1 && rows[0].key == "/Blues" && rows[0].title == "Blues" && ListFolderSongs("").empty();
    });
    EXPECT_TRUE(asExpected);
}

TEST(HardDiskSongs, FolderThatCannotBeListedGivesNoRows) {
    TempDir dir;
    dir.WriteSized("file.B00", 10);
    for (const std::string& folder : {std::string(), dir.Path("missing"), dir.Path("file.B00")}) {
        EXPECT_TRUE(ListFolderSongs(folder).empty()) << folder;
    }

    // A folder without read permission, listed by a user (root reads anything).
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.Path("locked").c_str(), 0755), 0);
    dir.WriteSized("locked/song.B00", 10);
    ASSERT_EQ(::chmod(dir.Path("locked").c_str(), 0311), 0);
    const bool ran = InChildProcess([&] {
        // The same user must still list a readable folder, or the test proves nothing.
        return BecomeUnprivileged() && ListFolderSongs(dir.path()).size() == 1 &&
               ListFolderSongs(dir.Path("locked")).empty();
    });
    EXPECT_TRUE(ran) << "as a user: the readable folder lists its song, the unreadable one none";
}

}  // namespace
}  // namespace tunecrate
