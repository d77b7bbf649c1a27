// SPDX-License-Identifier: MIT
// The program's commands, run as a script runs them: random song folders
// imported onto a shelf and exported back come back byte for byte, under the
// same titles and with the same comments, and what `list` says matches.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <sys/stat.h>

#include <iostream>

#include "Faults.h"
#include "Songs.h"
#include "core/songs/Shelf.h"
#include "core/text/CommentFile.h"
#include "core/Texts.h"

namespace tunecrate::testing {
namespace {

using namespace std::literals;

#ifdef TUNECRATE_PROGRAM
// The program run with `args`: its exit status and its standard output.
PeerRun RunProgram(const std::vector<std::string>& args) {
    return RunCommand("'" TUNECRATE_PROGRAM "'", args, " 2>/dev/null");
}

// The same with what it said on its error output, its texts the core's sources; `env` goes before it.
PeerRun RunProgramSaying(const std::vector<std::string>& args, const std::string& env = "") {
    return RunCommand("LC_ALL=C " + env + " exec '" TUNECRATE_PROGRAM "'", args, " 2>&1 >/dev/null");
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

// Exit statuses, and the promise never to replace anything, judged on the bytes left behind; reading, checking
// and exporting never write to the floppy, even where a catalogue file is missing.
TEST(Commands, ExitStatusesAndNothingReplacedOnTheBytes) {
    TempDir dir;
    Tmpfs full("size=1m");
    TestFloppy floppy(Medium::Folder, "1:A/a=A");
    TestFloppy image(Medium::Image, "1:Blues/=Blues+ 2:Rock/=Rock", dir.path());
    PutFiles(image, {{"comments.dat", std::nullopt}});
    WriteWhole(dir.Path("taken.img"), "taken");
    MakeTree(dir.path(), "shelf/notes out/");
    std::filesystem::create_symlink(dir.Path("elsewhere.img"), dir.Path("link.img"));
    // args, exit status, the entries that change
    for (const auto& [args, status, changed] : std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
             {{"new", dir.Path("taken.img")}, 1, ""}, {{"new", dir.Path("link.img")}, 1, ""},
             {{"new", dir.Path("shelf")}, 0, "shelf/DSKA0000.IMG"}, {{"new", "--count", "2", full.path()}, 1, ""},
             {{"backup", floppy.location(), dir.Path("taken.img")}, 1, ""}, {{"backup", floppy.location(), dir.Path("shelf")}, 1, ""},
             {{"list", dir.Path("missing.img")}, 1, ""}, {{"check", dir.Path("missing")}, 1, ""},
             {{"list", image.location()}, 0, ""}, {{"check", image.location()}, 0, ""},
             {{"export", image.location(), dir.Path("out")}, 0, "out/Blues.B00 out/Blues.EVT out/Blues.cmt out/Rock.B00 out/Rock.cmt"}}) {
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

#ifdef TUNECRATE_FAULT_PRELOAD
// The program under the fault library (tests/preload/FaultPreload.c): its `at`-th call that changes a file under
// `work` kills it or fails with EIO. How many calls it made, and whether the fault struck, come back.
struct FaultedRun { PeerRun run; long calls = 0; int fired = 0; };
FaultedRun RunFaulted(const std::string& work, Fault fault, long at, const std::vector<std::string>& args) {
    const std::string report = work + ".calls";
    FaultedRun faulted{RunProgramSaying(args, "LD_PRELOAD='" TUNECRATE_FAULT_PRELOAD "' TUNECRATE_FAULT_DIR='" + work +
        "' TUNECRATE_FAULT_REPORT='" + report + "' TUNECRATE_FAULT=" + (fault == Fault::Kill ? "kill" : "eio") +
        " TUNECRATE_FAULT_AT=" + std::to_string(fault == Fault::None ? -1 : at) +
        " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\"")};
    std::istringstream(ReadWhole(report).value_or("")) >> faulted.calls >> faulted.fired;
    return faulted;
}

// What is wrong with an image a command left: not whole, not fsck-clean (lost clusters aside), or a slot whose
// title or comment is not its song's (song "S" is titled "S", commented "cS") nor blank, or a song not whole.
std::string ImageFault(const std::string& image) {
    if (FileSize(image) != kImageBytes) return "holds " + std::to_string(FileSize(image).value_or(0)) + " bytes";
    if (std::string complaint = FsckComplaint(image); !complaint.empty()) return complaint;
    auto files = PeerFiles(image);
    if (!files.contains("SONG.NAM")) return "has no song.nam";
    std::istringstream titles(files["SONG.NAM"]), comments(files["COMMENTS.DAT"]);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        std::string title, comment;
        std::getline(titles, title);
        std::getline(comments, comment);
        title = title.substr(0, title.find_last_not_of(" \r") + 1), comment = comment.substr(0, comment.find_last_not_of(" \r") + 1);
        const std::string base = SlotName(slot);
        std::string tag = files.contains(base + ".B00") ? TagOf(files[base + ".B00"]) : "";
        tag = tag.substr(0, tag.find('@'));   // "S5@9000": the song S5
        const std::string events = files.contains(base + ".EVT") ? TagOf(files[base + ".EVT"]) : tag + "~";
        if (tag.starts_with('?') || events != tag + "~") return "slot " + std::to_string(slot + 1) + " holds a song not whole";
        if ((title != tag && !title.empty()) || (comment != "c" + tag && !comment.empty()))
            return "slot " + std::to_string(slot + 1) + " (" + tag + ") says " + title + "/" + comment;
    }
    return {};
}

// Every command that writes, killed and failed with EIO at each call that changes a file, then judged after the
// next command has opened what it wrote: every source whole, every image whole and fsck-clean with each slot's
// title and comment its song's or blank, no file under its final name partial, and a failure said. Staged files
// (.tunecrate-*) that a killed run left and the next open did not remove are counted apart.
// A command with more calls is tried at a spread of 24 per fault (its last call included), so that the
// sanitized build stays within seconds per command; TUNECRATE_CLI_FAULTS=all tries every call, =N N of them.
TEST(Commands, EveryWritingCommandKilledOrFailedAtEachCallLeavesNothingHalf) {
    TempDir dir;
    Tmpfs fast("size=64m");   // fsync costs nothing there; any folder serves without root
    const std::string pristine = (fast.mounted() ? fast.path() : dir.path()) + "/pristine";
    const std::string work = (fast.mounted() ? fast.path() : dir.path()) + "/work";
    TestFolder songs("S1=S1+/cS1 S2=S2/cS2 S3=S3+ S4=S4/cS4 S5=S5@9000 S6=S6+/cS6", pristine + "/songs");
    TestFolder few("F1=F1+/cF1 F2=F2 F3=F3@20000/cF3", pristine + "/few");
    MakeTree(pristine, "out/ new/ shelf/");
    TestFloppy shelved(Medium::Image, "1:O1/cO1=O1+ 2:O2/=O2 4:O4/cO4=O4@12000+", pristine + "/shelf");
    std::filesystem::rename(shelved.location(), pristine + "/shelf/DSKA0000.IMG");
    TestFloppy image(Medium::Image, "2:P2/cP2=P2+ 5:P5/=P5", pristine);
    std::filesystem::rename(image.location(), pristine + "/image.img");
    TestFloppy drive(Medium::Image, "1:D1/cD1=D1+ 3:D3/=D3@30000");
    LoopDevice loop(drive.location());
    // what, the command (~ the work folder), what the next command opens, the source that must stay as it was
    struct Case { const char* what; std::vector<std::string> args; const char* opened; std::string source; };
    std::vector<Case> cases = {{"new images in a shelf", {"new", "--count", "3", "~/new"}, "new", ""},
                               {"import into a shelf", {"import", "~/songs", "~/shelf"}, "shelf", "songs"},
                               {"import into an image", {"import", "~/few", "~/image.img"}, "image.img", "few"},
                               {"export an image", {"export", "~/image.img", "~/out"}, "out", "image.img"}};
    if (!loop.path().empty()) cases.push_back({"backup of a drive", {"backup", loop.path(), "~/backup.img"}, "backup.img", ""});
    else std::cout << "[ skipped  ] backup under faults: it needs a loop device, and root for it\n";
    const auto described = [&](const std::string& root, const std::string& source) {   // as the fixtures read it
        if (source.empty()) return ReadWhole(drive.location()).value_or("");
        return source.ends_with(".img") ? ReadWhole(root + "/" + source).value_or("") : TestFolder("", root + "/" + source).Describe();
    };
    const char* wanted = std::getenv("TUNECRATE_CLI_FAULTS");
    const long samples = wanted == nullptr ? 24 : std::string(wanted) == "all" ? 0 : std::atol(wanted);
    for (Case& c : cases) {
        for (std::string& arg : c.args) arg = arg.starts_with("~/") ? work + arg.substr(1) : arg;
        const auto setUp = [&] {
            std::filesystem::remove_all(work);
            std::filesystem::copy(pristine, work, std::filesystem::copy_options::recursive);
        };
        setUp();
        const FaultedRun whole = RunFaulted(work, Fault::None, -1, c.args);
        ASSERT_EQ(whole.run.exitCode, 0) << c.what << ": " << whole.run.output;
        const std::string done = described(work, c.opened);   // what the command leaves when nothing fails
        ASSERT_GT(whole.calls, 0) << c.what << ": the fault library saw no call";
        const long step = samples > 0 ? std::max(1l, (whole.calls + samples - 1) / samples) : 1;
        const std::string source = described(pristine, c.source);
        int tried = 0, bad = 0, staged = 0;
        std::string first, badCalls;
        std::map<std::string, std::string> verdicts;   // image bytes -> what is wrong with them
        for (const Fault fault : {Fault::Kill, Fault::Eio}) {
            // Every step-th call, and the last one.
            for (long at = 0; at < whole.calls; at = at + step < whole.calls || at + 1 == whole.calls ? at + step : whole.calls - 1) {
                setUp();
                const FaultedRun run = RunFaulted(work, fault, at, c.args);
                const auto staging = [&] {
                    return std::ranges::count_if(std::filesystem::recursive_directory_iterator(work), [](const auto& entry) {
                        return entry.path().filename().string().starts_with(".tunecrate-");
                    });
                };
                if (staging() > 0) RunProgramSaying({"check", work + "/" + c.opened});   // opened again, as the next command would
                staged += static_cast<int>(staging());
                std::string wrong = described(work, c.source) != source ? "the source changed" : "";
                for (const auto& entry : std::filesystem::recursive_directory_iterator(work)) {
                    const std::string path = entry.path().string();
                    if (wrong.empty() && EqualsNoCase(path.substr(path.size() - 4), ".img") && entry.is_regular_file()) {
                        // Many runs leave the same image: each state is judged once.
                        const auto [known, fresh] = verdicts.try_emplace(ReadWhole(path).value_or(""));
                        if (fresh) known->second = ImageFault(path);
                        wrong = known->second.empty() ? "" : path.substr(work.size() + 1) + ": " + known->second;
                    }
                }
                // An exported song is whole under its title, with its own events and comment or none.
                const std::string exported = c.args[0] == "export" ? TestFolder("", work + "/out").Describe() : "";
                for (const std::string& item : Items(exported)) {
                    const std::string title = item.substr(0, item.find('=')), rest = item.substr(item.find('=') + 1);
                    const auto slash = rest.find('/'), plus = rest.find('+');
                    const std::string comment = slash == std::string::npos ? "" : rest.substr(slash + 1);
                    const bool ownEvents = plus == std::string::npos || plus + 1 == std::min(slash, rest.size());
                    if (wrong.empty() && !item.starts_with("#.tunecrate-") &&
                        (item.starts_with('#') || rest.substr(0, std::min(slash, plus)) != title || !ownEvents ||
                         (!comment.empty() && comment != "c" + title)))
                        wrong = "out/" + item + " is not a whole song";
                }
                // Told: the reason, or at least the file that could not be written; unless the command got
                // past the failure (a step taken again) and did all it does without one.
                const bool told = run.run.exitCode != 0 && (run.run.output.find(std::strerror(EIO)) != std::string::npos ||
                                                            run.run.output.find(work + "/") != std::string::npos);
                if (wrong.empty() && fault == Fault::Eio && run.fired && !told &&
                    (run.run.exitCode != 0 || described(work, c.opened) != done))
                    wrong = "a failed write went untold (exit " + std::to_string(run.run.exitCode) + "): " + run.run.output;
                ++tried;
                bad += !wrong.empty();
                if (!wrong.empty()) badCalls += (fault == Fault::Kill ? " kill@" : " eio@") + std::to_string(at);
                if (!wrong.empty() && first.empty())
                    first = (fault == Fault::Kill ? "killed at call " : "EIO at call ") + std::to_string(at) + ": " + wrong;
            }
        }
        std::cout << "[ faults   ] " << c.what << ": " << tried << " tried, " << bad << " bad, " << staged << " staged files left ("
                  << whole.calls << " calls)\n";
        EXPECT_EQ(bad, 0) << c.what << ", bad:" << badCalls << "; the first: " << first;
    }
}
#endif

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

TEST(Commands, BadUsageIsToldWithExitStatusTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"lsit"}, {"list"}, {"export", "a"}, {"import", "a", "b", "c"}, {"new", "--count", "0", "d"},
             {"new", "--count=1001", "d"}, {"list", "--count", "2", "d"}, {"check", "--csv", "d"}})
        EXPECT_EQ(RunProgram(args).exitCode, 2) << args[0];
}
#endif

}  // namespace
}  // namespace tunecrate::testing
