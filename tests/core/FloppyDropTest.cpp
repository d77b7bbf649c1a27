// SPDX-License-Identifier: MIT
#include "core/FloppyDrop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ScriptedPrompter.h"
#include "SongDisk.h"
#include "TempDir.h"
#include "core/DragPayload.h"

namespace tunecrate {
namespace {

using testing::CatalogueLine;
using testing::Fingerprint;
using testing::FingerprintIfAny;
using testing::Repeat;
using testing::ScriptedPrompter;
using testing::SongChecksums;
using testing::SongData;
using testing::Snapshot;
using testing::TakeSnapshot;
using testing::TempDir;
using testing::TmpfsMount;
using Calls = std::vector<ScriptedPrompter::Call>;

const std::string kLimitMessage = "5個以上のファイルは格納できません。";
const std::string kDiskFullMessage = "ディスクがいっぱいです！";

std::string OverwriteQuestion(int songNumber) {
    return "曲番号" + std::to_string(songNumber) + " はすでに存在します。上書きしますか？";
}

// The names in a snapshot, for checking that no stray file was left.
std::set<std::string> Names(const Snapshot& snapshot) {
    std::set<std::string> names;
    for (const auto& [name, bytes] : snapshot) names.insert(name);
    return names;
}

class FloppyDropTest : public testing::TransferTest {
protected:
    DropResult Drop(std::optional<int> targetSlot, bool move, std::string_view payload) {
        DropContext context = Context(move);
        return DropOntoFloppyList(context, targetSlot, ParsePayload(payload));
    }

    // A drag of hard-disk songs of the Songs folder.
    std::string HardDiskPayload(const std::vector<std::string>& titles) const {
        std::vector<std::string> items;
        for (const std::string& title : titles) items.push_back(songs + "/" + title);
        return BuildPayload(kHardDiskType, items);
    }

    // The fingerprint of a floppy file, nullopt when it is missing.
    std::optional<std::string> OnFloppy(std::string_view name) const { return FingerprintIfAny(floppyDir->Read(name)); }

    std::multiset<std::string> AllSongs() const { return SongChecksums({floppyDir->path(), songs}); }

    const std::string songs = Folder("Songs");

    const std::string kBlues = SongData("Blues", 5000);
    const std::string kBluesEvents = SongData("Blues events", 700);
    const std::string kDemo = SongData("Demo", 3000);
    const std::string kOld = SongData("Old", 4000);
    const std::string kOldEvents = SongData("Old events", 500);
};

// ---- hard-disk songs onto the floppy ----------------------------------------

TEST_F(FloppyDropTest, CopiedSongsFillTheSlotsFromTheTargetRowOn) {
    MakeFloppy({{"Old", "keep", kOld, ""}});
    const std::string dawn = SongData("Dawn", 2500);
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live take");
    PutSong(songs, "夜明け", dawn, "", "  dawn\tslow");
    const Snapshot hardDisk = TakeSnapshot(songs);

    const DropResult result = Drop(1, false, HardDiskPayload({"Blues", "夜明け"}));

    EXPECT_TRUE(result.taken);
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_FALSE(result.refillHardDiskList);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(OnFloppy("MDR_01.B00"), Fingerprint(kBlues));
    EXPECT_EQ(OnFloppy("MDR_01.EVT"), Fingerprint(kBluesEvents));
    EXPECT_EQ(OnFloppy("MDR_02.B00"), Fingerprint(dawn));
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kOld));
    EXPECT_EQ(Names(TakeSnapshot(floppyDir->path())),
              (std::set<std::string>{"MDR_00.B00", "MDR_01.B00", "MDR_01.EVT", "MDR_02.B00", "comments.dat",
                                     "song.nam"}));
    EXPECT_EQ(TakeSnapshot(songs), hardDisk);

    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "Old");
    EXPECT_EQ(after[0].comment, "keep");
    EXPECT_EQ(after[1].title, "Blues");
    EXPECT_EQ(after[1].comment, "live");   // a comment file's first word
    EXPECT_EQ(after[1].state, SlotState::FullSong);
    EXPECT_EQ(after[2].title, "\x96\xE9\x96\xBE\x82\xAF");   // 夜明け in CP932
    EXPECT_EQ(after[2].comment, "dawn");
    EXPECT_EQ(after[2].state, SlotState::PartialSong);
    EXPECT_EQ(after[3].state, SlotState::EmptySlot);
}

