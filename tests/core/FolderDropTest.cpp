// SPDX-License-Identifier: MIT
#include "core/songs/FolderDrop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "ScriptedPrompter.h"
#include "SongDisk.h"
#include "TempDir.h"
#include "core/text/DragPayload.h"

namespace tunecrate {
namespace {

using testing::CommentsFile;
using testing::Files;
using testing::Fingerprint;
using testing::FingerprintIfAny;
using testing::RunningAsRoot;
using testing::ScriptedPrompter;
using testing::SongChecksums;
using testing::SongData;
using testing::Snapshot;
using testing::TakeSnapshot;
using testing::TitlesFile;
using testing::TmpfsMount;
using Calls = std::vector<ScriptedPrompter::Call>;

ScriptedPrompter::Call OverwriteQuestion(const std::string& base) {
    return ScriptedPrompter::YesNo("ファイル " + base + " はすでに存在します。上書きしますか？", "Overwrite?");
}

class FolderDropTest : public testing::TransferTest {
protected:
    DropResult IntoFolder(const std::string& folder, bool move, std::string_view payload) {
        DropContext context = Context(move);
        return DropIntoFolder(context, folder, ParsePayload(payload));
    }
    DropResult OntoList(const std::string& folder, bool move, std::string_view payload) {
        DropContext context = Context(move);
        return DropOntoHardDiskList(context, folder, ParsePayload(payload));
    }

    std::string HardDiskPayload(const std::vector<std::string>& titles) const {
        std::vector<std::string> items;
        for (const std::string& title : titles) items.push_back(songs + "/" + title);
        return BuildPayload(kHardDiskType, items);
    }

    std::multiset<std::string> AllSongs() const { return SongChecksums({floppyDir->path(), disk.path()}); }

    // A folder that cannot be written: a read-only tmpfs as root, else a
    // folder without write permission. Empty when neither can be had.
    std::string ReadOnlyFolder() {
        if (RunningAsRoot()) {
            m_readOnly = std::make_unique<TmpfsMount>("size=1m");
            if (m_readOnly->mounted() && m_readOnly->RemountReadOnly()) return m_readOnly->dir().path();
            return {};
        }
        const std::string folder = Folder("Locked");
        return ::chmod(folder.c_str(), 0555) == 0 ? folder : std::string();
    }

    const std::string songs = Folder("Songs");
    const std::string old = Folder("Old");

    const std::string kBlues = SongData("Blues", 5000);
    const std::string kBluesEvents = SongData("Blues events", 700);
    const std::string kDemo = SongData("Demo", 3000);
    const std::string kOld = SongData("Old", 4000);

private:
    std::unique_ptr<TmpfsMount> m_readOnly;
};

// ---- hard-disk songs into another folder --------------------------------------

// A copy leaves the songs where they are; a move takes every file of each
// song along, whatever the case of its extensions, and loses none.
TEST_F(FolderDropTest, CopiedSongsStayInTheirFolderAndMovedOnesLeaveItWithEveryFile) {
    MakeFloppy({{"Floppy", "f", kOld, ""}});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live take");
    // Written elsewhere with other cases of the extensions: still one song.
    WriteHostFile(songs + "/Demo.b00", kDemo);
    WriteHostFile(songs + "/Demo.evt", kOld);
    WriteHostFile(songs + "/Demo.CMT", "demo");
    const Snapshot hardDisk = TakeSnapshot(songs);
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const Snapshot arrived = Files({{"Blues.B00", kBlues}, {"Blues.EVT", kBluesEvents}, {"Blues.cmt", "live take"},
                                    {"Demo.B00", kDemo}, {"Demo.EVT", kOld}, {"Demo.cmt", "demo"}});

    const DropResult copied = IntoFolder(old, false, HardDiskPayload({"Blues", "Demo"}));
    EXPECT_TRUE(copied.taken);
    EXPECT_TRUE(copied.refillHardDiskList);
    EXPECT_FALSE(copied.rereadFloppy);
    EXPECT_EQ(TakeSnapshot(old), arrived);
    EXPECT_EQ(TakeSnapshot(songs), hardDisk);

    const std::string moved = Folder("Moved");
    const auto before = AllSongs();
    EXPECT_TRUE(IntoFolder(moved, true, HardDiskPayload({"Blues", "Demo"})).refillHardDiskList);
    EXPECT_EQ(TakeSnapshot(moved), arrived);
    EXPECT_EQ(TakeSnapshot(songs), Snapshot{});
    EXPECT_EQ(AllSongs(), before);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

// A declined song stays in its folder, though the drop moved; an accepted one
// replaces the song of its name and leaves its own folder.
TEST_F(FolderDropTest, SongOfATakenNameIsReplacedOnlyWhenTheUserSaysSo) {
    MakeFloppy({{"Rock", "floppy", kBlues, ""}});
    // The names there, in whatever case their extensions are written, are
    // the songs of those titles: a replacement takes their spelling and
    // leaves no second file beside them.
    for (const char* title : {"Blues", "Demo", "Rock"}) {
        WriteHostFile(old + "/" + title + ".b00", kOld);
        WriteHostFile(old + "/" + title + ".evt", "old events");
        WriteHostFile(old + "/" + title + ".CMT", "older");
    }
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live");
    PutSong(songs, "Demo", kDemo, "", "demo");
    prompter.AnswerYesNo(false);
    prompter.AnswerYesNo(true);
    prompter.AnswerYesNo(true);

    EXPECT_TRUE(IntoFolder(old, true, HardDiskPayload({"Blues", "Demo"})).refillHardDiskList);
    EXPECT_TRUE(IntoFolder(old, false, BuildPayload(kFloppyType, {"0"})).refillHardDiskList);

    EXPECT_EQ(prompter.calls(), (Calls{OverwriteQuestion(old + "/Blues"), OverwriteQuestion(old + "/Demo"),
                                       OverwriteQuestion(old + "/Rock")}));
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.b00", kOld}, {"Blues.evt", "old events"}, {"Blues.CMT", "older"},
                                           {"Demo.b00", kDemo}, {"Demo.CMT", "demo"},
                                           {"Rock.b00", kBlues}, {"Rock.CMT", "floppy"}})));
    EXPECT_EQ(TakeSnapshot(songs),
              (Files({{"Blues.B00", kBlues}, {"Blues.EVT", kBluesEvents}, {"Blues.cmt", "live"}})));
}

