// SPDX-License-Identifier: MIT
// Every gesture that changes songs, on a floppy folder and an image, killed at
// each call that changes a file and failed with EIO at each such call in
// turn. After each run the disks are opened again (which finishes or undoes
// what a killed writer left) and an inventory of every song is judged: no
// song lost that the gesture was not to replace or delete, every song whole,
// every title and comment its own song's or blank, nothing left behind; and
// a gesture that did not finish said so.
#include <iostream>
#include <sys/stat.h>

#include "core/disk/FolderChange.h"

#include "Faults.h"
#include "Inventory.h"
#include "ScriptedPrompter.h"
#include "Songs.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/FolderDrop.h"
#include "core/songs/HardDiskSongs.h"
#include "core/songs/Prompter.h"
#include "core/songs/SongDeletion.h"
#include "core/songs/SongRename.h"
#include "core/text/CommentFile.h"
#include "core/text/DragPayload.h"

namespace tunecrate::testing {
namespace {

struct FaultCase {
    const char* name;
    const char* floppy = "";
    const char* songs = "";   // the folder Songs
    const char* other = "";   // the folder Other
    // "slot N|free|folder|list copy|move HD titles|FD indices", "delete slots N...", "delete songs T...",
    // "rename T NEW", "edit N title comment", "comment T text"
    const char* gesture = "";
    std::size_t filler = 0;   // a file of that many bytes beside the songs (on an image, the rest of its room)
};

const FaultCase kCases[] = {
    {.name = "HardDiskSongsOntoTakenSlots", .floppy = "1:Old/keep=Old+ 2:Two/two=Two 3:Dawn/", .songs = "Blues=Blues+/live Rock=Rock",
     .gesture = "slot 2 move HD Blues Rock"},
    {.name = "FloppySongsMovedOntoTheirOwnRange", .floppy = "1:One/c1=S1+ 2:Two/c2=S2 3:Three/c3=S3+ L8:Far/far",
     .gesture = "slot 2 move FD 0 1 2"},
    {.name = "FloppySongsCopiedOntoTheirOwnRange", .floppy = "1:One/c1=S1+ 2:Two/c2=S2 3:Three/c3=S3+",
     .gesture = "slot 2 copy FD 0 1"},
    {.name = "FloppySongsMovedDownOntoTheirOwnRange", .floppy = "2:Two/c2=S2 3:Three/c3=S3+ 4:Four/c4=S4 5:Five/=S5+",
     .gesture = "slot 1 move FD 1 2 3"},
    {.name = "FloppySongsMovedPastTheFifthSlot", .floppy = "1:One/c1=S1+ 2:Two/c2=S2 4:Four/=S4",
     .gesture = "slot 4 move FD 0 1 3"},
    // Into the free slots: those showing no title go together in one change, the one showing a title on its own.
    {.name = "HardDiskSongsMovedIntoFreeSlots", .floppy = "1:Old/keep=Old+ 3:Dawn/", .songs = "Blues=Blues+/live Rock=Rock Jazz=Jazz",
     .gesture = "free move HD Blues Rock Jazz"},
    {.name = "FloppySongsMovedIntoAFolder", .floppy = "1:Blues/live=Blues+ 2:Rock/=Rock", .other = "Blues=Old+/older",
     .gesture = "list move FD 0 1"},
    {.name = "HardDiskSongsMovedIntoAFolder", .songs = "Blues=Blues+/live Rock=Rock", .other = "Blues=Old/older",
     .gesture = "folder move HD Blues Rock"},
    {.name = "SlotsDeleted", .floppy = "1:Blues/live=Blues+ 2:Rock/=Rock 4:Jazz/j=Jazz", .gesture = "delete slots 1 2"},
    // No room to blank the titles first on the image: the files go first, and a slot emptied may keep its old texts.
    {.name = "SlotsDeletedFromAFullDisk", .floppy = "1:Big/b=Big@1451520 2:Rock/r=Rock", .gesture = "delete slots 1 2", .filler = 1536},
    {.name = "HardDiskSongsDeleted", .songs = "Blues=Blues+/live Rock=Rock", .gesture = "delete songs Blues"},
    {.name = "HardDiskSongRenamed", .songs = "Blues=Blues+/live Rock=Rock", .gesture = "rename Blues New_Song"},
    {.name = "TitleEdited", .floppy = "1:Blues/live=Blues+ 2:Rock/=Rock", .gesture = "edit 2 Rolling take"},
    {.name = "HardDiskSongCopiedOverOtherCases", .songs = "Blues=Blues+/live", .other = "Blues~=Old+/older",
     .gesture = "folder copy HD Blues"},
    {.name = "HardDiskCommentEdited", .songs = "Blues~=Blues+/live Rock=Rock", .gesture = "comment Blues new_take"},
};

struct World {
    World(Medium medium, const FaultCase& c)
        : floppy(medium, c.floppy), songs(c.songs, work.Path("Songs")), other(c.other, work.Path("Other")) {
        if (c.filler > 0) PutFiles(floppy, {{"FILL.BIN", std::string(c.filler, 'f')}});
    }
    TempDir work;
    TestFloppy floppy;
    TestFolder songs, other;