TEST_F(FloppyDropTest, MovedSongsLeaveTheHardDiskAndArriveWhole) {
    MakeFloppy({});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live take");
    PutSong(songs, "Demo", kDemo, "", "demo");
    const auto before = AllSongs();

    const DropResult result = Drop(1, true, HardDiskPayload({"Blues", "Demo"}));

    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(OnFloppy("MDR_01.B00"), Fingerprint(kBlues));
    EXPECT_EQ(OnFloppy("MDR_01.EVT"), Fingerprint(kBluesEvents));
    EXPECT_EQ(OnFloppy("MDR_02.B00"), Fingerprint(kDemo));
    // Song, events and comment file: nothing of either song stays behind.
    EXPECT_EQ(TakeSnapshot(songs), Snapshot{});
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[1].title, "Blues");
    EXPECT_EQ(after[1].comment, "live");
    EXPECT_EQ(after[2].title, "Demo");
    EXPECT_EQ(after[2].comment, "demo");
}

TEST_F(FloppyDropTest, SongsPastTheFifthSlotStopWithTheLimitMessageAndStayOnTheHardDisk) {
    MakeFloppy({});
    PutSong(songs, "A", SongData("A", 1000), "", "a");
    PutSong(songs, "B", SongData("B", 1000), SongData("B events", 100), "b");
    PutSong(songs, "C", SongData("C", 1000), SongData("C events", 100), "c");
    const auto before = AllSongs();

    const DropResult result = Drop(3, true, HardDiskPayload({"A", "B", "C"}));

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::Message(kLimitMessage, "Error!")});
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_EQ(OnFloppy("MDR_03.B00"), Fingerprint(SongData("A", 1000)));
    EXPECT_EQ(OnFloppy("MDR_04.B00"), Fingerprint(SongData("B", 1000)));
    EXPECT_EQ(OnFloppy("MDR_04.EVT"), Fingerprint(SongData("B events", 100)));
    EXPECT_EQ(Names(TakeSnapshot(floppyDir->path())),
              (std::set<std::string>{"MDR_03.B00", "MDR_04.B00", "MDR_04.EVT", "comments.dat", "song.nam"}));
    // The song that found no slot keeps every file, though the drop moved.
    EXPECT_EQ(Names(TakeSnapshot(songs)), (std::set<std::string>{"C.B00", "C.EVT", "C.cmt"}));
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[3].title, "A");
    EXPECT_EQ(after[4].title, "B");
    EXPECT_EQ(after[4].comment, "b");
}

TEST_F(FloppyDropTest, DecliningTheOverwriteKeepsTheSlotAndUsesItUp) {
    MakeFloppy({{"Old", "keep", kOld, kOldEvents}});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live");
    PutSong(songs, "Demo", kDemo, "", "demo");
    const auto before = AllSongs();
    prompter.AnswerYesNo(false);

    Drop(0, true, HardDiskPayload({"Blues", "Demo"}));

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::YesNo(OverwriteQuestion(1), "Overwrite?")});
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kOld));
    EXPECT_EQ(OnFloppy("MDR_00.EVT"), Fingerprint(kOldEvents));
    // The declined song's slot is used up: the next song goes to the next slot.
    EXPECT_EQ(OnFloppy("MDR_01.B00"), Fingerprint(kDemo));
    EXPECT_FALSE(floppyDir->Exists("MDR_02.B00"));
    // A move keeps the sources of the song that was declined.
    EXPECT_EQ(Names(TakeSnapshot(songs)), (std::set<std::string>{"Blues.B00", "Blues.EVT", "Blues.cmt"}));
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "Old");
    EXPECT_EQ(after[0].comment, "keep");
    EXPECT_EQ(after[1].title, "Demo");
}

