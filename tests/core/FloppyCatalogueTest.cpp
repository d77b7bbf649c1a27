// SPDX-License-Identifier: MIT
#include "core/songs/FloppyCatalogue.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/statvfs.h>

#include "SongDisk.h"
#include "TempDir.h"
#include "core/disk/FolderVolume.h"
#include "core/disk/ImageVolume.h"
#include "core/songs/SongFloppyImage.h"

namespace tunecrate {
namespace {

using namespace std::literals;
using testing::BecomeUnprivileged;
using testing::CommentsFile;
using testing::InChildProcess;
using testing::Repeat;
using testing::RowComments;
using testing::RowTitles;
using testing::TempDir;
using testing::TitlesFile;
using testing::TmpfsMount;
using Strings = std::vector<std::string>;

constexpr std::string_view kSo = "\x83\x5C";   // ソ

SlotRow Row(std::string title, std::string comment) {
    SlotRow row;
    row.title = std::move(title);
    row.comment = std::move(comment);
    return row;
}

// Puts the rows' titles and comments on lines 1 to 5, as edits of all five slots.
Strings WriteRows(FloppyVolume& volume, const std::vector<SlotRow>& rows) {
    std::vector<SlotText> changes;
    for (int slot = 0; slot < 5; ++slot) {
        const SlotRow row = slot < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(slot)] : SlotRow{};
        changes.push_back(SlotText{slot, row.title, row.comment});
    }
    return UpdateCatalogue(volume, changes);
}

// Every test gets a floppy that is a fresh folder.
class FloppyCatalogueTest : public ::testing::Test {
protected:
    // Both catalogue files and a song in slot 1, read as the floppy list reads them.
    CatalogueReading ReadWith(const std::string& titles, const std::string& comments) {
        dir.Write("song.nam", titles);
        dir.Write("comments.dat", comments);
        dir.WriteSized("MDR_00.B00", 10);
        CatalogueReading reading = ReadCatalogue(&volume);
        EXPECT_TRUE(reading.readable);
        return reading;
    }

