// SPDX-License-Identifier: MIT
// Songs told by their bytes: SHA-256 as sha256sum computes it, a song's hash as
// every kind of floppy gives it (never from part of its files), and the copies
// that the shelf marks, so that deleting what is marked keeps one of each.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <sys/file.h>

#include <set>

#include "Songs.h"
#include "core/disk/Sha256.h"
#include "core/songs/ShelfDuplicates.h"
#include "core/songs/SongHash.h"

namespace tunecrate::testing {
namespace {

std::string Sha256sum(const std::string& bytes) {
    TempDir dir;
    WriteWhole(dir.Path("in"), bytes);
    const PeerRun run = RunCommand("sha256sum", {dir.Path("in")}, " 2>&1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run.output.substr(0, run.output.find(' '));
}

TEST(Sha256, AgreesWithSha256sumWholeAndInPieces) {
    Sha256 inPieces;   // one for all: Final starts it afresh
    // Lengths about the padding's edges (55 bytes leave room for the length in the block, 56 do not) and past a floppy's.
    for (const std::size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1'500'000}) {
        std::string bytes(length, '\0');
        for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 167 + length) >> (i % 5));
        const std::string expected = Sha256sum(bytes);
        EXPECT_EQ(HexOf(Sha256Of(bytes)), expected) << length;
        static constexpr std::size_t kPieces[] = {1, 62, 0, 64, 65, 1000};
        for (std::size_t at = 0, i = 0; at < length; ++i) {
            const std::size_t piece = std::min(kPieces[i % std::size(kPieces)], length - at);
            inPieces.Update(std::string_view(bytes).substr(at, piece));
            at += piece;
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
        const auto first = std::find(found.hashes.begin(), found.hashes.end(), hash) - found.hashes.begin();
        shown += !found.holdsSong[slot] ? '-' : !hash ? '!' : first < static_cast<long>(slot) ? shown[first] : "abcde"[slot];
    }
    return shown;
}

// The song's hash, whatever the floppy, comes from its files' bytes: titles, catalogue comments and the case of
// the extensions do not count, a comment file or one byte of the events do.
TEST(SongHash, SameBytesOnEveryMediumWhateverTheirTitlesOrExtensionCase) {
    const SongHash songA = HashSong({SongBytes("A"), EventsBytes("A"), {}});
    std::string otherEvents = EventsBytes("A");
    otherEvents[100] ^= 1;
    for (const Medium medium : {Medium::Folder, Medium::Image, Medium::Slot}) {
        SCOPED_TRACE(MediumName(medium));
        TestFloppy floppy(medium, "1:A/=A+ 2:Other/live=A+ 3:B/=B+ 4:Lower/=A 5:Events/=A");
        PutFiles(floppy, {{"MDR_03.B00", std::nullopt}});   // else its spelling stays
        PutFiles(floppy, {{"MDR_01.cmt", "take 2"s}, {"MDR_03.b00", SongBytes("A")}, {"MDR_03.evt", EventsBytes("A")},
                          {"MDR_04.EVT", otherEvents}});
        const std::array<bool, kSlotCount> holdsSong = {true, true, true, true, true};
        const auto before = TreeEntries(floppy.root());
        const std::string& root = floppy.root();
        const FloppySongHashes found = medium == Medium::Folder ? HashFloppySongs(*floppy.Open(), holdsSong)
                                       : medium == Medium::Image ? HashShelfImage(root, "floppy.img", holdsSong)
                                                                 : HashShelfImage(root + "/stick.bin", "@001", holdsSong);
        EXPECT_EQ(Classes(found), "abcae");
        EXPECT_EQ(found.hashes[0], songA);
        EXPECT_TRUE(found.AllRead());
        EXPECT_EQ(TreeEntries(floppy.root()), before) << "hashing writes nothing";
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
    EXPECT_EQ(Classes(inFolder), "a!!!-");
    EXPECT_FALSE(inFolder.AllRead());

    TestFloppy image(Medium::Image, "1:A/=A+ 2:B/=B");
    std::string bytes = *ReadWhole(image.location());
    bytes.replace(bytes.find("MDR_01  B00") + 28, 2, "\x88\x13");   // 5,000 bytes, on a chain of 3,072
    WriteWhole(image.location(), bytes);
    EXPECT_EQ(Classes(HashShelfImage(image.root(), "floppy.img", {true, true, false, false, false})), "a!---");
    const int held = ::open(image.location().c_str(), O_RDWR);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(Classes(HashShelfImage(image.root(), "floppy.img", {true, true, false, false, false})), "!!---");
    ::close(held);
}

// A shelf written a row a string, a character a slot: a letter a song ("X" is "x" with one byte changed), "!" a
// song without a hash, "-" (or nothing) an empty slot.
std::vector<FloppySongHashes> Shelf(const Strings& rows) {
    std::vector<FloppySongHashes> shelf(rows.size());
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t slot = 0; slot < rows[row].size(); ++slot) {
            const char c = rows[row][slot];
            shelf[row].holdsSong[slot] = c != '-';
            if (c == '-' || c == '!') continue;
            static std::map<char, SongHash> known;   // the property makes thousands of rows
            if (!known.contains(c)) {
                std::string song = SongBytes(std::string(1, static_cast<char>(std::tolower(c))));
                if (std::isupper(c)) song.back() ^= 1;
                known[c] = HashSong({song, {}, {}});
            }
            shelf[row].hashes[slot] = known[c];
        }
    }
    return shelf;
}

