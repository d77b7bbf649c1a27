// SPDX-License-Identifier: MIT
#include "core/Encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tunecrate {
namespace {

using namespace std::literals;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";   // U+FFFD

// CP932 bytes and the UTF-8 text they stand for.
const std::vector<std::pair<std::string, std::string>>& KnownPairs() {
    static const std::vector<std::pair<std::string, std::string>> pairs = {
        {"Blues \\ ~ 01", "Blues \\ ~ 01"},                 // ASCII keeps backslash and tilde
        {"\x83\x5C", "\xE3\x82\xBD"},                       // ソ: trail byte 0x5C
        {"\x95\x5C", "\xE8\xA1\xA8"},                       // 表: trail byte 0x5C
        {"\x88\x9F", "\xE4\xBA\x9C"},                       // 亜: trail byte in the lead range
        {"\xB1\xC3\xDE", "\xEF\xBD\xB1\xEF\xBE\x83\xEF\xBE\x9E"},   // ｱﾃﾞ half-width
        {"\x81\x40", "\xE3\x80\x80"},                       // full-width blank
        {"\x81\x60", "\xEF\xBD\x9E"},                       // ～ full-width tilde
        {"\x87\x40", "\xE2\x91\xA0"},                       // ① exists in CP932, not plain Shift-JIS
        {"\xFB\xFC", "\xE9\xAB\x99"},                       // 髙, an IBM extension
    };
    return pairs;
}

TEST(Encoding, Cp932AndUtf8RoundTrip) {
    for (const auto& [cp932, utf8] : KnownPairs()) {
        SCOPED_TRACE(utf8);
        EXPECT_TRUE(IsValidCp932(cp932));
        EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
        EXPECT_EQ(Utf8ToCp932(utf8), cp932);
    }
    // A whole title mixing all kinds, with a backslash trail byte before ASCII.
    const std::string title = "\x83\x5C" "A\\" "\x95\x5C" "\xB1" "1";
    auto back = Utf8ToCp932(Cp932ToUtf8(title));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, title);
}

