// SPDX-License-Identifier: MIT
// Songs told by their bytes: SHA-256 as sha256sum computes it, a song's hash as
// every kind of floppy gives it (never from part of its files), and the copies
// that the shelf marks, so that deleting what is marked keeps one of each.
#include <sys/file.h>

#include <set>

#include "Songs.h"
#include "core/disk/Sha256.h"
#include "core/songs/ShelfDuplicates.h"
#include "core/songs/SongHash.h"

namespace tunecrate::testing {
namespace {

TEST(Sha256, AgreesWithSha256sumWholeAndInPieces) {
    TempDir dir;   // sha256sum is the referee
    Sha256 inPieces;   // one for all: Final starts it afresh
    // Lengths about the padding's edges (55 bytes leave room for the length in the block, 56 do not) and past a floppy's.
    for (const std::size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1'500'000}) {
        std::string bytes(length, '\0');
        for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 167 + length) >> (i % 5));
        WriteWhole(dir.Path("in"), bytes);
        const std::string expected = RunCommand("sha256sum", {dir.Path("in")}, " 2>&1").output.substr(0, 64);
        EXPECT_EQ(HexOf(Sha256Of(bytes)), expected) << length;
        for (std::size_t at = 0, i = 0, piece; at < length; at += piece, ++i) {
            piece = std::min<std::size_t>(std::array{1, 62, 0, 64, 65, 1000}[i % 6], length - at);
            inPieces.Update(std::string_view(bytes).substr(at, piece));
        }
        EXPECT_EQ(HexOf(inPieces.Final()), expected) << length << " in pieces";
    }
}

TEST(SongHash, EachFileItsPresenceAndItsLengthCount) {
    const std::vector<SongContent> songs = {{"ab", {}, {}}, {"ab", "", {}}, {"ab", {}, ""}, {"ab", "", ""}, {"a", "b", {}},
                                            {"a", {}, "b"}, {"", "ab", {}}, {{}, "ab", {}}, {"ab", "c", {}}, {"ab", {}, "c"},
                                            {"abc", {}, {}}, {"ba", {}, {}}, {"a\1b\0"s, {}, {}}, {"a", "b\0\0"s, {}}};
    std::set<SongHash> hashes;
    for (const SongContent& song : songs) hashes.insert(HashSong(song));
    EXPECT_EQ(hashes.size(), songs.size());
}

// The slots as classes of equal songs: a letter for each song, the same for the same bytes, "-" for a slot
// without a song, "!" for a song without a hash.
std::string Classes(const FloppySongHashes& found) {
    std::string shown;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const auto& hash = found.hashes[slot];
        const auto first = static_cast<std::size_t>(std::find(found.hashes.begin(), found.hashes.end(), hash) - found.hashes.begin());
        shown += !found.holdsSong[slot] ? '-' : !hash ? '!' : first < slot ? shown[first] : "abcde"[slot];
    }
    return shown;
}

// Whatever the floppy, a song's hash comes from its files' bytes: titles, catalogue comments and the case of the
// extensions do not count; a comment file or one byte of the events does. Hashing writes nothing.
TEST(SongHash, SameBytesOnEveryMediumWhateverTheirTitlesOrExtensionCase) {
    std::string otherEvents = EventsBytes("A");
    otherEvents[100] ^= 1;
    const std::array<bool, kSlotCount> all = {true, true, true, true, true};
    for (const Medium medium : {Medium::Folder, Medium::Image, Medium::Slot}) {
        SCOPED_TRACE(MediumName(medium));
        TestFloppy floppy(medium, "1:A/=A+ 2:Other/live=A+ 3:B/=B+ 4:Lower/=A 5:Events/=A");
        PutFiles(floppy, {{"MDR_03.B00", std::nullopt}});   // else the new content keeps this spelling
        PutFiles(floppy, {{"MDR_01.cmt", "take 2"s}, {"MDR_03.b00", SongBytes("A")}, {"MDR_03.evt", EventsBytes("A")}, {"MDR_04.EVT", otherEvents}});
        const auto before = TreeEntries(floppy.root());
        const FloppySongHashes found = medium == Medium::Folder ? HashFloppySongs(*floppy.Open(), all)
                                       : medium == Medium::Image ? HashShelfImage(floppy.root(), "floppy.img", all)
                                                                 : HashShelfImage(floppy.root() + "/stick.bin", "@001", all);
        EXPECT_EQ(std::tuple(Classes(found), found.AllRead()), std::tuple("abcae"s, true));
        EXPECT_EQ(found.hashes[0], HashSong({SongBytes("A"), EventsBytes("A"), {}}));
        EXPECT_EQ(TreeEntries(floppy.root()), before);
    }
}