TEST_F(FloppyDropTest, AcceptingTheOverwriteReplacesEveryFileOfTheSlot) {
    MakeFloppy({{"Old", "keep", kOld, kOldEvents}});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "new");
    prompter.AnswerYesNo(true);

    const DropResult result = Drop(0, false, HardDiskPayload({"Blues"}));

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::YesNo(OverwriteQuestion(1), "Overwrite?")});
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kBlues));
    EXPECT_EQ(OnFloppy("MDR_00.EVT"), Fingerprint(kBluesEvents));
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "Blues");
    EXPECT_EQ(after[0].comment, "new");
}

TEST_F(FloppyDropTest, SongWithoutEventsFileLeavesNoOldEventsInTheSlot) {
    MakeFloppy({});
    // Written by another system in lower case: still the same slot.
    floppyDir->Write("mdr_00.b00", kOld);
    floppyDir->Write("mdr_00.evt", kOldEvents);
    PutSong(songs, "Demo", kDemo, "", std::nullopt);
    prompter.AnswerYesNo(true);

    Drop(0, false, HardDiskPayload({"Demo"}));

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::YesNo(OverwriteQuestion(1), "Overwrite?")});
    EXPECT_EQ(Names(TakeSnapshot(floppyDir->path())),
              (std::set<std::string>{"comments.dat", "mdr_00.b00", "song.nam"}));
    EXPECT_EQ(OnFloppy("mdr_00.b00"), Fingerprint(kDemo));
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].state, SlotState::PartialSong);
    EXPECT_EQ(after[0].title, "Demo");
    EXPECT_EQ(after[0].comment, "");   // no comment file: no comment
}

TEST_F(FloppyDropTest, LongTitleIsCutOnACharacterBoundaryInTheCatalogue) {
    MakeFloppy({});
    // 14 single-byte and three two-byte characters: 20 bytes in CP932, and
    // byte 17 is the first half of い.
    PutSong(songs, "abcdefghijklmnあいう", kBlues);

    Drop(0, false, HardDiskPayload({"abcdefghijklmnあいう"}));

    EXPECT_EQ(prompter.calls(), Calls{});
    const std::string titles = floppyDir->Read("song.nam").value_or("");
    EXPECT_EQ(titles.size(), 40u * 19u);
    EXPECT_EQ(CatalogueLine(titles, 1), "abcdefghijklmn\x82\xA0 ");
    EXPECT_EQ(CatalogueLine(titles, 2), std::string(17, ' '));
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "abcdefghijklmn\x82\xA0");
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kBlues));
}

TEST_F(FloppyDropTest, TitleCharacterThatCp932LacksBecomesAQuestionMark) {
    MakeFloppy({});
    PutSong(songs, "Snow☃Day", kBlues, "", "cold");

    Drop(0, false, HardDiskPayload({"Snow☃Day"}));

    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kBlues));
    EXPECT_EQ(CatalogueLine(floppyDir->Read("song.nam").value_or(""), 1), "Snow?Day         ");
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "Snow?Day");
    EXPECT_EQ(after[0].comment, "cold");
}

