// SPDX-License-Identifier: MIT
#include "core/FloppyCatalogue.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "TempDir.h"
#include "core/FolderVolume.h"

namespace tunecrate {
namespace {

using testing::Repeat;
using testing::RunningAsRoot;
using testing::TempDir;
using testing::TmpfsMount;

constexpr std::string_view kSo = "\x83\x5C";                     // ソ
constexpr std::string_view kBlankTitleLine = "                 \r\n";   // 17 blanks
const std::string kEmptyComments = Repeat("\r\n", 40);

std::string BlankTitleLines(std::size_t count) { return Repeat(kBlankTitleLine, count); }

// A literal's bytes including any NUL inside it.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// One song.nam line: the title padded with blanks to 17 bytes, then CR LF.
std::string TitleLine(const std::string& title) {
    EXPECT_LE(title.size(), 17u);
    return title + std::string(17 - std::min<std::size_t>(17, title.size()), ' ') + "\r\n";
}

SlotRow Row(int number, std::string title, std::string comment) {
    SlotRow row;
    row.number = number;
    row.title = std::move(title);
    row.comment = std::move(comment);
    return row;
}

std::vector<std::string> Titles(const CatalogueReading& reading) {
    std::vector<std::string> out;
    for (const SlotRow& row : reading.rows) out.push_back(row.title);
    return out;
}

std::vector<std::string> Comments(const CatalogueReading& reading) {
    std::vector<std::string> out;
    for (const SlotRow& row : reading.rows) out.push_back(row.comment);
    return out;
}

// Every test gets a floppy that is a fresh folder.
class FloppyCatalogueTest : public ::testing::Test {
protected:
    TempDir dir;
    FolderVolume volume{dir.path()};
};

// ---- writing ---------------------------------------------------------------

TEST_F(FloppyCatalogueTest, WrittenCatalogueHasGoldenBytes) {
    const std::vector<SlotRow> rows = {
        Row(1, "Blues", "slow one"),
        Row(2, " Lead", ""),
        Row(3, "\x83\x5C\x95\x5C\xB1", "\x81\x40" "x"),
        Row(4, "AAAAAAAAAAAAAAAAA", Bytes("nul\0byte")),
        Row(5, "", "end"),
    };
    EXPECT_TRUE(WriteCatalogue(volume, rows).empty());

    const std::string titles = std::string("Blues            \r\n"
                                           " Lead            \r\n"
                                           "\x83\x5C\x95\x5C\xB1            \r\n"
                                           "AAAAAAAAAAAAAAAAA\r\n"
                                           "                 \r\n") +
                               BlankTitleLines(35);
    ASSERT_EQ(titles.size(), 760u);
    EXPECT_EQ(dir.Read("song.nam"), titles);
    EXPECT_EQ(TitlesFileBytes(rows), titles);

    const std::string comments = Bytes("slow one\r\n"
                                       "\r\n"
                                       "\x81\x40" "x\r\n"
                                       "nul\0byte\r\n"
                                       "end\r\n") +
                                 Repeat("\r\n", 35);
    EXPECT_EQ(dir.Read("comments.dat"), comments);
    EXPECT_EQ(CommentsFileBytes(rows), comments);
}

TEST_F(FloppyCatalogueTest, EmptyRowsWriteFortyBlankLines) {
    EXPECT_TRUE(WriteCatalogue(volume, {}).empty());
    EXPECT_EQ(dir.Read("song.nam"), BlankTitleLines(40));
    EXPECT_EQ(dir.Read("comments.dat"), kEmptyComments);
    EXPECT_EQ(kEmptyComments.size(), 80u);
}

TEST_F(FloppyCatalogueTest, LongTitleIsCutOnAWholeCharacterAndPadded) {
    const std::vector<SlotRow> rows = {
        // 18 bytes whose 17th byte is the lead byte of the eighth ソ.
        Row(1, "aa" + Repeat(kSo, 8), ""),
        // Exactly 17 bytes: eight full-width and one half-width character.
        Row(2, Repeat(kSo, 8) + "a", ""),
        Row(3, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", ""),
        Row(4, Repeat(kSo, 9), ""),
    };
    ASSERT_TRUE(WriteTitles(volume, rows).ok());
    const std::string expected = "aa" + Repeat(kSo, 7) + " \r\n" +
                                 Repeat(kSo, 8) + "a\r\n" +
                                 "ABCDEFGHIJKLMNOPQ\r\n" +
                                 Repeat(kSo, 8) + " \r\n" +
                                 BlankTitleLines(36);
    EXPECT_EQ(dir.Read("song.nam"), expected);
    EXPECT_EQ(dir.Read("song.nam")->size(), 760u);
}

TEST_F(FloppyCatalogueTest, LongCommentIsCutTo254BytesOnAWholeCharacter) {
    const std::vector<SlotRow> rows = {
        Row(1, "", std::string(300, 'c')),
        Row(2, "", "c" + Repeat(kSo, 200)),   // byte 254 would be a lead byte
    };
    ASSERT_TRUE(WriteComments(volume, rows).ok());
    EXPECT_EQ(dir.Read("comments.dat"),
              std::string(254, 'c') + "\r\n" + "c" + Repeat(kSo, 126) + "\r\n" + Repeat("\r\n", 38));
}

TEST_F(FloppyCatalogueTest, EachHalfRewritesOnlyItsOwnFile) {
    dir.Write("song.nam", "titles before");
    dir.Write("comments.dat", "comments before");
    const std::vector<SlotRow> rows = {Row(1, "T", "C")};

    ASSERT_TRUE(WriteTitles(volume, rows).ok());
    EXPECT_EQ(dir.Read("song.nam"), "T                \r\n" + BlankTitleLines(39));
    EXPECT_EQ(dir.Read("comments.dat"), "comments before");

    dir.Write("song.nam", "titles before");
    ASSERT_TRUE(WriteComments(volume, rows).ok());
    EXPECT_EQ(dir.Read("comments.dat"), "C\r\n" + Repeat("\r\n", 39));
    EXPECT_EQ(dir.Read("song.nam"), "titles before");
}

TEST_F(FloppyCatalogueTest, RewriteClearsLinesBeyondTheFifthSlot) {
    std::string titles, comments;
    for (int i = 1; i <= 40; ++i) {
        std::string title = "Song " + std::to_string(i);
        titles += title + std::string(17 - title.size(), ' ') + "\r\n";
        comments += "note " + std::to_string(i) + "\r\n";
    }
    dir.Write("song.nam", titles);
    dir.Write("comments.dat", comments);
    dir.WriteSized("MDR_00.B00", 10);

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    ASSERT_TRUE(WriteCatalogue(volume, reading.rows).empty());

    EXPECT_EQ(dir.Read("song.nam"), titles.substr(0, 5 * 19) + BlankTitleLines(35));
    EXPECT_EQ(dir.Read("comments.dat"),
              "note 1\r\nnote 2\r\nnote 3\r\nnote 4\r\nnote 5\r\n" + Repeat("\r\n", 35));
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
    ASSERT_TRUE(WriteCatalogue(volume, reading.rows).empty());
    EXPECT_FALSE(dir.Exists("song.nam"));
    EXPECT_FALSE(dir.Exists("comments.dat"));
    EXPECT_EQ(dir.Read("SONG.NAM"), "Lower            \r\n" + BlankTitleLines(39));
}

// A line break typed or pasted into a cell would shift every later slot.
TEST_F(FloppyCatalogueTest, LineBreakInsideATitleOrCommentBecomesABlank) {
    const std::vector<SlotRow> rows = {
        Row(1, "Slow\nBlues", "first\nsecond\n"),
        Row(2, "\n\nA", "\n"),
        Row(3, "Rock", "kept"),
    };
    ASSERT_TRUE(WriteCatalogue(volume, rows).empty());
    const std::string titles = TitleLine("Slow Blues") + TitleLine("  A") + TitleLine("Rock") + BlankTitleLines(37);
    EXPECT_EQ(dir.Read("song.nam"), titles);
    EXPECT_EQ(TitlesFileBytes(rows), titles);
    const std::string comments = "first second \r\n \r\nkept\r\n" + Repeat("\r\n", 37);
    EXPECT_EQ(dir.Read("comments.dat"), comments);
    EXPECT_EQ(CommentsFileBytes(rows), comments);
}

// A carriage return alone inside a line is not a line end on the floppy: a
// catalogue that holds one is written back byte for byte.
TEST_F(FloppyCatalogueTest, LoneCarriageReturnInsideALineIsWrittenBackUnchanged) {
    const std::string titles = TitleLine("A\rB") + TitleLine("\rLead") + BlankTitleLines(38);
    const std::string comments = "x\ry\r\n\r\r\nz\r\n" + Repeat("\r\n", 37);
    dir.Write("song.nam", titles);
    dir.Write("comments.dat", comments);
    dir.WriteSized("MDR_00.B00", 10);

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    EXPECT_EQ(reading.rows[0].title, "A\rB");
    EXPECT_EQ(reading.rows[0].comment, "x\ry");
    ASSERT_TRUE(WriteCatalogue(volume, reading.rows).empty());
    EXPECT_EQ(dir.Read("song.nam"), titles);
    // The second comment was only trailing white space, which reading drops.
    EXPECT_EQ(dir.Read("comments.dat"), "x\ry\r\n\r\nz\r\n" + Repeat("\r\n", 37));
}

// ---- reading ---------------------------------------------------------------

TEST_F(FloppyCatalogueTest, ReadingRemovesOnlyTrailingSingleByteWhiteSpace) {
    dir.Write("song.nam",
              "Blues            \r\n"
              " Lead\t\v\f        \r\n"
              "\x81\x40Zen\x81\x40         \r\n"
              "Tab\tInside      \n"
              "\x83\x5C\r\n");
    dir.Write("comments.dat",
              "  indented  \r\n"
              "trailing tabs\t\t\r\n"
              "wide blank\x81\x40\r\n"
              "\r\n"
              "last");
    dir.WriteSized("MDR_00.B00", 10);

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    EXPECT_EQ(Titles(reading), (std::vector<std::string>{
                                   "Blues", " Lead", "\x81\x40Zen\x81\x40", "Tab\tInside", "\x83\x5C"}));
    EXPECT_EQ(Comments(reading), (std::vector<std::string>{
                                     "  indented", "trailing tabs", "wide blank\x81\x40", "", "last"}));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(reading.rows[static_cast<std::size_t>(i)].number, i + 1);
}

TEST_F(FloppyCatalogueTest, ShortCatalogueGivesEmptyTitlesBeyondItsEnd) {
    dir.Write("song.nam", "One\r\nTwo");
    dir.Write("comments.dat", "");
    dir.WriteSized("MDR_00.B00", 10);

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    ASSERT_EQ(reading.rows.size(), 5u);
    EXPECT_EQ(Titles(reading), (std::vector<std::string>{"One", "Two", "", "", ""}));
    EXPECT_EQ(Comments(reading), (std::vector<std::string>(5, "")));
}

TEST_F(FloppyCatalogueTest, LongCommentLineStaysInItsOwnSlot) {
    const std::string huge = "a" + Repeat(kSo, 5000);     // 10,001 bytes
    dir.Write("comments.dat", huge + "\r\n" + "second\r\n" + std::string(10000, 'x') + "\n" + "fourth\r\n");
    dir.Write("song.nam", BlankTitleLines(40));
    dir.WriteSized("MDR_00.B00", 10);

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    // 254 bytes would end in the lead byte of the 127th ソ.
    EXPECT_EQ(reading.rows[0].comment, "a" + Repeat(kSo, 126));
    EXPECT_EQ(reading.rows[1].comment, "second");
    EXPECT_EQ(reading.rows[2].comment, std::string(254, 'x'));
    EXPECT_EQ(reading.rows[3].comment, "fourth");
    EXPECT_EQ(reading.rows[4].comment, "");
}

TEST_F(FloppyCatalogueTest, UnchangedRowsWriteBackByteForByte) {
    // NUL bytes and bytes that do not decode, none of them at a line's end.
    const std::string titles = TitleLine("Blues") + TitleLine(Bytes(" a\0b")) +
                               TitleLine("\x80\xFF\xFD" "x") + TitleLine("\x83 \x81\x40z") +
                               TitleLine(Repeat(kSo, 8) + "a") + BlankTitleLines(35);
    const std::string comments = Bytes("c\0\0mment\r\n"
                                       "\xA0\xFE bad \x85\x40 bytes\r\n"
                                       "\r\n"
                                       "\x81 \x82\r\n"
                                       "plain\r\n") +
                                 Repeat("\r\n", 35);
    ASSERT_EQ(titles.size(), 760u);
    dir.Write("song.nam", titles);
    dir.Write("comments.dat", comments);
    dir.WriteSized("MDR_00.B00", 10);

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    EXPECT_EQ(reading.rows[1].title, Bytes(" a\0b"));
    EXPECT_EQ(reading.rows[0].comment, Bytes("c\0\0mment"));

    ASSERT_TRUE(WriteCatalogue(volume, reading.rows).empty());
    EXPECT_EQ(dir.Read("song.nam"), titles);
    EXPECT_EQ(dir.Read("comments.dat"), comments);
}

// Writers that cut a title at 17 bytes leave a lead byte without its trail byte
// at the end of the field; a rewrite for another row must not change it.
TEST_F(FloppyCatalogueTest, TitleEndingInALoneLeadByteSurvivesRewrite) {
    const std::string titles = "AAAAAAAAAAAAAAAA\x83\r\n" + BlankTitleLines(39);
    dir.Write("song.nam", titles);
    dir.Write("comments.dat", kEmptyComments);
    dir.WriteSized("MDR_00.B00", 10);

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    EXPECT_EQ(reading.rows[0].title, "AAAAAAAAAAAAAAAA\x83");
    ASSERT_TRUE(WriteCatalogue(volume, reading.rows).empty());
    EXPECT_EQ(dir.Read("song.nam"), titles);
}

TEST_F(FloppyCatalogueTest, SlotStateAndSizeFollowTheSlotFiles) {
    dir.Write("song.nam", BlankTitleLines(40));
    dir.Write("comments.dat", "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n" + Repeat("\r\n", 35));
    dir.WriteSized("MDR_00.B00", 1023);
    dir.WriteSized("MDR_01.B00", 1024);
    dir.WriteSized("MDR_01.EVT", 2048);
    dir.WriteSized("MDR_02.EVT", 4096);        // events without a song
    dir.WriteSized("mdr_03.b00", 5000);        // lower-case names as some drives show them
    dir.WriteSized("mdr_03.evt", 120);

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    ASSERT_EQ(reading.rows.size(), 5u);
    const auto& r = reading.rows;
    EXPECT_EQ(r[0].state, SlotState::PartialSong);
    EXPECT_EQ(r[0].sizeText, "0kb");
    EXPECT_EQ(r[1].state, SlotState::FullSong);
    EXPECT_EQ(r[1].sizeText, "3kb");
    EXPECT_EQ(r[2].state, SlotState::EmptySlot);
    EXPECT_EQ(r[2].sizeText, "----");
    EXPECT_EQ(r[2].comment, "three");
    EXPECT_EQ(r[3].state, SlotState::FullSong);
    EXPECT_EQ(r[3].sizeText, "5kb");
    EXPECT_EQ(r[4].state, SlotState::EmptySlot);
    EXPECT_EQ(r[4].sizeText, "----");
    EXPECT_EQ(r[4].comment, "five");
}

TEST_F(FloppyCatalogueTest, SlotFilesAloneGetFreshCatalogueFiles) {
    dir.WriteSized("MDR_07.B00", 100);   // song number 8, beyond the five slots

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    EXPECT_EQ(dir.Read("song.nam"), BlankTitleLines(40));
    EXPECT_EQ(dir.Read("comments.dat"), kEmptyComments);
    ASSERT_EQ(reading.rows.size(), 5u);
    for (const SlotRow& row : reading.rows) {
        EXPECT_EQ(row.state, SlotState::EmptySlot);
        EXPECT_EQ(row.sizeText, "----");
        EXPECT_EQ(row.title, "");
        EXPECT_EQ(row.comment, "");
    }
    EXPECT_GE(reading.FreePercent, 0);
    EXPECT_TRUE(reading.failure.empty());
}

TEST_F(FloppyCatalogueTest, MissingCommentsFileIsCreatedBesideExistingTitles) {
    const std::string titles = "Kept             \r\n";
    dir.Write("song.nam", titles);

    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    EXPECT_EQ(reading.rows[0].title, "Kept");
    EXPECT_EQ(dir.Read("comments.dat"), kEmptyComments);
    EXPECT_EQ(dir.Read("song.nam"), titles);
}

TEST_F(FloppyCatalogueTest, ProbeFindsSongFilesUpToMdr39Only) {
    {
        TempDir last;
        last.WriteSized("MDR_39.B00", 10);
        FolderVolume lastVolume(last.path());
        EXPECT_TRUE(ReadCatalogue(&lastVolume).readable);
        EXPECT_TRUE(last.Exists("song.nam"));
    }
    {
        TempDir beyond;
        beyond.WriteSized("MDR_40.B00", 10);
        FolderVolume beyondVolume(beyond.path());
        EXPECT_FALSE(ReadCatalogue(&beyondVolume).readable);
        EXPECT_EQ(beyond.EntryCount(), 1u);
    }
    {
        TempDir eventsOnly;
        eventsOnly.WriteSized("MDR_00.EVT", 10);
        FolderVolume eventsVolume(eventsOnly.path());
        EXPECT_FALSE(ReadCatalogue(&eventsVolume).readable);
        EXPECT_EQ(eventsOnly.EntryCount(), 1u);
    }
}

TEST_F(FloppyCatalogueTest, FolderWithoutCatalogueOrSongsIsUnreadableAndUntouched) {
    dir.Write("readme.txt", "not a song floppy");
    CatalogueReading reading = ReadCatalogue(&volume);
    EXPECT_FALSE(reading.readable);
    EXPECT_TRUE(reading.rows.empty());
    EXPECT_EQ(reading.FreePercent, -1);
    EXPECT_EQ(reading.FreeBytes, 0);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(FloppyCatalogue, NoFloppyIsUnreadable) {
    CatalogueReading none = ReadCatalogue(nullptr);
    EXPECT_FALSE(none.readable);
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(none.FreePercent, -1);
    EXPECT_EQ(none.FreeBytes, 0);

    TempDir dir;
    FolderVolume gone(dir.Path("ejected"));
    CatalogueReading missing = ReadCatalogue(&gone);
    EXPECT_FALSE(missing.readable);
    EXPECT_EQ(missing.FreePercent, -1);
    EXPECT_EQ(missing.FreeBytes, 0);
    EXPECT_FALSE(dir.Exists("ejected"));
}

TEST_F(FloppyCatalogueTest, UnreadableTitlesFileIsNeverReplaced) {
    if (RunningAsRoot()) GTEST_SKIP() << "root reads files whatever their mode";
    const std::string titles = "Precious         \r\n";
    dir.Write("song.nam", titles);
    dir.WriteSized("MDR_00.B00", 10);
    ASSERT_EQ(::chmod(dir.Path("song.nam").c_str(), 0), 0);

    CatalogueReading reading = ReadCatalogue(&volume);
    EXPECT_FALSE(reading.readable);
    EXPECT_EQ(reading.FreePercent, -1);
    ASSERT_EQ(::chmod(dir.Path("song.nam").c_str(), 0644), 0);
    EXPECT_EQ(dir.Read("song.nam"), titles);
}

TEST_F(FloppyCatalogueTest, CatalogueFileThatIsAFifoIsNeitherReadNorReplaced) {
    dir.WriteSized("MDR_00.B00", 10);
    ASSERT_EQ(::mkfifo(dir.Path("song.nam").c_str(), 0644), 0);
    // A blocking open would hang here: nothing ever writes into the FIFO.
    CatalogueReading reading = ReadCatalogue(&volume);
    EXPECT_FALSE(reading.readable);
    struct stat st {};
    ASSERT_EQ(::lstat(dir.Path("song.nam").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    TempDir other;
    other.Write("song.nam", BlankTitleLines(40));
    ASSERT_EQ(::mkfifo(other.Path("comments.dat").c_str(), 0644), 0);
    FolderVolume otherVolume(other.path());
    CatalogueReading second = ReadCatalogue(&otherVolume);
    EXPECT_FALSE(second.readable);
    EXPECT_EQ(second.FreePercent, -1);
    EXPECT_EQ(second.FreeBytes, 0);
    ASSERT_EQ(::lstat(other.Path("comments.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// ---- free space ------------------------------------------------------------

// A real folder whose free-space answers are replaced, for disk geometries and
// a disk taken out between two queries, which a test cannot produce for real.
class ScriptedSpaceVolume final : public FloppyVolume {
public:
    ScriptedSpaceVolume(const std::string& root, std::vector<std::optional<SpaceInfo>> answers)
        : m_folder(root), m_answers(std::move(answers)) {}
    std::string Root() const override { return m_folder.Root(); }
    std::optional<SpaceInfo> Space() const override {
        std::size_t i = std::min(m_calls++, m_answers.size() - 1);
        return m_answers[i];
    }
    bool Exists(std::string_view name) const override { return m_folder.Exists(name); }
    std::optional<std::uint64_t> FileSize(std::string_view name) const override { return m_folder.FileSize(name); }
    std::optional<std::string> ReadFile(std::string_view name, std::size_t maxBytes) const override {
        return m_folder.ReadFile(name, maxBytes);
    }
    FileResult WriteFile(std::string_view name, std::string_view bytes) override {
        return m_folder.WriteFile(name, bytes);
    }
    FileResult Remove(std::string_view name) override { return m_folder.Remove(name); }
    FileResult CopyFromHost(const std::string& hostPath, std::string_view name, bool failIfExists) override {
        return m_folder.CopyFromHost(hostPath, name, failIfExists);
    }
    FileResult CopyToHost(std::string_view name, const std::string& hostPath, bool failIfExists) override {
        return m_folder.CopyToHost(name, hostPath, failIfExists);
    }
    void Flush() override { m_folder.Flush(); }

private:
    FolderVolume m_folder;
    std::vector<std::optional<SpaceInfo>> m_answers;
    mutable std::size_t m_calls = 0;
};

SpaceInfo Geometry(std::uint64_t freeUnits, std::uint64_t totalUnits, std::uint64_t unitBytes) {
    SpaceInfo info;
    info.freeUnits = freeUnits;
    info.totalUnits = totalUnits;
    info.unitBytes = unitBytes;
    return info;
}

TEST_F(FloppyCatalogueTest, FreeSpaceFiguresOfAFloppyGeometry) {
    dir.WriteSized("MDR_00.B00", 10);
    ScriptedSpaceVolume floppy(dir.path(), {Geometry(1000, 2847, 512)});
    CatalogueReading reading = ReadCatalogue(&floppy);
    ASSERT_TRUE(reading.readable);
    EXPECT_EQ(reading.FreePercent, 35);   // 100,000 / 2,847 truncated
    EXPECT_EQ(reading.FreeBytes, 512000);

    // Larger than 32 bits: a folder standing in for a floppy on a big disk.
    ScriptedSpaceVolume big(dir.path(), {Geometry(3'000'000, 4'000'000, 4096)});
    CatalogueReading bigReading = ReadCatalogue(&big);
    ASSERT_TRUE(bigReading.readable);
    EXPECT_EQ(bigReading.FreePercent, 75);
    EXPECT_EQ(bigReading.FreeBytes, std::int64_t{12'288'000'000});
}

TEST_F(FloppyCatalogueTest, DiskTakenOutBetweenQueriesIsUnreadable) {
    dir.WriteSized("MDR_00.B00", 10);
    ScriptedSpaceVolume floppy(dir.path(), {Geometry(1000, 2847, 512), Geometry(0, 0, 512)});
    CatalogueReading reading = ReadCatalogue(&floppy);
    EXPECT_FALSE(reading.readable);
    EXPECT_EQ(reading.FreePercent, -1);
    EXPECT_EQ(reading.FreeBytes, 0);

    ScriptedSpaceVolume failing(dir.path(), {Geometry(1000, 2847, 512), std::nullopt});
    EXPECT_FALSE(ReadCatalogue(&failing).readable);
}

TEST_F(FloppyCatalogueTest, FreeSpaceOfARealFolderMatchesStatvfs) {
    dir.Write("song.nam", BlankTitleLines(40));
    dir.Write("comments.dat", kEmptyComments);
    struct statvfs before {};
    ASSERT_EQ(::statvfs(dir.path().c_str(), &before), 0);
    CatalogueReading reading = ReadCatalogue(&volume);
    struct statvfs after {};
    ASSERT_EQ(::statvfs(dir.path().c_str(), &after), 0);
    ASSERT_TRUE(reading.readable);

    // Other processes share this file system, so the figure may move a little
    // between the three measurements; it must lie between them.
    const std::int64_t slack = 64LL << 20;
    const auto freeBefore = static_cast<std::int64_t>(before.f_bavail * before.f_frsize);
    const auto freeAfter = static_cast<std::int64_t>(after.f_bavail * after.f_frsize);
    EXPECT_GT(reading.FreeBytes, 0);
    EXPECT_GE(reading.FreeBytes, std::min(freeBefore, freeAfter) - slack);
    EXPECT_LE(reading.FreeBytes, std::max(freeBefore, freeAfter) + slack);

    const auto percentBefore = static_cast<int>(100 * static_cast<std::uint64_t>(before.f_bavail) / before.f_blocks);
    const auto percentAfter = static_cast<int>(100 * static_cast<std::uint64_t>(after.f_bavail) / after.f_blocks);
    EXPECT_GE(reading.FreePercent, std::min(percentBefore, percentAfter));
    EXPECT_LE(reading.FreePercent, std::max(percentBefore, percentAfter));
    EXPECT_GE(reading.FreePercent, 0);
    EXPECT_LE(reading.FreePercent, 100);
}

TEST(FloppyCatalogue, FreeSpaceBeyond4GiBIsExactOnAPrivateDisk) {
    TmpfsMount disk("size=6g");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    // Both catalogue files exist, so the reading writes nothing after measuring.
    disk.dir().Write("song.nam", BlankTitleLines(40));
    disk.dir().Write("comments.dat", kEmptyComments);
    FolderVolume volume(disk.dir().path());
    CatalogueReading reading = ReadCatalogue(&volume);
    ASSERT_TRUE(reading.readable);
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(disk.dir().path().c_str(), &vfs), 0);
    const std::uint64_t freeBytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    ASSERT_GT(freeBytes, std::uint64_t{1} << 32);
    EXPECT_EQ(static_cast<std::uint64_t>(reading.FreeBytes), freeBytes);
    EXPECT_EQ(reading.FreePercent, static_cast<int>(100 * static_cast<std::uint64_t>(vfs.f_bavail) / vfs.f_blocks));
}

TEST(FloppyCatalogue, FreeSpaceText) {
    EXPECT_EQ(FreeSpaceText(512000), "空き 512.00 kb");
    EXPECT_EQ(FreeSpaceText(0), "空き 0.00 kb");
    EXPECT_EQ(FreeSpaceText(1457664), "空き 1457.66 kb");
}

// ---- failures and messages -------------------------------------------------

TEST(FloppyCatalogue, UnreadableFloppyMessageNamesTheCatalogue) {
    EXPECT_EQ(UnreadableFloppyMessage("/media/x/FLOPPY/"),
              "Cannot open /media/x/FLOPPY/song.nam.\nPlease insert valid floppy disk.");
}

TEST(FloppyCatalogue, WriteMessageNamesTheFileAndTheReason) {
    EXPECT_EQ(CatalogueWriteMessage("/media/x/FLOPPY/", "comments.dat", FileResult::FromErrno(EROFS)),
              std::string("Cannot write /media/x/FLOPPY/comments.dat.\n") + std::strerror(EROFS));
}

TEST_F(FloppyCatalogueTest, WriteIntoMissingFolderReportsBothFiles) {
    FolderVolume gone(dir.Path("ejected"));
    const std::vector<std::string> failures = WriteCatalogue(gone, {Row(1, "T", "C")});
    const std::string root = dir.Path("ejected") + "/";
    EXPECT_EQ(failures, (std::vector<std::string>{
                            "Cannot write " + root + "song.nam.\n" + std::strerror(ENOENT),
                            "Cannot write " + root + "comments.dat.\n" + std::strerror(ENOENT),
                        }));
}

TEST(FloppyCatalogue, WriteProtectedFloppyReportsBothFilesAndKeepsThem) {
    // Root ignores folder modes, but not a read-only mount.
    TmpfsMount disk("size=64k");
    TempDir plain;
    const TempDir& dir = disk.mounted() ? disk.dir() : plain;
    if (!disk.mounted() && RunningAsRoot()) GTEST_SKIP() << "root without a read-only mount to use";
    dir.Write("song.nam", "old titles");
    dir.Write("comments.dat", "old comments");
    if (disk.mounted()) {
        ASSERT_TRUE(disk.RemountReadOnly());
    } else {
        ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
        ASSERT_EQ(::chmod(dir.Path("song.nam").c_str(), 0444), 0);
        ASSERT_EQ(::chmod(dir.Path("comments.dat").c_str(), 0444), 0);
    }

    FolderVolume volume(dir.path());
    const std::vector<std::string> failures = WriteCatalogue(volume, {Row(1, "T", "C")});
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find(volume.Root() + "song.nam"), std::string::npos) << failures[0];
    EXPECT_NE(failures[1].find(volume.Root() + "comments.dat"), std::string::npos) << failures[1];
    EXPECT_EQ(dir.Read("song.nam"), "old titles");
    EXPECT_EQ(dir.Read("comments.dat"), "old comments");
}

TEST(FloppyCatalogue, WriteProtectedFloppyWithoutCatalogueSaysWhatCouldNotBeCreated) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a read-only tmpfs";
    disk.dir().WriteSized("MDR_00.B00", 10);
    ASSERT_TRUE(disk.RemountReadOnly());
    FolderVolume volume(disk.dir().path());
    CatalogueReading reading = ReadCatalogue(&volume);
    EXPECT_FALSE(reading.readable);
    EXPECT_EQ(reading.FreePercent, -1);
    EXPECT_NE(reading.failure.find(volume.Root() + "song.nam"), std::string::npos)
        << reading.failure;
}

// Fills the file system of `path` to the last byte.
void FillDisk(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string chunk(4096, 'f');
    while (::write(fd, chunk.data(), chunk.size()) > 0) {
    }
    while (::write(fd, chunk.data(), 1) > 0) {
    }
    ::close(fd);
}

TEST(FloppyCatalogue, RewriteOnAFullFloppyReusesTheFilesOwnSpace) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    const TempDir& dir = disk.dir();
    dir.Write("song.nam", BlankTitleLines(40));
    dir.Write("comments.dat", kEmptyComments);
    FillDisk(dir.Path("filler"));
    FolderVolume volume(dir.path());

    EXPECT_TRUE(WriteCatalogue(volume, {Row(1, "Blues", "on a full disk")}).empty());
    EXPECT_EQ(dir.Read("song.nam"), "Blues            \r\n" + BlankTitleLines(39));
    EXPECT_EQ(dir.Read("comments.dat"), "on a full disk\r\n" + Repeat("\r\n", 39));
}

TEST(FloppyCatalogue, CatalogueOnAFullFloppyReportsDiskFull) {
    TmpfsMount disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    const TempDir& dir = disk.dir();
    FillDisk(dir.Path("filler"));
    FolderVolume volume(dir.path());

    FileResult result = WriteTitles(volume, {Row(1, "Blues", "")});
    EXPECT_EQ(result.status, FileStatus::DiskFull);
    const std::vector<std::string> failures = WriteCatalogue(volume, {Row(1, "Blues", "c")});
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0], CatalogueWriteMessage(volume.Root(), "song.nam", FileResult::FromErrno(ENOSPC)));
}

}  // namespace
}  // namespace tunecrate
