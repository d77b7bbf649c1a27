// SPDX-License-Identifier: MIT
// A folder of floppy images as the shelf shows it: names, order, new numbers,
// labels, a row for every image whatever its state, and the search form.
#include <sys/file.h>
#include <sys/stat.h>

#include "ScriptedPrompter.h"
#include "Songs.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/Shelf.h"
#include "core/text/SearchText.h"
#include "core/Texts.h"

namespace tunecrate::testing {
namespace {

TEST(Shelf, NamesOrderNewNumbersAndLabels) {
    // name -> "prefix number label ext", or "-" outside the indexed naming, or "" not an image
    for (const auto& [name, parsed] : std::vector<std::pair<std::string, std::string>>{
             {"DSKA0003.IMG", "DSKA 3  .IMG"}, {"dska0012 Wedding.ima", "dska 12 _Wedding .ima"},
             {"DSKA00031.IMG", "-"}, {"DSKA003.IMG", "-"}, {"0003.IMG", "-"}, {"Song 1.img", "-"},
             {"DSKA0003.IMG.txt", ""}, {"FF.CFG", ""}, {".img", ""}}) {
        const auto indexed = ParseIndexedName(name);
        const std::string shown = !IsShelfImageName(name) ? "" : !indexed ? "-"
            : indexed->prefix + " " + std::to_string(indexed->number) + " " + Blanks(indexed->label, ' ', '_') + " " + indexed->extension;
        EXPECT_EQ(shown, parsed) << name;
    }
    // existing names, count -> the new names, or why not
    for (const auto& [existing, count, made] : std::vector<std::tuple<Strings, int, std::string>>{
             {{}, 2, "DSKA0000.IMG DSKA0001.IMG"},
             {{"dska0004.img", "DSKA0001 Old.IMA", "x.img", "DISK0009.img"}, 2, "DSKA0010.IMG DSKA0011.IMG"},
             {{"DSKA0997.IMG", "DSKA0001.IMG"}, 4, "DSKA0000.IMG DSKA0002.IMG DSKA0998.IMG DSKA0999.IMG"},
             {{"DSKA0999.IMG"}, 1000, "!空いている番号は 999 個だけです。"}, {{}, 0, "!1 から 1000"}}) {
        const NewImageNames next = NextImageNames(existing, count);
        std::string shown = next.result.ok() ? "" : "!" + next.result.reason;
        for (const std::string& name : next.names) shown += (shown.empty() ? "" : " ") + name;
        EXPECT_EQ(shown.substr(0, made.size()), made);
    }

    // labels for DSKA0003.IMG -> the new name ("?" not all ASCII), or the reason they are refused
    for (const auto& [labels, labelled] : std::vector<std::pair<Strings, std::string>>{
             {{" Wedding "}, "DSKA0003 Wedding.IMG"}, {{"結婚式"}, "?DSKA0003 結婚式.IMG"}, {{"a.b"}, "DSKA0003 a.b.IMG"},
             {{std::string(40, 'x')}, "DSKA0003 " + std::string(40, 'x') + ".IMG"},
             {{"a/b", "a\tb", "a\x7f", "a\xc2\x85" "b", "\xc2\x9f", std::string(41, 'x')}, Translated(texts::kBadLabel, {"40"})},
             {{"..", " . "}, Translated(texts::kLabelDotsOnly)}, {{"\xff", "\xc0\xaf", "\xed\xa0\x80", "\xe7\xb5"}, Translated(texts::kLabelNotUtf8)},
             {{"a.", "a\\b", "a:b", "*", "a?", "\"a\"", "<a>", "a|b"}, Translated(texts::kLabelNotOnFat32)}}) {
        for (const std::string& label : labels) {
            const LabelledName result = LabelImageName("DSKA0003.IMG", label);
            EXPECT_EQ(!result.result.ok() ? result.result.reason : (result.ascii ? "" : "?") + result.name, labelled) << label;
        }
    }
    EXPECT_EQ(LabelImageName("DSKA0003 Old.img", "").name, "DSKA0003.img");
    EXPECT_EQ(LabelImageName("Song.img", "x").result.reason, Translated(texts::kOnlyNumberedImages));
}

// The order and the rows that users see come from the listing itself: indexed names by number, then the others
// in case-insensitive byte order, every entry with an image name whatever it is, with why it is no image.
TEST(Shelf, TheListingShowsEveryEntryInOrderAndNewImagesPassTheirNumbers) {
    TempDir shelf, outside;
    for (const char* name : {"b.img", "DSKA0010.IMG", "A.IMG", "DSKA0002 z.img", "a.ima", "DSKA0002 A.IMG", "_x.img", "FF.CFG"})
        WriteWhole(shelf.Path(name), name);
    WriteWhole(outside.Path("far.img"), "far");
    std::filesystem::create_directory(shelf.Path("DSKA0004.IMG"));
    ASSERT_EQ(::mkfifo(shelf.Path("DSKA0001.IMG").c_str(), 0644), 0);
    std::filesystem::create_symlink("nowhere.img", shelf.Path("DSKA0011.IMG"));   // the highest number
    std::filesystem::create_symlink("/dev/null", shelf.Path("dska0003.img"));
    std::filesystem::create_symlink(outside.Path("far.img"), shelf.Path("DSKA0005 Far.IMG"));
    std::filesystem::create_symlink("DSKA0010.IMG", shelf.Path("z.img"));
    const auto before = TreeEntries(shelf.path());
    // name, why it is no image (none: an image file)
    const std::vector<std::pair<std::string, const char*>> expected = {
        {"DSKA0001.IMG", texts::kShelfFifo}, {"DSKA0002 A.IMG", nullptr}, {"DSKA0002 z.img", nullptr},
        {"dska0003.img", texts::kShelfLinkToDevice}, {"DSKA0004.IMG", texts::kShelfFolder},
        {"DSKA0005 Far.IMG", texts::kShelfLinkOutside}, {"DSKA0010.IMG", nullptr}, {"DSKA0011.IMG", texts::kShelfLinkNowhere},
        {"_x.img", nullptr}, {"a.ima", nullptr}, {"A.IMG", nullptr}, {"b.img", nullptr}, {"z.img", texts::kShelfLink}};
    std::vector<std::pair<std::string, std::string>> wanted, listed;
    for (const auto& [name, why] : expected) wanted.emplace_back(name, why ? Translated(why, {name}) : "");
    for (const ShelfEntry& entry : ListShelfEntries(shelf.path()).value_or(std::vector<ShelfEntry>{}))
        listed.emplace_back(entry.file, entry.oddity);
    EXPECT_EQ(listed, wanted);
    const NewImageNames made = MakeShelfImages(shelf.path(), 2);
    EXPECT_EQ(std::pair(made.names, made.result.reason), std::pair(Strings{"DSKA0012.IMG", "DSKA0013.IMG"}, ""s));
    for (const std::string& name : made.names) std::filesystem::remove(shelf.Path(name));
    EXPECT_EQ(TreeEntries(shelf.path()), before) << "nothing was written to or through an entry";
    EXPECT_EQ(ReadWhole(outside.Path("far.img")), "far");
}

// Labels on a real folder: a name in use is never replaced, not even in another case (the stick is FAT32), and
// a link is never renamed.
TEST(Shelf, LabelsNeverReplaceANameInAnyCaseNorFollowALink) {
    TempDir shelf;
    WriteWhole(shelf.Path("DSKA0003 Taken.IMG"), "taken");
    ASSERT_TRUE(CreateSongFloppyImage(shelf.Path("DSKA0003.IMG")).ok());
    std::filesystem::create_symlink("DSKA0003.IMG", shelf.Path("DSKA0007.IMG"));
    // file, label -> the new name, or the reason it is refused
    for (const auto& [file, label, labelled] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"DSKA0003.IMG", "Taken", Translated(texts::kImageExists, {"DSKA0003 Taken.IMG"})},
             {"DSKA0003.IMG", "TAKEN", Translated(texts::kLabelCaseTaken, {"DSKA0003 TAKEN.IMG", "DSKA0003 Taken.IMG"})},
             {"DSKA0007.IMG", "x", Translated(texts::kShelfLink, {"DSKA0007.IMG"})}, {"DSKA0003.IMG", "Wedding", "DSKA0003 Wedding.IMG"}}) {
        const LabelledName result = LabelShelfImage(shelf.path(), file, label);
        EXPECT_EQ(result.result.ok() ? result.name : result.result.reason, labelled) << label;
    }
    EXPECT_EQ(ListShelfImages(shelf.path()), (Strings{"DSKA0003 Taken.IMG", "DSKA0003 Wedding.IMG", "DSKA0007.IMG"}));
    EXPECT_EQ(ReadShelfImage(shelf.path(), "DSKA0003 Wedding.IMG").condition.reason, "") << "the image is whole under its new name";
}

