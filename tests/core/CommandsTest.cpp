// SPDX-License-Identifier: MIT
// The program's commands, run as a script runs them: random song folders
// imported onto a shelf and exported back come back byte for byte, under the
// same titles and with the same comments, and what `list` says matches.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <csignal>

#include "Songs.h"
#include "core/songs/Shelf.h"
#include "core/text/CommentFile.h"

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

// Every song an import does not place is named, with the reason, and the exit status says so: an image with
// fewer free slots than songs, a full one, and a shelf whose numbers have run out (every other number taken).
TEST(Commands, AnImportPlacesOrNamesEverySong) {
    int offered = 0, unsaid = 0;
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
        offered += count;
        unsaid += count - placed - named;
        EXPECT_EQ(placed, std::min(count, 5 - taken)) << run.output;
        EXPECT_EQ(named, count - placed) << run.output;
        EXPECT_EQ(run.exitCode, named == 0 ? 0 : 1);
        EXPECT_EQ(Fsck(at).exitCode, 0);
        EXPECT_EQ(from.Describe(), TestFolder(songs).Describe());
    }
    std::cout << "[ import   ] " << offered << " songs offered, " << unsaid << " not placed without a word\n";
}

// Reading, listing, checking and exporting never write to the floppy, even where a catalogue file is missing.
TEST(Commands, ReadingCommandsWriteNothing) {
    TempDir dir;
    TestFloppy image(Medium::Image, "1:Blues/=Blues+ 2:Rock/=Rock", dir.path());
    PutFiles(image, {{"comments.dat", std::nullopt}});
    std::filesystem::create_directory(dir.Path("out"));
    const std::optional<std::string> before = ReadWhole(image.location());
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list", image.location()}, {"check", image.location()}, {"export", image.location(), dir.Path("out")}}) {
        EXPECT_EQ(RunProgram(args).exitCode, 0) << args[0];
        EXPECT_TRUE(ReadWhole(image.location()) == before) << args[0] << " wrote to the image";
    }
    EXPECT_EQ(TestFolder("", dir.Path("out")).Describe(), "Blues=Blues+/ Rock=Rock/");
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
