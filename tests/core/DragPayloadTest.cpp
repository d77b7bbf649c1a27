// SPDX-License-Identifier: MIT
#include "core/DragPayload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TempDir.h"
#include "core/TransferItems.h"

namespace tunecrate {
namespace {

using namespace std::literals;
using Items = std::vector<std::string>;

// ---- the bytes a drag carries ---------------------------------------------

TEST(DragPayload, HardDiskSongsAreTheirBaseNamesOnePerLineEndedByAZeroByte) {
    const std::string payload = BuildPayload(kHardDiskType, {"/home/u/Songs/Blues", "/home/u/Songs/Demo"});
    EXPECT_EQ(payload, "HD\n/home/u/Songs/Blues\n/home/u/Songs/Demo\n\0"s);
    EXPECT_EQ(payload.back(), '\0');
}

TEST(DragPayload, FloppySongsAreTheirSlotIndices) {
    EXPECT_EQ(BuildPayload(kFloppyType, {"0", "2"}), "FD\n0\n2\n\0"s);
    // Only empty slots selected: the type line alone.
    EXPECT_EQ(BuildPayload(kFloppyType, {}), "FD\n\0"s);
    EXPECT_EQ(BuildPayload(kHardDiskType, {}), "HD\n\0"s);
}

TEST(DragPayload, ParsingGivesBackWhatWasBuilt) {
    const Items hardDisk = {"/home/u/Songs/Blues", "/home/u/曲/夜明け", "/Blues"};
    ParsedPayload parsed = ParsePayload(BuildPayload(kHardDiskType, hardDisk));
    EXPECT_EQ(parsed.type, "HD");
    EXPECT_EQ(parsed.items, hardDisk);

    parsed = ParsePayload(BuildPayload(kFloppyType, {"0", "4"}));
    EXPECT_EQ(parsed.type, "FD");
    EXPECT_EQ(parsed.items, (Items{"0", "4"}));

    parsed = ParsePayload(BuildPayload(kFloppyType, {}));
    EXPECT_EQ(parsed.type, "FD");
    EXPECT_TRUE(parsed.items.empty());
}

// ---- text that did not come from our own lists ------------------------------

TEST(DragPayload, ParsingTakesTextWithoutZeroByteOrFinalLineFeed) {
    ParsedPayload parsed = ParsePayload("FD\n0\n2\n");
    EXPECT_EQ(parsed.type, "FD");
    EXPECT_EQ(parsed.items, (Items{"0", "2"}));

    parsed = ParsePayload("FD\n0\n3");
    EXPECT_EQ(parsed.items, (Items{"0", "3"}));

    parsed = ParsePayload("HD");
    EXPECT_EQ(parsed.type, "HD");
    EXPECT_TRUE(parsed.items.empty());

    parsed = ParsePayload("");
    EXPECT_EQ(parsed.type, "");
    EXPECT_TRUE(parsed.items.empty());
}

TEST(DragPayload, CarriageReturnsBeforeLineFeedsAreNotPartOfTheLines) {
    ParsedPayload parsed = ParsePayload("HD\r\n/home/u/Songs/Blues\r\n/home/u/Songs/Demo\r\n\0"s);
    EXPECT_EQ(parsed.type, "HD");
    EXPECT_EQ(parsed.items, (Items{"/home/u/Songs/Blues", "/home/u/Songs/Demo"}));
}

TEST(DragPayload, NothingAfterAZeroByteIsRead) {
    ParsedPayload parsed = ParsePayload("FD\n1\n\0" "2\n3\n"s);
    EXPECT_EQ(parsed.type, "FD");
    EXPECT_EQ(parsed.items, (Items{"1"}));

    parsed = ParsePayload("\0HD\n/home/u/Songs/Blues\n"s);
    EXPECT_EQ(parsed.type, "");
    EXPECT_TRUE(parsed.items.empty());
}

TEST(DragPayload, EmptyLinesNameNoSong) {
    ParsedPayload parsed = ParsePayload("FD\n\n1\n\r\n\n");
    EXPECT_EQ(parsed.type, "FD");
    EXPECT_EQ(parsed.items, (Items{"1"}));
}

TEST(DragPayload, AnyBytesParseWithoutHarm) {
    // Binary junk: every byte value, zero bytes only at the very end.
    std::string junk;
    std::uint32_t state = 7;
    while (junk.size() < 64 * 1024) {
        state = state * 1103515245u + 12345u;
        const char c = static_cast<char>(state >> 16);
        if (c != '\0') junk += c;
    }
    ParsedPayload parsed = ParsePayload(junk);
    EXPECT_NE(parsed.type, "HD");
    EXPECT_NE(parsed.type, "FD");
    std::size_t kept = parsed.type.size();
    for (const std::string& item : parsed.items) {
        EXPECT_FALSE(item.empty());
        EXPECT_EQ(item.find('\n'), std::string::npos);
        kept += item.size();
    }
    EXPECT_LE(kept, junk.size());

    // One megabyte in a single line is a type that names nothing.
    const std::string line(1 << 20, 'x');
    parsed = ParsePayload(line);
    EXPECT_EQ(parsed.type.size(), line.size());
    EXPECT_TRUE(parsed.items.empty());

    // A megabyte of line feeds: no items at all.
    parsed = ParsePayload(std::string(1 << 20, '\n'));
    EXPECT_EQ(parsed.type, "");
    EXPECT_TRUE(parsed.items.empty());

    // A megabyte of short lines keeps every one of them.
    parsed = ParsePayload("FD\n" + testing::Repeat("7\n", 1 << 19));
    EXPECT_EQ(parsed.items.size(), 1u << 19);
    EXPECT_EQ(FloppyItems(parsed.items), std::vector<int>{});
}

// ---- which item lines name songs --------------------------------------------

TEST(PayloadItems, OnlySlotIndicesZeroToFourNameFloppySongs) {
    EXPECT_EQ(FloppyItems({"0", "5", "-1", "01", "a", "", "4", " 2", "2 ", "+1", "9", "3"}),
              (std::vector<int>{0, 4, 3}));
    // Payload order is kept, repeats too: the drop decides what they mean.
    EXPECT_EQ(FloppyItems({"2", "1", "2"}), (std::vector<int>{2, 1, 2}));
    EXPECT_TRUE(FloppyItems({}).empty());
}

TEST(PayloadItems, OnlyAbsolutePathsWithATitleNameHardDiskSongs) {
    EXPECT_TRUE(IsHardDiskItem("/home/u/Songs/Blues"));
    EXPECT_TRUE(IsHardDiskItem("/Blues"));
    EXPECT_TRUE(IsHardDiskItem("/home/u/曲/夜明け"));
    EXPECT_TRUE(IsHardDiskItem("/home/u/Songs/Blues take 2"));

    EXPECT_FALSE(IsHardDiskItem(""));
    EXPECT_FALSE(IsHardDiskItem("Blues"));
    EXPECT_FALSE(IsHardDiskItem("Songs/Blues"));
    EXPECT_FALSE(IsHardDiskItem("./Blues"));
    EXPECT_FALSE(IsHardDiskItem("C:\\Songs\\Blues"));
    EXPECT_FALSE(IsHardDiskItem("/"));
    EXPECT_FALSE(IsHardDiskItem("/home/u/Songs/"));
    EXPECT_FALSE(IsHardDiskItem("/home/u/Songs/.."));
    EXPECT_FALSE(IsHardDiskItem("/home/u/Songs/."));
    EXPECT_FALSE(IsHardDiskItem("/.."));
}

TEST(PayloadItems, AHardDiskItemSplitsAtItsLastSlash) {
    HardDiskItem item = SplitHardDiskItem("/home/u/Songs/Blues");
    EXPECT_EQ(item.folder, "/home/u/Songs");
    EXPECT_EQ(item.title, "Blues");
    item = SplitHardDiskItem("/Blues");
    EXPECT_EQ(item.folder, "/");
    EXPECT_EQ(item.title, "Blues");
}

}  // namespace
}  // namespace tunecrate