    Inventory Take() const {
        // Opened again, as the next window or command would.
        floppy.Open().reset();
        ListFolderSongs(songs.path());
        ListFolderSongs(other.path());
        Inventory inventory;
        AddFloppy(inventory, floppy.Describe());
        AddFolder(inventory, "Songs", songs.Describe());
        AddFolder(inventory, "Other", other.Describe());
        return inventory;
    }
};

// Runs the gesture as the window would; what the user was told comes back.
std::string RunGesture(const World& world, const std::string& gesture) {
    std::istringstream in(gesture);
    std::string verb, where, how, type;
    in >> verb >> where;
    std::vector<std::string> words(std::istream_iterator<std::string>(in), {});
    ScriptedPrompter user(true);
    std::string said;
    std::vector<SlotRow> rows = RowsOf(world.floppy.Open().get());
    auto volume = world.floppy.Open();
    const auto title = [](std::string text) { return Blanks(std::move(text), '_', ' '); };
    if (verb == "delete" && where == "slots") {
        std::vector<int> slots;
        for (const std::string& w : words) slots.push_back(std::stoi(w) - 1);
        said += DeleteFloppySlots(*volume, rows, slots).reason;
    } else if (verb == "delete") {
        said += DeleteHardDiskSongs(world.songs.path(), words).reason;
    } else if (verb == "rename") {
        said += RenameHardDiskSong(world.songs.path(), where, title(words.at(0))).reason;
    } else if (verb == "comment") {
        const auto real = FindWithExtensionNoCase(world.songs.path(), where, kCommentExtension);
        said += WriteCommentFile(world.songs.Item(real.value_or(where + ".cmt")), title(words.at(0))).reason;
    } else if (verb == "edit") {
        said += EditSlotText(*volume, rows, SlotText{std::stoi(where) - 1, words.at(0), words.at(1)}).reason;
    } else {
        if (verb != "slot") words.insert(words.begin(), where);
        how = words.at(0), type = words.at(1);
        std::vector<std::string> items(words.begin() + 2, words.end());
        const SongSource payload = SourceOf(type, items, world.songs.path());
        DropContext context{volume.get(), rows, user, how == "move"};
        if (verb == "slot") DropOntoFloppyList(context, std::stoi(where) - 1, payload);
        if (verb == "free") DropIntoFreeSlots(context, payload);
        if (verb == "folder") DropIntoFolder(context, world.other.path(), payload);
        if (verb == "list") DropOntoHardDiskList(context, world.other.path(), payload);
    }
    return user.Said() + said;
}

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, AnyCallKilledOrFailedLeavesEverySongWholeAndTitled) {
    const FaultCase& c = GetParam();
    for (Medium medium : {Medium::Folder, Medium::Image, Medium::Slot}) {
        SCOPED_TRACE(MediumName(medium));
        const auto started = std::chrono::steady_clock::now();
        std::optional<World> world;
        world.emplace(medium, c);
        const auto describe = [&] { return world->floppy.Describe() + " | " + world->songs.Describe() + " | " + world->other.Describe(); };
        const Inventory before = world->Take();
        const std::string beforeText = describe();
        const std::string said = RunGesture(*world, c.gesture);
        const Inventory after = world->Take();
        const std::string afterText = describe();
        EXPECT_NE(afterText, beforeText) << "without a fault, the gesture did nothing: " << said;
        EXPECT_EQ(afterText.find(kWroteOutsideItsSlot), std::string::npos) << afterText;
        const FaultCounts counts = ForEachFault(
            [&] { world.reset(), world.emplace(medium, c); },
            [&] { return RunGesture(*world, c.gesture); },
            [&](Fault fault, int at, const FaultRun& run) {
                const Inventory now = world->Take();
                std::string wrong = JudgeInventory(before, after, now, !run.killed, medium != Medium::Folder && c.filler > 0);
                const std::string nowText = describe();
                if (nowText.find(kWroteOutsideItsSlot) != std::string::npos) wrong = kWroteOutsideItsSlot;
                if (wrong.empty() && fault != Fault::Kill && nowText != afterText && run.said.empty())
                    wrong = "unfinished, and nothing said";
                EXPECT_EQ(wrong, "") << (fault == Fault::Kill ? "killed" : fault == Fault::Eio ? "EIO" : "stuck from") << " call " << at
                                     << ": " << nowText << "\n  told: " << run.said;
                return wrong;
            },
            {Fault::Kill, Fault::Eio, Fault::Stuck});
        std::cout << "[ faults   ] " << c.name << " on " << MediumName(medium) << ": " << counts.tried << " tried, "
                  << counts.bad << " bad, "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count() << " ms\n";
    }
}

INSTANTIATE_TEST_SUITE_P(Gestures, FaultTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& row) { return std::string(row.param.name); });

