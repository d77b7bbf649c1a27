// SPDX-License-Identifier: MIT
// A shelf's images as wholes: deleted, renumbered, swapped, gaps closed and
// copied, on a folder and on a factory stick. A model of which image holds
// which number is the referee: after every step the shelf's inventory must
// be the model's, every image once, its label kept.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "Faults.h"
#include "Songs.h"
#include "core/disk/DiskStore.h"
#include "core/disk/FatImage.h"
#include "core/disk/StickSlots.h"
#include "core/disk/Trash.h"
#include "core/songs/ShelfImages.h"
#include "core/songs/SongFloppyImage.h"

namespace tunecrate::testing {
namespace {

constexpr std::uint64_t kTagAt = 700'000;   // in the data area: read only by us
constexpr int kStickSlots = 40;

std::string Tagged(const std::string& tag) {
    std::string image = NewSongFloppyImageBytes();
    image.replace(kTagAt, tag.size(), tag);
    return image;
}

// What a shelf holds: number -> (tag, label).
using Inventory = std::map<int, std::pair<std::string, std::string>>;

Inventory Take(const std::string& shelf, bool stick) {
    Inventory found;
    if (stick) {
        Expected<OpenDisk> opened = OpenDiskAt(shelf, {});
        std::string bytes(kImageBytes, '\0');
        for (int slot = 0; opened && slot < kStickSlots; ++slot) {
            EXPECT_TRUE(opened->store->Read(slot * kSlotStride, bytes.data(), bytes.size()));
            if (!UnusedSector(std::string_view(bytes).substr(0, kImageSectorBytes))) found[slot] = {bytes.substr(kTagAt, 6), ""};
        }
        return found;
    }
    for (const ShelfEntry& entry : ListShelfEntries(shelf).value_or(std::vector<ShelfEntry>{})) {
        if (!entry.IsImage()) continue;   // a folder that bears an image's name keeps it, and its number
        const auto indexed = ParseIndexedName(entry.file);
        const auto bytes = ReadWhole(JoinPath(shelf, entry.file));
        EXPECT_TRUE(indexed && bytes && bytes->size() == kImageBytes) << entry.file;
        if (!indexed || !bytes) continue;
        EXPECT_FALSE(found.contains(indexed->number)) << "two images numbered " << indexed->number;
        found[indexed->number] = {bytes->substr(kTagAt, 6), indexed->label};
    }
    return found;
}

struct ModelShelf {
    std::string path;
    bool stick = false;
    Inventory images;
    std::set<int> odd = {};   // numbers an entry that is no image holds
    bool Taken(int n) const { return images.contains(n) || odd.contains(n); }
    int Highest() const { return stick ? kStickSlots - 1 : kHighestImageNumber; }
    std::string File(int number) const {
        return stick ? SlotPathOf("", number) : IndexedFileName({"DSKA", number, images.at(number).second, ".IMG"});
    }
    std::optional<int> Free(NewNumbers numbers) const {
        // After the highest number any entry holds, as for new images.
        const int highest = std::max(images.empty() ? -1 : images.rbegin()->first, odd.empty() ? -1 : *odd.rbegin());
        const int after = numbers == NewNumbers::GapsFirst ? 0 : highest + 1;
        for (int n = after; n <= Highest(); ++n) {
            if (!Taken(n)) return n;
        }
        for (int n = 0; n < after; ++n) {
            if (!Taken(n)) return n;
        }
        return std::nullopt;
    }
};

TEST(ShelfImages, EveryStepLeavesEachImageOnceWhereAModelPutsIt) {
    TempDir dir;
    ModelShelf folder{dir.Path("shelf"), false, {}}, stick{dir.Path("stick.bin"), true, {}};
    std::filesystem::create_directory(folder.path);
    std::filesystem::create_directory(JoinPath(folder.path, "DSKA0007.IMG"));
    folder.odd = {7};
    std::vector<std::pair<std::uint64_t, std::string>> slots;
    int tags = 0;
    const auto newTag = [&] { return "T" + std::to_string(10000 + tags++).substr(0, 5); };
    for (int n : {0, 1, 2, 5, 9, 11, 14, 20}) {   // enough for closed gaps to pass the odd entry at 7
        folder.images[n] = {newTag(), n % 2 == 0 ? "" : " Live " + std::to_string(n)};
        WriteWhole(JoinPath(folder.path, folder.File(n)), Tagged(folder.images[n].first));
    }
    for (int n : {0, 3, 4, 30}) {
        stick.images[n] = {newTag(), ""};
        slots.emplace_back(n * kSlotStride, Tagged(stick.images[n].first));
    }
    MakeSparseFile(stick.path, kStickSlots * kSlotStride, slots);

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto pick = [&](const ModelShelf& shelf) {
        auto at = shelf.images.begin();
        std::advance(at, std::uniform_int_distribution<int>(0, static_cast<int>(shelf.images.size()) - 1)(random));
        return at->first;
    };
    for (int step = 0; step < 60; ++step) {
        ModelShelf& shelf = random() % 2 == 0 ? folder : stick;
        ModelShelf& other = &shelf == &folder ? stick : folder;
        if (shelf.images.size() < 2) continue;
        const int a = pick(shelf), b = pick(shelf), number = static_cast<int>(random() % 46);
        const std::string fileA = shelf.File(a);
        std::string did;
        bool ok = false, expected = false;
        switch (random() % 6) {
            case 0: {
                did = "renumber " + fileA + " to " + std::to_string(number);
                ok = RenumberShelfImage(shelf.path, fileA, number).result.ok();
                expected = number <= shelf.Highest() && !shelf.Taken(number);
                if (expected) shelf.images[number] = shelf.images[a], shelf.images.erase(a);
                break;
            }
            case 1: {
                did = "swap " + fileA + " and " + shelf.File(b);
                ok = SwapShelfImages(shelf.path, fileA, shelf.File(b)).ok();
                expected = true;
                std::swap(shelf.images[a], shelf.images[b]);
                break;
            }
            case 2: {
                did = "close gaps";
                ok = CloseShelfGaps(shelf.path).ok();
                expected = true;
                Inventory closed;
                int next = 0;
                for (const auto& [n, image] : shelf.images) {
                    while (shelf.odd.contains(next)) ++next;
                    closed[next++] = image;
                }
                shelf.images = closed;
                break;
            }
            case 3:
            case 4: {
                ModelShelf& to = random() % 2 == 0 ? shelf : other;
                const NewNumbers numbers = random() % 2 == 0 ? NewNumbers::GapsFirst : NewNumbers::AfterHighest;
                const std::optional<int> given = random() % 2 == 0 ? std::optional(number) : std::nullopt;
                did = "copy " + fileA + " to " + to.path + " at " + (given ? std::to_string(*given) : "a free number");
                ok = CopyShelfImage(shelf.path, fileA, to.path, given, numbers).result.ok();
                const std::optional<int> at = given ? given : to.Free(numbers);
                expected = at && *at <= to.Highest() && !to.Taken(*at);
                // A copy onto a stick has no label; a folder's keeps it.
                if (expected) to.images[*at] = {shelf.images[a].first, to.stick ? "" : shelf.images[a].second};
                break;
            }
            case 5: {
                did = "remove " + fileA;
                ok = RemoveShelfImages(shelf.path, {fileA}).ok();
                expected = true;
                shelf.images.erase(a);
                break;
            }
        }
        SCOPED_TRACE("step " + std::to_string(step) + ": " + did);
        ASSERT_EQ(ok, expected);
        ASSERT_EQ(Take(folder.path, false), folder.images);
        ASSERT_EQ(Take(stick.path, true), stick.images);
    }
}

// A kill, a failed write or (on a stick) a write dropped at any call of a
// gesture leaves every image on the shelf, whole (a swap's passing number
// may hold one); a gesture that says it went through left exactly what it
// promised.
TEST(ShelfImages, AKillOrAFailureAtAnyCallLosesNoImage) {
    TempDir dir;
    ::setenv("HOME", dir.Path("home").c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    const ModelShelf start[2] = {{dir.Path("shelf"), false, {{0, {"T0", ""}}, {1, {"T1", " Live"}}, {3, {"T3", ""}}}},
                                 {dir.Path("stick.bin"), true, {{0, {"T0", ""}}, {1, {"T1", ""}}, {3, {"T3", ""}}}}};
    const auto lay = [&](const ModelShelf& shelf) {
        std::filesystem::remove_all(shelf.path);
        if (!shelf.stick) std::filesystem::create_directory(shelf.path);
        std::vector<std::pair<std::uint64_t, std::string>> slots;
        for (const auto& [n, image] : shelf.images) {
            const std::string bytes = Tagged(image.first + std::string(6 - image.first.size(), '\0'));
            if (shelf.stick) slots.emplace_back(n * kSlotStride, bytes);
            else WriteWhole(JoinPath(shelf.path, shelf.File(n)), bytes);
        }
        if (shelf.stick) MakeSparseFile(shelf.path, kStickSlots * kSlotStride, slots);
    };
    struct Gesture {
        std::string name;
        int on;   // 0: the folder, 1: the stick
        std::function<bool()> run;
        std::map<int, std::string> after;   // number -> tag
    };
    const std::string folder = start[0].path, stick = start[1].path;
    const std::vector<Gesture> gestures{
        {"swap", 0, [&] { return SwapShelfImages(folder, "DSKA0000.IMG", "DSKA0001 Live.IMG").ok(); }, {{0, "T1"}, {1, "T0"}, {3, "T3"}}},
        {"swap", 1, [&] { return SwapShelfImages(stick, "@000", "@001").ok(); }, {{0, "T1"}, {1, "T0"}, {3, "T3"}}},
        {"close gaps", 1, [&] { return CloseShelfGaps(stick).ok(); }, {{0, "T0"}, {1, "T1"}, {2, "T3"}}},
        {"copy in", 1, [&] { return CopyShelfImage(folder, "DSKA0001 Live.IMG", stick, 5).result.ok(); },
         {{0, "T0"}, {1, "T1"}, {3, "T3"}, {5, "T1"}}},
        {"remove", 1, [&] { return RemoveShelfImages(stick, {"@001"}).ok(); }, {{0, "T0"}, {3, "T3"}}},
        {"remove", 0, [&] { return RemoveShelfImages(folder, {"DSKA0001 Live.IMG"}).ok(); }, {{0, "T0"}, {3, "T3"}}},
    };
    for (const Gesture& gesture : gestures) {
        SCOPED_TRACE(gesture.name + (gesture.on ? " on a stick" : " in a folder"));
        const auto tags = [&] {
            std::map<int, std::string> now;
            for (const auto& [n, image] : Take(start[gesture.on].path, gesture.on == 1)) now[n] = image.first.substr(0, 2);
            return now;
        };
        const FaultCounts counts = ForEachFault(
            [&] { lay(start[0]), lay(start[1]), std::filesystem::remove_all(dir.Path("home")); },
            [&] { return std::string(gesture.run() ? "ok" : "failed"); },
            [&](Fault fault, int at, const FaultRun& run) {
                const std::map<int, std::string> now = tags();
                std::multiset<std::string> kept;
                for (const auto& [n, tag] : now) kept.insert(tag);
                std::string wrong;
                for (const auto& [n, tag] : gesture.after) {
                    if (!kept.contains(tag)) wrong = "lost " + tag;
                }
                if (!run.killed && run.said == "ok" && now != gesture.after) wrong = "said done, but not done";
                if (!run.killed && run.said == "ok" && fault == Fault::Eio) wrong += " (a failed call went unsaid)";
                EXPECT_EQ(wrong, "") << (fault == Fault::Kill ? "killed" : fault == Fault::Eio ? "EIO" : "write lost") << " at call " << at;
                return wrong;
            },
            // A stick may drop a write and say it is done: a slot is read back before it counts.
            gesture.on == 1 ? std::vector<Fault>{Fault::Kill, Fault::Eio, Fault::Lost} : std::vector<Fault>{Fault::Kill, Fault::Eio});
        EXPECT_GT(counts.tried, 1);
        EXPECT_EQ(counts.bad, 0);
        lay(start[0]), lay(start[1]);
        EXPECT_TRUE(gesture.run());
        EXPECT_EQ(tags(), gesture.after);
    }
}

// The desktop's trash as another program writes it is the referee: the same
// record, the same names in the trash, a second file of one name kept apart.
TEST(ShelfImages, ADeletedImageIsInTheTrashAsTheDesktopPutsIt) {
    if (RunPeer({"sh", "-c", "command -v gio"}).exitCode != 0) GTEST_SKIP() << "needs gio (libglib2.0-bin) as the referee";
    TempDir dir;
    const std::string name = "DSKA0003 曲 a%b#.IMG";
    std::map<std::string, std::string> seen[2];
    for (int ours = 0; ours < 2; ++ours) {
        const std::string home = dir.Path(ours ? "ours" : "peer"), shelf = dir.Path("shelf");
        std::filesystem::create_directories(shelf);
        std::filesystem::create_directories(home);
        for (int copy = 0; copy < 2; ++copy) {
            WriteWhole(JoinPath(shelf, name), Tagged("T" + std::to_string(copy)));
            if (ours) {
                ::setenv("HOME", home.c_str(), 1);
                ::unsetenv("XDG_DATA_HOME");
                const Expected<std::string> trashed = MoveToTrash(JoinPath(shelf, name));
                ASSERT_TRUE(trashed) << trashed.error().reason;
                EXPECT_TRUE(ReadWhole(*trashed).has_value());
            } else {
                ASSERT_EQ(RunPeer({"env", "-u", "XDG_DATA_HOME", "HOME=" + home, "gio", "trash", JoinPath(shelf, name)}).exitCode, 0);
            }
        }
        EXPECT_FALSE(std::filesystem::exists(JoinPath(shelf, name)));
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home + "/.local/share/Trash")) {
            if (!entry.is_regular_file()) continue;
            std::string bytes = ReadWhole(entry.path()).value_or("");
            if (entry.path().extension() == ".trashinfo") bytes = bytes.substr(0, bytes.find("DeletionDate=") + 13);
            else bytes = bytes.substr(kTagAt, 2);
            seen[ours][entry.path().lexically_relative(home).string()] = bytes;
        }
    }
    EXPECT_EQ(seen[1], seen[0]);
    EXPECT_EQ(seen[1].size(), 4u);
}

}  // namespace
}  // namespace tunecrate::testing
