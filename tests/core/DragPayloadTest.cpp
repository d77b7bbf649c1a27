// SPDX-License-Identifier: MIT
#include "core/text/DragPayload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "TempDir.h"
#include "core/songs/TransferItems.h"

namespace tunecrate {
namespace {

using namespace std::literals;
using Items = std::vector<std::string>;

// ---- the bytes a drag carries ---------------------------------------------

// A type line, one line per song (a base name or a slot index), a zero byte
// at the end; parsing gives back what was built.
TEST(DragPayload, SongsAreOneLineEachEndedByAZeroByte) {
    const std::vector<std::tuple<std::string_view, Items, std::string>> cases = {
        {kHardDiskType,
         {"/home/u/Songs/Blues", "/home/u/Songs/Demo"},
         "HD\n/home/u/Songs/Blues\n/home/u/Songs/Demo\n\0"s},
        {kHardDiskType, {"/home/u/曲/夜明け", "/Blues"}, "HD\n/home/u/曲/夜明け\n/Blues\n\0"s},
        {kFloppyType, {"0", "2"}, "FD\n0\n2\n\0"s},
        // Only empty slots selected: the type line alone.
        {kFloppyType, {}, "FD\n\0"s},
        {kHardDiskType, {}, "HD\n\0"s},
    };
    for (const auto& [type, items, bytes] : cases) {
        EXPECT_EQ(BuildPayload(type, items), bytes);
        const ParsedPayload parsed = ParsePayload(bytes);
        EXPECT_EQ(parsed.type, type);
        EXPECT_EQ(parsed.items, items);
    }
}

// A line break or a zero byte would cut an item into other songs ("Evil\nVictim"
// moving "Evil"): a payload with such an item, wherever it stands, is not built
// at all. Any other name, blanks and Japanese too, parses back unchanged.
TEST(DragPayload, OnlyItemsThatStayOneLineTravel) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"/home/u/Songs/Evil\nVictim", false},  {"/home/u/Songs/Evil\rVictim", false},
        {"/home/u/Songs/Evil\0Victim"s, false}, {"/home/u/Songs/Evil\r\nVictim", false},
        {"/home/u/Songs/Evil\r", false},        {"/home/u/Song\ns/Blues", false},
        {"/home/u/Songs/Blues", true},          {" /home/u/My Songs/Blues take 2 ", true},
        {"/home/u/曲/夜明け の うた", true},
    };
    for (const auto& [item, travels] : cases) {
        EXPECT_EQ(CanTravelInPayload(item), travels) << item;
        const Items items = {"/home/u/Songs/Demo", item};
        const std::string payload = BuildPayload(kHardDiskType, items);
        if (travels) {
            EXPECT_EQ(ParsePayload(payload).items, items) << item;
        } else {
            EXPECT_EQ(payload, "") << item;
        }
    }
}

// ---- text that did not come from our own lists ------------------------------

// Without the zero byte or the last line feed, with CR LF line ends, with
// empty lines: the same songs; nothing after a zero byte is read.
TEST(DragPayload, TextFromElsewhereParsesToTheSongsItNames) {
    const std::vector<std::tuple<std::string, std::string, Items>> cases = {
        {"FD\n0\n2\n", "FD", {"0", "2"}},
        {"FD\n0\n3", "FD", {"0", "3"}},
        {"HD", "HD", {}},
        {"", "", {}},
        {"HD\r\n/home/u/Songs/Blues\r\n/home/u/Songs/Demo\r\n\0"s, "HD", {"/home/u/Songs/Blues", "/home/u/Songs/Demo"}},
        {"FD\n1\n\0" "2\n3\n"s, "FD", {"1"}},
        {"\0HD\n/home/u/Songs/Blues\n"s, "", {}},
        {"FD\n\n1\n\r\n\n", "FD", {"1"}},
    };
    for (const auto& [bytes, type, items] : cases) {
        const ParsedPayload parsed = ParsePayload(bytes);
        EXPECT_EQ(parsed.type, type) << bytes;
        EXPECT_EQ(parsed.items, items) << bytes;
    }
}

// Text from another program may be anything, of any length.
TEST(DragPayload, AnyBytesParseWithoutHarm) {
    // Binary junk: every byte value, zero bytes only at the very end.
    std::string junk;
    std::uint32_t state = 7;
    while (junk.size() < 64 * 1024) {
        state = state * 1103515245u + 12345u;
        if (const char c = static_cast<char>(state >> 16); c != '\0') junk += c;
    }
    for (const std::string& item : ParsePayload(junk).items) {
        EXPECT_FALSE(item.empty());
        EXPECT_EQ(item.find('\n'), std::string::npos);
    }
    EXPECT_EQ(ParsePayload(std::string(1 << 20, 'x')).type.size(), 1u << 20);
    EXPECT_TRUE(ParsePayload(std::string(1 << 20, '\n')).items.empty());
    const ParsedPayload lines = ParsePayload("FD\n" + testing::Repeat("7\n", 1 << 19));
    EXPECT_EQ(lines.items.size(), 1u << 19);
    EXPECT_EQ(FloppyItems(lines.items), std::vector<int>{});
}

// ---- which item lines name songs --------------------------------------------

TEST(PayloadItems, OnlySlotIndicesZeroToFourNameFloppySongs) {
    EXPECT_EQ(FloppyItems({"0", "5", "-1", "01", "a", "", "4", " 2", "2 ", "+1", "9", "3"}),
              (std::vector<int>{0, 3, 4}));
    // In slot order, as the floppy list sends them, repeats kept: the drop decides what they mean.
    EXPECT_EQ(FloppyItems({"2", "1", "2"}), (std::vector<int>{1, 2, 2}));
}

TEST(PayloadItems, OnlyAbsolutePathsWithATitleNameHardDiskSongs) {
    for (const char* item : {"/home/u/Songs/Blues", "/Blues", "/home/u/曲/夜明け", "/home/u/Songs/Blues take 2"}) {
        EXPECT_TRUE(IsHardDiskItem(item)) << item;
    }
    for (const char* item : {"", "Blues", "Songs/Blues", "./Blues", "C:\\Songs\\Blues", "/", "/home/u/Songs/",
                             "/home/u/Songs/..", "/home/u/Songs/.", "/.."}) {
        EXPECT_FALSE(IsHardDiskItem(item)) << item;
    }
}

TEST(PayloadItems, AHardDiskItemSplitsAtItsLastSlash) {
    for (const auto& [item, folder, title] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"/home/u/Songs/Blues", "/home/u/Songs", "Blues"}, {"/Blues", "/", "Blues"}}) {
        const HardDiskItem split = SplitHardDiskItem(item);
        EXPECT_EQ(split.folder, folder);
        EXPECT_EQ(split.title, title);
    }
}

}  // namespace
}  // namespace tunecrate