TEST(Shelf, EveryImageGetsARowWithItsStateAndTheFolderIsNeverChanged) {
    TempDir shelf;
    for (const auto& [name, description] : {std::pair{"DSKA0001 Blues.IMG", "1:Blues/live=Blues+ 3:夜明け/=Dawn L10:Far/"},
                                            {"DSKA0000.img", ""}, {"DSKA0002.IMG", "2:Locked/=Lock"}})
        std::filesystem::copy_file(TestFloppy(Medium::Image, description).location(), shelf.Path(name));
    WriteWhole(shelf.Path("DSKA0003.IMG"), ReadWhole(shelf.Path("DSKA0000.img"))->substr(0, 100000));
    WriteWhole(shelf.Path("DSKA0004.IMG"), std::string(1474560, '\xf6'));
    WriteWhole(shelf.Path("zz.ima"), *ReadWhole(shelf.Path("DSKA0000.img")) + "more");
    MakeTree(shelf.path(), "FF.CFG FF/x.img notes.txt folder.img/");
    ASSERT_EQ(RunPeer({"mkfs.fat", "-C", shelf.Path("DSKA0005.IMG"), "1440"}).exitCode, 0);   // FAT12, but no song floppy
    const int held = ::open(shelf.Path("DSKA0002.IMG").c_str(), O_RDWR);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const auto before = TreeEntries(shelf.path());

    Strings rows;
    for (const ShelfEntry& entry : ListShelfEntries(shelf.path()).value_or(std::vector<ShelfEntry>{})) {
        const ShelfRow row = entry.IsImage() ? ReadShelfImage(shelf.path(), entry.file) : UnreadShelfRow(entry);
        std::string shown = row.file + (row.number ? " #" + std::to_string(*row.number) : "") + " " +
                            std::to_string(row.songs) + " ";
        for (std::size_t s = 0; s < kSlotCount; ++s) shown += Cp932ToUtf8(row.titles[s]) + (row.holdsSong[s] ? "*" : "") + "|";
        rows.push_back(shown + " " + (row.usable() ? std::to_string(row.freeBytes / 512) : row.condition.reason));
    }
    ::close(held);
    const std::string problemOf3 = "DSKA0003.IMG は 1.44 MB のフロッピーイメージではありません: 100000 バイトあり、1474560 バイトではありません。";
    EXPECT_EQ(rows, (Strings{"DSKA0000.img #0 0 ||||| 2844", "DSKA0001 Blues.IMG #1 2 Blues*||夜明け*||| 2831",
                             "DSKA0002.IMG #2 0 ||||| DSKA0002.IMG はほかのプログラムが使用中です。 そちらで閉じてから、もう一度やり直してください。",
                             "DSKA0003.IMG #3 0 ||||| " + problemOf3, "DSKA0004.IMG #4 0 ||||| DSKA0004.IMG は 1.44 MB のフロッピーイメージではありません: "
                             "1 セクタのバイト数が 63222 です（512 でなければなりません）。",
                             "DSKA0005.IMG #5 0 ||||| DSKA0005.IMG は曲のフロッピーではありません。song.nam がありません。",
                             "folder.img 0 ||||| " + Translated(texts::kShelfFolder, {"folder.img"}), "zz.ima 0 ||||| " + Translated(texts::kShelfImageSize, {"zz.ima", "1474564", "1474560"})}));
    EXPECT_EQ(TreeEntries(shelf.path()), before);

    // With no image shown, the shelf opens on the first removable volume that holds an image.
    const auto mount = [](std::string at, bool removable) { return MountEntry{"/dev/x", std::move(at), "vfat", removable, 0}; };
    EXPECT_EQ(FindShelfFolder({mount(shelf.Path("folder.img"), true), mount("/", false), mount(shelf.path(), true)}), shelf.path());
    EXPECT_EQ(FindShelfFolder({mount(shelf.path(), false), mount(shelf.Path("nowhere"), true)}), std::nullopt);

    // The list as a spreadsheet opens it (a byte order mark, quoted fields, CRLF) and as label text.
    ShelfRow odd = ReadShelfImage(shelf.path(), "DSKA0001 Blues.IMG");
    odd.file = "a,\"b\".img";
    const std::vector<ShelfRow> saved = {odd, ReadShelfImage(shelf.path(), "DSKA0003.IMG")};
    EXPECT_EQ(ShelfCsv(saved), "\xEF\xBB\xBF番号,ファイル,題名 1,題名 2,題名 3,題名 4,題名 5,曲数,空き kb,状態\r\n"
                               "1,\"a,\"\"b\"\".img\",Blues,,夜明け,,,2,1449.47,\r\n3,DSKA0003.IMG,,,,,,0,," + problemOf3 + "\r\n");
    EXPECT_EQ(ShelfText(saved), "a,\"b\".img\n    1. Blues\n    3. 夜明け\nDSKA0003.IMG\n    (" + problemOf3 + ")\n");
}

