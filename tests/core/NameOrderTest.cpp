// SPDX-License-Identifier: MIT
#include "core/text/NameOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace tunecrate {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

// ASCII letters compare as lower case (not upper: '_', '[' and '`' lie between
// 'Z' and 'a'); every other byte by its unsigned value, so UTF-8 names follow
// all of ASCII and go by code point; a prefix comes first.
TEST(NameOrder, NamesCompareByteByByteWithAsciiLettersFoldedToLowerCase) {
    const std::vector<std::tuple<std::string, std::string, int>> cases = {
        {"Banana", "banana", 0},
        {"TAKE", "take", 0},
        {"apple", "Banana", -1},
        {"APPLE", "banana", -1},
        {"_take", "apple", -1},
        {"_take", "Apple", -1},
        {"[x", "A", -1},
        {"{x", "Z", 1},    // '{' is 'z' + 1 and is not folded
        {"@", "`", -1},    // they differ by the case bit, but are no letters
        {"\xC3\xA9", "z", 1},                  // é
        {"\xC3\xA9", "\x7F", 1},
        {"\xC3\xA9", "\xE3\x81\x82", -1},      // é < あ
        {"\xE3\x81\x82", "\xE3\x82\xA2", -1},  // あ < ア
        {"\xE3\x82\xA2", "\xEF\xBC\xA1", -1},  // ア < Ａ
        {"\xC3\x89", "\xC3\xA9", -1},          // É and é: only ASCII folds
        {"", "a", -1},
        {"take", "take 2", -1},
        {"take 2", "take2", -1},
        {"Take", "take2", -1},
        {"", "", 0},
    };
    for (const auto& [a, b, sign] : cases) {
        EXPECT_EQ(Sign(CompareNames(a, b)), sign) << a << " : " << b;
        EXPECT_EQ(Sign(CompareNames(b, a)), -sign) << b << " : " << a;
        EXPECT_EQ(Sign(NameSortKey(a).compare(NameSortKey(b))), sign) << a << " : " << b;
    }
}

TEST(NameOrder, SortGivesTheGoldenOrder) {
    std::vector<std::string> names = {"take2", "Banana", "\xE3\x81\x82", "take", "apple", "_take", "take 2", "Zed"};
    SortNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"_take", "apple", "Banana", "take", "take 2", "take2", "Zed",
                                               "\xE3\x81\x82"}));
}

TEST(NameOrder, SortKeepsTheOrderOfNamesThatCompareEqual) {
    // Many case variants of few keys: enough elements that an unstable sort
    // would show itself.
    std::vector<std::string> names;
    const std::vector<std::string> spellings = {"ab", "AB", "Ab", "aB"};
    for (std::size_t round = 0; round < 20; ++round) {
        for (const std::string key : {"song", "a", "take"}) names.push_back(key + spellings[round % spellings.size()]);
    }
    std::vector<std::string> expected;
    for (const std::string key : {"a", "song", "take"}) {
        for (std::size_t round = 0; round < 20; ++round) expected.push_back(key + spellings[round % spellings.size()]);
    }
    SortNames(names);
    EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace tunecrate