// What is wrong with the order of a change's calls in `folder`: a staged file
// placed before its bytes were flushed, a second step without a change
// record, a step before its record and then the folder were flushed, a
// record removed before the folder was flushed after the steps, or an end
// without the folder flushed. Empty when nothing.
std::string JudgeFlushes(const std::vector<std::string>& calls, const std::string& folder) {
    std::set<std::string> flushed;   // files flushed since their last write
    std::string record;
    bool folderAfterRecord = false, folderAfterSteps = true;
    int steps = 0;
    for (const std::string& call : calls) {
        std::istringstream words(call);
        std::string verb, path;
        words >> verb >> path;
        const std::string name = path.substr(path.rfind('/') + 1);
        if (verb == "write") flushed.erase(path);
        folderAfterRecord = folderAfterRecord || (verb == "fsync" && path == folder && flushed.contains(record));
        folderAfterSteps = folderAfterSteps || (verb == "fsync" && path == folder);
        if (verb == "fsync") flushed.insert(path);
        if (verb == "create" && IsChangeRecordName(name)) record = path;
        const bool step = (verb == "rename" || verb == "unlink") && path != record && !(verb == "unlink" && IsStagedName(name));
        if (path == record && verb == "unlink" && !folderAfterSteps) return "record removed before the steps were flushed";
        if (!step) continue;
        if (verb == "rename" && IsStagedName(name) && !flushed.contains(path)) return "placed unflushed: " + call;
        if (++steps > 1 && record.empty()) return "a second step without a record: " + call;
        if (!record.empty() && !folderAfterRecord) return "a step before its record and the folder were flushed: " + call;
        folderAfterSteps = false;
    }
    if (steps == 0) return "no step at all";
    return folderAfterSteps ? "" : "ends without flushing the folder";
}

TEST(Flushes, EachStepComesAfterTheFlushesItDependsOn) {
    const std::vector<std::pair<const char*, std::function<Result(const std::string&)>>> changes = {
        {"song replaced", [](const std::string& at) {
             return ReplaceFiles(at, {{"Blues.B00", SongBytes("New")}, {"Blues.EVT", EventsBytes("New")}}, NameCase::Extension); }},
        {"song deleted", [](const std::string& at) { return DeleteHardDiskSongs(at, {"Blues"}); }},
        {"song renamed", [](const std::string& at) { return RenameHardDiskSong(at, "Blues", "Rock"); }},
        {"comment written", [](const std::string& at) { return WriteCommentFile(at + "/Blues.cmt", "take"); }},
        {"file created", [](const std::string& at) { return CreateFileBytes(at + "/new.img", "image"); }},
        {"slot written", [](const std::string& at) {
             return OpenFloppyVolume(at)->Apply({{"MDR_00.B00", SongBytes("New")}, {"MDR_00.EVT", std::nullopt}}, CatalogueReserve::Keep); }},
    };
    for (const auto& [what, change] : changes) {
        TestFolder folder("Blues=Blues+/live");
        MakeTree(folder.path(), "Blues.b00 MDR_00.B00 MDR_00.EVT");
        Result result;
        const auto calls = TraceCalls([&] { result = change(folder.path()); });
        EXPECT_TRUE(result.ok()) << what << ": " << result.reason;
        EXPECT_EQ(JudgeFlushes(calls, std::filesystem::canonical(folder.path())), "") << what;
    }
}