// Songs dropped on a shelf row go into its free slots: from a song folder, from another floppy, from the image
// itself; a move empties the source slots only once the songs are whole on the target.
TEST(Shelf, DropsFillFreeSlotsOnly) {
    for (const auto& [payload, move, sameImage, before, after, told] :
         std::vector<std::tuple<std::string, bool, bool, std::string, std::string, std::string>>{
             {"HD Blues Rock Jazz Tango", false, false, "1:A/=A 3:C/=C", "1:A/=A 2:Blues/=Blues 3:C/=C 4:Rock/=Rock 5:Jazz/=Jazz",
              "5個以上のファイルは格納できません。"},
             {"FD 0 2 4", false, false, "2:B/b=B", "1:X/x=X+ 2:B/b=B 3:Z/z=Z", ""},
             {"FD 0 2", true, false, "2:B/b=B", "1:X/x=X+ 2:B/b=B 3:Z/z=Z", ""},
             {"FD 1", true, true, "2:Y/y=Y", "1:Y/y=Y", ""}}) {
        SCOPED_TRACE(payload);
        TestFolder songs("Blues=Blues Rock=Rock Jazz=Jazz Tango=Tango");
        TestFloppy image(Medium::Image, before);
        TestFloppy other(Medium::Image, "1:X/x=X+ 3:Z/z=Z");
        std::vector<std::string> items = Items(payload);
        const std::string type = items[0];
        items.erase(items.begin());
        ScriptedPrompter prompter;
        {
            auto volume = image.Open();
            auto from = sameImage ? nullptr : other.Open();
            std::vector<SlotRow> rows = RowsOf(volume.get());
            DropContext context{volume.get(), rows, prompter, move};
            DropIntoFreeSlots(context, SourceOf(type, items, songs.path(), sameImage ? volume.get() : from.get()));
        }
        EXPECT_EQ(image.Describe(), after);
        EXPECT_EQ(other.Describe(), type == "FD" && !sameImage && move ? "" : "1:X/x=X+ 3:Z/z=Z");
        EXPECT_EQ(prompter.calls().empty() ? "" : prompter.calls().back().text, told);
        EXPECT_EQ(songs.Describe(), "Blues=Blues Jazz=Jazz Rock=Rock Tango=Tango") << "a copy from the hard disk leaves it whole";
    }
}

TEST(SearchText, WidthAndCaseDoNotMatter) {
    for (const auto& [text, typed, found] : std::vector<std::tuple<std::string, std::string, bool>>{
             {"ﾌﾞﾙｰｽ in E", "ブルース", true}, {"ブルース", "ﾌﾞﾙｰｽ", true}, {"Slow BLUES", "blues", true},
             {"ＢＬＵＥＳ", "Blues", true}, {"Straße", "STRASSE", true}, {"ブルース", "フルース", false},
             {"夜明け", "", true}, {"Rock", "Rocks", false}, {"bad \xff byte", "\xff", true},
             {"㌀㌀㌀㌀㌀㌀", "アパート", true}})   // a text that folding makes four times as long
        EXPECT_EQ(KeyFound(SearchKey(text), SearchKey(typed)), found) << text << " / " << typed;
}

}  // namespace
}  // namespace tunecrate::testing