// A row's marks: "=row " when it copies a whole floppy, then for each slot "row.slot" of its song's first copy, or "-".
std::string Marks(const ShelfCopies& copies) {
    std::string shown = copies.sameAs ? "=" + std::to_string(*copies.sameAs) + " " : "";
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const auto& place = copies.songSameAs[slot];
        shown += (slot > 0 ? " " : "") + (place ? std::to_string(place->row) + "." + std::to_string(place->slot) : "-"s);
    }
    return shown;
}

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
        Strings found;
        for (const ShelfCopies& copies : FindShelfDuplicates(Shelf(rows))) found.push_back(Marks(copies));
        EXPECT_EQ(found, marks) << ::testing::PrintToString(rows);
    }
}

// Whatever the shelf, the songs left unmarked are each song once, and a row copies an earlier one whose songs
// are the same, counted alike, where neither has a song without a hash.
RC_GTEST_PROP(ShelfDuplicates, DeletingWhatIsMarkedKeepsOneOfEach, ()) {
    const Strings rows = *rc::gen::container<Strings>(rc::gen::container<std::string>(kSlotCount, rc::gen::elementOf("-!xyzX"s)));
    const std::vector<FloppySongHashes> shelf = Shelf(rows);
    const std::vector<ShelfCopies> copies = FindShelfDuplicates(shelf);
    std::set<SongHash> all;
    std::multiset<SongHash> kept;
    const auto songs = [&](std::size_t row) {
        std::multiset<SongHash> held;
        for (const auto& hash : shelf[row].hashes) if (hash) held.insert(*hash);
        return held;
    };
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const bool whole = shelf[row].AllRead() && !songs(row).empty();
        std::optional<std::size_t> earliest;
        for (std::size_t before = 0; before < row && !earliest; ++before)
            if (whole && shelf[before].AllRead() && songs(before) == songs(row)) earliest = before;
        RC_ASSERT(copies[row].sameAs == earliest);
        for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
            const auto& hash = shelf[row].hashes[slot];
            const auto& place = copies[row].songSameAs[slot];
            if (hash) all.insert(*hash);
            if (hash && !place && !copies[row].sameAs) kept.insert(*hash);
            if (!place) continue;
            RC_ASSERT(hash.has_value());
            RC_ASSERT(std::pair(place->row, place->slot) < std::pair(row, static_cast<int>(slot)));
            RC_ASSERT(shelf[place->row].hashes[static_cast<std::size_t>(place->slot)] == hash);
            RC_ASSERT(!copies[place->row].songSameAs[static_cast<std::size_t>(place->slot)].has_value());
        }
    }
    RC_ASSERT(kept == std::multiset<SongHash>(all.begin(), all.end()));
}

}  // namespace
}  // namespace tunecrate::testing
