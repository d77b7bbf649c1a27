// SPDX-License-Identifier: MIT
#include "core/songs/FloppyDrop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "ScriptedPrompter.h"
#include "SongDisk.h"
#include "TempDir.h"
#include "core/text/DragPayload.h"
#include "core/songs/FloppyCatalogue.h"

namespace tunecrate {
namespace {

using testing::CatalogueLine;
using testing::Fingerprint;
using testing::FingerprintIfAny;
using testing::Repeat;
using testing::RowComments;
using testing::RowTitles;
using testing::ScriptedPrompter;
using testing::SongChecksums;
using testing::SongData;
using testing::Snapshot;
using testing::TakeSnapshot;
using testing::TempDir;
using testing::TmpfsMount;
using Calls = std::vector<ScriptedPrompter::Call>;
using Names = std::set<std::string>;
using Strings = std::vector<std::string>;

const ScriptedPrompter::Call kLimitMessage = ScriptedPrompter::Message("5個以上のファイルは格納できません。", "Error!");

ScriptedPrompter::Call OverwriteQuestion(int songNumber) {
    return ScriptedPrompter::YesNo("曲番号" + std::to_string(songNumber) + " はすでに存在します。上書きしますか？",
                                   "Overwrite?");
}

// The names in a snapshot, for checking that no stray file was left.
Names NamesIn(const Snapshot& snapshot) {
    Names names;
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
    std::string HardDiskPayload(const Strings& titles) const {
        Strings items;
        for (const std::string& title : titles) items.push_back(songs + "/" + title);
        return BuildPayload(kHardDiskType, items);
    }

    // The fingerprint of a floppy file, nullopt when it is missing.
    std::optional<std::string> OnFloppy(std::string_view name) const { return FingerprintIfAny(floppyDir->Read(name)); }
    Names FloppyNames() const { return NamesIn(TakeSnapshot(floppyDir->path())); }
    std::multiset<std::string> AllSongs() const { return SongChecksums({floppyDir->path(), songs}); }

    const std::string songs = Folder("Songs");
    const std::string kBlues = SongData("Blues", 5000);
    const std::string kBluesEvents = SongData("Blues events", 700);
    const std::string kDemo = SongData("Demo", 3000);
    const std::string kOld = SongData("Old", 4000);
    const std::string kOldEvents = SongData("Old events", 500);
};

// ---- hard-disk songs onto the floppy ----------------------------------------

// A file name becomes a CP932 title, cut on a character boundary when the
// catalogue is written; a character CP932 lacks becomes one "?".
TEST_F(FloppyDropTest, CopiedSongsFillTheSlotsFromTheTargetRowOnUnderTheirTitles) {
    MakeFloppy({{"Old", "keep", kOld, ""}});
    const std::string dawn = SongData("Dawn", 2500);
    const std::string snow = SongData("Snow", 1500);
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live take");
    PutSong(songs, "夜明け", dawn, "", "  dawn\tslow");
    // 14 single-byte and three two-byte characters: 20 bytes in CP932, and
    // byte 17 is the first half of い.
    PutSong(songs, "abcdefghijklmnあいう", kDemo);
    PutSong(songs, "Snow☃Day", snow, "", "cold");
    const Snapshot hardDisk = TakeSnapshot(songs);

    const DropResult result = Drop(1, false, HardDiskPayload({"Blues", "夜明け", "abcdefghijklmnあいう", "Snow☃Day"}));

    EXPECT_TRUE(result.taken);
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_FALSE(result.refillHardDiskList);
    EXPECT_EQ(prompter.calls(), Calls{});
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kOld));
    EXPECT_EQ(OnFloppy("MDR_01.B00"), Fingerprint(kBlues));
    EXPECT_EQ(OnFloppy("MDR_01.EVT"), Fingerprint(kBluesEvents));
    EXPECT_EQ(OnFloppy("MDR_02.B00"), Fingerprint(dawn));
    EXPECT_EQ(OnFloppy("MDR_03.B00"), Fingerprint(kDemo));
    EXPECT_EQ(OnFloppy("MDR_04.B00"), Fingerprint(snow));
    EXPECT_EQ(FloppyNames(), (Names{"MDR_00.B00", "MDR_01.B00", "MDR_01.EVT", "MDR_02.B00", "MDR_03.B00", "MDR_04.B00",
                                    "comments.dat", "song.nam"}));
    EXPECT_EQ(TakeSnapshot(songs), hardDisk);

