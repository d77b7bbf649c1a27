// SPDX-License-Identifier: MIT
// CP932 on the floppy, names and their order, drag payloads, the command line, typed text, comment files.
#include "Scratch.h"
#include "core/disk/FileOps.h"
#include "core/songs/HardDiskSongs.h"
#include "core/text/CommandLine.h"
#include "core/text/CommentFile.h"
#include "core/text/DragPayload.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/text/Encoding.h"
#include "core/text/NameOrder.h"
#include "core/text/SongNames.h"
#include "core/Texts.h"
#include "core/text/TypedText.h"

namespace tunecrate::testing {
namespace {

template <typename Out> using Rows = std::vector<std::pair<std::string, Out>>;

const std::string kSo = "\x83\x5C", kBad = "\xEF\xBF\xBD";   // ソ (its trail byte is a backslash); U+FFFD

TEST(Encoding, Cp932RoundTripsInvalidBytesAndTextWithoutAForm) {
    for (const auto& [raw, text] : Rows<std::string>{{"Blues \\ ~ 01", "Blues \\ ~ 01"},
             {kSo + "A\\\x95\x5C", "ソA\\表"}, {"\x88\x9F", "亜"}, {"\xB1\xC3\xDE", "ｱﾃﾞ"}, {"\x81\x40", "　"},
             {"\x81\x60", "～"}, {"\x87\x40", "①"}, {"\xFB\xFC", "髙"}, {"a\0b"s, "a\0b"s}})
        EXPECT_EQ(std::pair(Cp932ToUtf8(raw), Utf8ToCp932(text)), std::pair(text, std::optional(raw)));
    for (const auto& [raw, text] : Rows<std::string>{   // one U+FFFD a byte that does not decode; the rest decodes
             {"A\x80" "B", "A" + kBad + "B"}, {"A\x81 B", "A" + kBad + " B"}, {"AB\x83", "AB" + kBad},
             {"\xFD\xFF", kBad + kBad}, {"\x80" + kSo, kBad + "ソ"}})
        EXPECT_EQ(Cp932ToUtf8(raw), text);
    for (const char* utf8 : {"〜", "🎵", "Café", "ab\xC3", "\xC0\xAF", "\xED\xA0\x80"})   // 〜 would come back as ～
        EXPECT_EQ(Utf8ToCp932(utf8), std::nullopt) << utf8;
    // A file name shows as itself when it is UTF-8, else (Windows' Shift-JIS) as its CP932 decoding.
    for (const auto& [name, shown] : Rows<std::string>{{"夜明け 🎵 Café", "夜明け 🎵 Café"},
             {"\x83\x75\x83\x8B\x81\x5B\x83\x58", "ブルース"}, {"ab\xC3", "abﾃ"}, {"\xC0\xAF", "ﾀｯ"}})
        EXPECT_EQ(FileNameText(name), shown);
}

// The spellings a name that shows as a title can have, against every code decoded; and a song found by them as a
// reading of the whole folder finds it.
TEST(Encoding, Cp932SpellingsAreEveryCodeThatShowsAsTheText) {
    std::map<std::string, std::set<std::string>> decoded;
    for (int code = 0x80; code <= 0xFCFC; ++code) {
        const std::string bytes = code <= 0xFF ? std::string(1, char(code)) : std::string{char(code >> 8), char(code & 0xFF)};
        if (code > 0xFF || !IsCp932LeadByte(static_cast<unsigned char>(code))) decoded[Cp932ToUtf8(bytes)].insert(bytes);
    }
    for (const std::string one : {"亜", "≒", "纊", "ｱ", "∵", "ⅰ", "￢", "🎵", "a"}) {
        const auto spellings = Cp932Spellings(one, 8);
        EXPECT_EQ(std::set(spellings->begin(), spellings->end()), one == "a" ? std::set<std::string>{} : decoded[one]) << one;
    }
    const auto count = [](const std::string& text, std::size_t most) {
        const auto spellings = Cp932Spellings(text, most);
        return spellings ? static_cast<int>(spellings->size()) : -1;
    };
    EXPECT_EQ(std::vector({count("ブルース 1", 8), count("≒纊 a", 8), count("≒≒≒≒", 8), count("Blues", 8), count("A" + kBad, 8)}),
              std::vector({1, 4, -1, 0, -1}));
    const TempDir dir;
    for (const std::string name : {"\x83\x75\x83\x8B.B00", "\x81\xE0.b00", "\x87\x90.B00", "\x87\x90.b00", "\xED\x40.B00", "\xFA\x5C.B00"})
        WriteWhole(dir.Path(name), "song");
    for (const auto& [title, found] : Rows<std::optional<std::string>>{{"ブル", "\x83\x75\x83\x8B.B00"},
             {"≒", "\x81\xE0.b00"}, {"纊", "\xED\x40.B00"}, {"亜", std::nullopt}, {"Blues", std::nullopt}}) {
        FolderNames names(dir.path());
        EXPECT_EQ(FindSongFile(names, title, ".B00"), found) << title;
    }
}

TEST(Encoding, LookAlikesMapAndCutsKeepWholeCharacters) {
    for (const auto& [from, to] :   // mapped, and then held by CP932
         Rows<std::string>{{"〜", "～"}, {"−", "－"}, {"—", "―"}, {"‖", "∥"}, {"¢", "￠"}, {"£", "￡"}, {"¬", "￢"}})
        EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932(MapCp932LookAlikes("a" + from + from)).value_or("?")), "a" + to + to);
    EXPECT_EQ(MapCp932LookAlikes("~-|¥–〝∓～\xE3\x80"), "~-|¥–〝∓～\xE3\x80");   // neighbours, a cut-off 〜
    // What CP932 cannot hold becomes "?", a character (or a broken sequence's byte) at a time.
    EXPECT_EQ(Utf8ToCp932Lossy("a〜🎹\xC3" "b\xE3\x81"), "a\x81\x60?" "?b?");
    const std::string a2 = "A\x88\x9F\x88\x9F";   // 亜's trail byte is itself a lead byte
    for (const auto& [bytes, max, cut] : std::vector<std::tuple<std::string, std::size_t, std::string>>{
             {Repeat(kSo, 3), 5, Repeat(kSo, 2)}, {Repeat(kSo, 3), 1, ""}, {a2, 4, "A\x88\x9F"}, {a2, 2, "A"},
             {"\xB1\xB2\xB3", 2, "\xB1\xB2"}, {"abc", 2, "ab"}, {"ab\x83", 3, "ab\x83"}, {"ab\x83", 9, "ab\x83"}})
        EXPECT_EQ(CutToWholeCharacters(bytes, max), cut) << bytes << " " << max;
    // Every byte at the 17-byte edge of a title in song.nam: a lead byte (0x81-0x9F, 0xE0-0xFC) whose trail
    // would fall past the edge goes, with it; any other byte stays.
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        SlotRow row;
        row.title = std::string(16, 'a') + static_cast<char>(byte) + "\x40";
        EXPECT_EQ(TitlesFileBytes({row}).substr(0, 19), row.title.substr(0, lead ? 16 : 17) + (lead ? " \r\n" : "\r\n")) << byte;
    }
}