// Copying a song onto itself would ask to overwrite it, and a move would then
// delete the only copy: such a drop is refused, however the folder is named.
TEST_F(FolderDropTest, DropIntoTheSongsOwnFolderIsRefusedAndLosesNothing) {
    MakeFloppy({});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live");
    PutSong(songs, "Demo", kDemo);
    ASSERT_EQ(::symlink(songs.c_str(), disk.Path("Link").c_str()), 0);
    const Snapshot hardDisk = TakeSnapshot(songs);

    std::size_t attempts = 0;
    for (const std::string& target : {songs, songs + "/", old + "/../Songs", disk.Path("Link")}) {
        for (bool move : {false, true}) {
            SCOPED_TRACE(target + (move ? " (move)" : " (copy)"));
            const DropResult result = IntoFolder(target, move, HardDiskPayload({"Blues", "Demo"}));
            ++attempts;
            EXPECT_FALSE(result.refillHardDiskList);
            ASSERT_EQ(prompter.calls().size(), attempts);
            EXPECT_EQ(prompter.calls().back().kind, ScriptedPrompter::Kind::Message);
            EXPECT_EQ(prompter.calls().back().caption, "Error!");
            EXPECT_EQ(TakeSnapshot(songs), hardDisk);
        }
    }
    EXPECT_EQ(TakeSnapshot(old), Snapshot{});
}

TEST_F(FolderDropTest, CopyIntoAReadOnlyFolderFailsWithAMessageAndAMoveDeletesNothing) {
    const std::string locked = ReadOnlyFolder();
    if (locked.empty()) GTEST_SKIP() << "cannot make a read-only folder here";
    MakeFloppy({});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live");
    const Snapshot hardDisk = TakeSnapshot(songs);

    EXPECT_FALSE(IntoFolder(locked, true, HardDiskPayload({"Blues"})).refillHardDiskList);

    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_NE(prompter.calls()[0].text.find("Blues.B00"), std::string::npos) << prompter.calls()[0].text;
    EXPECT_EQ(TakeSnapshot(songs), hardDisk);
    EXPECT_EQ(TakeSnapshot(locked), Snapshot{});
}

// ---- floppy songs into a folder -------------------------------------------

