// SPDX-License-Identifier: MIT
#include "core/FolderDrop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "ScriptedPrompter.h"
#include "SongDisk.h"
#include "TempDir.h"
#include "core/DragPayload.h"

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

std::string OverwriteQuestion(const std::string& base) {
    return "ファイル " + base + " はすでに存在します。上書きしますか？";
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

TEST_F(FolderDropTest, CopiedSongsAppearInTheFolderAndStayInTheirOwn) {
    MakeFloppy({{"Floppy", "f", kOld, ""}});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live take");
    PutSong(songs, "Demo", kDemo);
    const Snapshot hardDisk = TakeSnapshot(songs);
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    const DropResult result = IntoFolder(old, false, HardDiskPayload({"Blues", "Demo"}));

    EXPECT_TRUE(result.taken);
    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_FALSE(result.rereadFloppy);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.B00", kBlues},
                                           {"Blues.EVT", kBluesEvents},
                                           {"Blues.cmt", "live take"},
                                           {"Demo.B00", kDemo}})));
    EXPECT_EQ(TakeSnapshot(songs), hardDisk);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

TEST_F(FolderDropTest, MovedSongsLeaveTheirFolderWithEveryFile) {
    MakeFloppy({});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live take");
    // Written elsewhere with other cases of the extensions: still one song.
    WriteHostFile(songs + "/Demo.b00", kDemo);
    WriteHostFile(songs + "/Demo.evt", SongData("Demo events", 300));
    WriteHostFile(songs + "/Demo.CMT", "demo");
    const auto before = AllSongs();

    const DropResult result = IntoFolder(old, true, HardDiskPayload({"Blues", "Demo"}));

    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(songs), Snapshot{});
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.B00", kBlues},
                                           {"Blues.EVT", kBluesEvents},
                                           {"Blues.cmt", "live take"},
                                           {"Demo.B00", kDemo},
                                           {"Demo.EVT", SongData("Demo events", 300)},
                                           {"Demo.cmt", "demo"}})));
    EXPECT_EQ(AllSongs(), before);
}

TEST_F(FolderDropTest, DecliningToReplaceASongOfTheSameNameLeavesBothWhereTheyAre) {
    MakeFloppy({});
    PutSong(old, "Blues", kOld, "", "older");
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live");
    PutSong(songs, "Demo", kDemo);
    const auto before = AllSongs();
    prompter.AnswerYesNo(false);

    const DropResult result = IntoFolder(old, true, HardDiskPayload({"Blues", "Demo"}));

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::YesNo(OverwriteQuestion(old + "/Blues"), "Overwrite?")});
    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_EQ(TakeSnapshot(old),
              (Files({{"Blues.B00", kOld}, {"Blues.cmt", "older"}, {"Demo.B00", kDemo}})));
    // The declined song stays in its folder, though the drop moved.
    EXPECT_EQ(TakeSnapshot(songs),
              (Files({{"Blues.B00", kBlues}, {"Blues.EVT", kBluesEvents}, {"Blues.cmt", "live"}})));
    EXPECT_EQ(AllSongs(), before);
}

TEST_F(FolderDropTest, AcceptingToReplaceASongOfTheSameNameMovesTheNewOne) {
    MakeFloppy({});
    PutSong(old, "Blues", kOld, "", "older");
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live");
    prompter.AnswerYesNo(true);

    IntoFolder(old, true, HardDiskPayload({"Blues"}));

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::YesNo(OverwriteQuestion(old + "/Blues"), "Overwrite?")});
    EXPECT_EQ(TakeSnapshot(old),
              (Files({{"Blues.B00", kBlues}, {"Blues.EVT", kBluesEvents}, {"Blues.cmt", "live"}})));
    EXPECT_EQ(TakeSnapshot(songs), Snapshot{});
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

    const DropResult result = IntoFolder(locked, true, HardDiskPayload({"Blues"}));

    EXPECT_FALSE(result.refillHardDiskList);
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_NE(prompter.calls()[0].text.find("Blues.B00"), std::string::npos) << prompter.calls()[0].text;
    EXPECT_EQ(TakeSnapshot(songs), hardDisk);
    EXPECT_EQ(TakeSnapshot(locked), Snapshot{});
}

// ---- floppy songs into a folder -------------------------------------------