TEST_F(FloppyDropTest, HardDiskItemsThatNameNoSongChangeNothing) {
    MakeFloppy({{"Old", "keep", kOld, ""}});
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    const DropResult result =
        Drop(0, true, "HD\n" + songs + "/Ghost\nrelative/Blues\n/\n" + songs + "/..\n");

    // Only the absolute path with a title is looked for, and reported missing.
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_NE(prompter.calls()[0].text.find(songs + "/Ghost.B00"), std::string::npos) << prompter.calls()[0].text;
    EXPECT_FALSE(result.rereadFloppy);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

// A source folder the user may read but not change: the song arrives, the
// failed deletions are reported and the sources stay.
TEST_F(FloppyDropTest, MovedSourcesThatCannotBeDeletedAreReportedAndKept) {
    TmpfsMount source("size=1m");
    if (!source.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    MakeFloppy({});
    PutSong(source.dir().path(), "Blues", kBlues, kBluesEvents, "live");
    ASSERT_TRUE(source.RemountReadOnly());
    const Snapshot hardDisk = TakeSnapshot(source.dir().path());

    DropContext context = Context(true);
    DropOntoFloppyList(context, 0, ParsePayload(BuildPayload(kHardDiskType, {source.dir().Path("Blues")})));

    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kBlues));
    EXPECT_EQ(OnFloppy("MDR_00.EVT"), Fingerprint(kBluesEvents));
    EXPECT_EQ(TakeSnapshot(source.dir().path()), hardDisk);
    ASSERT_EQ(prompter.calls().size(), 3u);   // song, events and comment file
    for (const ScriptedPrompter::Call& call : prompter.calls()) {
        EXPECT_EQ(call.caption, "Error!");
        EXPECT_EQ(call.text.rfind("Cannot delete " + source.dir().Path("Blues."), 0), 0u) << call.text;
    }
}

// A floppy that cannot be written: every copy fails, the second copy after
// "Yes" included, and a move deletes none of the sources.
TEST_F(FloppyDropTest, FailedCopiesOntoAReadOnlyFloppyKeepEverySource) {
    TmpfsMount readOnly("size=1m");
    if (!readOnly.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    UseFloppy(readOnly.dir());
    MakeFloppy({{"Old", "keep", kOld, kOldEvents}});
    ASSERT_TRUE(readOnly.RemountReadOnly());
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live");
    PutSong(songs, "Demo", kDemo, "", "demo");
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const Snapshot hardDisk = TakeSnapshot(songs);
    prompter.AnswerYesNo(true);

    Drop(0, true, HardDiskPayload({"Blues", "Demo"}));

    EXPECT_EQ(TakeSnapshot(songs), hardDisk);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
    ASSERT_GE(prompter.calls().size(), 3u);
    EXPECT_EQ(prompter.calls()[0], ScriptedPrompter::YesNo(OverwriteQuestion(1), "Overwrite?"));
    bool toldBlues = false, toldDemo = false;
    for (std::size_t i = 1; i < prompter.calls().size(); ++i) {
        const ScriptedPrompter::Call& call = prompter.calls()[i];
        EXPECT_EQ(call.kind, ScriptedPrompter::Kind::Message);
        EXPECT_EQ(call.caption, "Error!");
        toldBlues = toldBlues || call.text.find("Blues.B00") != std::string::npos;
        toldDemo = toldDemo || call.text.find("Demo.B00") != std::string::npos;
    }
    EXPECT_TRUE(toldBlues) << "the failed replacement of slot 1 was not reported";
    EXPECT_TRUE(toldDemo) << "the failed copy into slot 2 was not reported";
}

// The per-song step tells the drop exactly which sources a move may delete.
TEST_F(FloppyDropTest, EachSongListsExactlyTheSourcesThatArrived) {
    MakeFloppy({{"Old", "keep", kOld, ""}});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live take");
    PutSong(songs, "Demo", kDemo);
    DropContext context = Context(true);
    DropState state;
    auto names = [&] {
        std::vector<std::string> moved;
        for (const MovedFile& file : state.MovedFiles) {
            EXPECT_FALSE(file.onFloppy) << file.name;
            moved.push_back(file.name);
        }
        return moved;
    };

    prompter.AnswerYesNo(false);
    EXPECT_EQ(CopyHardDiskSongToSlot(context, state, songs + "/Blues", 0), TransferResult::Skipped);
    EXPECT_EQ(names(), std::vector<std::string>{});
    EXPECT_FALSE(state.Transferred);

    EXPECT_EQ(CopyHardDiskSongToSlot(context, state, songs + "/Blues", 1), TransferResult::Copied);
    EXPECT_EQ(names(), (std::vector<std::string>{songs + "/Blues.B00", songs + "/Blues.EVT", songs + "/Blues.cmt"}));
    EXPECT_TRUE(state.Transferred);
    EXPECT_EQ(rows[1].title, "Blues");
    EXPECT_EQ(rows[1].comment, "live");

    EXPECT_EQ(CopyHardDiskSongToSlot(context, state, songs + "/Demo", 2), TransferResult::Copied);
    EXPECT_EQ(names().size(), 4u);
    EXPECT_EQ(names().back(), songs + "/Demo.B00");
    EXPECT_EQ(rows[2].comment, "");
    EXPECT_EQ(rows[0].title, "Old");
}

// ---- floppy songs onto other slots -------------------------------------------

TEST_F(FloppyDropTest, MovedFloppySongTakesItsFilesTitleAndCommentToTheNewSlot) {
    MakeFloppy({{"Blues", "live", kBlues, kBluesEvents}, {"Demo", "demo", kDemo, ""}});
    const auto before = AllSongs();

    const DropResult result = Drop(2, true, BuildPayload(kFloppyType, {"0"}));

    EXPECT_TRUE(result.taken);
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(OnFloppy("MDR_02.B00"), Fingerprint(kBlues));
    EXPECT_EQ(OnFloppy("MDR_02.EVT"), Fingerprint(kBluesEvents));
    EXPECT_FALSE(floppyDir->Exists("MDR_00.B00"));
    EXPECT_FALSE(floppyDir->Exists("MDR_00.EVT"));
    EXPECT_EQ(OnFloppy("MDR_01.B00"), Fingerprint(kDemo));
    EXPECT_EQ(AllSongs(), before);
    const std::string titles = floppyDir->Read("song.nam").value_or("");
    EXPECT_EQ(CatalogueLine(titles, 1), std::string(17, ' '));
    EXPECT_EQ(CatalogueLine(titles, 3), "Blues            ");
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "");
    EXPECT_EQ(after[0].comment, "");
    EXPECT_EQ(after[0].state, SlotState::EmptySlot);
    EXPECT_EQ(after[1].title, "Demo");
    EXPECT_EQ(after[1].comment, "demo");
    EXPECT_EQ(after[2].title, "Blues");
    EXPECT_EQ(after[2].comment, "live");
    EXPECT_EQ(after[2].state, SlotState::FullSong);
}

