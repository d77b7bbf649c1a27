// SPDX-License-Identifier: MIT
#include "core/HardDiskSongs.h"

#include <gtest/gtest.h>

#include <cstdio>
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

using testing::InChildProcess;
using testing::BecomeUnprivileged;
using testing::RunningAsRoot;
using testing::TempDir;

std::vector<std::string> Titles(const std::vector<HardDiskRow>& rows) {
    std::vector<std::string> titles;
    for (const HardDiskRow& row : rows) titles.push_back(row.title);
    return titles;
}

std::map<std::string, HardDiskRow> ByTitle(const std::vector<HardDiskRow>& rows) {
    std::map<std::string, HardDiskRow> map;
    for (const HardDiskRow& row : rows) map[row.title] = row;
    return map;
}

TEST(HardDiskSongs, SongWithCompanionsAndLoneSongGiveTheGoldenRows) {
    TempDir dir;
    dir.WriteSized("demo.b00", 2100);
    dir.WriteSized("Blues.B00", 3000);
    dir.WriteSized("Blues.EVT", 1200);
    dir.Write("Blues.cmt", "live take");

    HardDiskRow blues;
    blues.key = dir.Path("Blues");
    blues.title = "Blues";
    blues.hasEvt = true;
    blues.sizeText = "4kb";   // (3000 + 1200) / 1024
    blues.comment = "live";
    blues.songFile = "Blues.B00";
    blues.eventsFile = "Blues.EVT";
    blues.commentFile = "Blues.cmt";

    HardDiskRow demo;
    demo.key = dir.Path("demo");
    demo.title = "demo";
    demo.hasEvt = false;
    demo.sizeText = "2kb";
    demo.songFile = "demo.b00";

    EXPECT_EQ(ListFolderSongs(dir.path()), (std::vector<HardDiskRow>{blues, demo}));
}

TEST(HardDiskSongs, TitlesSortWithoutCaseAndPrefixesFirst) {
    TempDir dir;
    for (const char* title : {"take2", "Banana", "\xE3\x81\x82", "take", "apple", "Zed", "_take", "take 2"}) {
        dir.WriteSized(std::string(title) + ".B00", 10);
    }
    const std::vector<std::string> expected = {"_take", "apple", "Banana", "take", "take 2", "take2", "Zed",
                                               "\xE3\x81\x82"};
    EXPECT_EQ(Titles(ListFolderSongs(dir.path())), expected);
}

TEST(HardDiskSongs, NamesDifferingOnlyInCaseAreTwoSongsWithTheirOwnCompanions) {
    TempDir dir;
    dir.WriteSized("abc.B00", 1024);
    dir.WriteSized("ABC.b00", 3072);
    dir.WriteSized("abc.EVT", 1024);
    dir.Write("ABC.cmt", "upper");
    const auto rows = ListFolderSongs(dir.path());
    ASSERT_EQ(rows.size(), 2u);
    auto byTitle = ByTitle(rows);
    ASSERT_EQ(byTitle.count("abc"), 1u);
    ASSERT_EQ(byTitle.count("ABC"), 1u);
    EXPECT_TRUE(byTitle["abc"].hasEvt);
    EXPECT_EQ(byTitle["abc"].sizeText, "2kb");
    EXPECT_EQ(byTitle["abc"].comment, "");
    EXPECT_EQ(byTitle["abc"].songFile, "abc.B00");
    EXPECT_FALSE(byTitle["ABC"].hasEvt);
    EXPECT_EQ(byTitle["ABC"].sizeText, "3kb");
    EXPECT_EQ(byTitle["ABC"].comment, "upper");
    EXPECT_EQ(byTitle["ABC"].songFile, "ABC.b00");
}

TEST(HardDiskSongs, OnlyFilesEndingInB00MakeSongs) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.Path("old.b00").c_str(), 0755), 0);
    dir.WriteSized("old.b00/inner.B00", 10);
    dir.WriteSized("take.B00.bak", 10);
    dir.WriteSized("take.B000", 10);
    dir.WriteSized("takeB00", 10);
    dir.WriteSized("Lone.EVT", 10);   // events without a song
    dir.Write("Lone.cmt", "orphan");
    dir.WriteSized("b00", 10);
    dir.WriteSized("kept.b00", 10);
    EXPECT_EQ(Titles(ListFolderSongs(dir.path())), std::vector<std::string>{"kept"});
}

TEST(HardDiskSongs, HiddenFilesAndABareExtensionAreSongs) {
    TempDir dir;
    dir.WriteSized(".b00", 1024);
    dir.WriteSized(".EVT", 1024);
    dir.WriteSized(".hidden.B00", 10);
    const auto rows = ListFolderSongs(dir.path());
    ASSERT_EQ(Titles(rows), (std::vector<std::string>{"", ".hidden"}));
    EXPECT_EQ(rows[0].key, dir.path() + "/");
    EXPECT_EQ(rows[0].songFile, ".b00");
    EXPECT_TRUE(rows[0].hasEvt);
    EXPECT_EQ(rows[0].sizeText, "2kb");
    EXPECT_FALSE(rows[1].hasEvt);
}