TEST(SongNames, SlotNamesTitlesAndSizes) {
    EXPECT_EQ((Strings{SlotName(0), SlotName(9), SlotName(10), SlotName(39), HardDiskBaseName("/", "x"),
                       HardDiskBaseName("/a", "x"), HardDiskBaseName("/a/", "x")}),
              (Strings{"MDR_00", "MDR_09", "MDR_10", "MDR_39", "/x", "/a/x", "/a/x"}));
    for (const auto& [title, fitsAndNamesFiles] : Rows<std::pair<bool, bool>>{{"", {true, false}}, {".", {true, false}},
             {"..", {true, false}}, {"a/b", {true, false}}, {"a\0b"s, {true, false}}, {"..x", {true, true}},
             {" ", {true, true}}, {std::string(17, 'a'), {true, true}}, {Repeat(kSo, 8) + "\xB1", {true, true}},
             {std::string(18, 'a'), {false, true}}, {Repeat(kSo, 9), {false, true}}})
        EXPECT_EQ(std::pair(TitleFits(title), IsFileTitle(title)), fitsAndNamesFiles) << title;
    EXPECT_EQ((Strings{SizeText(1023, 0, false), SizeText(1024, 2048, true), SizeText(1023, 1, true),
                       SizeText(1024, 2048, false), SizeText(5ull << 32, 1024, true)}),   // kB of the sum, past 32 bits
              (Strings{"0kb", "3kb", "1kb", "1kb", "20971521kb"}));   // a missing events file counts nothing
}