// The song arrives under its title, trailing blanks dropped, with its comment
// bytes. A copy leaves the floppy alone, catalogue included (lines 6 to 40
// hold text that only a rewrite would blank); a move empties the slot.
TEST_F(FolderDropTest, FloppySongArrivesUnderItsTitleAndAMoveEmptiesItsSlot) {
    MakeFloppy({{"One", "c one", kOld, ""},
                {"Blues   ", "live take", kBlues, kBluesEvents},
                {"Three", "c three", kDemo, ""}},
               "Leftover");
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const Snapshot arrived = Files({{"Blues.B00", kBlues}, {"Blues.EVT", kBluesEvents}, {"Blues.cmt", "live take"}});

    const DropResult copied = IntoFolder(old, false, BuildPayload(kFloppyType, {"1"}));
    EXPECT_TRUE(copied.taken);
    EXPECT_TRUE(copied.refillHardDiskList);
    EXPECT_FALSE(copied.rereadFloppy);
    EXPECT_EQ(TakeSnapshot(old), arrived);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);

    const std::string moved = Folder("Moved");
    const auto before = AllSongs();
    const DropResult result = IntoFolder(moved, true, BuildPayload(kFloppyType, {"1"}));
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_EQ(TakeSnapshot(moved), arrived);
    EXPECT_FALSE(floppyDir->Exists("MDR_01.B00"));
    EXPECT_FALSE(floppyDir->Exists("MDR_01.EVT"));
    // The lines beyond the fifth slot are the instrument's: they stay.
    EXPECT_EQ(floppyDir->Read("song.nam"), TitlesFile({"One", "", "Three", "", ""}, "Leftover"));
    EXPECT_EQ(floppyDir->Read("comments.dat"), CommentsFile({"c one", "", "c three", "", ""}, "Leftover"));
    EXPECT_EQ(AllSongs(), before);
    EXPECT_EQ(prompter.calls(), Calls{});
}

// A title becomes a UTF-8 file name; one that would be a path never writes
// outside the folder.
TEST_F(FolderDropTest, FloppyTitlesBecomeFileNamesInsideTheFolder) {
    MakeFloppy({{"", "untitled", SongData("0", 100), ""},
                {"\x96\xE9\x96\xBE\x82\xAF\x81\x40", "", SongData("1", 100), ""},   // 夜明け and a full-width blank
                {"a/b", "", SongData("2", 100), ""},
                {"..", "", SongData("3", 100), ""},
                {"../up", "", SongData("4", 100), ""}});
    auto outsideOld = [&] {
        Snapshot all = TakeSnapshot(disk.path());
        std::erase_if(all, [](const auto& entry) { return entry.first.rfind("Old/", 0) == 0; });
        return all;
    };
    const Snapshot outside = outsideOld();

    IntoFolder(old, true, BuildPayload(kFloppyType, {"0", "1", "2", "3", "4"}));

    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(old), (Files({{"MDR_00.B00", SongData("0", 100)}, {"MDR_00.cmt", "untitled"},
                                           {"夜明け.B00", SongData("1", 100)}, {"夜明け.cmt", ""},
                                           {"a／b.B00", SongData("2", 100)}, {"a／b.cmt", ""},
                                           {"MDR_03.B00", SongData("3", 100)}, {"MDR_03.cmt", ""},
                                           {"..／up.B00", SongData("4", 100)}, {"..／up.cmt", ""}})));
    EXPECT_EQ(outsideOld(), outside);
}

// Two songs of one title moved in one drop: the second must not replace the
// first that the drop just brought, or the first would be lost with its slot.
TEST_F(FolderDropTest, SecondSongOfTheSameTitleNeverReplacesTheFirstOfTheDrop) {
    MakeFloppy({{"Blues", "first", kBlues, ""}, {"Blues", "second", kDemo, ""}});
    const auto before = AllSongs();

    IntoFolder(old, true, BuildPayload(kFloppyType, {"0", "1"}));

    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_EQ(floppyDir->Read("MDR_01.B00"), kDemo);   // the second song stays in its slot
    EXPECT_FALSE(floppyDir->Exists("MDR_00.B00"));
    EXPECT_EQ(AllSongs(), before);
}

TEST_F(FolderDropTest, DecliningToReplaceKeepsTheFloppySongInItsSlot) {
    MakeFloppy({{"Blues", "live", kBlues, kBluesEvents}});
    PutSong(old, "Blues", kOld, "", "older");
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const Snapshot folder = TakeSnapshot(old);
    prompter.AnswerYesNo(false);

    const DropResult result = IntoFolder(old, true, BuildPayload(kFloppyType, {"0"}));

    EXPECT_EQ(prompter.calls(), Calls{OverwriteQuestion(old + "/Blues")});
    EXPECT_FALSE(result.rereadFloppy);
    EXPECT_FALSE(result.refillHardDiskList);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
    EXPECT_EQ(TakeSnapshot(old), folder);
}