TEST_F(FolderDropTest, FloppySongArrivesUnderItsTitleWithItsCommentBytes) {
    // Lines 6 to 40 hold text that only a catalogue rewrite would blank.
    MakeFloppy({{"Other", "x", kOld, ""}, {"Blues   ", "live take", kBlues, kBluesEvents}}, "Leftover");
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    const DropResult result = IntoFolder(old, false, BuildPayload(kFloppyType, {"1"}));

    EXPECT_TRUE(result.taken);
    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_FALSE(result.rereadFloppy);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.B00", kBlues},
                                           {"Blues.EVT", kBluesEvents},
                                           {"Blues.cmt", "live take"}})));
    // A copy leaves the floppy alone, catalogue included.
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

TEST_F(FolderDropTest, FloppyTitlesBecomeFileNamesOfTheFolder) {
    MakeFloppy({{"", "untitled", kOld, ""},
                {"\x96\xE9\x96\xBE\x82\xAF\x81\x40", "", kBlues, ""},   // 夜明け and a full-width blank
                {"\x83\x5C\x83\x8A\x83\x58\x83\x67", "", kDemo, ""}});   // ソリスト, 0x5C as a trail byte

    IntoFolder(old, false, BuildPayload(kFloppyType, {"0", "1", "2"}));

    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(old), (Files({{"MDR_00.B00", kOld},
                                           {"MDR_00.cmt", "untitled"},
                                           {"夜明け.B00", kBlues},
                                           {"夜明け.cmt", ""},
                                           {"ソリスト.B00", kDemo},
                                           {"ソリスト.cmt", ""}})));
}

TEST_F(FolderDropTest, TitleThatWouldBeAPathNeverWritesOutsideTheFolder) {
    MakeFloppy({{"a/b", "", SongData("0", 100), ""},
                {".", "", SongData("1", 100), ""},
                {"..", "", SongData("2", 100), ""},
                {"../up", "", SongData("3", 100), ""},
                {"/", "", SongData("4", 100), ""}});
    auto outsideOld = [&] {
        Snapshot all = TakeSnapshot(disk.path());
        std::erase_if(all, [](const auto& entry) { return entry.first.rfind("Old/", 0) == 0; });
        return all;
    };
    const Snapshot outside = outsideOld();

    IntoFolder(old, true, BuildPayload(kFloppyType, {"0", "1", "2", "3", "4"}));

    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(old), (Files({{"a／b.B00", SongData("0", 100)},
                                           {"a／b.cmt", ""},
                                           {"MDR_01.B00", SongData("1", 100)},
                                           {"MDR_01.cmt", ""},
                                           {"MDR_02.B00", SongData("2", 100)},
                                           {"MDR_02.cmt", ""},
                                           {"..／up.B00", SongData("3", 100)},
                                           {"..／up.cmt", ""},
                                           {"／.B00", SongData("4", 100)},
                                           {"／.cmt", ""}})));
    EXPECT_EQ(outsideOld(), outside);
}

TEST_F(FolderDropTest, FloppySongMovedIntoAFolderEmptiesItsSlot) {
    MakeFloppy({{"One", "c one", SongData("1", 900), ""},
                {"Two", "c two", SongData("2", 900), SongData("2 events", 90)},
                {"Blues", "live take", kBlues, kBluesEvents},
                {"Four", "c four", SongData("4", 900), ""},
                {"Five", "c five", SongData("5", 900), ""}});
    const auto before = AllSongs();

    const DropResult result = IntoFolder(old, true, BuildPayload(kFloppyType, {"2"}));

    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.B00", kBlues},
                                           {"Blues.EVT", kBluesEvents},
                                           {"Blues.cmt", "live take"}})));
    EXPECT_FALSE(floppyDir->Exists("MDR_02.B00"));
    EXPECT_FALSE(floppyDir->Exists("MDR_02.EVT"));
    EXPECT_EQ(floppyDir->Read("song.nam"), TitlesFile({"One", "Two", "", "Four", "Five"}));
    EXPECT_EQ(floppyDir->Read("comments.dat"), CommentsFile({"c one", "c two", "", "c four", "c five"}));
    EXPECT_EQ(AllSongs(), before);
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

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::YesNo(OverwriteQuestion(old + "/Blues"), "Overwrite?")});
    EXPECT_FALSE(result.rereadFloppy);
    EXPECT_FALSE(result.refillHardDiskList);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
    EXPECT_EQ(TakeSnapshot(old), folder);
}