// The documented form without staging reads the song from its slot.
TEST_F(FloppyDropTest, FloppySongCopiedWithoutStagingIsReadFromItsSlot) {
    MakeFloppy({{"Blues", "live", kBlues, kBluesEvents}});
    DropContext context = Context(false);
    DropState state;

    EXPECT_EQ(CopyFloppySongToSlot(context, state, 0, 2, rows[0], ""), TransferResult::Copied);

    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(OnFloppy("MDR_02.B00"), Fingerprint(kBlues));
    EXPECT_EQ(OnFloppy("MDR_02.EVT"), Fingerprint(kBluesEvents));
    EXPECT_EQ(rows[2].title, "Blues");
    EXPECT_EQ(rows[2].comment, "live");
    EXPECT_TRUE(state.Transferred);
}

class OverlappingFloppyDropTest : public FloppyDropTest {
protected:
    void SetUp() override {
        MakeFloppy({{"Song1", "one", kSong1, kSong1Events}, {"Song2", "two", kSong2, ""}});
        before = AllSongs();
    }
    const std::string kSong1 = SongData("Song 1", 6000);
    const std::string kSong1Events = SongData("Song 1 events", 600);
    const std::string kSong2 = SongData("Song 2", 3000);
    std::multiset<std::string> before;
};