// Everything in a folder, name -> bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename()] = ReadWhole(entry.path()).value_or("?");
    return files;
}

// Names of any byte but "/" and NUL, killed or failed at each call, or with
// every call failing from there on (a retry fails too): after the next
// opening the folder is as before or as after, and a change that said it
// was done is done without one.
TEST(ChangeRecords, AChangeCutShortAnywhereEndsWholeOrAsBefore) {
    const TempDir dir;
    const std::string at = dir.Path("odd"), song = "Line\nend %41\xff", events = song + ".EVT";
    const std::map<std::string, std::string> before = {{song + ".B00", "old"}, {song + ".b00", "variant"},
                                                       {events, "old events"}, {"gone\r.cmt", "c"}, {"keep", "k"}};
    const std::map<std::string, std::string> after = {{song + ".B00", "new"}, {events, "new events"}, {"keep", "k"}};
    const FaultCounts counts = ForEachFault(
        [&] {
            std::filesystem::remove_all(at);
            std::filesystem::create_directory(at);
            for (const auto& [name, bytes] : before) WriteWhole(at + "/" + name, bytes);
        },
        [&] {
            return ReplaceFiles(at, {{song + ".B00", "new"s}, {events, "new events"s}, {"gone\r.cmt", std::nullopt}},
                                NameCase::Extension).reason;
        },
        [&](Fault fault, int call, const FaultRun& run) {
            auto left = Snapshot(at);   // a done change's record may wait for the next opening
            std::erase_if(left, [](const auto& file) { return IsChangeRecordName(file.first); });
            RecoverFolder(at);
            const auto now = Snapshot(at);
            const std::string wrong = now != before && now != after ? "half-done"
                                      : fault != Fault::Kill && run.said.empty() && left != after ? "said done, is not"
                                                                                                : "";
            EXPECT_EQ(wrong, "") << (fault == Fault::Kill ? "killed" : fault == Fault::Eio ? "EIO" : "stuck from") << " call "
                                 << call << ": " << run.said;
            return wrong;
        },
        {Fault::Kill, Fault::Eio, Fault::Stuck});
    EXPECT_GT(counts.tried, 20);
}

// The record's removal not yet on the disk when the program died: read again,
// it removes no file that took a removed one's name since, even one of the
// same size and time.
TEST(ChangeRecords, ARecordOutlivingItsChangeTouchesNoFileThatCameSince) {
    const TempDir dir;
    TestFolder folder("Blues=Blues+/live", dir.Path("songs"));
    const std::string b00 = folder.Item("Blues.B00");
    const TestFolder trial("Blues=Blues+/live", dir.Path("trial"));
    const auto calls = TraceCalls([&] { DeleteHardDiskSongs(trial.path(), {"Blues"}); });
    const auto removal = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
        return call.starts_with("unlink ") && IsChangeRecordName(call.substr(call.rfind('/') + 1));
    });
    ASSERT_NE(removal, calls.end());
    struct stat old {};
    ASSERT_EQ(::stat(b00.c_str(), &old), 0);
    std::filesystem::create_hard_link(b00, dir.Path("kept"));   // so that the new file cannot get the old one's inode
    EXPECT_TRUE(RunWithFault(Fault::Kill, static_cast<int>(removal - calls.begin()), [&] {
                    return DeleteHardDiskSongs(folder.path(), {"Blues"}).reason;
                }).killed);
    ASSERT_EQ(folder.Describe().substr(0, 19), " #.tunecrate-intent");
    WriteWhole(b00, SongBytes("Blues"));
    const timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, b00.c_str(), times, 0), 0);
    ListFolderSongs(folder.path());
    EXPECT_EQ(folder.Describe(), "Blues=Blues");
}

}  // namespace
}  // namespace tunecrate::testing