// Without its comment file the song still arrives; the user is told.
TEST_F(FolderDropTest, CommentFileThatCannotBeWrittenDoesNotStopTheSong) {
    MakeFloppy({{"Blues", "live", kBlues, ""}});
    ASSERT_EQ(::mkdir((old + "/Blues.cmt").c_str(), 0755), 0);

    const DropResult result = IntoFolder(old, true, BuildPayload(kFloppyType, {"0"}));

    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_NE(prompter.calls()[0].text.find("Blues.cmt"), std::string::npos) << prompter.calls()[0].text;
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.B00", kBlues}, {"Blues.cmt", "<dir>"}})));
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_FALSE(floppyDir->Exists("MDR_00.B00"));
}

// ---- drops that find nothing to do --------------------------------------------

TEST_F(FolderDropTest, DropThatFindsNoFolderIsRefused) {
    MakeFloppy({{"Blues", "live", kBlues, ""}});
    PutSong(songs, "Demo", kDemo);
    const Snapshot everything = TakeSnapshot(disk.path());
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    for (bool move : {false, true}) {
        for (const std::string& payload : {BuildPayload(kFloppyType, {"0"}), HardDiskPayload({"Demo"})}) {
            EXPECT_FALSE(IntoFolder("", move, payload).taken);
            EXPECT_FALSE(OntoList("", move, payload).taken);
        }
    }
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(disk.path()), everything);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

TEST_F(FolderDropTest, TextFromAnotherProgramChangesNothing) {
    MakeFloppy({{"Blues", "live", kBlues, kBluesEvents}});
    PutSong(songs, "Demo", kDemo, "", "demo");
    const Snapshot everything = TakeSnapshot(disk.path());
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    for (const std::string& payload :
         {std::string("hello\nworld"), std::string("HD\nDemo\nSongs/Demo\n/\n"), std::string("FD\n7\n-0\n 0\n"),
          std::string("fd\n0\n"), std::string(1 << 20, '\xFF')}) {
        for (bool move : {false, true}) {
            SCOPED_TRACE(payload.substr(0, 20) + (move ? " (move)" : " (copy)"));
            IntoFolder(old, move, payload);
            OntoList(old, move, payload);
            EXPECT_EQ(prompter.calls(), Calls{});
            EXPECT_EQ(TakeSnapshot(disk.path()), everything);
            EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
        }
    }
}

TEST_F(FolderDropTest, FloppyPayloadWithoutAFloppyChangesNothing) {
    MakeFloppy({{"Blues", "live", kBlues, ""}});
    DropContext context{nullptr, rows, prompter, true};

    const DropResult result = DropIntoFolder(context, old, ParsePayload(BuildPayload(kFloppyType, {"0"})));

    EXPECT_FALSE(result.rereadFloppy);
    EXPECT_FALSE(result.refillHardDiskList);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(old), Snapshot{});
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

TEST_F(HardDiskListDropTest, CopiedFloppySongsLandInTheFolderAndTheCatalogueIsRewritten) {
    const DropResult result = OntoList(old, false, BuildPayload(kFloppyType, {"0", "1"}));

    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_FALSE(result.rereadFloppy);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.B00", kBlues},
                                           {"Blues.EVT", kBluesEvents},
                                           {"Blues.cmt", "live take"},
                                           {"Demo.B00", kDemo},
                                           {"Demo.cmt", "demo"}})));
    EXPECT_EQ(FingerprintIfAny(floppyDir->Read("MDR_00.B00")), Fingerprint(kBlues));
    EXPECT_EQ(FingerprintIfAny(floppyDir->Read("MDR_00.EVT")), Fingerprint(kBluesEvents));
    EXPECT_EQ(FingerprintIfAny(floppyDir->Read("MDR_01.B00")), Fingerprint(kDemo));
    // Rewritten from the rows: the leftovers on lines 6 to 40 are gone.
    EXPECT_EQ(floppyDir->Read("song.nam"), TitlesFile({"Blues", "Demo", "Three", "Four", "Five"}));
    EXPECT_EQ(floppyDir->Read("comments.dat"),
              CommentsFile({"live take", "demo", "c three", "two words", "\x82\xA0 five"}));
}

