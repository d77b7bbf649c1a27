// SPDX-License-Identifier: MIT
// The program's commands, run as a script runs them: random song folders
// imported onto a shelf and exported back come back byte for byte, under the
// same titles and with the same comments, and what `list` says matches.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <sys/stat.h>

#include <csignal>

#include "Songs.h"
#include "core/songs/Shelf.h"
#include "core/text/CommentFile.h"
#include "core/text/Texts.h"

namespace tunecrate::testing {
namespace {

using namespace std::literals;

#ifdef TUNECRATE_PROGRAM
// The program run with `args`: its exit status and its standard output.
PeerRun RunProgram(const std::vector<std::string>& args) {
    return RunCommand("'" TUNECRATE_PROGRAM "'", args, " 2>/dev/null");
}

struct SongFiles { std::string song, events, comment; bool operator==(const SongFiles&) const = default; };

// A folder's songs: title -> files (comment as its text; a song without .EVT has "").
std::map<std::string, SongFiles> SongsIn(const std::string& folder) {
    std::map<std::string, SongFiles> songs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string(), title = name.substr(0, name.rfind('.'));
        const std::string extension = name.substr(name.rfind('.'));
        const std::string bytes = ReadWhole(entry.path()).value_or("?");
        SongFiles& files = songs[title];
        (extension == ".B00" ? files.song : extension == ".EVT" ? files.events : files.comment) =
            extension == ".cmt" ? ReadCommentFile(entry.path()) : bytes;
    }
    return songs;
}

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
        if (!files.comment.empty()) WriteWhole(from + "/" + title + ".cmt", *Utf8ToCp932(files.comment));
    }
    RC_ASSERT(RunProgram({"import", from, shelf}).exitCode == 0);
    const auto [listed, list] = RunProgram({"list", shelf});
    RC_ASSERT(listed == 0);
    for (const auto& entry : std::filesystem::directory_iterator(shelf))
        RC_ASSERT(RunProgram({"export", entry.path().string(), back}).exitCode == 0);
    RC_ASSERT(static_cast<std::size_t>(std::ranges::count(list, '\n')) == songs.size());
    RC_ASSERT(SongsIn(back) == SongsIn(from));
    RC_ASSERT(SongsIn(from).size() == songs.size());   // nothing taken from the source
}

// Killed at any moment, an import leaves no slot whose title names a song that is not whole there, and every
// source as it was.
TEST(Commands, AnImportKilledAtAnyPointLeavesNoHalfSongNamed) {
    TempDir dir;
    const std::string from = dir.Path("songs"), shelf = dir.Path("shelf");
    std::filesystem::create_directory(from);
    std::map<std::string, std::string> sources;
    for (int i = 0; i < 11; ++i) {
        const std::string title = "Take " + std::to_string(i);
        sources[title] = std::string(3000 + 2500 * i, static_cast<char>('a' + i));
        WriteWhole(from + "/" + title + ".B00", sources[title]);
    }
    int named = 0;
    for (const int delay : {0, 1000, 3000, 6000, 10000, 20000, 40000, 80000, 2000000}) {
        std::filesystem::remove_all(shelf);
        std::filesystem::create_directory(shelf);
        const pid_t child = ::fork();
        if (child == 0) {
            ::freopen("/dev/null", "w", stdout);
            ::execl(TUNECRATE_PROGRAM, "tunecrate", "import", from.c_str(), shelf.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::usleep(static_cast<useconds_t>(delay));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        for (const std::string& file : ListShelfImages(shelf).value_or(std::vector<std::string>{})) {
            auto volume = OpenFloppyVolume(shelf + "/" + file);
            const CatalogueReading reading = ReadCatalogue(volume.get(), CatalogueRepair::Never);
            for (int slot = 0; slot < static_cast<int>(reading.rows.size()); ++slot) {
                const std::string title = Cp932ToUtf8(reading.rows[static_cast<std::size_t>(slot)].title);
                if (title.empty()) continue;
                ++named;
                EXPECT_EQ(volume->ReadFile(SlotName(slot) + ".B00", 1 << 20), sources[title]) << file << " " << title;
            }
        }
        for (const auto& [title, bytes] : sources) EXPECT_EQ(ReadWhole(from + "/" + title + ".B00"), bytes);
    }
    EXPECT_GE(named, 11) << "the import never got anywhere";
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
    const auto serial = [&](const char* name) { return ReadWhole(shelf + "/" + name).value_or("").substr(39, 4); };
    EXPECT_NE(serial("DSKA0007.IMG"), serial("DSKA0008.IMG")) << "each image has a volume serial of its own";
    std::string rows;
    for (const auto& [name, why] : std::vector<std::pair<std::string, const char*>>{
             {"DSKA0000.IMG", nullptr}, {"DSKA0001.IMG", texts::kShelfLinkOutside}, {"DSKA0002.IMG", texts::kShelfFifo},
             {"DSKA0003.IMG", texts::kShelfFolder}, {"DSKA0004.IMG", texts::kShelfLinkToDevice},
             {"DSKA0005.IMG", texts::kShelfLinkNowhere}, {"DSKA0006.IMG", nullptr}, {"DSKA0007.IMG", nullptr}, {"DSKA0008.IMG", nullptr}})
        rows += shelf + "/" + name + ": " + (why != nullptr ? Say(why, {name}) : "ok") + "\n";
    const auto [checked, report] = RunCommand("LC_ALL=C exec '" TUNECRATE_PROGRAM "'", {"check", shelf}, " 2>/dev/null");
    EXPECT_EQ(std::pair(checked, report), std::pair(1, rows));
}

TEST(Commands, BadUsageIsToldWithExitStatusTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"lsit"}, {"list"}, {"export", "a"}, {"import", "a", "b", "c"}, {"new", "--count", "0", "d"},
             {"new", "--count=1001", "d"}, {"list", "--count", "2", "d"}, {"check", "--csv", "d"}})
        EXPECT_EQ(RunProgram(args).exitCode, 2) << args[0];
}
#endif

}  // namespace
}  // namespace tunecrate::testing