    const std::string titles = floppyDir->Read("song.nam").value_or("");
    EXPECT_EQ(titles.size(), 40u * 19u);
    EXPECT_EQ(CatalogueLine(titles, 4), "abcdefghijklmn\x82\xA0 ");
    EXPECT_EQ(CatalogueLine(titles, 5), "Snow?Day         ");
    const std::vector<SlotRow> after = Reread();
    // 夜明け in CP932; a comment file gives its first word.
    EXPECT_EQ(RowTitles(after),
              (Strings{"Old", "Blues", "\x96\xE9\x96\xBE\x82\xAF", "abcdefghijklmn\x82\xA0", "Snow?Day"}));
    EXPECT_EQ(RowComments(after), (Strings{"keep", "live", "dawn", "", "cold"}));
    EXPECT_EQ(after[1].state, SlotState::FullSong);
    EXPECT_EQ(after[2].state, SlotState::PartialSong);
}

// A move deletes every file of the songs that arrived (song, events, comment);
// the song that found no slot keeps all of its own.
TEST_F(FloppyDropTest, MovedSongsPastTheFifthSlotStopWithTheLimitMessageAndStayOnTheHardDisk) {
    MakeFloppy({});
    PutSong(songs, "A", SongData("A", 1000), "", "a");
    PutSong(songs, "B", SongData("B", 1000), SongData("B events", 100), "b");
    PutSong(songs, "C", SongData("C", 1000), SongData("C events", 100), "c");
    const auto before = AllSongs();

    const DropResult result = Drop(3, true, HardDiskPayload({"A", "B", "C"}));

    EXPECT_EQ(prompter.calls(), Calls{kLimitMessage});
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_TRUE(result.refillHardDiskList);
    EXPECT_EQ(OnFloppy("MDR_03.B00"), Fingerprint(SongData("A", 1000)));
    EXPECT_EQ(OnFloppy("MDR_04.B00"), Fingerprint(SongData("B", 1000)));
    EXPECT_EQ(OnFloppy("MDR_04.EVT"), Fingerprint(SongData("B events", 100)));
    EXPECT_EQ(FloppyNames(), (Names{"MDR_03.B00", "MDR_04.B00", "MDR_04.EVT", "comments.dat", "song.nam"}));
    EXPECT_EQ(NamesIn(TakeSnapshot(songs)), (Names{"C.B00", "C.EVT", "C.cmt"}));
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    EXPECT_EQ(RowTitles(after), (Strings{"", "", "", "A", "B"}));
    EXPECT_EQ(RowComments(after), (Strings{"", "", "", "a", "b"}));
}

// Each occupied slot asks first. A declined song keeps its sources and uses
// its slot up; an accepted one replaces every file of the slot, in the
// spelling the slot has, and leaves no events file of the song it replaced.
TEST_F(FloppyDropTest, OverwriteQuestionKeepsOrReplacesEveryFileOfTheSlot) {
    MakeFloppy({{"Old", "keep", kOld, kOldEvents}});
    // Written by another system in lower case: still slot 2.
    floppyDir->Write("mdr_01.b00", kOld);
    floppyDir->Write("mdr_01.evt", kOldEvents);
    floppyDir->Write("MDR_02.B00", kOld);
    floppyDir->Write("MDR_02.EVT", kOldEvents);
    rows = Reread();
    const std::string rock = SongData("Rock", 2000);
    PutSong(songs, "Demo", kDemo, "", "demo");
    PutSong(songs, "Blues", kBlues, kBluesEvents, "new");
    PutSong(songs, "Rock", rock);
    prompter.AnswerYesNo(false);
    prompter.AnswerYesNo(true);
    prompter.AnswerYesNo(true);

    EXPECT_TRUE(Drop(0, true, HardDiskPayload({"Demo", "Blues", "Rock"})).rereadFloppy);

    EXPECT_EQ(prompter.calls(), (Calls{OverwriteQuestion(1), OverwriteQuestion(2), OverwriteQuestion(3)}));
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(kOld));
    EXPECT_EQ(OnFloppy("MDR_00.EVT"), Fingerprint(kOldEvents));
    EXPECT_EQ(OnFloppy("mdr_01.b00"), Fingerprint(kBlues));
    EXPECT_EQ(OnFloppy("mdr_01.evt"), Fingerprint(kBluesEvents));
    EXPECT_EQ(OnFloppy("MDR_02.B00"), Fingerprint(rock));
    EXPECT_EQ(FloppyNames(), (Names{"MDR_00.B00", "MDR_00.EVT", "mdr_01.b00", "mdr_01.evt", "MDR_02.B00",
                                    "comments.dat", "song.nam"}));
    EXPECT_EQ(NamesIn(TakeSnapshot(songs)), (Names{"Demo.B00", "Demo.cmt"}));
    const std::vector<SlotRow> after = Reread();
    EXPECT_EQ(RowTitles(after), (Strings{"Old", "Blues", "Rock", "", ""}));
    // No comment file: no comment.
    EXPECT_EQ(RowComments(after), (Strings{"keep", "new", "", "", ""}));
    EXPECT_EQ(after[2].state, SlotState::PartialSong);
}