TEST_F(HardDiskListDropTest, MovedFloppySongsEmptyTheirSlotsAndLeaveTheOtherSlotsAlone) {
    const auto before = AllSongs();

    const DropResult result = OntoList(old, true, BuildPayload(kFloppyType, {"0", "3"}));

    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(old), (Files({{"Blues.B00", kBlues},
                                           {"Blues.EVT", kBluesEvents},
                                           {"Blues.cmt", "live take"},
                                           {"Four.B00", SongData("4", 800)},
                                           {"Four.EVT", SongData("4 events", 80)},
                                           {"Four.cmt", "two words"}})));
    for (const char* gone : {"MDR_00.B00", "MDR_00.EVT", "MDR_03.B00", "MDR_03.EVT"}) {
        EXPECT_FALSE(floppyDir->Exists(gone)) << gone;
    }
    EXPECT_EQ(floppyDir->Read("song.nam"), TitlesFile({"", "Demo", "Three", "", "Five"}));
    EXPECT_EQ(floppyDir->Read("comments.dat"), CommentsFile({"", "demo", "c three", "", "\x82\xA0 five"}));
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].state, SlotState::EmptySlot);
    EXPECT_EQ(after[3].state, SlotState::EmptySlot);
    EXPECT_EQ(after[1].title, "Demo");
}

TEST_F(HardDiskListDropTest, HardDiskSongsDroppedOnTheListChangeNoFile) {
    PutSong(songs, "Other", kOld, "", "other");
    const Snapshot everything = TakeSnapshot(disk.path());
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    for (bool move : {false, true}) {
        const DropResult result = OntoList(songs, move, HardDiskPayload({"Other"}));
        EXPECT_FALSE(result.refillHardDiskList);
    }

    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(disk.path()), everything);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

TEST_F(HardDiskListDropTest, ReadOnlyFolderRefusesTheCopiesAndAMoveDeletesNothing) {
    const std::string locked = ReadOnlyFolder();
    if (locked.empty()) GTEST_SKIP() << "cannot make a read-only folder here";
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    const DropResult result = OntoList(locked, true, BuildPayload(kFloppyType, {"0", "1"}));

    EXPECT_FALSE(result.refillHardDiskList);
    ASSERT_EQ(prompter.calls().size(), 2u);
    for (const ScriptedPrompter::Call& call : prompter.calls()) {
        EXPECT_EQ(call.kind, ScriptedPrompter::Kind::Message);
        EXPECT_EQ(call.caption, "Error!");
    }
    EXPECT_NE(prompter.calls()[0].text.find("MDR_00.B00"), std::string::npos) << prompter.calls()[0].text;
    EXPECT_NE(prompter.calls()[1].text.find("MDR_01.B00"), std::string::npos) << prompter.calls()[1].text;
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
    EXPECT_EQ(TakeSnapshot(locked), Snapshot{});
}

// ---- the file name of a floppy title ------------------------------------------

TEST(FolderNameForTitle, TrailingBlanksOfBothWidthsAreNotPartOfTheName) {
    EXPECT_EQ(FolderNameForTitle("Blues \t\x81\x40 \x81\x40", 1), "Blues");
    EXPECT_EQ(FolderNameForTitle(" Blues", 1), " Blues");
    EXPECT_EQ(FolderNameForTitle("Blues \x81\x40take", 1), "Blues \xE3\x80\x80take");
    // Nothing left: the slot's name.
    EXPECT_EQ(FolderNameForTitle("", 0), "MDR_00");
    EXPECT_EQ(FolderNameForTitle("   ", 3), "MDR_03");
    EXPECT_EQ(FolderNameForTitle("\x81\x40\t", 4), "MDR_04");
}

TEST(FolderNameForTitle, NameIsUtf8AndNeverLeavesTheFolder) {
    EXPECT_EQ(FolderNameForTitle("\x96\xE9\x96\xBE\x82\xAF", 0), "夜明け");
    EXPECT_EQ(FolderNameForTitle("\x83\x5C", 0), "ソ");   // 0x5C as a trail byte is no backslash
    EXPECT_EQ(FolderNameForTitle("\xB1\xC3\xDE", 0), "ｱﾃﾞ");
    EXPECT_EQ(FolderNameForTitle(".", 2), "MDR_02");
    EXPECT_EQ(FolderNameForTitle("..", 2), "MDR_02");
    EXPECT_EQ(FolderNameForTitle(".. ", 2), "MDR_02");
    EXPECT_EQ(FolderNameForTitle("...", 2), "...");
    EXPECT_EQ(FolderNameForTitle("a/b", 2), "a\xEF\xBC\x8F" "b");
    EXPECT_EQ(FolderNameForTitle("/", 2), "\xEF\xBC\x8F");
    EXPECT_EQ(FolderNameForTitle("../../etc", 2), "..\xEF\xBC\x8F..\xEF\xBC\x8F" "etc");
}

}  // namespace
}  // namespace tunecrate