// Slots 1 and 2 dropped on slot 2: slot 3 must get the song slot 2 held
// before the drop, not song 1 a second time.
TEST_F(OverlappingFloppyDropTest, CopyOntoItsOwnRangeCopiesEachSongAsItWas) {
    prompter.AnswerYesNo(true);

    Drop(1, false, BuildPayload(kFloppyType, {"0", "1"}));

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::YesNo(OverwriteQuestion(2), "Overwrite?")});
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kSong1));
    EXPECT_EQ(OnFloppy("MDR_00.EVT"), Fingerprint(kSong1Events));
    EXPECT_EQ(OnFloppy("MDR_01.B00"), Fingerprint(kSong1));
    EXPECT_EQ(OnFloppy("MDR_01.EVT"), Fingerprint(kSong1Events));
    EXPECT_EQ(OnFloppy("MDR_02.B00"), Fingerprint(kSong2));
    EXPECT_FALSE(floppyDir->Exists("MDR_02.EVT"));
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "Song1");
    EXPECT_EQ(after[1].title, "Song1");
    EXPECT_EQ(after[1].comment, "one");
    EXPECT_EQ(after[2].title, "Song2");
    EXPECT_EQ(after[2].comment, "two");
    EXPECT_EQ(after[2].state, SlotState::PartialSong);
}

TEST_F(OverlappingFloppyDropTest, MoveOntoItsOwnRangeLosesNoSong) {
    prompter.AnswerYesNo(true);

    Drop(1, true, BuildPayload(kFloppyType, {"0", "1"}));

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::YesNo(OverwriteQuestion(2), "Overwrite?")});
    EXPECT_FALSE(floppyDir->Exists("MDR_00.B00"));
    EXPECT_FALSE(floppyDir->Exists("MDR_00.EVT"));
    EXPECT_EQ(OnFloppy("MDR_01.B00"), Fingerprint(kSong1));
    EXPECT_EQ(OnFloppy("MDR_01.EVT"), Fingerprint(kSong1Events));
    EXPECT_EQ(OnFloppy("MDR_02.B00"), Fingerprint(kSong2));
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "");
    EXPECT_EQ(after[0].comment, "");
    EXPECT_EQ(after[1].title, "Song1");
    EXPECT_EQ(after[1].comment, "one");
    EXPECT_EQ(after[2].title, "Song2");
    EXPECT_EQ(after[2].comment, "two");
}

TEST_F(OverlappingFloppyDropTest, SwappingTwoSlotsByAMoveKeepsBothSongs) {
    prompter.AnswerYesNo(true);
    prompter.AnswerYesNo(true);

    Drop(0, true, BuildPayload(kFloppyType, {"1", "0"}));

    EXPECT_EQ(prompter.calls(), (Calls{ScriptedPrompter::YesNo(OverwriteQuestion(1), "Overwrite?"),
                                       ScriptedPrompter::YesNo(OverwriteQuestion(2), "Overwrite?")}));
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kSong2));
    EXPECT_FALSE(floppyDir->Exists("MDR_00.EVT"));
    EXPECT_EQ(OnFloppy("MDR_01.B00"), Fingerprint(kSong1));
    EXPECT_EQ(OnFloppy("MDR_01.EVT"), Fingerprint(kSong1Events));
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "Song2");
    EXPECT_EQ(after[0].comment, "two");
    EXPECT_EQ(after[1].title, "Song1");
    EXPECT_EQ(after[1].comment, "one");
}

TEST_F(OverlappingFloppyDropTest, FloppySongsPastTheFifthSlotStayInTheirSlots) {
    Drop(4, true, BuildPayload(kFloppyType, {"0", "1"}));

    EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::Message(kLimitMessage, "Error!")});
    EXPECT_EQ(OnFloppy("MDR_04.B00"), Fingerprint(kSong1));
    EXPECT_EQ(OnFloppy("MDR_04.EVT"), Fingerprint(kSong1Events));
    EXPECT_FALSE(floppyDir->Exists("MDR_00.B00"));
    EXPECT_EQ(OnFloppy("MDR_01.B00"), Fingerprint(kSong2));
    EXPECT_FALSE(floppyDir->Exists("MDR_05.B00"));
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "");
    EXPECT_EQ(after[1].title, "Song2");
    EXPECT_EQ(after[1].comment, "two");
    EXPECT_EQ(after[4].title, "Song1");
    EXPECT_EQ(after[4].comment, "one");
}

