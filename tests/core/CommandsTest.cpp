// SPDX-License-Identifier: MIT
// The program's commands, run as a script runs them: random song folders
// imported onto a shelf and exported back come back byte for byte, under the
// same titles and with the same comments, and what `list` says matches.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <sys/stat.h>

#include <iostream>

#include "Songs.h"
#include "core/songs/Shelf.h"
#include "core/Texts.h"

namespace tunecrate::testing {
namespace {

using namespace std::literals;

#ifdef TUNECRATE_PROGRAM
// The program run with `args`: its exit status and its standard output.
PeerRun RunProgram(const std::vector<std::string>& args) {
    return RunCommand("'" TUNECRATE_PROGRAM "'", args, " 2>/dev/null");
}

struct SongFiles { std::string song, events, comment; };

RC_GTEST_PROP(Commands, ImportedSongsExportBackByteForByte, ()) {
    // Titles a floppy holds whole (17 bytes at most); comments of one word, as a drop carries them.
    const auto titleChars = rc::gen::elementOf(std::vector<std::string>{"a", "Z", "7", " ", "-", "ア", "曲", "ﾌﾞ"});
    const auto songs = *rc::gen::container<std::map<std::string, SongFiles>>(
        rc::gen::map(rc::gen::nonEmpty(rc::gen::container<std::vector<std::string>>(titleChars)),
                     [](const std::vector<std::string>& parts) {
                         std::string title = "T";
                         for (const std::string& part : parts)
                             if (Utf8ToCp932(title + part).value_or("").size() <= 17) title += part;
                         return title.substr(0, title.find_last_not_of(' ') + 1);
                     }),
        rc::gen::build<SongFiles>(
            rc::gen::set(&SongFiles::song, rc::gen::map(rc::gen::inRange(1, 20000), [](int n) { return std::string(n, 'S') + std::to_string(n); })),
            rc::gen::set(&SongFiles::events, rc::gen::element(""s, "events"s)),
            rc::gen::set(&SongFiles::comment, rc::gen::element(""s, "take"s, "ライブ"s))));
    RC_PRE(songs.size() <= 11);   // three images at most
    TempDir dir;
    const std::string from = dir.Path("songs"), shelf = dir.Path("shelf"), back = dir.Path("back");
    for (const std::string& folder : {from, shelf, back}) std::filesystem::create_directory(folder);
    for (const auto& [title, files] : songs) {
        WriteWhole(from + "/" + title + ".B00", files.song);
        if (!files.events.empty()) WriteWhole(from + "/" + title + ".EVT", files.events);
        WriteWhole(from + "/" + title + ".cmt", *Utf8ToCp932(files.comment));   // an export writes one, even empty
    }
    const std::set<std::string> source = TreeEntries(from);   // every name and every byte
    RC_ASSERT(RunProgram({"import", from, shelf}).exitCode == 0);
    const auto [listed, list] = RunProgram({"list", shelf});
    RC_ASSERT(listed == 0);
    for (const auto& entry : std::filesystem::directory_iterator(shelf))
        RC_ASSERT(RunProgram({"export", entry.path().string(), back}).exitCode == 0);
    RC_ASSERT(static_cast<std::size_t>(std::ranges::count(list, '\n')) == songs.size());
    RC_ASSERT(TreeEntries(back) == source);
    RC_ASSERT(TreeEntries(from) == source);   // nothing taken from the source
}

// Entries with image names that are no image files are shown with their reasons, keep their numbers and are
// never written: songs go into the last image file, then into new images past every number in use.
TEST(Commands, OddShelfEntriesAreShownNeverWrittenAndKeepTheirNumbers) {
    TempDir dir;
    const std::string shelf = dir.Path("shelf"), outside = dir.Path("outside.img");
    TestFolder songs("S1=S1 S2=S2 S3=S3 S4=S4 S5=S5 S6=S6", dir.Path("songs"));
    std::filesystem::create_directories(shelf + "/DSKA0003.IMG");
    for (const std::string& image : {shelf + "/DSKA0000.IMG", outside}) ASSERT_EQ(RunProgram({"new", image}).exitCode, 0);
    std::filesystem::create_symlink(outside, shelf + "/DSKA0001.IMG");
    ASSERT_EQ(::mkfifo((shelf + "/DSKA0002.IMG").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/null", shelf + "/DSKA0004.IMG");
    std::filesystem::create_symlink("gone.img", shelf + "/DSKA0005.IMG");
    const auto untouched = ReadWhole(outside);
    const auto [imported, placed] = RunProgram({"import", songs.path(), shelf});
    EXPECT_EQ(std::pair(imported, std::ranges::count(placed, '\n')), std::pair(0, 6l));
    EXPECT_EQ(ReadWhole(outside), untouched) << "songs went through a link";
    const auto [made, names] = RunProgram({"new", "--count", "2", shelf});
    EXPECT_EQ(std::pair(made, names), std::pair(0, shelf + "/DSKA0007.IMG\n" + shelf + "/DSKA0008.IMG\n"));
    const auto serial = [&](const char* name) { return ReadWhole(shelf + "/" + name).value_or("").substr(0, 43).substr(39); };
    EXPECT_NE(serial("DSKA0007.IMG"), serial("DSKA0008.IMG")) << "each image has a volume serial of its own";
    std::string rows;
    for (const auto& [name, why] : std::vector<std::pair<std::string, const char*>>{
             {"DSKA0000.IMG", nullptr}, {"DSKA0001.IMG", texts::kShelfLinkOutside}, {"DSKA0002.IMG", texts::kShelfFifo},
             {"DSKA0003.IMG", texts::kShelfFolder}, {"DSKA0004.IMG", texts::kShelfLinkToDevice},
             {"DSKA0005.IMG", texts::kShelfLinkNowhere}, {"DSKA0006.IMG", nullptr}, {"DSKA0007.IMG", nullptr}, {"DSKA0008.IMG", nullptr}})
        rows += shelf + "/" + name + ": " + (why != nullptr ? Translated(why, {name}) : "問題なし") + "\n";
    const auto [checked, report] = RunCommand("LC_ALL=C exec '" TUNECRATE_PROGRAM "'", {"check", shelf}, " 2>/dev/null");
    EXPECT_EQ(std::pair(checked, report), std::pair(1, rows));
}

// The names of the entries that differ between two TreeEntries.
std::string Changed(const std::set<std::string>& before, const std::set<std::string>& after) {
    std::set<std::string> names;
    for (const auto& [from, to] : {std::pair(&before, &after), std::pair(&after, &before)})
        for (const std::string& entry : *from)
            if (!to->contains(entry)) names.insert(entry.substr(0, entry.find_first_of("=@")));
    std::string shown;
    for (const std::string& name : names) shown += (shown.empty() ? "" : " ") + name;
    return shown;
}

// Copies found by content whatever the titles or slots, the first of each never named.
TEST(Commands, DuplicatesNameEachCopyAndItsFirst) {
    TempDir dir;
    const std::string shelf = dir.Path("shelf");
    std::filesystem::create_directory(shelf);
    const std::vector<std::pair<const char*, const char*>> images{
        {"DSKA0000.IMG", "1:Blues/=Blues+ 2:Rock/=Rock"}, {"DSKA0001.IMG", "2:Blues/=Blues+ 4:Rock/=Rock"}, {"DSKA0002.IMG", "1:Blues/=Blues+ 3:Jig/=Jig"}};
    for (const auto& [name, songs] : images) std::filesystem::copy_file(TestFloppy(Medium::Image, songs).location(), JoinPath(shelf, name));
    const std::string a = JoinPath(shelf, "DSKA0000.IMG"), b = JoinPath(shelf, "DSKA0001.IMG"), c = JoinPath(shelf, "DSKA0002.IMG");
    const PeerRun run = RunProgram({"duplicates", shelf});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, b + "\t*\t" + a + "\t*\n" + b + "\t2\t" + a + "\t1\n" + b + "\t4\t" + a + "\t2\n" + c + "\t1\t" + a + "\t1\n");
}

// Exit statuses, and the promise never to replace anything, judged on the bytes left behind; reading, checking
// and exporting never write to the floppy, even where a catalogue file is missing.
TEST(Commands, ExitStatusesAndNothingReplacedOnTheBytes) {
    TempDir dir;
    Tmpfs full("size=1m");
    TestFloppy floppy(Medium::Folder, "1:A/a=A");
    TestFloppy image(Medium::Image, "1:Blues/=Blues+ 2:Rock/=Rock", dir.path());
    PutFiles(image, {{"comments.dat", std::nullopt}});
    WriteWhole(dir.Path("taken.img"), "taken");
    MakeTree(dir.path(), "shelf/notes out/ blocked/Blues.B00/");
    std::filesystem::create_symlink(dir.Path("elsewhere.img"), dir.Path("link.img"));
    ::setenv("HOME", dir.Path("home").c_str(), 1);   // the trash of a removed image
    ::unsetenv("XDG_DATA_HOME");
    // args, exit status, the entries that change
    for (const auto& [args, status, changed] : std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
             {{"new", dir.Path("taken.img")}, 1, ""}, {{"new", dir.Path("link.img")}, 1, ""},
             {{"new", dir.Path("shelf")}, 0, "shelf/DSKA0000.IMG"}, {{"new", "--count", "2", full.path()}, 1, ""},
             {{"backup", floppy.location(), dir.Path("taken.img")}, 1, ""}, {{"backup", floppy.location(), dir.Path("shelf")}, 1, ""},
             {{"backup", image.location(), dir.Path("copy.img")}, 0, "copy.img"},
             {{"list", dir.Path("missing.img")}, 1, ""}, {{"check", dir.Path("missing")}, 1, ""},
             {{"list", image.location()}, 0, ""}, {{"check", image.location()}, 0, ""},
             {{"export", image.location(), dir.Path("out")}, 0, "out/Blues.B00 out/Blues.EVT out/Blues.cmt out/Rock.B00 out/Rock.cmt"},
             {{"export", image.location(), dir.Path("out")}, 1, ""},   // the names are taken now: left out, and said
             // a song that cannot be written (a folder in its file's place) is a failure; the others go
             {{"export", image.location(), dir.Path("blocked")}, 1, "blocked/Rock.B00 blocked/Rock.cmt"},
             // whole images: renumbered, copied, removed to the trash; never over a number in use
             {{"renumber", dir.Path("shelf/DSKA0000.IMG"), "4"}, 0, "shelf/DSKA0000.IMG shelf/DSKA0004.IMG"},
             {{"copy", image.location(), dir.Path("shelf")}, 0, "shelf/DSKA0005.IMG"},
             {{"copy", "--number", "4", image.location(), dir.Path("shelf")}, 1, ""},
             {{"renumber", "--swap", dir.Path("shelf/DSKA0004.IMG"), "5"}, 0, "shelf/DSKA0004.IMG shelf/DSKA0005.IMG"},
             {{"remove", dir.Path("shelf/DSKA0005.IMG"), dir.Path("shelf/DSKA0009.IMG")}, 1,
              "home/ home/.local/ home/.local/share/ home/.local/share/Trash/ home/.local/share/Trash/files/ "
              "home/.local/share/Trash/files/DSKA0005.IMG home/.local/share/Trash/info/ home/.local/share/Trash/info/DSKA0005.IMG.trashinfo "
              "shelf/DSKA0005.IMG"},
             {{"renumber", "--close-gaps", dir.Path("shelf")}, 0, "shelf/DSKA0000.IMG shelf/DSKA0004.IMG"},
             {{"lsit"}, 2, ""}, {{"import", "a", "b", "c"}, 2, ""}}) {   // bad usage (the parser's errors: CommandLine tests)
        const bool onFull = args.back() == full.path();
        if (onFull && !full.mounted()) {
            std::cout << "[ skipped  ] new on a full disk: a small tmpfs needs root\n";
            continue;
        }
        const auto before = TreeEntries(onFull ? full.path() : dir.path());
        EXPECT_EQ(RunProgram(args).exitCode, status) << args[0] << " " << args.back();
        EXPECT_EQ(Changed(before, TreeEntries(onFull ? full.path() : dir.path())), changed) << args[0] << " " << args.back();
    }
}

// A command loads Qt only to say a text in the user's language, or to eject: a list of a clean shelf, the
// version and a new image start without it. What is said is in the language asked for all the same.
TEST(Commands, TheCommandLineLoadsQtOnlyToSayATextOrEject) {
    TempDir dir;
    TestFloppy image(Medium::Image, "1:Blues/=Blues", dir.path());
    const std::string missing = dir.Path("missing.img");
    // language, args, Qt loaded, what is said (output and errors)
    for (const auto& [language, args, qt, said] : std::vector<std::tuple<std::string, std::vector<std::string>, bool, std::string>>{
             {"en", {"list", image.location()}, false, "\t1\tBlues\t"},
             {"en", {"--version"}, false, "Tunecrate Ver."},
             {"en", {"new", dir.Path("new.img")}, false, ""},
             {"en", {"list", missing}, true, "Cannot open"},
             {"ja", {"list", missing}, true, "を開けません"},
             {"en", {"lsit"}, true, "unknown command lsit"},
             {"en", {"eject", missing}, true, "is neither a mounted floppy nor a floppy drive"}}) {
        SCOPED_TRACE(language + " " + args[0]);
        const PeerRun run = RunCommand("LD_DEBUG=files LC_ALL=C.UTF-8 LANGUAGE=" + language + " '" TUNECRATE_PROGRAM "'", args, " 2>&1");
        EXPECT_EQ(run.output.find("libQt6Core") != std::string::npos, qt);
        EXPECT_NE(run.output.find(said), std::string::npos) << run.output.substr(run.output.size() - std::min<std::size_t>(run.output.size(), 300));
    }
}

// Every song an import does not place is named, with the reason, and the exit status says so: an image with
// fewer free slots than songs, a full one, and a shelf whose numbers have run out (every other number taken).
TEST(Commands, AnImportPlacesOrNamesEverySong) {
    for (const auto& [taken, count, shelf] : std::vector<std::tuple<int, int, bool>>{
             {2, 4, false}, {5, 4, false}, {0, 4, false}, {4, 8, false}, {3, 4, true}, {0, 7, true}}) {
        SCOPED_TRACE(std::to_string(taken) + " taken, " + std::to_string(count) + (shelf ? " onto a shelf" : ""));
        TempDir dir;
        std::string floppy, songs;
        for (int slot = 1; slot <= taken; ++slot) floppy += std::to_string(slot) + ":S" + std::to_string(slot) + "/=S" + std::to_string(slot) + " ";
        for (int n = 0; n < count; ++n) songs += "Song" + std::to_string(n) + "=T" + std::to_string(n) + (n % 2 ? "+" : "") + " ";
        TestFolder from(songs, dir.Path("songs"));
        TestFloppy image(Medium::Image, floppy, dir.path());
        std::filesystem::create_directory(dir.Path("shelf"));
        const std::string at = shelf ? dir.Path("shelf/DSKA0999.IMG") : image.location();
        if (shelf) std::filesystem::rename(image.location(), at);
        for (int n = 0; n < 999 && shelf; ++n) WriteWhole(dir.Path("shelf/DSKA" + std::string(n < 10 ? "000" : n < 100 ? "00" : "0") + std::to_string(n) + ".IMG"), "");
        const PeerRun run = RunCommand("'" TUNECRATE_PROGRAM "'", {"import", from.path(), shelf ? dir.Path("shelf") : at}, " 2>&1");
        const auto placed = static_cast<int>(std::ranges::count(run.output, '\t') / 2);
        int named = 0;
        for (std::size_t found = 0; (found = run.output.find(" は置かれませんでした: ", found)) != std::string::npos; ++found) ++named;
        EXPECT_EQ(placed, std::min(count, 5 - taken)) << run.output;
        EXPECT_EQ(named, count - placed) << run.output;
        EXPECT_EQ(run.exitCode, named == 0 ? 0 : 1);
    }
}
#endif

}  // namespace
}  // namespace tunecrate::testing