TEST(NameOrder, AsciiLettersFoldOtherBytesGoByValueAndAPrefixComesFirst) {
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const auto& [a, b, order] : std::vector<std::tuple<std::string, std::string, int>>{
             {"Banana", "banana", 0}, {"APPLE", "banana", -1}, {"_take", "Apple", -1}, {"{x", "Z", 1}, {"@", "`", -1},
             {"é", "z", 1}, {"é", "あ", -1}, {"あ", "ア", -1}, {"É", "é", -1}, {"take 2", "take2", -1}, {"", "a", -1}})
        EXPECT_EQ(std::tuple(sign(CompareNames(a, b)), sign(CompareNames(b, a)),
                             sign(NameSortKey(a).compare(NameSortKey(b)))), std::tuple(order, -order, order)) << a << b;
    Strings names, expected;   // case variants, enough of them that an unstable sort would show itself
    for (std::size_t i = 0; i < 40; ++i) names.push_back((i % 2 ? "a" : "take") + Strings{"ab", "AB", "Ab"}[i / 2 % 3]);
    for (std::size_t odd : {1, 0}) for (std::size_t i = odd; i < 40; i += 2) expected.push_back(names[i]);
    SortNames(names);
    EXPECT_EQ(names, expected);
}

TEST(DragPayload, BuildsParsesAndRefusesWhatWouldSplitIntoOtherSongs) {
    for (const auto& [type, items, bytes] : std::vector<std::tuple<std::string, Strings, std::string>>{
             {"HD", {"/u/曲/夜明け", "/B"}, "HD\n/u/曲/夜明け\n/B\n\0"s}, {"FD", {"0", "2"}, "FD\n0\n2\n\0"s},
             {"FD", {}, "FD\n\0"s},   // then text from other programs: no zero byte, CR LF, empty lines, a zero byte
             {"FD", {"0", "3"}, "FD\n0\n3"}, {"HD", {"/a/B", "/a/C"}, "HD\r\n/a/B\r\n/a/C\r\n\0"s},
             {"FD", {"1"}, "FD\n1\n\0" "2\n"s}, {"", {}, "\0HD\n/a/B\n"s}, {"FD", {"1"}, "FD\n\n1\n\r\n\n"}}) {
        const bool ours = bytes.back() == '\0' && bytes.find('\r') == std::string::npos;   // built back byte for byte
        EXPECT_EQ(ours ? BuildPayload(type, items) : bytes, bytes);
        EXPECT_EQ(std::pair(ParsePayload(bytes).type, ParsePayload(bytes).items), std::pair(type, items)) << bytes;
    }
    for (const std::string& item : {"/a/Evil\nVictim"s, "/a/Evil\rVictim"s, "/a/Evil\0Victim"s, "/a/B\r\n"s})
        EXPECT_EQ(std::pair(CanTravelInPayload(item), BuildPayload("HD", {"/a/B", item})), std::pair(false, ""s));
    EXPECT_EQ(CannotDragMessage("/a/Evil\r\nVic\rtim").rfind("曲「Evil⏎Vic⏎tim」", 0), 0u);
    EXPECT_EQ(CannotDragMessage("/a/So\nngs/Blues").rfind("ディレクトリ「/a/So⏎ngs」", 0), 0u);
}