    TempDir dir;
    FolderVolume volume{dir.path()};
};

// ---- writing ---------------------------------------------------------------

TEST_F(FloppyCatalogueTest, WrittenCatalogueHasGoldenBytes) {
    const std::vector<SlotRow> rows = {
        Row("Blues", "slow one"), Row(" Lead", ""), Row("\x83\x5C\x95\x5C\xB1", "\x81\x40" "x"),
        Row("AAAAAAAAAAAAAAAAA", "nul\0byte"s), Row("", "end"),
    };
    EXPECT_TRUE(WriteRows(volume, rows).empty());

    const std::string titles = "Blues            \r\n"
                               " Lead            \r\n"
                               "\x83\x5C\x95\x5C\xB1            \r\n"
                               "AAAAAAAAAAAAAAAAA\r\n" +
                               Repeat("                 \r\n", 36);
    ASSERT_EQ(titles.size(), 760u);
    EXPECT_EQ(dir.Read("song.nam"), titles);
    EXPECT_EQ(dir.Read("comments.dat"), "slow one\r\n\r\n\x81\x40" "x\r\nnul\0byte\r\nend\r\n"s + Repeat("\r\n", 35));
}

TEST_F(FloppyCatalogueTest, RowsAreCutOnWholeCharactersAndKeptToOneLineEach) {
    struct Case {
        const char* name;
        std::vector<SlotRow> rows;
        Strings titles;     // as the file holds them, before padding
        Strings comments;
    };
    const std::vector<Case> cases = {
        {"no rows", {}, {}, {}},
        // 18 bytes whose 17th is the lead byte of the eighth ソ; exactly 17
        // bytes; plain letters; nine ソ.
        {"long titles",
         {Row("aa" + Repeat(kSo, 8), ""), Row(Repeat(kSo, 8) + "a", ""), Row("ABCDEFGHIJKLMNOPQRSTUVWXYZ", ""),
          Row(Repeat(kSo, 9), "")},
         {"aa" + Repeat(kSo, 7), Repeat(kSo, 8) + "a", "ABCDEFGHIJKLMNOPQ", Repeat(kSo, 8)},
         {}},
        // Byte 254 of the second would be a lead byte.
        {"long comments",
         {Row("", std::string(300, 'c')), Row("", "c" + Repeat(kSo, 200))},
         {},
         {std::string(254, 'c'), "c" + Repeat(kSo, 126)}},
        // A line break typed or pasted into a cell would shift every later slot.
        {"line breaks",
         {Row("Slow\nBlues", "first\nsecond\n"), Row("\n\nA", "\n"), Row("Rock", "kept")},
         {"Slow Blues", "  A", "Rock"},
         {"first second ", " ", "kept"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(WriteRows(volume, c.rows).empty());
        EXPECT_EQ(dir.Read("song.nam"), TitlesFile(c.titles));
        EXPECT_EQ(dir.Read("comments.dat"), CommentsFile(c.comments));
    }
}

// A title edit never rewrites comments.dat, nor a comment edit song.nam, nor
// either a file whose bytes would stay the same.
TEST_F(FloppyCatalogueTest, AnEditRewritesOnlyTheFileItChanges) {
    dir.Write("song.nam", "titles before");
    dir.Write("comments.dat", "comments before");
    ASSERT_TRUE(UpdateCatalogue(volume, {SlotText{0, "T", std::nullopt}}).empty());
    EXPECT_EQ(dir.Read("song.nam"), TitlesFile({"T"}));
    EXPECT_EQ(dir.Read("comments.dat"), "comments before");

    dir.Write("song.nam", "titles before");
    ASSERT_TRUE(UpdateCatalogue(volume, {SlotText{0, std::nullopt, "C"}}).empty());
    EXPECT_EQ(dir.Read("comments.dat"), CommentsFile({"C"}));
    EXPECT_EQ(dir.Read("song.nam"), "titles before");

    // A file that is written is a new file (it replaces the old by rename).
    dir.Write("song.nam", TitlesFile({"T"}));
    auto inode = [&](const char* name) {
        struct stat st {};
        EXPECT_EQ(::stat(dir.Path(name).c_str(), &st), 0);
        return st.st_ino;
    };
    const auto titles = inode("song.nam"), comments = inode("comments.dat");
    ASSERT_TRUE(UpdateCatalogue(volume, {SlotText{0, "T", "C"}}).empty());
    EXPECT_EQ(inode("song.nam"), titles);
    EXPECT_EQ(inode("comments.dat"), comments);
}

// An edit changes its own line of the floppy as it is now. Another writer's
// change of another slot stays and the window is told to read again; when
// the slot itself changed, or its song went, nothing is written.
TEST_F(FloppyCatalogueTest, EditsNeverUndoAnotherWritersChange) {
    struct Case {
        const char* name;
        std::function<void()> meanwhile;
        bool applied, changedElsewhere;
        Strings titles;
    };
    const std::vector<Case> cases = {
        {"nothing", [] {}, true, false, {"Dawn", "Demo"}},
        {"another slot retitled", [&] { dir.Write("song.nam", TitlesFile({"Blues", "Rock"})); }, true, true,
         {"Dawn", "Rock"}},
        {"the same slot retitled", [&] { dir.Write("song.nam", TitlesFile({"Rock", "Demo"})); }, false, true,
         {"Rock", "Demo"}},
        {"its song deleted", [&] { ASSERT_EQ(::unlink(dir.Path("MDR_00.B00").c_str()), 0); }, false, true,
         {"Blues", "Demo"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.WriteSized("MDR_01.B00", 10);
        const std::vector<SlotRow> shown = ReadWith(TitlesFile({"Blues", "Demo"}), CommentsFile({})).rows;
        c.meanwhile();
        const CatalogueEdit edit = EditSlotText(volume, shown, SlotText{0, "Dawn", std::nullopt});
        EXPECT_EQ(edit.applied, c.applied);
        EXPECT_EQ(edit.changedElsewhere, c.changedElsewhere);
        EXPECT_TRUE(edit.failures.empty());
        EXPECT_EQ(dir.Read("song.nam"), TitlesFile(c.titles));
    }
}

// Two windows (or a window and a script) editing one floppy at the same
// time, each its own slot, as fast as they can: the floppy's lock makes them
// take turns, so every last edit of each is on the floppy.
TEST(FloppyCatalogue, TwoWritersAtOnceKeepEachOthersEdits) {
    TempDir dir;
    const std::string image = dir.Path("floppy.img");
    ASSERT_TRUE(CreateSongFloppyImage(image).ok());
    ASSERT_TRUE(ImageVolume(image).Apply({{"MDR_00.B00", std::string("a")}, {"MDR_01.B00", std::string("b")}},
                                          Room::Songs).ok());
    const std::string folder = dir.Path("floppy");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    dir.Write("floppy/MDR_00.B00", "a");
    dir.Write("floppy/MDR_01.B00", "b");
    constexpr int kEdits = 40;
    for (const std::string& location : {image, folder}) {
        SCOPED_TRACE(location);
        std::vector<pid_t> writers;
        for (int slot = 0; slot < 2; ++slot) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid != 0) {
                writers.push_back(pid);
                continue;
            }
            std::vector<SlotRow> shown = ReadCatalogue(OpenFloppyVolume(location).get()).rows;
            for (int edit = 0; edit < kEdits;) {
                const std::string title = std::string(1, static_cast<char>('A' + slot)) + std::to_string(edit);
                const CatalogueEdit result = EditSlotText(*OpenFloppyVolume(location), shown, SlotText{slot, title, {}});
                if (!result.failures.empty()) ::_exit(2);
                if (result.applied) ++edit;
                // As the window does: its own row takes the title, a changed floppy is read again.
                if (result.changedElsewhere || !result.applied) {
                    shown = ReadCatalogue(OpenFloppyVolume(location).get()).rows;
                } else {
                    shown[static_cast<std::size_t>(slot)].title = title;
                }
            }
            ::_exit(0);
        }
        for (pid_t pid : writers) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const CatalogueReading after = ReadCatalogue(OpenFloppyVolume(location).get());
        EXPECT_EQ(RowTitles(after.rows), (Strings{"A39", "B39", "", "", ""}));
    }
}

// What is read and written back unedited keeps its bytes, whatever they are,
// and so do the lines beyond the fifth slot, where the instrument keeps songs.
TEST_F(FloppyCatalogueTest, UneditedRowsWriteBackByteForByte) {
    struct Case {
        const char* name;
        std::string titles, comments;
        std::string titlesAfter, commentsAfter;
    };
    const Strings five = {"Song 1", "Song 2", "Song 3", "Song 4", "Song 5"};
    const Strings notes = {"note 1", "note 2", "note 3", "note 4", "note 5"};
    const std::string oddTitles =
        TitlesFile({"Blues", " a\0b"s, "\x80\xFF\xFD" "x", "\x83 \x81\x40z", Repeat(kSo, 8) + "a"});
    const std::string oddComments =
        CommentsFile({"c\0\0mment"s, "\xA0\xFE bad \x85\x40 bytes", "", "\x81 \x82", "plain"});
    // Writers that cut a title at 17 bytes leave a lead byte without its trail byte.
    const std::string loneLead = TitlesFile({"AAAAAAAAAAAAAAAA\x83"});
    const std::string crTitles = TitlesFile({"A\rB", "\rLead"});
    const std::vector<Case> cases = {
        {"NUL bytes and bytes that do not decode", oddTitles, oddComments, oddTitles, oddComments},
        {"lone lead byte ending a title", loneLead, CommentsFile({}), loneLead, CommentsFile({})},
        // A carriage return alone is no line end on the floppy; a comment that
        // is nothing but one is trailing white space, which reading drops.
        {"lone carriage returns", crTitles, CommentsFile({"x\ry", "\r", "z"}), crTitles,
         CommentsFile({"x\ry", "", "z"})},
        {"lines beyond the fifth slot", TitlesFile(five, "Song 6 to 40"), CommentsFile(notes, "note 6 to 40"),
         TitlesFile(five, "Song 6 to 40"), CommentsFile(notes, "note 6 to 40")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CatalogueReading reading = ReadWith(c.titles, c.comments);
        ASSERT_TRUE(WriteRows(volume, reading.rows).empty());
        EXPECT_EQ(dir.Read("song.nam"), c.titlesAfter);
        EXPECT_EQ(dir.Read("comments.dat"), c.commentsAfter);
    }
}

TEST_F(FloppyCatalogueTest, UpperCaseCatalogueFilesAreReadAndRewrittenInPlace) {
    dir.Write("SONG.NAM", "Upper            \r\n");
    dir.Write("COMMENTS.DAT", "shouted\r\n");
    dir.WriteSized("MDR_00.B00", 10);
    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    EXPECT_EQ(reading.rows[0].title, "Upper");
    EXPECT_EQ(reading.rows[0].comment, "shouted");

    reading.rows[0].title = "Lower";
    ASSERT_TRUE(WriteRows(volume, reading.rows).empty());
    EXPECT_EQ(dir.EntryCount(), 3u);
    EXPECT_EQ(dir.Read("SONG.NAM"), TitlesFile({"Lower"}));
}

// ---- reading ---------------------------------------------------------------

TEST_F(FloppyCatalogueTest, ReadingRemovesOnlyTrailingSingleByteWhiteSpace) {
    // LF-only and unended lines, and a comments file shorter than five lines.
    const CatalogueReading reading = ReadWith("Blues            \r\n"
                                              " Lead\t\v\f        \r\n"
                                              "\x81\x40Zen\x81\x40         \r\n"
                                              "Tab\tInside      \n"
                                              "\x83\x5C",
                                              "  indented  \r\n"
                                              "trailing tabs\t\t\r\n"
                                              "wide blank\x81\x40\r\n"
                                              "last");
    EXPECT_EQ(RowTitles(reading.rows), (Strings{"Blues", " Lead", "\x81\x40Zen\x81\x40", "Tab\tInside", "\x83\x5C"}));
    EXPECT_EQ(RowComments(reading.rows), (Strings{"  indented", "trailing tabs", "wide blank\x81\x40", "last", ""}));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(reading.rows[static_cast<std::size_t>(i)].number, i + 1);
}

TEST_F(FloppyCatalogueTest, LongCommentLineStaysInItsOwnSlot) {
    // 10,001 bytes, whose 254th byte is the lead byte of the 127th ソ.
    const std::string huge = "a" + Repeat(kSo, 5000);
    const CatalogueReading reading =
        ReadWith(TitlesFile({}), huge + "\r\nsecond\r\n" + std::string(10000, 'x') + "\nfourth\r\n");
    EXPECT_EQ(RowComments(reading.rows),
              (Strings{"a" + Repeat(kSo, 126), "second", std::string(254, 'x'), "fourth", ""}));
}

TEST_F(FloppyCatalogueTest, SlotStateAndSizeFollowTheSlotFiles) {
    dir.Write("song.nam", TitlesFile({}));
    dir.Write("comments.dat", CommentsFile({"one", "two", "three", "four", "five"}));
    dir.WriteSized("MDR_00.B00", 1023);
    dir.WriteSized("MDR_01.B00", 1024);
    dir.WriteSized("MDR_01.EVT", 2048);
    dir.WriteSized("MDR_02.EVT", 4096);   // events without a song
    dir.WriteSized("mdr_03.b00", 5000);   // lower-case names as some drives show them
    dir.WriteSized("mdr_03.evt", 120);

    const CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    std::vector<std::pair<SlotState, std::string>> slots;
    for (const SlotRow& row : reading.rows) slots.emplace_back(row.state, row.sizeText);
    EXPECT_EQ(slots, (std::vector<std::pair<SlotState, std::string>>{{SlotState::PartialSong, "0kb"},
                                                                     {SlotState::FullSong, "3kb"},
                                                                     {SlotState::EmptySlot, "----"},
                                                                     {SlotState::FullSong, "5kb"},
                                                                     {SlotState::EmptySlot, "----"}}));
    // An empty slot keeps the comment its line holds.
    EXPECT_EQ(RowComments(reading.rows), (Strings{"one", "two", "three", "four", "five"}));
}

// Song files MDR_00 to MDR_39 make a song floppy, whose missing catalogue
// files are created blank; anything else is left as it is.
TEST(FloppyCatalogue, OnlySongFilesUpToMdr39MakeASongFloppy) {
    for (const auto& [file, songFloppy] : std::vector<std::pair<std::string, bool>>{
             {"MDR_39.B00", true}, {"MDR_40.B00", false}, {"MDR_00.EVT", false}, {"readme.txt", false}}) {
        SCOPED_TRACE(file);
        TempDir dir;
        dir.WriteSized(file, 10);
        FolderVolume volume(dir.path());
        const CatalogueReading reading = ReadCatalogue(&volume);
        ASSERT_EQ(reading.readable, songFloppy);
        if (songFloppy) {
            EXPECT_EQ(dir.Read("song.nam"), TitlesFile({}));
            EXPECT_EQ(dir.Read("comments.dat"), CommentsFile({}));
            EXPECT_GE(reading.FreePercent, 0);
            EXPECT_EQ(reading.failure, "");
            ASSERT_EQ(reading.rows.size(), 5u);
            for (const SlotRow& row : reading.rows) {
                EXPECT_EQ(row, (SlotRow{row.number, "", "----", "", SlotState::EmptySlot, ""}));
            }
        } else {
            EXPECT_EQ(dir.EntryCount(), 1u);
            EXPECT_TRUE(reading.rows.empty());
            EXPECT_EQ(reading.FreePercent, -1);
            EXPECT_EQ(reading.FreeBytes, 0);
        }
    }
}

TEST_F(FloppyCatalogueTest, MissingCommentsFileIsCreatedBesideExistingTitles) {
    dir.Write("song.nam", "Kept             \r\n");
    const CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    EXPECT_EQ(reading.rows[0].title, "Kept");
    EXPECT_EQ(dir.Read("comments.dat"), CommentsFile({}));
    EXPECT_EQ(dir.Read("song.nam"), "Kept             \r\n");
}

TEST(FloppyCatalogue, NoFloppyIsUnreadable) {
    TempDir dir;
    FolderVolume gone(dir.Path("ejected"));
    for (FloppyVolume* volume : {static_cast<FloppyVolume*>(nullptr), static_cast<FloppyVolume*>(&gone)}) {
        const CatalogueReading reading = ReadCatalogue(volume);
        EXPECT_FALSE(reading.readable);
        EXPECT_TRUE(reading.rows.empty());
        EXPECT_EQ(reading.FreePercent, -1);
        EXPECT_EQ(reading.FreeBytes, 0);
    }
    EXPECT_FALSE(dir.Exists("ejected"));
}

TEST_F(FloppyCatalogueTest, UnreadableTitlesFileIsNeverReplaced) {
    const std::string titles = TitlesFile({"Precious"});
    dir.Write("song.nam", titles);
    dir.WriteSized("MDR_00.B00", 10);
    ASSERT_EQ(::chmod(dir.Path("song.nam").c_str(), 0), 0);
    // Only the file's own mode keeps the reader out, and root reads any file.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const bool unreadable = InChildProcess([&] { return BecomeUnprivileged() && !ReadCatalogue(&volume).readable; });
    EXPECT_TRUE(unreadable);
    ASSERT_EQ(::chmod(dir.Path("song.nam").c_str(), 0644), 0);
    EXPECT_EQ(dir.Read("song.nam"), titles);
}

// A blocking open would hang: nothing ever writes into the FIFO.
TEST(FloppyCatalogue, CatalogueFileThatIsAFifoIsNeitherReadNorReplaced) {
    for (const char* fifo : {"song.nam", "comments.dat"}) {
        SCOPED_TRACE(fifo);
        TempDir dir;
        dir.WriteSized("MDR_00.B00", 10);
        if (fifo != "song.nam"s) dir.Write("song.nam", TitlesFile({}));
        ASSERT_EQ(::mkfifo(dir.Path(fifo).c_str(), 0644), 0);
        FolderVolume volume(dir.path());
        const CatalogueReading reading = ReadCatalogue(&volume);
        EXPECT_FALSE(reading.readable);
        EXPECT_EQ(reading.FreePercent, -1);
        EXPECT_EQ(reading.FreeBytes, 0);
        struct stat st {};
        ASSERT_EQ(::lstat(dir.Path(fifo).c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }
}

// ---- free space ------------------------------------------------------------

// A real folder whose free-space answers are replaced, for disk geometries and
// a disk taken out between two queries, which a test cannot produce for real.
class ScriptedSpaceVolume final : public FloppyVolume {
public:
    ScriptedSpaceVolume(const std::string& root, std::vector<std::optional<SpaceInfo>> answers)
        : m_folder(root), m_answers(std::move(answers)) {}
    std::string Root() const override { return m_folder.Root(); }
    std::optional<SpaceInfo> Space() const override { return m_answers[std::min(m_calls++, m_answers.size() - 1)]; }
    bool Exists(std::string_view name) const override { return m_folder.Exists(name); }
    std::optional<std::uint64_t> FileSize(std::string_view name) const override { return m_folder.FileSize(name); }
    std::optional<std::string> ReadFile(std::string_view name, std::size_t maxBytes) const override {
        return m_folder.ReadFile(name, maxBytes);
    }
    std::string Stamp(std::string_view name) const override { return m_folder.Stamp(name); }
    FileResult Apply(const std::vector<FileChange>& changes, Room room) override {
        return m_folder.Apply(changes, room);
    }
    void Flush() override { m_folder.Flush(); }

private:
    FolderVolume m_folder;
    std::vector<std::optional<SpaceInfo>> m_answers;
    mutable std::size_t m_calls = 0;
};

TEST_F(FloppyCatalogueTest, FreeSpaceFiguresFollowTheDiskGeometry) {
    struct Case {
        const char* name;
        std::vector<std::optional<SpaceInfo>> answers;   // the last one repeats
        int percent;
        std::int64_t bytes;
    };
    const std::vector<Case> cases = {
        {"floppy", {SpaceInfo{1000, 2847, 512}}, 35, 512000},   // 100,000 / 2,847 truncated
        // A folder standing in for a floppy on a big disk: beyond 32 bits.
        {"big disk", {SpaceInfo{3'000'000, 4'000'000, 4096}}, 75, 12'288'000'000},
        {"taken out between queries", {SpaceInfo{1000, 2847, 512}, SpaceInfo{0, 0, 512}}, -1, 0},
        {"gone between queries", {SpaceInfo{1000, 2847, 512}, std::nullopt}, -1, 0},
    };
    dir.WriteSized("MDR_00.B00", 10);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSpaceVolume floppy(dir.path(), c.answers);
        const CatalogueReading reading = ReadCatalogue(&floppy);
        EXPECT_EQ(reading.readable, c.percent >= 0);
        EXPECT_EQ(reading.FreePercent, c.percent);
        EXPECT_EQ(reading.FreeBytes, c.bytes);
    }
}

// Exact on a private disk beyond 4 GiB (as root); on the shared temporary
// folder other processes may move the figure a little between the three
// measurements, so it must lie between them.
TEST(FloppyCatalogue, FreeSpaceIsWhatTheFileSystemHasAvailable) {
    TmpfsMount big("size=6g");
    TempDir shared;
    const TempDir& dir = big.mounted() ? big.dir() : shared;
    const std::int64_t slack = big.mounted() ? 0 : 64LL << 20;
    // Both catalogue files exist, so the reading writes nothing after measuring.
    dir.Write("song.nam", TitlesFile({}));
    dir.Write("comments.dat", CommentsFile({}));
    FolderVolume volume(dir.path());
    struct statvfs before {}, after {};
    ASSERT_EQ(::statvfs(dir.path().c_str(), &before), 0);
    const CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_EQ(::statvfs(dir.path().c_str(), &after), 0);
    ASSERT_TRUE(reading.readable);

    const auto freeBefore = static_cast<std::int64_t>(before.f_bavail * before.f_frsize);
    const auto freeAfter = static_cast<std::int64_t>(after.f_bavail * after.f_frsize);
    ASSERT_TRUE(!big.mounted() || freeBefore > std::int64_t{1} << 32);
    EXPECT_GT(reading.FreeBytes, 0);
    EXPECT_GE(reading.FreeBytes, std::min(freeBefore, freeAfter) - slack);
    EXPECT_LE(reading.FreeBytes, std::max(freeBefore, freeAfter) + slack);
    const auto percentBefore = static_cast<int>(100 * static_cast<std::uint64_t>(before.f_bavail) / before.f_blocks);
    const auto percentAfter = static_cast<int>(100 * static_cast<std::uint64_t>(after.f_bavail) / after.f_blocks);
    EXPECT_GE(reading.FreePercent, std::min(percentBefore, percentAfter));
    EXPECT_LE(reading.FreePercent, std::max(percentBefore, percentAfter));
}

TEST(FloppyCatalogue, FreeSpaceText) {
    for (const auto& [bytes, text] : std::vector<std::pair<std::int64_t, std::string>>{
             {512000, "空き 512.00 kb"}, {0, "空き 0.00 kb"}, {1457664, "空き 1457.66 kb"}}) {
        EXPECT_EQ(FreeSpaceText(bytes), text);
    }
}

// ---- failures and messages -------------------------------------------------

TEST(FloppyCatalogue, UnreadableFloppyMessageNamesTheCatalogue) {
    EXPECT_EQ(UnreadableFloppyMessage("/media/x/FLOPPY/"),
              "Cannot open /media/x/FLOPPY/song.nam.\nPlease insert valid floppy disk.");
}

TEST_F(FloppyCatalogueTest, WriteIntoMissingFolderReportsBothFiles) {
    FolderVolume gone(dir.Path("ejected"));
    const std::string root = dir.Path("ejected") + "/";
    EXPECT_EQ(WriteRows(gone, {Row("T", "C")}),
              (Strings{"Cannot write " + root + "song.nam.\n" + std::strerror(ENOENT),
                       "Cannot write " + root + "comments.dat.\n" + std::strerror(ENOENT)}));
}

TEST(FloppyCatalogue, WriteProtectedFloppyReportsBothFilesAndKeepsThem) {
    // Root ignores folder modes, but not a read-only mount.
    TmpfsMount disk("size=64k");
    TempDir plain;
    const TempDir& dir = disk.mounted() ? disk.dir() : plain;
    if (!disk.mounted() && testing::RunningAsRoot()) GTEST_SKIP() << "root without a read-only mount to use";
    dir.Write("song.nam", "old titles");
    dir.Write("comments.dat", "old comments");
    if (disk.mounted()) {
        ASSERT_TRUE(disk.RemountReadOnly());
    } else {
        for (const std::string& path : {dir.path(), dir.Path("song.nam"), dir.Path("comments.dat")}) {
            ASSERT_EQ(::chmod(path.c_str(), 0555), 0);
        }
    }

    FolderVolume volume(dir.path());
    const Strings failures = WriteRows(volume, {Row("T", "C")});
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].rfind("Cannot write " + volume.Root() + "song.nam.\n", 0), 0u) << failures[0];
    EXPECT_EQ(failures[1].rfind("Cannot write " + volume.Root() + "comments.dat.\n", 0), 0u) << failures[1];
    EXPECT_EQ(dir.Read("song.nam"), "old titles");
    EXPECT_EQ(dir.Read("comments.dat"), "old comments");
}

TEST(FloppyCatalogue, WriteProtectedFloppyWithoutCatalogueSaysWhatCouldNotBeCreated) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a read-only tmpfs";
    disk.dir().WriteSized("MDR_00.B00", 10);
    ASSERT_TRUE(disk.RemountReadOnly());
    FolderVolume volume(disk.dir().path());
    const CatalogueReading reading = ReadCatalogue(&volume);
    EXPECT_FALSE(reading.readable);
    EXPECT_EQ(reading.FreePercent, -1);
    EXPECT_NE(reading.failure.find(volume.Root() + "song.nam"), std::string::npos) << reading.failure;
}

// A catalogue file is never rewritten in place, where a crash would leave
// half of each: on a floppy that something else filled, the old one stays.
TEST(FloppyCatalogue, FullFloppyKeepsItsCatalogueAndReportsBothFiles) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    const TempDir& dir = disk.dir();
    dir.Write("song.nam", TitlesFile({}));
    testing::FillDisk(dir.Path("filler"));
    FolderVolume volume(dir.path());

    const FileResult full = FileResult::FromErrno(ENOSPC);
    EXPECT_EQ(WriteRows(volume, {Row("Blues", "on a full disk")}),
              (Strings{CatalogueWriteMessage(volume.Root(), "song.nam", full),
                       CatalogueWriteMessage(volume.Root(), "comments.dat", full)}));
    EXPECT_EQ(dir.Read("song.nam"), TitlesFile({}));
    EXPECT_FALSE(dir.Exists("comments.dat"));
}

}  // namespace
}  // namespace tunecrate