// A song arrives with its comment or not at all, and a move takes nothing
// away from the floppy that did not arrive; the user is told.
TEST_F(FolderDropTest, SongWhoseCommentCannotBeWrittenStaysWholeOnTheFloppy) {
    MakeFloppy({{"Blues", "live", kBlues, ""}});
    ASSERT_EQ(::mkdir((old + "/Blues.cmt").c_str(), 0755), 0);
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    EXPECT_FALSE(IntoFolder(old, true, BuildPayload(kFloppyType, {"0"})).rereadFloppy);

    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_NE(prompter.calls()[0].text.find("Blues.cmt"), std::string::npos) << prompter.calls()[0].text;
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.cmt", "<dir>"}})));
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

// A folder or a link that bears a song's name is no song to replace: no
// question, nothing written through the link, and a move keeps the song.
TEST_F(FolderDropTest, NameTakenByAFolderOrALinkRefusesTheSongWithoutAQuestion) {
    MakeFloppy({{"Blues", "live", kBlues, ""}, {"Demo", "demo", kDemo, ""}});
    ASSERT_EQ(::mkdir((old + "/Blues.B00").c_str(), 0755), 0);
    WriteHostFile(disk.Path("outside.txt"), "not a song");
    ASSERT_EQ(::symlink(disk.Path("outside.txt").c_str(), (old + "/Demo.b00").c_str()), 0);
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const Snapshot everything = TakeSnapshot(disk.path());

    EXPECT_FALSE(IntoFolder(old, true, BuildPayload(kFloppyType, {"0", "1"})).rereadFloppy);

    ASSERT_EQ(prompter.calls().size(), 2u);
    for (const ScriptedPrompter::Call& call : prompter.calls()) EXPECT_EQ(call.kind, ScriptedPrompter::Kind::Message);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
    EXPECT_EQ(TakeSnapshot(disk.path()), everything);
}

// ---- drops that find nothing to do --------------------------------------------

// No folder under the drop point, text from another program, floppy songs
// without a floppy, hard-disk songs onto the list: nothing is asked or changed.
TEST_F(FolderDropTest, DropsThatFindNothingToDoChangeNothing) {
    MakeFloppy({{"Blues", "live", kBlues, kBluesEvents}});
    PutSong(songs, "Demo", kDemo, "", "demo");
    const Snapshot everything = TakeSnapshot(disk.path());
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const std::string floppySong = BuildPayload(kFloppyType, {"0"});
    const std::string hardDiskSong = HardDiskPayload({"Demo"});

    for (bool move : {false, true}) {
        for (const std::string& payload : {floppySong, hardDiskSong}) {
            EXPECT_FALSE(IntoFolder("", move, payload).taken);
            EXPECT_FALSE(OntoList("", move, payload).taken);
        }
        for (const std::string& payload :
             {std::string("hello\nworld"), std::string("HD\nDemo\nSongs/Demo\n/\n"), std::string("FD\n7\n-0\n 0\n"),
              std::string("fd\n0\n"), std::string(1 << 20, '\xFF')}) {
            SCOPED_TRACE(payload.substr(0, 20) + (move ? " (move)" : " (copy)"));
            EXPECT_FALSE(IntoFolder(old, move, payload).refillHardDiskList);
            EXPECT_FALSE(OntoList(old, move, payload).refillHardDiskList);
        }
        EXPECT_FALSE(OntoList(songs, move, hardDiskSong).refillHardDiskList);
        DropContext noFloppy{nullptr, rows, prompter, move};
        const DropResult result = DropIntoFolder(noFloppy, old, ParsePayload(floppySong));
        EXPECT_FALSE(result.rereadFloppy);
        EXPECT_FALSE(result.refillHardDiskList);
    }
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(disk.path()), everything);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

// ---- floppy songs onto the hard-disk list ------------------------------------

class HardDiskListDropTest : public FolderDropTest {
protected:
    void SetUp() override {
        MakeFloppy({{"Blues", "live take", kBlues, kBluesEvents},
                    {"Demo", "demo", kDemo, ""},
                    {"Three", "c three", SongData("3", 800), ""},
                    {"Four", "two words", SongData("4", 800), SongData("4 events", 80)},
                    {"Five", "\x82\xA0 five", SongData("5", 800), ""}},
                   "Leftover");
    }
};

// A copy leaves the catalogue alone; a move empties the songs' slots and
// leaves the others, and the lines beyond the fifth slot, as they are.
TEST_F(HardDiskListDropTest, FloppySongsLandInTheFolderAndAMoveEmptiesTheirSlots) {
    const DropResult copied = OntoList(old, false, BuildPayload(kFloppyType, {"0", "1"}));
    EXPECT_TRUE(copied.refillHardDiskList);
    EXPECT_FALSE(copied.rereadFloppy);
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.B00", kBlues}, {"Blues.EVT", kBluesEvents}, {"Blues.cmt", "live take"},
                                           {"Demo.B00", kDemo}, {"Demo.cmt", "demo"}})));
    EXPECT_EQ(FingerprintIfAny(floppyDir->Read("MDR_00.B00")), Fingerprint(kBlues));
    EXPECT_EQ(FingerprintIfAny(floppyDir->Read("MDR_00.EVT")), Fingerprint(kBluesEvents));
    EXPECT_EQ(FingerprintIfAny(floppyDir->Read("MDR_01.B00")), Fingerprint(kDemo));
    EXPECT_EQ(floppyDir->Read("song.nam"), TitlesFile({"Blues", "Demo", "Three", "Four", "Five"}, "Leftover"));
    EXPECT_EQ(floppyDir->Read("comments.dat"),
              CommentsFile({"live take", "demo", "c three", "two words", "\x82\xA0 five"}, "Leftover"));

    const std::string moved = Folder("Moved");
    const auto before = AllSongs();
    const DropResult result = OntoList(moved, true, BuildPayload(kFloppyType, {"0", "3"}));
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_EQ(TakeSnapshot(moved),
              (Files({{"Blues.B00", kBlues}, {"Blues.EVT", kBluesEvents}, {"Blues.cmt", "live take"},
                      {"Four.B00", SongData("4", 800)}, {"Four.EVT", SongData("4 events", 80)},
                      {"Four.cmt", "two words"}})));
    for (const char* gone : {"MDR_00.B00", "MDR_00.EVT", "MDR_03.B00", "MDR_03.EVT"}) {
        EXPECT_FALSE(floppyDir->Exists(gone)) << gone;
    }
    EXPECT_EQ(floppyDir->Read("song.nam"), TitlesFile({"", "Demo", "Three", "", "Five"}, "Leftover"));
    EXPECT_EQ(floppyDir->Read("comments.dat"), CommentsFile({"", "demo", "c three", "", "\x82\xA0 five"}, "Leftover"));
    EXPECT_EQ(AllSongs(), before);
    EXPECT_EQ(prompter.calls(), Calls{});
}