TEST_F(OverlappingFloppyDropTest, SongDroppedOnItsOwnSlotChangesNothing) {
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    for (bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        const DropResult result = Drop(1, move, BuildPayload(kFloppyType, {"1"}));
        EXPECT_FALSE(result.taken);
        EXPECT_FALSE(result.rereadFloppy);
        EXPECT_EQ(prompter.calls(), Calls{});
        EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
    }
}

// The second song meets its own slot after the first was placed: whatever
// the drop does, every slot's title line must describe the song it holds.
TEST_F(OverlappingFloppyDropTest, SongMeetingItsOwnSlotLeavesNoSlotWithAStrangersTitle) {
    const std::map<std::string, std::string> titleOf = {{Fingerprint(kSong1), "Song1"}, {Fingerprint(kSong2), "Song2"}};

    const DropResult result = Drop(0, true, BuildPayload(kFloppyType, {"1", "1"}));

    EXPECT_FALSE(result.taken);
    EXPECT_TRUE(testing::Includes(AllSongs(), before));
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    for (int slot = 0; slot < 5; ++slot) {
        const auto song = OnFloppy("MDR_0" + std::to_string(slot) + ".B00");
        if (!song) continue;
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        ASSERT_EQ(titleOf.count(*song), 1u);
        EXPECT_EQ(after[static_cast<std::size_t>(slot)].title, titleOf.at(*song));
    }
}

// ---- drops that name nothing to move -----------------------------------------

TEST_F(FloppyDropTest, DropBelowTheRowsIsRefused) {
    MakeFloppy({{"Old", "keep", kOld, ""}});
    PutSong(songs, "Blues", kBlues);
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const Snapshot hardDisk = TakeSnapshot(songs);

    const DropResult result = Drop(std::nullopt, true, HardDiskPayload({"Blues"}));

    EXPECT_FALSE(result.taken);
    EXPECT_FALSE(result.rereadFloppy);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
    EXPECT_EQ(TakeSnapshot(songs), hardDisk);
}

TEST_F(FloppyDropTest, TextFromAnotherProgramChangesNothing) {
    MakeFloppy({{"Old", "keep", kOld, kOldEvents}, {"Demo", "demo", kDemo, ""}});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live");
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const Snapshot hardDisk = TakeSnapshot(songs);
    // A megabyte of binary bytes with no zero byte to end it early.
    std::string junk;
    std::uint32_t state = 11;
    while (junk.size() < (1u << 20)) {
        state = state * 1103515245u + 12345u;
        const char c = static_cast<char>(state >> 16);
        junk += c == '\0' ? '\x01' : c;
    }

    const std::vector<std::string> payloads = {
        "hello\nworld",
        junk,
        "HD\n" + Repeat("relative/Blues\n", 100000),
        "FD\n5\n-1\n01\nabc\n\n",
        "hd\n" + songs + "/Blues\n",
    };
    for (const std::string& payload : payloads) {
        for (bool move : {false, true}) {
            SCOPED_TRACE(payload.substr(0, 20) + (move ? " (move)" : " (copy)"));
            const DropResult result = Drop(0, move, payload);
            EXPECT_FALSE(result.rereadFloppy);
            EXPECT_EQ(prompter.calls(), Calls{});
            EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
            EXPECT_EQ(TakeSnapshot(songs), hardDisk);
        }
    }
}