TEST(CommandLine, OptionsAndErrors) {
    const auto shown = [](const CommandLine& l) {   // the parsed line in one text
        std::string paths;
        for (const std::string& path : l.paths) paths += " " + path;
        return Strings{"Run", "Help", "Version", "NewFloppy", "Error", "Command"}[static_cast<std::size_t>(l.action)] +
               (l.floppy ? " floppy=" + *l.floppy : "") + (l.newFloppy.empty() ? "" : " new=" + l.newFloppy) +
               (l.error.empty() ? "" : ": " + l.error) +
               (l.action != CommandLine::Action::Command ? ""
                : " " + l.command + (l.csv ? " csv" : "") + (l.count != 1 ? " " + std::to_string(l.count) : "") +
                      (l.forceDevice ? " forced" : "") + (l.swap ? " swap" : "") + (l.closeGaps ? " gaps-closed" : "") +
                      (l.gaps ? " gaps" : "") + (l.number ? " " + std::to_string(*l.number) : "") +
                      (l.disks != 0 ? " disks=" + std::to_string(l.disks) : "") + (l.retries != 0 ? " retry=" + std::to_string(l.retries) : "") +
                      (l.keepCopies ? " keep" : "") + (l.tableFile.empty() ? "" : " table=" + l.tableFile) + ":" + paths);
    };
    for (const auto& [args, expected] : std::vector<std::pair<Strings, std::string>>{{{}, "Run"},
             {{"--floppy", "/m/MY DISK"}, "Run floppy=/m/MY DISK"}, {{"--floppy=/a=b"}, "Run floppy=/a=b"},
             {{"--new-floppy=/a=b.img"}, "NewFloppy new=/a=b.img"}, {{"--version"}, "Version"},
             {{"--new-floppy", "n.img", "--floppy", "/f"}, "NewFloppy floppy=/f new=n.img"},
             {{"--floppy", "/f", "--help"}, "Help floppy=/f"}, {{"--flopy", "/t"}, "Error: 不明なオプション --flopy"},
             {{"--floppy", ""}, "Error: --floppy にはフォルダかイメージファイルを指定してください"},
             {{"--new-floppy="}, "Error: --new-floppy にはファイルを指定してください"},
             {{"--floppy", "/a", "/b"}, "Error: 余分な引数 /b"}, {{"--shelf="}, "Error: --shelf にはフォルダを指定してください"},
             {{"lsit"}, "Error: 不明なコマンド lsit（コマンドは list、export、import、new、check、backup、restore、eject、convert、remove、renumber、copy、duplicates、ingest です）"},
             {{"renumber", "--swap", "i", "12"}, "Command renumber swap 12: i 12"}, {{"renumber", "i", "1000"}, "Error: 番号は 0 から 999 までの数で指定してください"},
             {{"renumber", "--close-gaps", "s"}, "Command renumber gaps-closed: s"}, {{"renumber", "--close-gaps", "s", "3"}, "Error: renumber には、イメージと新しい番号、または --close-gaps とディスク棚を指定してください"},
             {{"copy", "--number=7", "--gaps", "i", "s"}, "Command copy gaps 7: i s"}, {{"copy", "--number", "x", "i", "s"}, "Error: 番号は 0 から 999 までの数で指定してください"},
             {{"new", "--swap", "s"}, "Error: new には不明なオプション --swap"},
             {{"ingest", "--count=12", "--retry", "3", "--keep-copies", "--gaps", "--csv=t.csv", "/dev/sdb", "s"},
              "Command ingest 12 gaps disks=12 retry=3 keep table=t.csv: /dev/sdb s"},
             {{"ingest", "/dev/sdb", "s"}, "Command ingest: /dev/sdb s"}, {{"ingest", "--retry=x", "d", "s"}, "Error: --retry には 0 から 99 までの数を指定してください"},
             {{"ingest", "--csv=", "d", "s"}, "Error: --csv には保存するファイルを指定してください"},
             {{"ingest", "d"}, "Error: ingest には、フロッピードライブとディスク棚を指定してください"},
             {{"list", "--retry", "2", "d"}, "Error: list には不明なオプション --retry"},
             {{"list", "--force-device", "/dev/sdb@3"}, "Command list forced: /dev/sdb@3"},
             {{"restore", "--force-device", "a", "b"}, "Error: restore には不明なオプション --force-device"},
             {{"convert", "/dev/sdb"}, "Error: convert には、スティック（デバイスかダンプ）とフォルダ、またはフォルダとスティックを指定してください"},
             {{"convert", "--force-device", "d", "/dev/sdb"}, "Command convert forced: d /dev/sdb"},
             {{"/m/disk.img"}, "Run floppy=/m/disk.img"}, {{"--shelf", "/s", "a.IMA"}, "Run floppy=a.IMA"},
             {{"a.img", "b.img"}, "Error: 余分な引数 b.img"},
             {{"list", "--csv", "--", "-a", "b"}, "Command list csv: -a b"}, {{"export", "a", "-h"}, "Help"},
             {{"new", "--count=7", "d"}, "Command new 7: d"}, {{"check", "--csv", "d"}, "Error: check には不明なオプション --csv"},
             {{"import", "a"}, "Error: import には、曲のフォルダ、次にイメージかシェルフのフォルダを指定してください"}})
        EXPECT_EQ(shown(ParseCommandLine(args)), expected);
    EXPECT_EQ((Strings{NewFloppyResult("/x", {}).reason, NewFloppyResult("/x", Result::FromErrno(EEXIST)).reason,
                       NewFloppyResult("/x", Result::FromErrno(EACCES)).reason}),
              (Strings{"", "/x はすでに存在します。", "/x に書き込めません。\n"s + std::strerror(EACCES)}));
}

