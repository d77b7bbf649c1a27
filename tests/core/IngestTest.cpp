// SPDX-License-Identifier: MIT
// A box of floppies onto a shelf: each disk's image byte for byte, at the next
// number, labelled from its first title; a copy of the shelf's songs named and
// not written; unreadable sectors reported with the songs they hit and read
// again on request. Then the small parts: labels, the time left, and telling
// a new disk from the one that was there.
#include "Faults.h"
#include "Songs.h"
#include "core/disk/DrivePresence.h"
#include "core/disk/StickSlots.h"
#include "core/songs/Ingest.h"

namespace tunecrate::testing {
namespace {

TEST(Ingest, DisksOntoAFolderAndAStick) {
    TestFloppy a(Medium::Image, "1:Wedding_March/=A+ 2:Blues/=B"), again(Medium::Image, "2:Other/x=B 4:Copy/=A+"),
        bad(Medium::Image, "1:夜想曲/=C+ 3:Fine/=D"), old(Medium::Image, "1:Old/=O+");
    const std::string badBytes = *ReadWhole(bad.location());
    const auto badSector = static_cast<std::uint32_t>(badBytes.find(SongBytes("C").substr(0, 512)) / kImageSectorBytes);
    for (const bool stick : {false, true}) {
        SCOPED_TRACE(stick ? "stick" : "folder");
        TempDir dir;
        // The shelf holds disk "old" already, as number 3 (a folder) or slot 1 (a stick).
        const std::string shelf = stick ? dir.Path("stick.bin") : dir.Path("shelf");
        if (stick) {
            MakeSparseFile(shelf, 6 * kSlotStride, {{kSlotStride, *ReadWhole(old.location())}});
        } else {
            std::filesystem::create_directory(shelf);
            WriteWhole(shelf + "/DSKA0003 Old.IMG", *ReadWhole(old.location()));
        }
        const std::string oldName = stick ? "@001" : "DSKA0003 Old.IMG";
        // Whether the disk's image on the shelf holds `bytes`, byte for byte.
        const auto holds = [&](const IngestedDisk& disk, const std::string& bytes) {
            if (!stick) return ReadWhole(shelf + "/" + disk.image) == bytes;
            const std::string all = ReadWhole(shelf).value_or("");
            return disk.number && all.size() >= (*disk.number + 1) * kSlotStride && all.substr(*disk.number * kSlotStride, kImageBytes) == bytes;
        };
        Expected<IngestShelf> onto = IngestShelf::Open(shelf);
        ASSERT_TRUE(onto) << onto.error().reason;
        StoreFaults faults;
        const auto take = [&](const TestFloppy& disk, bool keepCopies) {
            return onto->Take(disk.location(), {}, {NewNumbers::AfterHighest, keepCopies, {}}, {},
                              [&](std::unique_ptr<ImageStore> store) { return std::make_unique<FaultyStore>(std::move(store), faults); });
        };
        const auto first = stick ? 2 : 4;
        const IngestedDisk taken = take(a, false);
        EXPECT_EQ(std::tuple(taken.image, taken.number, taken.label, taken.songs, taken.copyOf, taken.result.ok()),
                  std::tuple(stick ? "@002"s : "DSKA0004 Wedding March.IMG"s, std::optional(first), "Wedding March"s, 2, ""s, true));
        EXPECT_TRUE(holds(taken, *ReadWhole(a.location())));
        // The same songs, in other slots under other titles: a copy, named and not written unless asked.
        const IngestedDisk copy = take(again, false);
        EXPECT_EQ(std::tuple(copy.written(), copy.copyOf, copy.label), std::tuple(false, taken.image, "Other"s));
        EXPECT_EQ(take(old, false).copyOf, oldName);
        const IngestedDisk kept = take(again, true);
        EXPECT_EQ(std::tuple(kept.number, kept.copyOf, holds(kept, *ReadWhole(again.location()))), std::tuple(std::optional(first + 1), taken.image, true));
        // A label typed before the disk was read is its label, made fit for a file name.
        const IngestedDisk typed = onto->Take(again.location(), {}, {NewNumbers::AfterHighest, true, "Typed: ahead"}, {});
        EXPECT_EQ(std::tuple(typed.label, typed.image), std::tuple("Typed_ ahead"s, stick ? "@004"s : "DSKA0006 Typed_ ahead.IMG"s));

        // Three sectors of a song fail every read a backup makes; a retry reads them.
        for (std::uint32_t s = badSector; s < badSector + 3; ++s) faults.readFails[s] = 1 + 1 + kSectorRetries;
        const IngestedDisk hit = take(bad, false);
        std::string zeroed = badBytes;
        zeroed.replace(std::size_t{badSector} * kImageSectorBytes, 3 * kImageSectorBytes, 3 * kImageSectorBytes, '\0');
        EXPECT_EQ(std::tuple(hit.unreadable, hit.songsHit, hit.label, hit.result.ok()),
                  std::tuple(std::vector{badSector, badSector + 1, badSector + 2}, Strings{"1 夜想曲 (MDR_00.B00)"}, "夜想曲"s, true));
        EXPECT_TRUE(holds(hit, zeroed));
        const std::string log = stick ? "" : shelf + "/" + hit.image + ".log";
        EXPECT_EQ(hit.logPath, log);
        EXPECT_EQ(ReadWhole(log).value_or("").find("# sector " + std::to_string(badSector) + " ") != std::string::npos, !stick);
        // A damaged song is no copy of anything, nor taken for the first of its kind.
        for (std::uint32_t s = badSector; s < badSector + 3; ++s) faults.readFails[s] = 1 + 1 + kSectorRetries;
        const IngestedDisk damaged = take(bad, false);
        EXPECT_EQ(std::tuple(damaged.written(), damaged.copyOf), std::tuple(true, ""s));
        for (auto& [sector, left] : faults.readFails) left = 1;   // the next try reads it
        const IngestedDisk retried = onto->Retry(bad.location(), {}, 2, {},
                                                 [&](std::unique_ptr<ImageStore> store) { return std::make_unique<FaultyStore>(std::move(store), faults); });
        EXPECT_EQ(std::tuple(retried.image, retried.unreadable.empty(), retried.songsHit.empty(), retried.logPath, holds(retried, badBytes)),
                  std::tuple(damaged.image, true, true, ""s, true));
        EXPECT_FALSE(FileSize(shelf + "/" + damaged.image + ".log"));
        // Now whole, its songs are known: the next such disk is a copy of it, not of the damaged one before it.
        EXPECT_EQ(take(bad, false).copyOf, retried.image);

        // A new label renames a folder's image, its report with it; a slot has no name to change.
        const Expected<IngestedDisk> relabelled = onto->Relabel(hit, "Nocturne: No/2 ");
        ASSERT_TRUE(relabelled) << relabelled.error().reason;
        const std::string renamed = stick ? hit.image : "DSKA" + std::to_string(10000 + *hit.number).substr(1) + " Nocturne_ No_2.IMG";
        EXPECT_EQ(std::tuple(relabelled->image, relabelled->label, holds(*relabelled, zeroed)), std::tuple(renamed, "Nocturne_ No_2"s, true));
        EXPECT_EQ(relabelled->logPath, stick ? "" : shelf + "/" + renamed + ".log");
        EXPECT_EQ(FileSize(relabelled->logPath).has_value(), !stick);
        // A blank stick takes disks from slot 0 on.
        if (stick) {
            MakeSparseFile(dir.Path("blank.bin"), 3 * kSlotStride, {});
            Expected<IngestShelf> blank = IngestShelf::Open(dir.Path("blank.bin"));
            ASSERT_TRUE(blank) << blank.error().reason;
            EXPECT_EQ(blank->Take(a.location(), {}, {}, {}).image, "@000");
            EXPECT_EQ(blank->Take(old.location(), {}, {}, {}).image, "@001");
        }
        const std::string csv = IngestCsv({taken, copy, *relabelled});
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
        EXPECT_NE(csv.find(",1 夜想曲 (MDR_00.B00),"), std::string::npos) << csv;
    }
}

TEST(Ingest, LabelsTimeLeftAndNewDisks) {
    for (const auto& [titles, label] : std::vector<std::pair<std::array<std::string, kSlotCount>, std::string>>{
             {{"", "  ", "Wedding", "x"}, "Wedding"},
             {{"a/b\\c:d*e?f\"g<h>i|j\tk"}, "a_b_c_d_e_f_g_h_i_j_k"},
             {{" Lead . . "}, "Lead"},
             {{"夜想曲 第2番 のための とても 長い 題名 です これは 四十 文字 を 超え ます ね"}, "夜想曲 第2番 のための とても 長い 題名 です これは 四十 文字 を 超え"},
             {{}, ""}}) {
        EXPECT_EQ(LabelFromTitles(titles), label);
    }
    EXPECT_EQ(FileLabel(std::string(50, 'x')).size(), 40u);
    // Time left at the speed so far, none before a second has passed or anything is done.
    for (const auto& [soFar, done, total, left] : std::vector<std::tuple<double, std::uint64_t, std::uint64_t, std::optional<int>>>{
             {10, 100, 300, 20}, {10, 300, 300, 0}, {0.5, 100, 300, std::nullopt}, {5, 0, 300, std::nullopt}, {3, 1, 2880, 8637}}) {
        EXPECT_EQ(SecondsLeft(soFar, done, total), left) << soFar << " " << done;
    }
    EXPECT_EQ((Strings{TimeLeftText(59), TimeLeftText(61)}), (Strings{"残り約 59 秒", "残り約 1 分 1 秒"}));
    // A floppy counts once the drive was seen without one since the last was taken.
    for (const auto& [inCounts, sizes, taken] : std::vector<std::tuple<bool, std::vector<std::uint64_t>, std::string>>{
             {true, {kImageBytes, kImageBytes, 0, kImageBytes}, "y--y"},
             {false, {kImageBytes, 720 * 1024, kImageBytes, 0, 0, kImageBytes, kImageBytes}, "-----y-"},
             {false, {0, 2 * kImageBytes, kImageBytes}, "--y"}}) {
        DiskArrival arrival(inCounts);
        std::string shown;
        for (const std::uint64_t bytes : sizes) shown += arrival.Seen(bytes) ? 'y' : '-';
        EXPECT_EQ(shown, taken);
    }
}

}  // namespace
}  // namespace tunecrate::testing