TEST_F(HardDiskListDropTest, ReadOnlyFolderRefusesTheCopiesAndAMoveDeletesNothing) {
    const std::string locked = ReadOnlyFolder();
    if (locked.empty()) GTEST_SKIP() << "cannot make a read-only folder here";
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    EXPECT_FALSE(OntoList(locked, true, BuildPayload(kFloppyType, {"0", "1"})).refillHardDiskList);

    ASSERT_EQ(prompter.calls().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(prompter.calls()[i].kind, ScriptedPrompter::Kind::Message);
        EXPECT_EQ(prompter.calls()[i].caption, "Error!");
        EXPECT_NE(prompter.calls()[i].text.find("MDR_0" + std::to_string(i) + ".B00"), std::string::npos)
            << prompter.calls()[i].text;
    }
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
    EXPECT_EQ(TakeSnapshot(locked), Snapshot{});
}

// ---- the file name of a floppy title ------------------------------------------

TEST(FolderNameForTitle, NameIsUtf8WithoutTrailingBlanksAndNeverLeavesTheFolder) {
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"Blues \t\x81\x40 \x81\x40", 1, "Blues"},   // blanks of both widths
        {" Blues", 1, " Blues"},
        {"Blues \x81\x40take", 1, "Blues \xE3\x80\x80take"},
        // Nothing left: the slot's name.
        {"", 0, "MDR_00"},
        {"   ", 3, "MDR_03"},
        {"\x81\x40\t", 4, "MDR_04"},
        {"\x96\xE9\x96\xBE\x82\xAF", 0, "夜明け"},
        {"\x83\x5C", 0, "ソ"},   // 0x5C as a trail byte is no backslash
        {"\xB1\xC3\xDE", 0, "ｱﾃﾞ"},
        {".", 2, "MDR_02"},
        {"..", 2, "MDR_02"},
        {".. ", 2, "MDR_02"},
        {"...", 2, "..."},
        {"a/b", 2, "a\xEF\xBC\x8F" "b"},
        {"/", 2, "\xEF\xBC\x8F"},
        {"../../etc", 2, "..\xEF\xBC\x8F..\xEF\xBC\x8F" "etc"},
    };
    for (const auto& [title, slot, name] : cases) EXPECT_EQ(FolderNameForTitle(title, slot), name) << title;
}

}  // namespace
}  // namespace tunecrate