TEST(TypedText, TitlesAndCommentsAsTheyAreKeptOrWhyNot) {
    const std::string tooLong = "題名は17文字を超えてはいけません。";
    const auto no = [](const char* c) { return "フロッピーディスクに書けない文字が含まれています：「"s + c +
                                               "」\n変更は保存されませんでした。"; };
    const auto F = &FloppyTitleFrom, C = &CommentFrom, H = &HardDiskTitleFrom;   // each row: kept, or why not
    for (const auto& [make, typed, kept] : std::vector<std::tuple<decltype(F), std::string, std::string>>{
             {F, "Slow\r\nBlues", "Slow  Blues"}, {F, "夜〜", "\x96\xE9\x81\x60"}, {F, Repeat("ソ", 9), tooLong},
             {F, Repeat("ソ", 8) + "ｱ", Repeat(kSo, 8) + "\xB1"}, {F, "Café☃", no("é")}, {C, "Snow☃", no("☃")},
             {C, "a\n〜" + std::string(300, 'c'), "a \x81\x60" + std::string(300, 'c')}, {H, "夜明け〜", "夜明け～"},
             {H, "x🎵", no("🎵")}, {H, "a/b", texts::kNoFileTitle}, {H, "..", texts::kNoFileTitle},
             {H, std::string(18, 'a'), tooLong}}) {
        const TypedText result = make(typed);
        EXPECT_EQ(result.result.ok() ? result.text : result.result.reason, kept) << typed;
        EXPECT_TRUE(result.result.ok() || result.result.status == Status::Refused) << typed;
    }
}

TEST(Texts, EachMarkerIsReplacedOnceAndTheTranslatorSeesTheSource) {
    // An argument's own marker stays; a marker without an argument is left as it is.
    for (const auto& [source, said] : Rows<std::string>{
             {"%1 and %2", "%2 and x"}, {"%2%1", "x%2"}, {"100% %3 %", "100% %3 %"}, {texts::kFreeSpace, "空き %2 x"}})
        EXPECT_EQ(Translated(source.c_str(), {"%2", "x"}), said) << source;
    std::vector<std::string> asked;
    SetTextTranslator([&](const char* source) {
        asked.emplace_back(source);
        return std::string("%1 is full");
    });
    EXPECT_EQ(Translated(texts::kDiskFull, {"A:"}), "A: is full");
    SetTextTranslator({});
    EXPECT_EQ(asked, Strings{texts::kDiskFull});
    EXPECT_EQ(Translated(texts::kDiskFull), "ディスクがいっぱいです！");
}

TEST(CommentFile, TheFirstWordIsReadAndTheExactBytesWritten) {
    TempDir dir;
    const std::string w255(255, 'w');   // the longest word kept
    for (const auto& [content, word] : Rows<std::string>{{"slow blues\r\nx", "slow"}, {" \t\r\n\v\fafter x", "after"},
             {kSo + "\x81\x40x y", kSo + "\x81\x40x"}, {"", ""}, {"  \r\n", ""}, {w255 + "www", w255},
             {"\t" + Repeat(kSo, 200), Repeat(kSo, 127)}, {std::string(3000, ' ') + "late word", "late"},
             {"\r\n" + Repeat(w255, 8), w255}}) {
        WriteWhole(dir.Path("Blues.cmt"), content);
        EXPECT_EQ((Strings{FirstCommentWord(content), ReadCommentFile(dir.Path("Blues.cmt")),
                           FirstCommentWord(ReadCommentText(dir.Path("Blues.cmt")))}), Strings(3, word)) << content;
    }
    WriteWhole(dir.Path("Blues.cmt"), " \tslow  blues\r\nin E \r\n");   // the whole comment for tooltip and editor
    EXPECT_EQ(ReadCommentText(dir.Path("Blues.cmt")), "slow  blues\r\nin E");
    EXPECT_EQ(ReadCommentText(dir.Path("missing.cmt")) + ReadCommentFile(dir.path()), "");
    for (const std::string& comment : {kSo + "\x81\x40two words", "x"s, ""s}) {
        ASSERT_TRUE(WriteCommentFile(dir.Path("Blues.cmt"), comment).ok());
        EXPECT_EQ(ReadWhole(dir.Path("Blues.cmt")), comment);
    }
}

}  // namespace
}  // namespace tunecrate::testing