// Never a hash of part of a song: a file that is no file, too large, or longer than its chain, a missing song
// file, an image another program holds.
TEST(SongHash, SongsNotReadWholeHaveNoHash) {
    TestFloppy folder(Medium::Folder, "1:A/=A+ 2:B/=B+ 3:Dawn/ 4:C/=C 5:D/=D");
    std::filesystem::remove(folder.root() + "/MDR_01.EVT");
    std::filesystem::create_directory(folder.root() + "/MDR_01.EVT");
    MakeSparseFile(folder.root() + "/MDR_03.B00", 1'500'000, {{0, SongBytes("C")}});
    const FloppySongHashes inFolder = HashFloppySongs(*folder.Open(), {true, true, true, true, false});
    EXPECT_EQ(std::tuple(Classes(inFolder), inFolder.AllRead()), std::tuple("a!!!-"s, false));

    TestFloppy image(Medium::Image, "1:A/=A+ 2:B/=B");
    std::string bytes = *ReadWhole(image.location());
    WriteWhole(image.location(), bytes.replace(bytes.find("MDR_01  B00") + 28, 2, "\x88\x13"));   // 5,000 bytes on 3,072 bytes' chain
    EXPECT_EQ(Classes(HashShelfImage(image.root(), "floppy.img", {true, true})), "a!---");
    const int held = ::open(image.location().c_str(), O_RDWR);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(Classes(HashShelfImage(image.root(), "floppy.img", {true, true})), "!!---");
    ::close(held);
}

// Shelves written a row a string, a character a slot: a letter a song ("X" is "x" with one byte changed), "!" a
// song without a hash, "-" (or nothing) an empty slot. A row's marks: "=row " when it copies a whole floppy, then
// for each slot "row.slot" of its song's first copy, or "-".
TEST(ShelfDuplicates, MarksEveryCopyButTheFirst) {
    const std::string none = "- - - - -";
    for (const auto& [rows, marks] : std::vector<std::pair<Strings, Strings>>{
             {{"xy", "xy"}, {none, "=0 0.0 0.1 - - -"}},
             {{"xy---", "--y-x"}, {none, "=0 - - 0.1 - 0.0"}},
             {{"xy", "xY"}, {none, "0.0 - - - -"}},
             {{"xy", "x!"}, {none, "0.0 - - - -"}},
             {{"x!", "x", "x"}, {none, "0.0 - - - -", "=1 0.0 - - - -"}},
             {{"", "-----", "!", "!"}, {none, none, none, none}},
             {{"xy", "yx", "xy"}, {none, "=0 0.1 0.0 - - -", "=0 0.0 0.1 - - -"}},
             {{"xx", "x", "xx"}, {"- 0.0 - - -", "0.0 - - - -", "=0 0.0 0.0 - - -"}},
             {{"x", "y", "yx"}, {none, none, "1.0 0.0 - - -"}}}) {
        std::vector<FloppySongHashes> shelf(rows.size());
        for (std::size_t row = 0; row < rows.size(); ++row) {
            for (std::size_t slot = 0; slot < rows[row].size(); ++slot) {
                const char c = rows[row][slot];
                shelf[row].holdsSong[slot] = c != '-';
                if (std::isalpha(c)) shelf[row].hashes[slot] = HashSong({std::string(1, c), {}, {}});
            }
        }
        Strings found;
        for (const ShelfCopies& copies : FindShelfDuplicates(shelf)) {
            std::string shown = copies.sameAs ? "=" + std::to_string(*copies.sameAs) + " " : "";
            for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
                const auto& place = copies.songSameAs[slot];
                shown += (slot > 0 ? " " : "") + (place ? std::to_string(place->row) + "." + std::to_string(place->slot) : "-"s);
            }
            found.push_back(shown);
        }
        EXPECT_EQ(found, marks) << ::testing::PrintToString(rows);
    }
}

}  // namespace
}  // namespace tunecrate::testing