// Another program may name a slot that holds no song; asking to overwrite a
// real song with nothing could only lose it.
TEST_F(FloppyDropTest, EmptySlotNamedByAnotherProgramChangesNothing) {
    MakeFloppy({{"Keep", "keep", kOld, kOldEvents}});
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    Drop(0, false, "FD\n2\n");

    for (const ScriptedPrompter::Call& call : prompter.calls()) {
        EXPECT_NE(call.kind, ScriptedPrompter::Kind::YesNo) << "asked to overwrite a song with an empty slot";
    }
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

// ---- where the floppy's songs are put aside during a drop ---------------------

// Points the temporary folder elsewhere for one test.
class ScopedTempFolder {
public:
    explicit ScopedTempFolder(const std::string& folder) {
        if (const char* old = std::getenv("TMPDIR")) m_old = old;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~ScopedTempFolder() {
        if (m_old) {
            ::setenv("TMPDIR", m_old->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

private:
    std::optional<std::string> m_old;
};

TEST_F(OverlappingFloppyDropTest, CopiesPutAsideForTheDropAreGoneAfterIt) {
    TempDir temp;
    ScopedTempFolder redirect(temp.path());

    Drop(2, false, BuildPayload(kFloppyType, {"0", "1"}));

    EXPECT_EQ(OnFloppy("MDR_02.B00"), Fingerprint(kSong1));
    EXPECT_EQ(OnFloppy("MDR_03.B00"), Fingerprint(kSong2));
    EXPECT_EQ(temp.EntryCount(), 0u);
}

TEST_F(OverlappingFloppyDropTest, NoSlotIsWrittenWhenTheSongsCannotBePutAside) {
    TempDir temp;
    ScopedTempFolder redirect(temp.Path("missing"));
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    const DropResult result = Drop(1, true, BuildPayload(kFloppyType, {"0", "1"}));

    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].kind, ScriptedPrompter::Kind::Message);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_FALSE(result.rereadFloppy);
    EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
}

// ---- a floppy that runs full ------------------------------------------------

struct FullDiskCase {
    const char* name;
    std::size_t secondSongBytes;
    std::size_t secondEventsBytes;
};

class FullFloppyTest : public FloppyDropTest, public ::testing::WithParamInterface<FullDiskCase> {};

// A 128 KiB floppy: the first song (12 KiB) fits, the second does not, either
// in its song file or only in its events file.
TEST_P(FullFloppyTest, FirstSongStaysAndTheSecondLeavesNoPartAndKeepsItsSources) {
    TmpfsMount small("size=128k");
    if (!small.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    UseFloppy(small.dir());
    MakeFloppy({});
    const std::string first = SongData("First", 8192);
    const std::string firstEvents = SongData("First events", 4096);
    PutSong(songs, "First", first, firstEvents, "one");
    PutSong(songs, "Second", SongData("Second", GetParam().secondSongBytes),
            SongData("Second events", GetParam().secondEventsBytes), "two");
    const auto before = AllSongs();

    const DropResult result = Drop(0, true, HardDiskPayload({"First", "Second"}));

    EXPECT_EQ(prompter.calls(),
              Calls{ScriptedPrompter::Message(kDiskFullMessage, "Error!", MessageIcon::Exclamation)});
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_EQ(Names(TakeSnapshot(floppyDir->path())),
              (std::set<std::string>{"MDR_00.B00", "MDR_00.EVT", "comments.dat", "song.nam"}));
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(first));
    EXPECT_EQ(OnFloppy("MDR_00.EVT"), Fingerprint(firstEvents));
    // Only the song that arrived left the hard disk.
    EXPECT_EQ(Names(TakeSnapshot(songs)), (std::set<std::string>{"Second.B00", "Second.EVT", "Second.cmt"}));
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0].title, "First");
    EXPECT_EQ(after[0].comment, "one");
    EXPECT_EQ(after[1].title, "");
    EXPECT_EQ(after[1].comment, "");
    EXPECT_EQ(after[1].state, SlotState::EmptySlot);
}

INSTANTIATE_TEST_SUITE_P(FloppyDrop, FullFloppyTest,
                         ::testing::Values(FullDiskCase{"SongFileTooBig", 300 * 1024, 1024},
                                           FullDiskCase{"EventsFileTooBig", 40 * 1024, 300 * 1024}),
                         [](const ::testing::TestParamInfo<FullDiskCase>& param) { return param.param.name; });

}  // namespace
}  // namespace tunecrate