TEST(HardDiskSongs, SizeIsTheSumOfBothFilesDividedOnce) {
    TempDir dir;
    dir.WriteSized("halves.B00", 600);
    dir.WriteSized("halves.EVT", 600);
    dir.WriteSized("under.B00", 1023);
    dir.WriteSized("exact.B00", 1024);
    dir.WriteSized("evtonly.B00", 0);
    dir.WriteSized("evtonly.EVT", 2047);
    dir.WriteSized("large.B00", 5 * 1024 * 1024 + 1023);
    auto rows = ByTitle(ListFolderSongs(dir.path()));
    EXPECT_EQ(rows["halves"].sizeText, "1kb");
    EXPECT_EQ(rows["under"].sizeText, "0kb");
    EXPECT_EQ(rows["exact"].sizeText, "1kb");
    EXPECT_EQ(rows["evtonly"].sizeText, "1kb");
    EXPECT_EQ(rows["large"].sizeText, "5120kb");
}

TEST(HardDiskSongs, CompanionFilesAreFoundInAnyCaseOfTheirExtension) {
    TempDir dir;
    dir.WriteSized("Blues.b00", 1000);
    dir.WriteSized("Blues.evt", 1048);
    dir.Write("Blues.CMT", "solo");
    dir.WriteSized("Rock.B00", 10);
    dir.WriteSized("Rock.Evt", 10);
    dir.Write("Rock.cMt", "loud");

    HardDiskRow blues;
    blues.key = dir.Path("Blues");
    blues.title = "Blues";
    blues.hasEvt = true;
    blues.sizeText = "2kb";
    blues.comment = "solo";
    blues.songFile = "Blues.b00";
    blues.eventsFile = "Blues.evt";
    blues.commentFile = "Blues.CMT";

    const auto rows = ListFolderSongs(dir.path());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], blues);
    EXPECT_TRUE(rows[1].hasEvt);
    EXPECT_EQ(rows[1].eventsFile, "Rock.Evt");
    EXPECT_EQ(rows[1].comment, "loud");
}

TEST(HardDiskSongs, CommentIsTheFirstWordWhereOnlyAsciiWhiteSpaceEndsIt) {
    TempDir dir;
    for (const char* title : {"blank", "wide", "lead", "spaces", "empty", "none"}) {
        dir.WriteSized(std::string(title) + ".B00", 10);
    }
    dir.Write("blank.cmt", "live take");
    // あい　うえ: two full-width words around the ideographic space (0x81 0x40).
    dir.Write("wide.cmt", "\x82\xA0\x82\xA2\x81\x40\x82\xA4\x82\xA6");
    dir.Write("lead.cmt", "\r\n\t lead\vrest");
    dir.Write("spaces.cmt", " \t\r\n");
    dir.Write("empty.cmt", "");
    auto rows = ByTitle(ListFolderSongs(dir.path()));
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows["blank"].comment, "live");
    EXPECT_EQ(rows["wide"].comment, "\x82\xA0\x82\xA2\x81\x40\x82\xA4\x82\xA6");
    EXPECT_EQ(rows["lead"].comment, "lead");
    EXPECT_EQ(rows["spaces"].comment, "");
    EXPECT_EQ(rows["empty"].comment, "");
    EXPECT_EQ(rows["none"].comment, "");
    EXPECT_EQ(rows["none"].commentFile, "");
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
    ASSERT_EQ(Titles(rows), std::vector<std::string>{"Linked"});
    EXPECT_EQ(rows[0].sizeText, "2kb");   // the size of the file, not of the link
}

TEST(HardDiskSongs, KeyJoinsFolderAndTitleWithOneSlash) {
    TempDir dir;
    dir.WriteSized("Blues.B00", 10);
    EXPECT_EQ(ListFolderSongs(dir.path()).at(0).key, dir.path() + "/Blues");
    EXPECT_EQ(ListFolderSongs(dir.path() + "/").at(0).key, dir.path() + "/Blues");
}

TEST(HardDiskSongs, RootFolderKeysHaveOneSlashAndNoFolderListsNothing) {
    if (!RunningAsRoot()) GTEST_SKIP() << "confining a child to a folder needs root";
    TempDir dir;
    dir.WriteSized("Blues.B00", 10);
    // A child whose root folder is the temporary folder: its root holds a song.
    const bool asExpected = InChildProcess([&] {
        if (::chroot(dir.path().c_str()) != 0 || ::chdir("/") != 0) return false;
        const auto rows = ListFolderSongs("/");
        if (rows.size() != 1) return false;
        // No folder selected is not the root folder, nor the working folder.
        return rows[0].key == "/Blues" && rows[0].title == "Blues" && ListFolderSongs("").empty();
    });
    EXPECT_TRUE(asExpected);
}

TEST(HardDiskSongs, FolderThatCannotBeListedGivesNoRows) {
    TempDir dir;
    dir.WriteSized("file.B00", 10);
    EXPECT_TRUE(ListFolderSongs("").empty());
    EXPECT_TRUE(ListFolderSongs(dir.Path("missing")).empty());
    EXPECT_TRUE(ListFolderSongs(dir.Path("file.B00")).empty());

    // A folder without read permission, listed by a user (root reads anything).
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.Path("locked").c_str(), 0755), 0);
    dir.WriteSized("locked/song.B00", 10);
    ASSERT_EQ(::chmod(dir.Path("locked").c_str(), 0311), 0);
    const bool ran = InChildProcess([&] {
        if (!BecomeUnprivileged()) return false;
        // The same user must still list a readable folder, or the test proves nothing.
        return ListFolderSongs(dir.path()).size() == 1 && ListFolderSongs(dir.Path("locked")).empty();
    });
    EXPECT_TRUE(ran) << "as a user: the readable folder lists its song, the unreadable one none";
}

}  // namespace
}  // namespace tunecrate