TEST_F(FloppyDropTest, HardDiskItemsThatNameNoSongChangeNothing) {
    MakeFloppy({{"Old", "keep", kOld, ""}});
    const Snapshot floppy = TakeSnapshot(floppyDir->path());

    const DropResult result = Drop(0, true, "HD\n" + songs + "/Ghost\nrelative/Blues\n/\n" + songs + "/..\n");

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

    Drop(0, true, BuildPayload(kHardDiskType, {source.dir().Path("Blues")}));

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
    EXPECT_EQ(prompter.calls()[0], OverwriteQuestion(1));
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

// ---- floppy songs onto other slots -------------------------------------------

// Slots 1 and 2 hold songs. A drop of them onto other slots, a range that
// overlaps their own included, gives every slot the files, title and comment
// of the song it was given as that song was before the drop (never song 1
// twice) and loses no song.
struct OverlapCase {
    const char* name;
    Strings sources;
    int target;
    bool move;
    std::vector<bool> answers;
    Calls calls;
    std::string slots;   // per slot after the drop: '1', '2' or '-' for none
};

class OverlappingFloppyDropTest : public FloppyDropTest, public ::testing::WithParamInterface<OverlapCase> {
protected:
    void SetUp() override { MakeFloppy({{"Song1", "one", kSong1, kSong1Events}, {"Song2", "two", kSong2, ""}}); }
    const std::string kSong1 = SongData("Song 1", 6000);
    const std::string kSong1Events = SongData("Song 1 events", 600);
    const std::string kSong2 = SongData("Song 2", 3000);
};

TEST_P(OverlappingFloppyDropTest, EverySlotHoldsTheSongItWasGivenAndNoSongIsLost) {
    const OverlapCase& c = GetParam();
    const auto before = AllSongs();
    for (bool answer : c.answers) prompter.AnswerYesNo(answer);
    const DropResult result = Drop(c.target, c.move, BuildPayload(kFloppyType, c.sources));

    EXPECT_TRUE(result.taken);
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_EQ(prompter.calls(), c.calls);
    if (c.move) {
        EXPECT_EQ(AllSongs(), before);
    }
    struct Held {
        std::optional<std::string> song, events;
        std::string title, comment;
    };
    const std::map<char, Held> held = {
        {'1', {kSong1, kSong1Events, "Song1", "one"}}, {'2', {kSong2, std::nullopt, "Song2", "two"}}, {'-', {}}};
    const std::vector<SlotRow> after = Reread();
    Names names = {"comments.dat", "song.nam"};
    for (std::size_t slot = 0; slot < 5; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        const Held& h = held.at(c.slots[slot]);
        const std::string base = "MDR_0" + std::to_string(slot);
        EXPECT_EQ(OnFloppy(base + ".B00"), FingerprintIfAny(h.song));
        EXPECT_EQ(OnFloppy(base + ".EVT"), FingerprintIfAny(h.events));
        EXPECT_EQ(after[slot].title, h.title);
        EXPECT_EQ(after[slot].comment, h.comment);
        if (h.song) names.insert(base + ".B00");
        if (h.events) names.insert(base + ".EVT");
    }
    EXPECT_EQ(FloppyNames(), names);
}

INSTANTIATE_TEST_SUITE_P(
    FloppyDrop, OverlappingFloppyDropTest,
    ::testing::Values(OverlapCase{"MoveToAnotherSlot", {"0"}, 2, true, {}, {}, "-21--"},
                      OverlapCase{"CopyOntoItsOwnRange", {"0", "1"}, 1, false, {true}, {OverwriteQuestion(2)}, "112--"},
                      OverlapCase{"MoveOntoItsOwnRange", {"0", "1"}, 1, true, {true}, {OverwriteQuestion(2)}, "-12--"},
                      OverlapCase{"MovePastTheFifthSlot", {"0", "1"}, 4, true, {}, {kLimitMessage}, "-2--1"},
                      OverlapCase{"CopyBesideItsOwnRange", {"0", "1"}, 2, false, {}, {}, "1212-"}),
    [](const ::testing::TestParamInfo<OverlapCase>& param) { return param.param.name; });

// The second song meets its own slot after the first was placed: whatever
// the drop does, every slot's title line must describe the song it holds.
TEST_F(FloppyDropTest, SongMeetingItsOwnSlotLeavesNoSlotWithAStrangersTitle) {
    MakeFloppy({{"Song1", "one", kOld, kOldEvents}, {"Song2", "two", kDemo, ""}});
    const auto before = AllSongs();
    const std::map<std::string, std::string> titleOf = {{Fingerprint(kOld), "Song1"}, {Fingerprint(kDemo), "Song2"}};

    EXPECT_FALSE(Drop(0, true, BuildPayload(kFloppyType, {"1", "1"})).taken);

    EXPECT_TRUE(testing::Includes(AllSongs(), before));
    const std::vector<SlotRow> after = Reread();
    for (int slot = 0; slot < 5; ++slot) {
        const auto song = OnFloppy("MDR_0" + std::to_string(slot) + ".B00");
        if (!song) continue;
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        ASSERT_EQ(titleOf.count(*song), 1u);
        EXPECT_EQ(after[static_cast<std::size_t>(slot)].title, titleOf.at(*song));
    }
}

// Slot numbers in a payload name the songs the window showed: on a floppy
// that another writer changed since, a drop moves nothing and the window
// reads the floppy again.
TEST_F(FloppyDropTest, FloppyChangedSinceTheWindowReadItTakesNoDrop) {
    MakeFloppy({{"Old", "keep", kOld, kOldEvents}, {"Demo", "demo", kDemo, ""}});
    PutSong(songs, "Blues", kBlues, kBluesEvents, "live");
    floppyDir->Write("song.nam", testing::TitlesFile({"Old", "Changed"}));
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const Snapshot hardDisk = TakeSnapshot(songs);
    for (const std::string& payload : {BuildPayload(kFloppyType, {"0"}), HardDiskPayload({"Blues"})}) {
        SCOPED_TRACE(payload);
        const DropResult result = Drop(3, true, payload);
        EXPECT_TRUE(result.rereadFloppy);
        EXPECT_EQ(prompter.calls(), Calls{ScriptedPrompter::Message(CatalogueChangedMessage(false), "Error!")});
        EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
        EXPECT_EQ(TakeSnapshot(songs), hardDisk);
        prompter.ClearCalls();
    }
}

// ---- drops that name nothing to move -----------------------------------------

// Below the rows, onto its own slot, text from another program, slots without
// a song: nothing is asked, written or deleted.
TEST_F(FloppyDropTest, DropsThatMoveNoSongChangeNothing) {
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

    const std::vector<std::tuple<std::optional<int>, std::string, bool>> drops = {
        {std::nullopt, HardDiskPayload({"Blues"}), false},
        {1, BuildPayload(kFloppyType, {"1"}), false},
        {0, "hello\nworld", true},
        {0, junk, true},
        {0, "HD\n" + Repeat("relative/Blues\n", 100000), true},
        {0, "FD\n5\n-1\n01\nabc\n\n", true},
        {0, "FD\n2\n", true},   // asking to overwrite a song with nothing could only lose it
        {0, "hd\n" + songs + "/Blues\n", true},
    };
    for (const auto& [target, payload, taken] : drops) {
        for (bool move : {false, true}) {
            SCOPED_TRACE(payload.substr(0, 20) + (move ? " (move)" : " (copy)"));
            const DropResult result = Drop(target, move, payload);
            EXPECT_FALSE(result.rereadFloppy);
            EXPECT_EQ(result.taken, taken);
            EXPECT_EQ(prompter.calls(), Calls{});
            EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
            EXPECT_EQ(TakeSnapshot(songs), hardDisk);
        }
    }
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
              Calls{ScriptedPrompter::Message("ディスクがいっぱいです！", "Error!", MessageIcon::Exclamation)});
    EXPECT_TRUE(result.rereadFloppy);
    EXPECT_EQ(FloppyNames(), (Names{"MDR_00.B00", "MDR_00.EVT", "comments.dat", "song.nam"}));
    EXPECT_EQ(OnFloppy("MDR_00.B00"), Fingerprint(first));
    EXPECT_EQ(OnFloppy("MDR_00.EVT"), Fingerprint(firstEvents));
    // Only the song that arrived left the hard disk.
    EXPECT_EQ(NamesIn(TakeSnapshot(songs)), (Names{"Second.B00", "Second.EVT", "Second.cmt"}));
    EXPECT_EQ(AllSongs(), before);
    const std::vector<SlotRow> after = Reread();
    EXPECT_EQ(RowTitles(after), (Strings{"First", "", "", "", ""}));
    EXPECT_EQ(RowComments(after), (Strings{"one", "", "", "", ""}));
}