TEST(Encoding, UndecodableBytesBecomeOneReplacementEach) {
    EXPECT_FALSE(IsValidCp932("A\x80" "B"));
    EXPECT_EQ(Cp932ToUtf8("A\x80" "B"), "A" + std::string(kReplacement) + "B");

    // A lead byte with an impossible trail: only the lead byte is lost, the blank stays.
    EXPECT_FALSE(IsValidCp932("A\x81 B"));
    EXPECT_EQ(Cp932ToUtf8("A\x81 B"), "A" + std::string(kReplacement) + " B");

    // A lead byte cut off at the end of the text.
    EXPECT_FALSE(IsValidCp932("AB\x83"));
    EXPECT_EQ(Cp932ToUtf8("AB\x83"), "AB" + std::string(kReplacement));

    EXPECT_FALSE(IsValidCp932("\xFD\xFE\xFF"));
    EXPECT_EQ(Cp932ToUtf8("\xFD\xFE\xFF"), std::string(kReplacement) + std::string(kReplacement) +
                                               std::string(kReplacement));

    // Text after a bad byte still decodes, including two-byte characters.
    EXPECT_EQ(Cp932ToUtf8("\x80\x83\x5C"), std::string(kReplacement) + "\xE3\x82\xBD");

    // A NUL byte is a character like any other.
    EXPECT_TRUE(IsValidCp932(std::string("a\0b", 3)));
    EXPECT_EQ(Cp932ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Encoding, CharactersWithoutCp932FormAreRefused) {
    EXPECT_EQ(Utf8ToCp932("\xF0\x9F\x8E\xB5"), std::nullopt);   // an emoji
    EXPECT_EQ(Utf8ToCp932("Caf\xC3\xA9"), std::nullopt);         // é
    EXPECT_EQ(Utf8ToCp932("\xED\x95\x9C"), std::nullopt);        // a Hangul syllable
}

TEST(Encoding, InvalidUtf8IsRefused) {
    EXPECT_EQ(Utf8ToCp932("ab\xC3"), std::nullopt);            // cut-off sequence
    EXPECT_EQ(Utf8ToCp932("\xFF"), std::nullopt);
    EXPECT_EQ(Utf8ToCp932("\xC0\xAF"), std::nullopt);          // overlong "/"
    EXPECT_EQ(Utf8ToCp932("\xED\xA0\x80"), std::nullopt);      // a lone surrogate
    EXPECT_EQ(Utf8ToCp932(""), std::string());
}

// A title crossing from the hard disk to the floppy and back must come back as
// it left, or be refused: a silent substitution renames the user's files.
TEST(Encoding, AcceptedUtf8ComesBackUnchanged) {
    const std::vector<std::string> texts = {
        "\xE3\x80\x9C",   // 〜 wave dash, which Linux input methods produce
        "\xC2\xA5",       // ¥
        "\xE2\x80\x94",   // — em dash
        "\xE2\x88\x92",   // − minus sign
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        auto cp932 = Utf8ToCp932(text);
        if (cp932) {
            EXPECT_EQ(Cp932ToUtf8(*cp932), text) << "accepted and changed on the way back";
        }
    }
}

TEST(Encoding, CutNeverSplitsATwoByteCharacter) {
    const std::string so3 = "\x83\x5C\x83\x5C\x83\x5C";
    EXPECT_EQ(CutToWholeCharacters(so3, 5), "\x83\x5C\x83\x5C"sv);
    EXPECT_EQ(CutToWholeCharacters(so3, 4), "\x83\x5C\x83\x5C"sv);
    EXPECT_EQ(CutToWholeCharacters(so3, 1), ""sv);
    EXPECT_EQ(CutToWholeCharacters(so3, 0), ""sv);

    // 亜's trail byte 0x9F is itself a possible lead byte: only a scan from the
    // start knows it ends a character.
    const std::string a2 = "A\x88\x9F\x88\x9F";
    EXPECT_EQ(CutToWholeCharacters(a2, 4), "A\x88\x9F"sv);
    EXPECT_EQ(CutToWholeCharacters(a2, 3), "A\x88\x9F"sv);
    EXPECT_EQ(CutToWholeCharacters(a2, 2), "A"sv);

    // Half-width katakana are single bytes.
    EXPECT_EQ(CutToWholeCharacters("\xB1\xB2\xB3", 2), "\xB1\xB2"sv);
    EXPECT_EQ(CutToWholeCharacters("abc", 2), "ab"sv);
}

TEST(Encoding, TextThatFitsIsNeverCut) {
    EXPECT_EQ(CutToWholeCharacters("abc", 3), "abc"sv);
    EXPECT_EQ(CutToWholeCharacters("\x83\x5C" "a", 10), "\x83\x5C" "a"sv);
    // Bytes that do not decode are kept when there is room for them: a line
    // that is not edited must be written back byte for byte.
    EXPECT_EQ(CutToWholeCharacters("ab\x83", 10), "ab\x83"sv);
    EXPECT_EQ(CutToWholeCharacters("ab\x83", 3), "ab\x83"sv);
}

// Input methods give characters that CP932 writes with a look-alike of its own;
// mapped, the text can go onto the floppy.
TEST(Encoding, LookAlikesMapToTheirCp932Forms) {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"\xE3\x80\x9C", "\xEF\xBD\x9E"},   // 〜 -> ～
        {"\xE2\x88\x92", "\xEF\xBC\x8D"},   // − -> －
        {"\xE2\x80\x94", "\xE2\x80\x95"},   // — -> ―
        {"\xE2\x80\x96", "\xE2\x88\xA5"},   // ‖ -> ∥
        {"\xC2\xA2", "\xEF\xBF\xA0"},        // ¢ -> ￠
        {"\xC2\xA3", "\xEF\xBF\xA1"},        // £ -> ￡
        {"\xC2\xAC", "\xEF\xBF\xA2"},        // ¬ -> ￢
    };
    for (const auto& [typed, stored] : pairs) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(MapCp932LookAlikes(typed), stored);
        EXPECT_TRUE(Utf8ToCp932(MapCp932LookAlikes(typed)).has_value());
        // Inside other text, and twice in a row.
        EXPECT_EQ(MapCp932LookAlikes("a" + typed + typed + "\xE3\x82\xBD"), "a" + stored + stored + "\xE3\x82\xBD");
    }
    // A title as typed: 〜 between Japanese words, a minus and a pound sign.
    const std::string mapped = MapCp932LookAlikes("\xE6\x98\x9F\xE3\x80\x9C\xE7\xA9\xBA \xE2\x88\x92 1\xC2\xA3");
    EXPECT_EQ(mapped, "\xE6\x98\x9F\xEF\xBD\x9E\xE7\xA9\xBA \xEF\xBC\x8D 1\xEF\xBF\xA1");
    EXPECT_TRUE(Utf8ToCp932(mapped).has_value());
}

