// SPDX-License-Identifier: MIT
// What every floppy (a folder or an image file) promises, and the host-side file rules beneath it.
#include <csignal>
#include <dirent.h>
#include <sys/file.h>

#include "Faults.h"
#include "Songs.h"
#include "core/disk/FolderChange.h"
#include "core/disk/HeldTempFolder.h"
#include "core/songs/HardDiskSongs.h"
#include "core/songs/SongDeletion.h"

extern "C" DIR* __real_opendir(const char* path);
extern "C" DIR* __wrap_opendir(const char* path) {
    tunecrate::testing::ListedFolders().emplace_back(path);
    return __real_opendir(path);
}

namespace tunecrate::testing {
namespace {

std::set<std::string> Names(const std::string& location) {   // second case variants and leftovers show
    std::set<std::string> names;
    const bool image = IsFloppyImageFile(location);
    std::istringstream listing(image ? RunPeer({"mdir", "-b", "-i", location, "::"}).output : "");
    for (std::string line; std::getline(listing, line);) names.insert(line.substr(3));   // "::/NAME"
    for (const auto& entry : image ? std::filesystem::directory_iterator() : std::filesystem::directory_iterator(location))
        names.insert(entry.path().filename());
    return names;
}

std::map<std::string, std::string> Fill(FloppyVolume& volume, CatalogueReserve reserve) {   // until not one more unit fits
    std::map<std::string, std::string> filled;
    for (std::size_t size = 1 << 16, n = 0; size >= 512; ++n) {
        const std::string name = "FILL" + std::to_string(n) + ".BIN", bytes(size, 'f');
        volume.Apply({{name, bytes}}, reserve).ok() ? void(filled[name] = bytes) : void(size /= 2);
    }
    return filled;
}

using Patches = std::vector<std::pair<std::size_t, std::string>>;
void Patch(const std::string& path, std::size_t at, std::string_view bytes) {
    WriteWhole(path, ReadWhole(path).value_or("").replace(at, bytes.size(), bytes));
}

class DiskContractTest : public ::testing::TestWithParam<Medium> {};

// Song data never takes the reserve kept for rewriting song.nam and comments.dat beside their old copies.
TEST_P(DiskContractTest, SongsKeepClearOfTheRoomKeptForTheCatalogue) {
    Tmpfs disk("size=2m");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    TestFloppy floppy(GetParam(), "1:Blues/=Blues", disk.path());
    const auto volume = floppy.Open();
    const auto freeBytes = [&] { return volume->Space().value_or(SpaceInfo{}).FreeBytes(); };
    const std::uint64_t unit = volume->Space().value_or(SpaceInfo{}).unitBytes;   // a folder keeps one for a change record
    const std::uint64_t room = CatalogueReserveBytes(unit) + (GetParam() == Medium::Folder ? unit : 0), songs = freeBytes() - room;
    EXPECT_EQ(volume->Apply({{"MDR_01.B00", std::string(songs + 1, 's')}}, CatalogueReserve::Keep).status, Status::DiskFull);
    ASSERT_TRUE(volume->Apply({{"MDR_01.B00", std::string(songs, 's')}}, CatalogueReserve::Keep).ok());
    EXPECT_EQ(freeBytes(), room);
    // Where the room is the catalogue's, the first file fits and the second does not: neither is put in place.
    EXPECT_EQ(volume->Apply({{"song.nam", "t"s}, {"comments.dat", std::string(room, 'c')}}, CatalogueReserve::Use).status, Status::DiskFull);
    EXPECT_EQ(std::pair(volume->FileSize("song.nam"), freeBytes()), std::pair(std::optional(kLargestTitlesFile), room));
    EXPECT_TRUE(volume->Apply({{"song.nam", std::string(kLargestTitlesFile, 't')},
                               {"comments.dat", std::string(kLargestCommentsFile, 'c')}}, CatalogueReserve::Use).ok());
}

INSTANTIATE_TEST_SUITE_P(Media, DiskContractTest, ::testing::Values(Medium::Folder, Medium::Image, Medium::Slot), MediumParamName);

// Where the change would go: a plain disk, one that refuses it, or a link, a folder or a FIFO in a file's place.
enum class Disk { Plain, ReadOnly, Full, Link, DanglingLink, Folder, Fifo };
using State = std::tuple<Medium, Disk>;
std::string StateName(const ::testing::TestParamInfo<State>& info) {
    const char* disks[] = {"Plain", "ReadOnly", "Full", "Link", "DanglingLink", "Folder", "Fifo"};
    return MediumName(std::get<0>(info.param)) + std::string(disks[static_cast<int>(std::get<1>(info.param))]);
}

class DiskStateTest : public ::testing::TestWithParam<State> {};

// A new song, a replacement under the variant there, every variant of a name removed: all in place, or none.
TEST_P(DiskStateTest, ApplyPutsEveryChangeInPlaceOrNone) {
    const auto [medium, disk] = GetParam();
    Tmpfs tmpfs("size=2m");
    if ((disk == Disk::ReadOnly || disk == Disk::Full) && !tmpfs.mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    TestFloppy floppy(medium, "1:Blues/=Blues+ 2:Demo/=Demo", tmpfs.mounted() ? tmpfs.path() : "");
    PutFiles(floppy, {{"mdr_02.b00", SongBytes("Old")}});
    const TempDir elsewhere;
    const std::string at = floppy.root() + "/mdr_03.evt", outside = elsewhere.Path("outside");
    if (medium == Medium::Folder) for (const char* v : {"/mdr_00.b00", "/mdr_01.b00"}) WriteWhole(floppy.root() + v, "again");
    WriteWhole(outside, "not a song");
    if (disk == Disk::Full) Fill(*floppy.Open(), CatalogueReserve::Use);
    ASSERT_EQ(disk == Disk::Link ? ::symlink(outside.c_str(), at.c_str()) : disk == Disk::Folder ? ::mkdir(at.c_str(), 0755)
              : disk == Disk::Fifo ? ::mkfifo(at.c_str(), 0644) : disk == Disk::DanglingLink ? ::symlink("gone", at.c_str())
              : 0, 0);
    const auto before = std::pair(floppy.Describe(), Names(floppy.location()));
    ASSERT_TRUE(disk != Disk::ReadOnly || tmpfs.MakeReadOnly());
    const Result result = floppy.Open()->Apply({{"MDR_00.B00", SongBytes("Rock")}, {"MDR_00.EVT", std::nullopt},
                                                {"MDR_01.B00", std::nullopt}, {"MDR_02.B00", SongBytes("New")},
                                                {"MDR_03.B00", SongBytes("Dawn")}, {"MDR_03.EVT", EventsBytes("Dawn")}},
                                               disk == Disk::Full ? CatalogueReserve::Use : CatalogueReserve::Keep);   // full: up to the write
    EXPECT_EQ(result.status, disk == Disk::Plain ? Status::Ok : disk == Disk::Full ? Status::DiskFull : Status::Failed);
    const auto changed = std::pair("1:Blues/=Rock 2:Demo/ 3:/=New 4:/=Dawn+"s, std::set<std::string>{"MDR_00.B00", "MDR_03.B00",
                                   "MDR_03.EVT", "comments.dat", "mdr_02.b00", "song.nam"});
    EXPECT_EQ(std::pair(floppy.Describe(), Names(floppy.location())), disk == Disk::Plain ? changed : before);
    EXPECT_TRUE(ReadWhole(outside) == "not a song" && !std::filesystem::exists(floppy.root() + "/gone"));
}

INSTANTIATE_TEST_SUITE_P(Folders, DiskStateTest, ::testing::Combine(::testing::Values(Medium::Folder), ::testing::Values(
    Disk::Plain, Disk::ReadOnly, Disk::Full, Disk::Link, Disk::DanglingLink, Disk::Folder, Disk::Fifo)), StateName);
INSTANTIATE_TEST_SUITE_P(Images, DiskStateTest, ::testing::Combine(::testing::Values(Medium::Image),   // no links
    ::testing::Values(Disk::Plain, Disk::ReadOnly, Disk::Full)), StateName);

// An image in use, or a bad one: refused with the reason, or opened with the damaged file unreadable; never changed.
TEST(DiskContract, AnImageInUseOrBadIsRefusedOrUnreadableAndNeverChanged) {
    const std::size_t root = 19 * 512;   // after the boot sector and two FATs of nine sectors (at 512 and 5120)
    const std::string bad = "は 1.44 MB のフロッピーイメージではありません: ";
    for (const auto& [what, patches, problem] : std::vector<std::tuple<std::string, Patches, std::string>>{
             {"in use", {}, "はほかのプログラムが使用中です。\nそちらで閉じてから、もう一度やり直してください。"},
             {"truncated", {}, bad + "1000000 バイトあり、1474560 バイトではありません。"},
             {"one FAT", {{16, "\x01"}}, bad + "FAT の数が 1 です（2 でなければなりません）。"},
             {"2048-byte sectors", {{11, "\x00\x08"s}}, bad + "1 セクタのバイト数が 2048 です（512 でなければなりません）。"},
             {"titles chain loops", {{512 + 3, "\x02"}, {5120 + 3, "\x02"}}, ""},   // cluster 2 goes on to cluster 2
             {"titles chain leaves the disk", {{root + 26, "\x30\x0B"}}, ""}}) {     // song.nam starts at cluster 0xB30
        TempDir dir;
        const std::string image = dir.Path("floppy.img");
        ASSERT_TRUE(CreateSongFloppyImage(image).ok());
        ASSERT_EQ(ReadWhole(image)->substr(root, 11), "SONG    NAM");   // the first entry, in clusters 2 and 3
        for (const auto& [at, bytes] : patches) Patch(image, at, bytes);
        ASSERT_TRUE(what != "truncated" || ::truncate(image.c_str(), 1'000'000) == 0);
        const auto first = what == "in use" ? OpenFloppyVolume(image) : nullptr;
        const auto before = ReadWhole(image);
        const auto volume = OpenFloppyVolume(image);
        EXPECT_EQ(std::tuple(volume->Opened().reason, ReadCatalogue(volume.get()).has_value(), volume->ReadFile("song.nam", 4096),
                             volume->WriteFile("song.nam", "x").ok(), ReadWhole(image) == before),
                  std::tuple(problem.empty() ? "" : image + " " + problem, false, std::nullopt, false, true)) << what;
    }
}

// We find what mcopy wrote (long names, 0x05 for 0xE5); fsck.fat and mcopy find our changes clean and whole.
TEST(DiskContract, PeersAndWeReadEachOthersImages) {
    TestFloppy floppy(Medium::Image, "");
    for (const std::string name : {"Mixed Case Name.txt", "XBC.TXT", "曲 Étude.txt"}) {
        WriteWhole(floppy.root() + "/file", name);
        ASSERT_EQ(RunPeer({"env", "LC_ALL=C.UTF-8", "mcopy", "-i", floppy.location(), floppy.root() + "/file", "::" + name}).exitCode, 0);
    }
    // A subfolder whose chain every write traces, so that no write frees a cluster the folder holds.
    ASSERT_EQ(RunPeer({"mmd", "-i", floppy.location(), "::Sub"}).exitCode, 0);
    ASSERT_EQ(RunPeer({"mcopy", "-i", floppy.location(), floppy.root() + "/file", "::Sub/inner.txt"}).exitCode, 0);
    Patch(floppy.location(), ReadWhole(floppy.location())->find("XBC     TXT"), "\x05");
    std::map<std::string, std::string> files = PeerFiles(floppy.location());
    const auto apply = [&](const std::vector<FileChange>& changes, CatalogueReserve reserve) {
        ASSERT_TRUE(floppy.Open()->Apply(changes, reserve).ok());
        for (const FileChange& change : changes)   // names as mcopy gives them, in upper case
            change.content ? void(files[change.name] = std::get<std::string>(*change.content)) : void(files.erase(change.name));
        const PeerRun fsck = Fsck(floppy.location());
        EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
        EXPECT_EQ(PeerFiles(floppy.location()), files);
    };
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::optional<std::string>>>{
             {"mixed CASE name.txt", "Mixed Case Name.txt"}, {"mixedc~1.txt", "Mixed Case Name.txt"},
             {"\xE5" "bc.txt", "XBC.TXT"}, {"XBC.TXT", std::nullopt}, {"Mixed Case Name", std::nullopt},
             {"曲 Étude.TXT", "曲 Étude.txt"}})   // a long name in UTF-16, ASCII case folded
        EXPECT_EQ(floppy.Open()->ReadFile(name, 100), bytes) << name;
    apply({{"MIXED CASE NAME.TXT", std::nullopt}, {"MDR_00.B00", SongBytes("A")}, {"MDR_01.B00", SongBytes("B")}}, CatalogueReserve::Keep);
    apply({{"MDR_00.B00", SongBytes("A", 7000)}, {"MDR_01.B00", SongBytes("B", 100)}}, CatalogueReserve::Keep);   // longer, shorter
    files.merge(Fill(*floppy.Open(), CatalogueReserve::Keep));   // into the holes those left: chains that are not contiguous
    apply({{"SONG.NAM", std::string(kLargestTitlesFile, 't')}, {"COMMENTS.DAT", std::string(kLargestCommentsFile, 'c')}},
          CatalogueReserve::Use);
    EXPECT_EQ(RunPeer({"mtype", "-i", floppy.location(), "::Sub/inner.txt"}).output, "曲 Étude.txt");
}

// Entries past the root's end mark, as tools that only move the mark leave them, stay unseen once a file is
// added: with the mark inside the root's first sector and in its last slot (the new mark then opens the next).
TEST(DiskContract, EntriesPastTheEndMarkStayUnseen) {
    for (const int end : {2, 15}) {   // song.nam and comments.dat take slots 0 and 1
        TestFloppy floppy(Medium::Image, "");
        std::vector<FileChange> files;
        for (int slot = 2; slot < end; ++slot) files.push_back({"F" + std::to_string(slot) + ".TXT", "f"s});
        PutFiles(floppy, files);
        Patch(floppy.location(), 19 * 512 + (end + 1) * 32, "GHOST   TXT\x20" + std::string(20, '\0') + "GHOST2  TXT\x20");
        PutFiles(floppy, {{"NEW.TXT", "new"s}});
        const std::map<std::string, std::string> seen = PeerFiles(floppy.location());
        EXPECT_EQ(std::tuple(seen.count("GHOST.TXT") + seen.count("GHOST2.TXT"), floppy.Open()->Exists("GHOST.TXT"),
                             seen.count("NEW.TXT"), Fsck(floppy.location()).exitCode), std::tuple(0u, false, 1u, 0)) << end;
    }
}

// A hard-disk song: its extensions in any case, the whole song or nothing.
TEST(DiskContract, ReplaceFilesPutsAWholeSongUnderItsExtensionsOrNothing) {
    const TempDir dir;
    const std::string songs = dir.Path("songs");
    std::filesystem::create_symlink(songs + "/Blues.b00", dir.Path("link"));
    for (const auto& [changes, error] : std::vector<std::pair<std::vector<FileChange>, int>>{
             {{{"Blues.B00", HostPath{songs + "/Rock.B00"}}, {"Blues.EVT", std::nullopt}}, 0},
             {{{"Blues.B00", "new"s}, {"Blues.EVT", HostPath{songs + "/gone"}}}, ENOENT},
             {{{"Blues.B00", "new"s}, {std::string(300, 'x'), "x"s}}, ENAMETOOLONG},   // before anything is written
             {{{"Blues.B00", HostPath{songs + "/Blues.b00"}}}, EINVAL},                // onto itself,
             {{{"Blues.B00", HostPath{dir.Path("link")}}}, EINVAL},                    // through a link
             {{{"Blues.B00", HostPath{dir.Path("hard")}}}, EINVAL}}) {                 // or a hard link
        std::filesystem::remove_all(songs);
        std::filesystem::remove(dir.Path("hard"));
        TestFolder folder("Blues~=Blues+ Rock=Rock", songs);
        std::filesystem::create_hard_link(songs + "/Blues.b00", dir.Path("hard"));
        WriteWhole(folder.Item("Blues.EVT"), "older events");
        WriteWhole(folder.Item("blues.EVT"), EventsBytes("Other"));
        const auto before = std::pair(folder.Describe(), Names(songs));
        EXPECT_EQ(ReplaceFiles(songs, changes, NameCase::Extension).error, error);
        EXPECT_EQ(std::pair(folder.Describe(), Names(songs)), error ? before : std::pair("Blues~=Rock Rock=Rock blues+Other~"s,
                  std::set<std::string>{"Blues.b00", "Rock.B00", "blues.EVT"})) << error;
    }
}

// What a killed writer left is finished or undone at the next opening of its folder, taken only when it is ours:
// of our naming, a plain file (never followed through a link) of this user that no process holds.
TEST(DiskContract, LeftoversGoAtTheNextOpeningOnlyWhenOursAndUnheld) {
    const TempDir dir, outside;
    const std::string at = dir.Path("f"), cut = "tunecrate change record 1\nput .tunecrate-Staged MDR_00.B00\n";
    const std::set<std::string> kept = {".tunecrate-Heldxx", ".tunecrate-Linkxx", ".tunecrate-Dirxxx", ".tunecrate-abc",
                                        RunningAsRoot() ? ".tunecrate-Nobody" : ".tunecrate-abc", "MDR_00.B00", "Rock.B00"};
    const std::vector<std::pair<const char*, std::function<void()>>> openings = {
        {"floppy folder", [&] { OpenFloppyVolume(at); }},
        {"song listing", [&] { ListFolderSongs(at); }},
        {"new file", [&] { EXPECT_EQ(CreateFileBytes(at + "/Rock.B00", "rock").status, Status::TargetExists); }}};
    for (const auto& [opening, open] : openings) {
        std::filesystem::remove_all(at);
        MakeTree(at, "MDR_00.B00 Rock.B00 .tunecrate-Orphan .tunecrate-Staged .tunecrate-Heldxx .tunecrate-abc .tunecrate-Dirxxx/ "
                     ".tunecrate-Nobody");
        WriteWhole(at + "/.tunecrate-intent-Cutxxx", cut);   // cut short: its change never started
        WriteWhole(outside.Path("target"), "outside");
        std::filesystem::create_symlink(outside.Path("target"), at + "/.tunecrate-Linkxx");
        ASSERT_TRUE(!RunningAsRoot() || ::chown((at + "/.tunecrate-Nobody").c_str(), 65534, 65534) == 0);
        const int held = ::open((at + "/.tunecrate-Heldxx").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        open();
        ::close(held);
        EXPECT_EQ(Names(at), kept) << opening;
        EXPECT_EQ(std::pair(ReadWhole(at + "/MDR_00.B00"), ReadWhole(outside.Path("target"))),
                  std::pair(std::optional("MDR_00.B00"s), std::optional("outside"s))) << opening;
    }
    // A record that another process holds is a change under way: its staged files stay.
    MakeTree(at, ".tunecrate-Orphan");
    const int held = ::open((at + "/.tunecrate-intent-Cutxxx").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ListFolderSongs(at);
    EXPECT_TRUE(std::filesystem::exists(at + "/.tunecrate-Orphan") && std::filesystem::exists(at + "/.tunecrate-intent-Cutxxx"));
    ::close(held);
}

// On a FAT that folds case (a FUSE FAT, which gives every spelling an inode of its own), a song's files are found
// under their real names: replaced in place, the new file never taken for an old variant, and deleted whole.
TEST(DiskContract, ASongOnADiskThatFoldsCaseKeepsItsRealNames) {
    const TempDir dir;
    const std::string at = dir.Path("fat");
    std::filesystem::create_directory(at);
    if (RunCommand("mkfs.vfat -C", {dir.Path("fat.img"), "4096"}, " >/dev/null 2>&1").exitCode != 0 ||
        // hard_remove: a file unlinked just after its close is gone, as on a kernel FAT, not
        // renamed to .fuse_hidden* while the close is still on its way to the daemon.
        RunCommand("fusefat -o rw+,hard_remove", {dir.Path("fat.img"), at}, " >/dev/null 2>&1").exitCode != 0) {
        GTEST_SKIP() << "needs fusefat and /dev/fuse to mount a FAT";
    }
    for (const auto& [name, bytes] : {std::pair("Blues.b00", "old"), std::pair("Blues.Evt", "events"), std::pair("Rock.B00", "Rock.B00")})
        WriteWhole(at + "/" + name, bytes);
    const Result put = ReplaceFiles(at, {{"Blues.B00", "new"s}, {"Blues.EVT", std::nullopt}, {"Blues.CMT", "c"s}}, NameCase::Extension);
    const std::set<std::string> replaced = TreeEntries(at);
    const Result deleted = DeleteHardDiskSongs(at, {"Blues"});
    EXPECT_EQ(std::tuple(put.reason, replaced, deleted.reason, TreeEntries(at)),
              std::tuple(""s, std::set<std::string>{"Blues.b00=new", "Blues.CMT=c", "Rock.B00"}, ""s, std::set<std::string>{"Rock.B00"}));
    RunCommand("fusermount -u", {at}, " >/dev/null 2>&1");
}

// A change a kill cut short is finished at the next opening, unless another writer has since written one of its
// files without opening the folder: then it is given up whole, and the newer file stays.
TEST(DiskContract, AChangeLeftByAKillNeverPutsItsBytesOverANewerWriters) {
    const TempDir dir;
    const std::string at = dir.Path("f");
    const auto setup = [&] { std::filesystem::remove_all(at), MakeTree(at, "Blues.B00 Blues.evt"); };
    const auto change = [&] { return ReplaceFiles(at, {{"Blues.B00", "killed"s}, {"Blues.CMT", "killed"s}, {"Blues.EVT", {}}},
                                                  NameCase::Extension).reason; };
    setup();
    const std::vector<std::string> calls = TraceCalls([&] { change(); });
    const auto firstStep = std::ranges::find_if(calls, [](const std::string& call) { return call.starts_with("rename"); }) - calls.begin();
    for (const auto& [later, left] : std::vector<std::pair<std::string, std::set<std::string>>>{
             {"", {"Blues.B00=killed", "Blues.CMT=killed"}},
             {"Blues.B00", {"Blues.B00=newer", "Blues.evt"}},                        // a target replaced
             {"Blues.CMT", {"Blues.B00", "Blues.CMT=newer", "Blues.evt"}}}) {        // or one made where none was
        setup();
        ASSERT_TRUE(RunWithFault(Fault::Kill, static_cast<int>(firstStep), change).killed);
        if (!later.empty()) ReplaceFiles(at, {{later, "newer"s}}, NameCase::Extension);
        ListFolderSongs(at);
        EXPECT_EQ(TreeEntries(at), left) << later;
    }
}

// A new file appears whole under its name or not at all, and never takes the place of anything there.
TEST(DiskContract, ANewFileAppearsWholeOrNotAtAllAndReplacesNothing) {
    const TempDir dir, outside;
    const std::string at = dir.Path("new.img"), bytes(70000, 'i');
    for (const std::string there : {"", "file", "link", "dangling", "folder"}) {
        std::filesystem::remove_all(at);
        WriteWhole(outside.Path("target"), "outside");
        if (there == "file") WriteWhole(at, "old");
        if (there == "folder") std::filesystem::create_directory(at);
        if (there == "link" || there == "dangling") std::filesystem::create_symlink(outside.Path(there == "link" ? "target" : "gone"), at);
        EXPECT_EQ(CreateFileBytes(at, bytes).status, there.empty() ? Status::Ok : Status::TargetExists) << there;
        EXPECT_EQ(std::tuple(ReadWhole(outside.Path("target")), std::filesystem::exists(outside.Path("gone")),
                             there.empty() ? ReadWhole(at) : std::nullopt),
                  std::tuple(std::optional("outside"s), false, there.empty() ? std::optional(bytes) : std::nullopt)) << there;
    }
    const FaultCounts counts = ForEachFault([&] { std::filesystem::remove_all(at); },
                                            [&] { return CreateFileBytes(at, bytes).reason; },
                                            [&](Fault, int call, const FaultRun& run) {
        const bool made = std::filesystem::exists(at);
        RecoverFolder(dir.path());
        const std::string wrong = Names(dir.path()).size() != (made ? 1u : 0u) ? "left behind"
                                  : ReadWhole(at).value_or(bytes) != bytes     ? "half-written"
                                  : !run.killed && run.said.empty() && !made   ? "said done, not made" : "";
        EXPECT_EQ(wrong, "") << call << " " << run.said;
        return wrong;
    });
    EXPECT_GT(counts.tried, 4);
}

// The drag-out folders of a killed program go at the next start; those of a running one, and anything else, stay.
TEST(DiskContract, OnlyTempFoldersNoRunningProgramHoldsAreRemoved) {
    const TempDir parent, outside;
    MakeTree(outside.path(), "keep/file");
    std::optional<HeldTempFolder> running(std::in_place, parent.path());
    ASSERT_TRUE(running->MakeSubfolder("1").has_value());
    EXPECT_FALSE(InChildProcess([&] {   // killed while it held its folder, with a link out of it inside
        HeldTempFolder killed(parent.path());
        MakeTree(*killed.MakeSubfolder("1"), "song.B00 deep/song.EVT");
        std::filesystem::create_directory_symlink(outside.Path("keep"), killed.path() + "/1/out");
        return ::raise(SIGKILL) == 0;
    }));
    MakeTree(parent.path(), "tunecrate-Fresh1/ tunecrate-Old123/a tunecrate-x/ tunecrate-File12");
    std::filesystem::create_directory_symlink(outside.Path("keep"), parent.Path("tunecrate-Link12"));
    const timespec old[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 120, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, parent.Path("tunecrate-Old123").c_str(), old, 0), 0);
    const std::string mine = running->path().substr(parent.path().size() + 1);
    ASSERT_EQ(Names(parent.path()).size(), 7u);
    RemoveStaleTempFolders(parent.path());
    EXPECT_EQ(Names(parent.path()), (std::set<std::string>{mine, "tunecrate-Fresh1", "tunecrate-x", "tunecrate-File12", "tunecrate-Link12"}));
    EXPECT_EQ(TreeEntries(outside.path()), (std::set<std::string>{"keep/", "keep/file"}));
    running.reset();
    EXPECT_FALSE(std::filesystem::exists(parent.path() + "/" + mine));
}

}  // namespace
}  // namespace tunecrate::testing