INSTANTIATE_TEST_SUITE_P(FloppyDrop, FullFloppyTest,
                         ::testing::Values(FullDiskCase{"SongFileTooBig", 300 * 1024, 1024},
                                           FullDiskCase{"EventsFileTooBig", 40 * 1024, 300 * 1024}),
                         [](const ::testing::TestParamInfo<FullDiskCase>& param) { return param.param.name; });

// A full floppy: a song that replaces another must fit beside it until it is
// whole. When it does not, the old song keeps its slot, title and comment,
// and every source stays, in a drop of hard-disk songs as in one of floppy
// songs onto a range that overlaps their own slots.
TEST_F(FloppyDropTest, FullFloppyKeepsEverySongThatCouldNotBeReplaced) {
    TmpfsMount small("size=128k");
    if (!small.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    UseFloppy(small.dir());
    const std::string one = SongData("One", 40 * 1024), two = SongData("Two", 40 * 1024);
    MakeFloppy({{"One", "first", one, ""}, {"Two", "second", two, ""}});
    PutSong(songs, "Big", SongData("Big", 40 * 1024), "", "big");
    const Snapshot floppy = TakeSnapshot(floppyDir->path());
    const Snapshot hardDisk = TakeSnapshot(songs);
    const Calls diskFull = {ScriptedPrompter::Message("ディスクがいっぱいです！", "Error!", MessageIcon::Exclamation)};

    struct Case {
        const char* name;
        std::optional<int> target;
        std::string payload;
        Calls questions;
    };
    const std::vector<Case> cases = {
        {"a hard-disk song onto slot 1", 0, HardDiskPayload({"Big"}), {OverwriteQuestion(1)}},
        {"slots 1 and 2 onto slot 2", 1, BuildPayload(kFloppyType, {"0", "1"}), {OverwriteQuestion(2)}},
    };
    for (const Case& c : cases) {
        for (bool move : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (move ? ", moved" : ", copied"));
            prompter.AnswerYesNo(true);
            Drop(c.target, move, c.payload);
            Calls expected = c.questions;
            expected.insert(expected.end(), diskFull.begin(), diskFull.end());
            EXPECT_EQ(prompter.calls(), expected);
            EXPECT_EQ(TakeSnapshot(floppyDir->path()), floppy);
            EXPECT_EQ(TakeSnapshot(songs), hardDisk);
            prompter.ClearCalls();
        }
    }
}

}  // namespace
}  // namespace tunecrate
