// SPDX-License-Identifier: MIT
#include "core/NameOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tunecrate {
namespace {

TEST(NameOrder, AsciiLettersCompareAsLowerCase) {
    EXPECT_EQ(CompareNames("Banana", "banana"), 0);
    EXPECT_EQ(CompareNames("TAKE", "take"), 0);
    EXPECT_LT(CompareNames("apple", "Banana"), 0);
    EXPECT_LT(CompareNames("APPLE", "banana"), 0);
    // Folded to lower case, not to upper: the underscore (95) lies between
    // 'Z' (90) and 'a' (97), and so do '[' and '`'.
    EXPECT_LT(CompareNames("_take", "apple"), 0);
    EXPECT_LT(CompareNames("_take", "Apple"), 0);
    EXPECT_LT(CompareNames("[x", "A"), 0);
    EXPECT_GT(CompareNames("{x", "Z"), 0);   // '{' is 'z' + 1 and is not folded
    // Only letters fold: '@' and '`' differ from each other by the case bit.
    EXPECT_NE(CompareNames("@", "`"), 0);
}

TEST(NameOrder, NonAsciiBytesComeAfterAllOfAscii) {
    // Bytes from 0x80 on compare unsigned, so UTF-8 names follow every ASCII
    // name and among themselves go by code point.
    EXPECT_GT(CompareNames("\xC3\xA9", "z"), 0);            // é
    EXPECT_GT(CompareNames("\xC3\xA9", "\x7F"), 0);
    EXPECT_LT(CompareNames("\xC3\xA9", "\xE3\x81\x82"), 0);  // é < あ
    EXPECT_LT(CompareNames("\xE3\x81\x82", "\xE3\x82\xA2"), 0);  // あ < ア
    EXPECT_LT(CompareNames("\xE3\x82\xA2", "\xEF\xBC\xA1"), 0);  // ア < Ａ
    // É and é are different characters here: only ASCII folds.
    EXPECT_NE(CompareNames("\xC3\x89", "\xC3\xA9"), 0);
}

TEST(NameOrder, APrefixComesBeforeItsExtensions) {
    EXPECT_LT(CompareNames("", "a"), 0);
    EXPECT_LT(CompareNames("take", "take 2"), 0);
    EXPECT_LT(CompareNames("take 2", "take2"), 0);
    EXPECT_LT(CompareNames("Take", "take2"), 0);
    EXPECT_EQ(CompareNames("", ""), 0);
}

TEST(NameOrder, SortGivesTheGoldenOrder) {
    std::vector<std::string> names = {"take2", "Banana", "\xE3\x81\x82", "take", "apple", "_take", "take 2", "Zed"};
    SortNames(names);
    const std::vector<std::string> expected = {"_take", "apple", "Banana", "take", "take 2", "take2", "Zed",
                                               "\xE3\x81\x82"};
    EXPECT_EQ(names, expected);
}

TEST(NameOrder, SortKeepsTheOrderOfNamesThatCompareEqual) {
    // Many case variants of few keys: enough elements that an unstable sort
    // would show itself.
    std::vector<std::string> names;
    const std::vector<std::string> spellings = {"ab", "AB", "Ab", "aB"};
    for (int round = 0; round < 20; ++round) {
        for (const std::string key : {"song", "a", "take"}) {
            names.push_back(key + spellings[static_cast<std::size_t>(round) % spellings.size()]);
        }
    }
    const std::vector<std::string> original = names;
    SortNames(names);
    ASSERT_EQ(names.size(), original.size());
    // Within each key, the spellings appear in their original order.
    for (const char* key : {"a", "song", "take"}) {
        std::vector<std::string> before, after;
        for (const std::string& n : original) {
            if (CompareNames(n, std::string(key) + "ab") == 0) before.push_back(n);
        }
        for (const std::string& n : names) {
            if (CompareNames(n, std::string(key) + "ab") == 0) after.push_back(n);
        }
        EXPECT_EQ(after, before) << key;
    }
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                               [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; }));
    EXPECT_EQ(CompareNames(names.front(), "aab"), 0);
    EXPECT_EQ(CompareNames(names.back(), "takeab"), 0);
}

}  // namespace
}  // namespace tunecrate
