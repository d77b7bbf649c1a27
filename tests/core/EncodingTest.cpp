// SPDX-License-Identifier: MIT
#include "core/text/Encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tunecrate {
namespace {

using namespace std::literals;
using Pairs = std::vector<std::pair<std::string, std::string>>;

const std::string kReplacement = "\xEF\xBF\xBD";   // U+FFFD

TEST(Encoding, Cp932AndUtf8RoundTrip) {
    const Pairs pairs = {
        {"Blues \\ ~ 01", "Blues \\ ~ 01"},                       // ASCII keeps backslash and tilde
        {"\x83\x5C", "\xE3\x82\xBD"},                             // ソ: trail byte 0x5C
        {"\x95\x5C", "\xE8\xA1\xA8"},                             // 表: trail byte 0x5C
        {"\x88\x9F", "\xE4\xBA\x9C"},                             // 亜: trail byte in the lead range
        {"\xB1\xC3\xDE", "\xEF\xBD\xB1\xEF\xBE\x83\xEF\xBE\x9E"},   // ｱﾃﾞ half-width
        {"\x81\x40", "\xE3\x80\x80"},                             // full-width blank
        {"\x81\x60", "\xEF\xBD\x9E"},                             // ～ full-width tilde
        {"\x87\x40", "\xE2\x91\xA0"},                             // ① exists in CP932, not plain Shift-JIS
        {"\xFB\xFC", "\xE9\xAB\x99"},                             // 髙, an IBM extension
        // A whole title mixing all kinds, with a backslash trail byte before ASCII.
        {"\x83\x5C" "A\\" "\x95\x5C" "\xB1" "1", "\xE3\x82\xBD" "A\\" "\xE8\xA1\xA8\xEF\xBD\xB1" "1"},
        {"a\0b"s, "a\0b"s},   // a NUL byte is a character like any other
    };
    for (const auto& [cp932, utf8] : pairs) {
        SCOPED_TRACE(utf8);
        EXPECT_TRUE(IsValidCp932(cp932));
        EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
        EXPECT_EQ(Utf8ToCp932(utf8), cp932);
    }
}

TEST(Encoding, UndecodableBytesBecomeOneReplacementEach) {
    const std::string r = kReplacement;
    const Pairs pairs = {
        {"A\x80" "B", "A" + r + "B"},
        {"A\x81 B", "A" + r + " B"},   // an impossible trail: only the lead byte is lost
        {"AB\x83", "AB" + r},          // a lead byte cut off at the end
        {"\xFD\xFE\xFF", r + r + r},
        {"\x80\x83\x5C", r + "\xE3\x82\xBD"},   // what follows a bad byte still decodes
    };
    for (const auto& [cp932, utf8] : pairs) {
        EXPECT_FALSE(IsValidCp932(cp932)) << utf8;
        EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
    }
}

// Characters CP932 lacks and text that is not UTF-8 have no CP932 form.
TEST(Encoding, TextWithoutACp932FormIsRefused) {
    for (const char* utf8 : {
             "\xF0\x9F\x8E\xB5",   // an emoji
             "Caf\xC3\xA9",        // é
             "\xED\x95\x9C",       // a Hangul syllable
             "ab\xC3",             // a cut-off sequence
             "\xFF",
             "\xC0\xAF",           // an overlong "/"
             "\xED\xA0\x80",       // a lone surrogate
         }) {
        EXPECT_EQ(Utf8ToCp932(utf8), std::nullopt) << utf8;
    }
    EXPECT_EQ(Utf8ToCp932(""), "");
}

// A title crossing from the hard disk to the floppy and back must come back as
// it left, or be refused: a silent substitution renames the user's files.
TEST(Encoding, AcceptedUtf8ComesBackUnchanged) {
    for (const std::string text : {
             "\xE3\x80\x9C",   // 〜 wave dash, which Linux input methods produce
             "\xC2\xA5",       // ¥
             "\xE2\x80\x94",   // — em dash
             "\xE2\x88\x92",   // − minus sign
         }) {
        if (auto cp932 = Utf8ToCp932(text)) {
            EXPECT_EQ(Cp932ToUtf8(*cp932), text) << "accepted and changed on the way back";
        }
    }
}

// Bytes that do not decode are kept when there is room for them: a line that
// is not edited must be written back byte for byte.
TEST(Encoding, CutNeverSplitsATwoByteCharacterAndTextThatFitsIsNeverCut) {
    const std::string so3 = "\x83\x5C\x83\x5C\x83\x5C";
    // 亜's trail byte 0x9F is itself a possible lead byte: only a scan from the
    // start knows it ends a character.
    const std::string a2 = "A\x88\x9F\x88\x9F";
    const std::vector<std::tuple<std::string, std::size_t, std::string>> cases = {
        {so3, 5, "\x83\x5C\x83\x5C"},
        {so3, 4, "\x83\x5C\x83\x5C"},
        {so3, 1, ""},
        {so3, 0, ""},
        {a2, 4, "A\x88\x9F"},
        {a2, 3, "A\x88\x9F"},
        {a2, 2, "A"},
        {"\xB1\xB2\xB3", 2, "\xB1\xB2"},   // half-width katakana are single bytes
        {"abc", 2, "ab"},
        {"abc", 3, "abc"},
        {"\x83\x5C" "a", 10, "\x83\x5C" "a"},
        {"ab\x83", 10, "ab\x83"},
        {"ab\x83", 3, "ab\x83"},
    };
    for (const auto& [bytes, max, cut] : cases) EXPECT_EQ(CutToWholeCharacters(bytes, max), cut) << bytes << " " << max;
}

// Input methods give characters that CP932 writes with a look-alike of its own;
// mapped, the text can go onto the floppy.
TEST(Encoding, LookAlikesMapToTheirCp932Forms) {
    const Pairs pairs = {
        {"\xE3\x80\x9C", "\xEF\xBD\x9E"},   // 〜 -> ～
        {"\xE2\x88\x92", "\xEF\xBC\x8D"},   // − -> －
        {"\xE2\x80\x94", "\xE2\x80\x95"},   // — -> ―
        {"\xE2\x80\x96", "\xE2\x88\xA5"},   // ‖ -> ∥
        {"\xC2\xA2", "\xEF\xBF\xA0"},       // ¢ -> ￠
        {"\xC2\xA3", "\xEF\xBF\xA1"},       // £ -> ￡
        {"\xC2\xAC", "\xEF\xBF\xA2"},       // ¬ -> ￢
    };
    for (const auto& [typed, stored] : pairs) {
        SCOPED_TRACE(typed);
        // Inside other text, and twice in a row.
        const std::string mapped = MapCp932LookAlikes("a" + typed + typed + "\xE3\x82\xBD");
        EXPECT_EQ(mapped, "a" + stored + stored + "\xE3\x82\xBD");
        EXPECT_TRUE(Utf8ToCp932(mapped).has_value());
    }
}

TEST(Encoding, TextWithoutLookAlikesIsNotMapped) {
    for (const std::string& text : {
             ""s,
             "Blues ~-|\\ 01"s,                                   // ASCII tilde, hyphen, bar, backslash
             "\xE3\x82\xBD\xE3\x83\xB3\xE3\x82\xB0"s,             // ソング
             "\xEF\xBD\x9E\xEF\xBC\x8D\xE2\x80\x95\xE2\x88\xA5"s, // the CP932 forms themselves
             "\xC2\xA5\xC2\xA1"s,                                 // ¥ ¡: neighbours of the mapped signs
             "\xE3\x80\x9D\xE2\x80\x93\xE2\x88\x93"s,             // 〝 – ∓: neighbours of 〜 — −
             "a\0b"s,
             "\xE3\x80"s,                                         // a cut-off 〜 is not one
             "\xC2"s,
         }) {
        EXPECT_EQ(MapCp932LookAlikes(text), text);
    }
}

// A title crossing from a file name to the floppy keeps what CP932 holds,
// stores look-alikes in CP932's own forms and writes one "?" for each
// character it lacks; a stray byte (a Latin-1 file name) is one character
// and the characters after it stay.
TEST(Encoding, LossyEncodingWritesOneQuestionMarkPerMissingCharacter) {
    const Pairs pairs = {
        {"Blues 01", "Blues 01"},
        {"", ""},
        {"\xE5\xA4\x9C\xE6\x98\x8E\xE3\x81\x91", "\x96\xE9\x96\xBE\x82\xAF"},   // 夜明け
        {"a\xE3\x80\x9C" "b", "a\x81\x60" "b"},                                  // 〜
        {"Snow\xE2\x98\x83" "Day", "Snow?Day"},                                  // ☃
        {"a\xF0\x9F\x98\x80\xF0\x9F\x98\x80" "b", "a??b"},                       // two emoji
        {"\xE2\x98\x83\xE5\xA4\x9C", "?\x96\xE9"},                               // ☃夜
        {"ab\xE3\x81", "ab?"},   // cut off at the end: one unknown character
        {"\xFF" "ab", "?ab"},
        {"Caf\xE9 Blues", "Caf? Blues"},
        {"\xC3" "AB", "?AB"},
    };
    for (const auto& [utf8, cp932] : pairs) EXPECT_EQ(Utf8ToCp932Lossy(utf8), cp932) << utf8;
}

}  // namespace
}  // namespace tunecrate
