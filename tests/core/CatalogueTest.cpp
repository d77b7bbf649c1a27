// SPDX-License-Identifier: MIT
// song.nam and comments.dat: the rows read, the bytes written, edits that never undo another writer's.
#include "Songs.h"
#include "core/Texts.h"

namespace tunecrate::testing {
namespace {

const std::string kSo = "\x83\x5C";   // ソ

std::string Shown(const SlotRow& r) {   // number|title|size|comment|Partial, Full or Empty
    return std::to_string(r.number) + "|" + r.title + "|" + r.sizeText + "|" + r.comment + "|" + "PFE"[static_cast<int>(r.state)];
}

class CatalogueTest : public ::testing::TestWithParam<Medium> {};

TEST_P(CatalogueTest, RowsShowTheLinesTrimmedAtTheEndAndTheStateOfEachSlot) {
    TestFloppy floppy(GetParam(), "");
    PutFiles(floppy, {{"song.nam", "Blues   \r\n Lead\t\v\f \r\n\x81\x40Zen\x81\x40 \r\nTab\tIn \n\x83\x5C"s},
                      {"comments.dat", "  indented  \r\ntabs\t\t\r\nc" + Repeat(kSo, 200) + "\r\nlast"},
                      {"MDR_00.B00", std::string(1023, 's')}, {"MDR_01.B00", std::string(1024, 's')},
                      {"MDR_01.EVT", std::string(2048, 'e')}, {"MDR_02.EVT", "events without a song"s},
                      {"mdr_03.b00", std::string(5000, 's')}, {"mdr_03.evt", std::string(120, 'e')}});
    if (GetParam() == Medium::Folder) std::filesystem::rename(floppy.root() + "/song.nam", floppy.root() + "/SONG.NAM");
    ListingsOf(floppy.root());
    Strings rows;
    for (const SlotRow& row : RowsOf(floppy.Open().get())) rows.push_back(Shown(row));
    EXPECT_LE(ListingsOf(floppy.root()), 1) << "a reading reads the floppy's folder once at most";
    const auto volume = floppy.Open();   // a file is found in any case and read up to a limit
    EXPECT_EQ(std::pair(volume->ReadFile("Mdr_00.b00", 5), volume->Exists("MDR_03.B00")), std::pair(std::optional("sssss"s), true));
    EXPECT_EQ(rows, (Strings{"1|Blues|0kb|  indented|P", "2| Lead|3kb|tabs|F",
                             "3|\x81\x40Zen\x81\x40|----|c" + Repeat(kSo, 126) + "|E", "4|Tab\tIn|5kb|last|F",
                             "5|\x83\x5C|----||E"}));
}

// Slot files MDR_00 to MDR_39 make a song floppy, whose missing catalogue files are created blank.
TEST_P(CatalogueTest, MissingCatalogueFilesAreCreatedOnlyOnASongFloppy) {
    for (const std::string file : {"MDR_39.B00", "MDR_40.B00", "MDR_00.EVT", "readme.txt"}) {
        TestFloppy floppy(GetParam(), "");
        PutFiles(floppy, {{"song.nam", std::nullopt}, {"comments.dat", std::nullopt}, {file, "x"s}});
        const auto volume = floppy.Open();
        const bool songFloppy = ReadCatalogue(volume.get()).has_value();
        EXPECT_EQ(songFloppy, file == "MDR_39.B00") << file;
        EXPECT_EQ(volume->ReadFile("song.nam", 4096), songFloppy ? std::optional(Lines({}, 17)) : std::nullopt) << file;
        EXPECT_EQ(volume->ReadFile("comments.dat", 4096), songFloppy ? std::optional(Lines({}, 0)) : std::nullopt);
    }
    TestFloppy floppy(GetParam(), "1:Kept/gone");
    PutFiles(floppy, {{"comments.dat", std::nullopt}});
    EXPECT_EQ(Shown(RowsOf(floppy.Open().get())[0]), "1|Kept|----||E");
    EXPECT_EQ(floppy.Open()->ReadFile("comments.dat", 4096), Lines({}, 0));
}

TEST_P(CatalogueTest, WrittenLinesHaveTheirGoldenBytesCutOnWholeCharacters) {
    TestFloppy floppy(GetParam(), "");
    const auto volume = floppy.Open();
    ASSERT_TRUE(UpdateCatalogue(*volume, {{0, "Blues", "slow one"}, {1, " Lead", ""}, {2, kSo + "\x95\x5C\xB1", "\x81\x40x"},
                                          {3, std::string(17, 'A'), "nul\0byte"s}, {4, "", "end"}}).ok());
    EXPECT_EQ(volume->ReadFile("song.nam", 4096),
              "Blues            \r\n Lead            \r\n\x83\x5C\x95\x5C\xB1            \r\nAAAAAAAAAAAAAAAAA\r\n" +
                  Repeat(std::string(17, ' ') + "\r\n", 36));
    EXPECT_EQ(volume->ReadFile("comments.dat", 4096), Lines({"slow one", "", "\x81\x40x", "nul\0byte"s, "end"}, 0));
    // 17 bytes of a title, 254 of a comment, never half a character; a line break would shift every later slot.
    ASSERT_TRUE(UpdateCatalogue(*volume, {{0, "aa" + Repeat(kSo, 8), std::string(300, 'c')},
                                          {1, Repeat(kSo, 8) + "a", "c" + Repeat(kSo, 200)},
                                          {2, Repeat(kSo, 9), "first\nsecond\n"}, {3, "Slow\nBlues", "\n"}}).ok());
    EXPECT_EQ(volume->ReadFile("song.nam", 4096), Lines({"aa" + Repeat(kSo, 7), Repeat(kSo, 8) + "a", Repeat(kSo, 8),
                                                         "Slow Blues"}, 17));
    EXPECT_EQ(volume->ReadFile("comments.dat", 4096),
              Lines({std::string(254, 'c'), "c" + Repeat(kSo, 126), "first second ", " ", "end"}, 0));
}

// Odd bytes and the lines beyond the fifth slot (the instrument's songs) stay as they are.
TEST_P(CatalogueTest, UneditedLinesStayByteForByteAndOnlyAChangedFileIsWritten) {
    Strings lines = {"Blues", " a\0b"s, "\x80\xFF\xFD" "x", "\x83 \x81\x40z", std::string(16, 'A') + "\x83"};
    lines.push_back("Sixth title is 25 bytes!!");   // longer than a title: another program's
    for (int line = 7; line <= 40; ++line) lines.push_back("Song " + std::to_string(line) + "\x81\x40");
    std::string titles = Lines(lines, 17);
    titles.erase(titles.find("\r\n", titles.find("Song 7")), 1);   // a line ended by LF alone
    const std::string comments = "c\0\0mment\r\n\xA0\xFE bad \x85\x40 bytes\r\n\r\n\x81 \x82\r\nplain\r\n"s +
                                 Repeat("a note\r\n", 35);
    TestFloppy floppy(GetParam(), "");
    PutFiles(floppy, {{"song.nam", titles}, {"comments.dat", comments}});
    const auto volume = floppy.Open();
    const auto stamps = [&] { return std::pair(volume->Stamp("song.nam"), volume->Stamp("comments.dat")); };
    const auto before = stamps();
    std::vector<SlotText> asRead;
    for (const SlotRow& row : RowsOf(volume.get())) asRead.push_back({row.number - 1, row.title, row.comment});
    ASSERT_TRUE(asRead.size() == 5 && UpdateCatalogue(*volume, asRead).ok());
    EXPECT_EQ(std::tuple(volume->ReadFile("song.nam", 4096), volume->ReadFile("comments.dat", 4096), stamps()),
              std::tuple(titles, comments, before));
    ASSERT_TRUE(volume->WriteFile("comments.dat", "comments in no form").ok());   // a rewrite would give them one
    ASSERT_TRUE(UpdateCatalogue(*volume, {{1, "Dawn", std::nullopt}}).ok());
    EXPECT_EQ(volume->ReadFile("song.nam", 4096), std::string(titles).replace(19, 17, "Dawn" + std::string(13, ' ')));
    EXPECT_EQ(std::pair(stamps().first == before.first, volume->ReadFile("comments.dat", 4096)),
              std::pair(false, std::optional("comments in no form"s)));
}

TEST_P(CatalogueTest, AFailedWriteNamesItsFileAndKeepsIt) {
    Tmpfs disk("size=4m");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    TestFloppy floppy(GetParam(), "1:Old/old=Blues", disk.path());
    ASSERT_TRUE(disk.MakeReadOnly());
    auto volume = floppy.Open();
    const Result result = EditSlotText(*volume, RowsOf(floppy.Open().get()), {0, "New", "new"});
    const std::string why = GetParam() != Medium::Folder ? Translated(texts::kImageFileReadOnly, {floppy.location()}) : std::strerror(EROFS);
    EXPECT_EQ(std::pair(result.status, result.reason),
              std::pair(Status::Failed, Translated(texts::kCannotWrite, {volume->Root() + "song.nam", why})));
    volume.reset();
    EXPECT_EQ(floppy.Describe(), "1:Old/old=Blues");
}

// What the window showed is compared with the floppy as it is now: another
// slot's change is kept (and told), a change of the edited slot refuses the edit.
TEST_P(CatalogueTest, AnEditNeverUndoesAnotherWritersChange) {
    for (const auto& [meanwhile, status, after] : std::vector<std::tuple<std::vector<FileChange>, Status, std::string>>{
             {{}, Status::Ok, "1:Dawn/=Blues 2:Demo/=Demo"},
             {{{"song.nam", Lines({"Blues", "Rock"}, 17)}}, Status::Ok, "1:Dawn/=Blues 2:Rock/=Demo"},
             {{{"song.nam", Lines({"Rock", "Demo"}, 17)}}, Status::Refused, "1:Rock/=Blues 2:Demo/=Demo"},
             {{{"MDR_00.B00", std::nullopt}}, Status::Refused, "1:Blues/ 2:Demo/=Demo"},
             {{{"MDR_00.B00", SongBytes("Rock")}}, Status::Refused, "1:Blues/=Rock 2:Demo/=Demo"}}) {
        TestFloppy floppy(GetParam(), "1:Blues/=Blues 2:Demo/=Demo");
        const std::vector<SlotRow> shown = RowsOf(floppy.Open().get());
        PutFiles(floppy, meanwhile);
        const Result edit = EditSlotText(*floppy.Open(), shown, {0, "Dawn", std::nullopt});
        EXPECT_EQ(edit.status, status) << after;
        EXPECT_EQ(edit.reason, meanwhile.empty() ? "" : CatalogueChangedMessage(status == Status::Ok)) << after;
        EXPECT_EQ(floppy.Describe(), after);
    }
}

// Two windows (or a window and a script) editing a slot each, as fast as they can: no edit is ever lost.
TEST_P(CatalogueTest, TwoWritersAtOnceKeepEachOthersEdits) {
    TestFloppy floppy(GetParam(), "1:A/ 2:B/");
    pid_t writers[2];
    for (int slot = 0; slot < 2; ++slot) {
        if ((writers[slot] = ::fork()) != 0) continue;
        std::string mine(1, static_cast<char>('A' + slot));   // the title this writer put in its slot last
        for (int tries = 0, edits = 0; edits < 40; ++tries) {
            const std::vector<SlotRow> shown = RowsOf(floppy.Open().get());
            if (tries == 400 || (shown.size() == 5 && shown[static_cast<std::size_t>(slot)].title != mine)) ::_exit(1);
            const std::string title = mine.substr(0, 1) + std::to_string(edits + 1);
            if (!EditSlotText(*floppy.Open(), shown, {slot, title, std::nullopt}).ok()) continue;
            mine = title;
            ++edits;
        }
        ::_exit(0);
    }
    int status = -1;
    for (pid_t pid : writers) EXPECT_TRUE(::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && !WEXITSTATUS(status));
    EXPECT_EQ(floppy.Describe(), "1:A40/ 2:B40/");
}

INSTANTIATE_TEST_SUITE_P(Media, CatalogueTest, ::testing::Values(Medium::Folder, Medium::Image, Medium::Slot), MediumParamName);

// A FIFO would block a reader; a file only its mode keeps from the reader (who gives root up) may be the only copy.
TEST(Catalogue, AnUnreadableCatalogueFileIsNeverReplaced) {
    for (const std::string name : {"song.nam", "comments.dat"})
        for (const bool fifo : {true, false}) {
            TestFloppy floppy(Medium::Folder, "1:Precious/kept=Blues");
            const std::string path = floppy.root() + "/" + name;
            ASSERT_TRUE(fifo ? ::unlink(path.c_str()) == 0 && ::mkfifo(path.c_str(), 0644) == 0 : ::chmod(path.c_str(), 0) == 0);
            ASSERT_EQ(::chmod(floppy.root().c_str(), 0777), 0);
            EXPECT_TRUE(InChildProcess([&] {
                if (!BecomeUnprivileged()) return false;
                return !ReadCatalogue(floppy.Open().get()) &&
                       UpdateCatalogue(*floppy.Open(), {name == "song.nam" ? SlotText{1, "New", {}} : SlotText{1, {}, "new"}}).status == Status::Failed;
            })) << name;
            ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
            EXPECT_TRUE(fifo ? std::filesystem::is_fifo(path) : floppy.Describe() == "1:Precious/kept=Blues") << name;
        }
}

TEST(Catalogue, FreeSpaceIsWhatTheDiskHasFree) {
    for (const auto& [bytes, coarser, text] : std::vector<std::tuple<std::int64_t, int, std::string>>{
             {0, 0, "空き 0.00 kb"}, {512000, 0, "空き 512.00 kb"}, {1457664, 0, "空き 1457.66 kb"}, {15, 0, "空き 0.02 kb"},
             {84531179400, 1, "空き 84531.2 MB"}, {84531179400, 2, "空き 84.5 GB"}, {84531179400, 3, "空き 0.1 TB"},
             {1457664, 2, "空き 0.0 GB"}, {5, 9, "空き 0.0 TB"}})
        EXPECT_EQ(FreeSpaceText(bytes, coarser), text);   // 15: the single-precision kilobyte the figure has always used
    const auto ejected = OpenFloppyVolume(TempDir().Path("ejected"));
    EXPECT_EQ(ReadCatalogue(ejected.get()).error().reason, UnreadableFloppyMessage(ejected->Root()));
    // A song floppy image has 2,847 clusters of 512 bytes; a fresh one's catalogue takes three.
    const Expected<CatalogueReading> image = ReadCatalogue(TestFloppy(Medium::Image, "").Open().get());
    EXPECT_EQ(std::pair(image->FreePercent, image->FreeBytes), std::pair(99, std::int64_t{2844 * 512}));
}

}  // namespace
}  // namespace tunecrate::testing
