// SPDX-License-Identifier: MIT
#include "core/text/SongNames.h"

#include <gtest/gtest.h>

#include "TempDir.h"

namespace tunecrate {
namespace {

using testing::Repeat;

constexpr std::string_view kSo = "\x83\x5C";   // "ソ": its trail byte is a backslash

TEST(SongNames, SlotNamesHaveTwoDigitsAcrossTheTenBoundary) {
    for (const auto& [slot, name] :
         std::vector<std::pair<int, std::string>>{{0, "MDR_00"}, {9, "MDR_09"}, {10, "MDR_10"}, {39, "MDR_39"}}) {
        EXPECT_EQ(SlotName(slot), name);
    }
}

TEST(SongNames, TitleLimitCountsCp932Bytes) {
    // Eight full-width characters and one half-width one make exactly 17 bytes.
    for (const std::string& title :
         {std::string(), std::string(17, 'a'), Repeat(kSo, 8) + "a", Repeat(kSo, 8) + "\xB1"}) {
        EXPECT_TRUE(TitleFits(title)) << title;
    }
    EXPECT_FALSE(TitleFits(std::string(18, 'a')));
    EXPECT_FALSE(TitleFits(Repeat(kSo, 9)));
}

TEST(SongNames, SizeTextIsWholeKilobytesOfBothFiles) {
    EXPECT_EQ(SizeText(0, 0, false), "0kb");
    EXPECT_EQ(SizeText(1023, 0, false), "0kb");
    EXPECT_EQ(SizeText(1024, 0, false), "1kb");
    EXPECT_EQ(SizeText(1024, 2048, true), "3kb");
    EXPECT_EQ(SizeText(1023, 1, true), "1kb");      // the sum is divided, not each part
    EXPECT_EQ(SizeText(1024, 2048, false), "1kb");  // a missing .EVT file counts nothing
}

TEST(SongNames, HardDiskBaseNameNeverDoublesTheSlash) {
    EXPECT_EQ(HardDiskBaseName("/", "x"), "/x");
    EXPECT_EQ(HardDiskBaseName("/a", "x"), "/a/x");
    EXPECT_EQ(HardDiskBaseName("/a/", "x"), "/a/x");
}

}  // namespace
}  // namespace tunecrate