TEST(Encoding, TextWithoutLookAlikesIsNotMapped) {
    const std::vector<std::string> texts = {
        "",
        "Blues ~-|\\ 01",                                   // ASCII tilde, hyphen, bar, backslash
        "\xE3\x82\xBD\xE3\x83\xB3\xE3\x82\xB0",              // ソング
        "\xEF\xBD\x9E\xEF\xBC\x8D\xE2\x80\x95\xE2\x88\xA5",  // the CP932 forms themselves
        "\xC2\xA5\xC2\xA1",                                   // ¥ ¡: neighbours of the mapped signs
        "\xE3\x80\x9D\xE2\x80\x93\xE2\x88\x93",              // 〝 – ∓: neighbours of 〜 — −
        std::string("a\0b", 3),
        "\xE3\x80",                                         // a cut-off 〜 is not one
        "\xC2",
    };
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(MapCp932LookAlikes(texts[i]), texts[i]) << "text " << i;
}

// ---- titles crossing from file names to the floppy -----------------------------

TEST(Encoding, LossyEncodingKeepsWhatCp932Holds) {
    EXPECT_EQ(Utf8ToCp932Lossy("Blues 01"), "Blues 01");
    EXPECT_EQ(Utf8ToCp932Lossy(""), "");
    EXPECT_EQ(Utf8ToCp932Lossy("\xE5\xA4\x9C\xE6\x98\x8E\xE3\x81\x91"), "\x96\xE9\x96\xBE\x82\xAF");   // 夜明け
    // Look-alikes are stored as CP932's own forms, not as "?".
    EXPECT_EQ(Utf8ToCp932Lossy("a\xE3\x80\x9C" "b"), "a\x81\x60" "b");   // 〜
}

TEST(Encoding, LossyEncodingWritesOneQuestionMarkPerMissingCharacter) {
    EXPECT_EQ(Utf8ToCp932Lossy("Snow\xE2\x98\x83" "Day"), "Snow?Day");            // ☃
    EXPECT_EQ(Utf8ToCp932Lossy("a\xF0\x9F\x98\x80\xF0\x9F\x98\x80" "b"), "a??b");   // two emoji
    EXPECT_EQ(Utf8ToCp932Lossy("\xE2\x98\x83\xE5\xA4\x9C"), "?\x96\xE9");            // ☃夜
    // Cut off at the end: one unknown character.
    EXPECT_EQ(Utf8ToCp932Lossy("ab\xE3\x81"), "ab?");
}

// A file name from a Latin-1 system is no UTF-8: the stray byte becomes "?",
// the characters around it stay.
TEST(Encoding, LossyEncodingKeepsTheCharactersAfterAStrayByte) {
    EXPECT_EQ(Utf8ToCp932Lossy("\xFF" "ab"), "?ab");
    EXPECT_EQ(Utf8ToCp932Lossy("Caf\xE9 Blues"), "Caf? Blues");
    EXPECT_EQ(Utf8ToCp932Lossy("\xC3" "AB"), "?AB");
}

}  // namespace
}  // namespace tunecrate
