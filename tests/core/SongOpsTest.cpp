// SPDX-License-Identifier: MIT
// Renaming and deleting songs, the folder commands, and the lists the windows show.
#include "Songs.h"
#include "core/disk/FolderListing.h"
#include "core/songs/FolderCommands.h"
#include "core/songs/HardDiskSongs.h"
#include "core/songs/SongDeletion.h"
#include "core/songs/SongRename.h"
#include "core/text/NameOrder.h"
#include "core/Texts.h"

namespace tunecrate::testing {
namespace {

using namespace std::literals;
using enum Status;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Entries = std::set<std::string>;

// "-gone +new" for the topmost entries that went or came.
std::string Changes(const Entries& before, const Entries& after) {
    std::string out;
    for (const auto& [from, to, sign] : {std::tuple{&before, &after, " -"}, std::tuple{&after, &before, " +"}}) {
        for (const std::string& entry : *from) {
            const std::string name = entry.substr(0, entry.find_first_of("=@"));
            const std::string parent = fs::path(name.ends_with('/') ? name.substr(0, name.size() - 1) : name).parent_path();
            if (!to->contains(entry) && (to->contains(parent + "/") || !from->contains(parent + "/"))) out += sign + entry;
        }
    }
    return out.empty() ? out : out.substr(1);
}

struct Mount {   // a tmpfs, or a bind mount of `from`, on a folder while the object lives
    Mount(std::string on, const char* from)
        : at(std::move(on)), ok(::mount(from ? from : "tmpfs", at.c_str(), "tmpfs", from ? MS_BIND : 0, "size=64k") == 0) {}
    ~Mount() { ok && ::umount2(at.c_str(), MNT_DETACH); }
    std::string at;
    bool ok;
};

// s: rename song `on` to each `arg` ("-": empty); S: the same on a read-only disk; x: delete the songs `arg`; X: the
// same with no folder, in a child whose root is the folder; n: new folder in each `on`; r: rename folder `on` to each `arg`; d: delete each
// `on`, keeping Top and Home; m: the same with a volume on Old/Volume and Keep bound on Old/Bound; c: the same in a
// child whose root is the folder and $HOME /Old/Sub. `reason` is a piece of the reason ("~" the folder), `changes` what went and came.
struct OpCase { char op; std::string before, on, arg; Status status; std::string reason, changes; };
void PrintTo(const OpCase& c, std::ostream* os) { *os << c.op << " " << c.on << " -> " << c.arg << " (" << c.before << ")"; }
const OpCase kOps[] = {
    {'s', "Blues.b00 Blues.evt Blues.CMT", "Blues", "Rock", Ok, "",
     "-Blues.CMT -Blues.b00 -Blues.evt +Rock.B00=Blues.b00 +Rock.EVT=Blues.evt +Rock.cmt=Blues.CMT"},
    // Companions of the new title without a song file give way to the song's own.
    {'s', "Blues.B00 Blues.cmt Jazz.EVT Jazz.CMT", "Blues", "Jazz", Ok, "",
     "-Blues.B00 -Blues.cmt -Jazz.CMT +Jazz.B00=Blues.B00 +Jazz.cmt=Blues.cmt"},
    {'s', "Blues.B00 Rock.B00 Jazz.b00", "Blues", "Rock Jazz Blues", TargetExists, "すでに存在します", ""},
    {'s', "Blues.B00", "Blues", "- Old/b .. Blu\0es"s, Refused, "ファイル名にできません", ""},
    {'s', "Ghost.EVT", "Ghost", "Rock", Failed, "~/Ghost.B00 の名前を変更できません。", ""},
    {'s', "blues.B00", "blues", "Blues", Ok, "", "-blues.B00 +Blues.B00=blues.B00"},
    // A folder in a companion's new name refuses the rename before any file moves.
    {'s', "Blues.b00 Blues.Evt Blues.cmt Rock.cmt/x", "Blues", "Rock", Failed, "~/Blues.cmt の名前を変更できません。", ""},
    {'S', "Blues.B00 Blues.EVT", "Blues", "Rock", Failed, "~/Blues.B00 の名前を変更できません。", ""},
    {'x', "Blues.B00 Blues.b00 Blues.EVT Blues.evt Blues.cmt Blues.CMT blues.B00 BLUES.EVT Blues.B00.bak Blues.mid "
          "Jazz.B00 Jazz.cmt/x", "-", "Blues Gone Jazz", Failed, "~/Jazz.B00 を削除できません。\n~/Jazz.cmt はフォルダです。",
     "-Blues.B00 -Blues.CMT -Blues.EVT -Blues.b00 -Blues.cmt -Blues.evt"},   // a song goes whole or not at all
    {'n', "", "Old", "-", Ok, "", "+Old/新規ディレクトリ/"}, {'n', "", ".", "-", TargetExists, "作成できません", ""},
    {'n', "", "missing Taken -", "-", Failed, "作成できません", ""}, {'r', "", "Old", "- Old", Ok, "", ""},
    // A folder gone is told as gone, not as a name taken.
    {'r', "", "Old", "old", Ok, "", "-Old/ +old/"}, {'r', "", "Gone", "New", Failed, "名前を変更できません", ""},
    {'r', "", "Old", "Keep Empty Taken Keep/In ../Out Sub/ / . ..", TargetExists, "同名のファイル", ""},
    {'d', "", "Old", "-", Ok, "", "-Old/"}, {'d', "", "Plain Slashed/ ToTop", "-", Ok, "", "-Plain@ -Slashed@ -ToTop@"},
    {'d', "", "Top Top/. Top/Sub/.. Top/// ToTop/. Old/../Top Home Old/.. .", "-", Refused, "それを含む", ""},
    {'m', "", "Old", "-", Failed, "~/Old/Volume\n", "-Old/.hidden -Old/Dangling@ -Old/Sub/ -Old/ToFile.B00@ -Old/a.B00"},
    {'m', "", "Old/Volume Old/Bound Old/Volume/", "-", Refused, "マウントされている", ""},
    {'d', "", "-", "-", Refused, "選択されていません", ""}, {'c', "", "/ // /. /Old/.. . /Old", "-", Refused, "", ""},
    {'X', "Blues.B00", "-", "Blues", Ok, "", ""},   // no folder chosen: not even the songs in / go
};

class HardDiskOpsTest : public ::testing::TestWithParam<OpCase> {};
TEST_P(HardDiskOpsTest, ChangesWhatTheRowSaysAndNothingElse) {
    const OpCase& c = GetParam();
    if (std::string("SmcX").find(c.op) != std::string::npos && !RunningAsRoot()) GTEST_SKIP() << "needs root";
    TempDir outside, dir;
    MakeTree(outside.path(), "precious.B00 Library/song.B00");
    std::optional<Tmpfs> readOnly = c.op == 'S' ? std::optional<Tmpfs>(std::in_place, "size=1m") : std::nullopt;
    const std::string top = readOnly ? readOnly->path() : dir.path();
    MakeTree(top, "Old/a.B00 Old/.hidden Old/Sub/b.B00 Old/Volume/ Old/Bound/ Keep/k Empty/ Taken Top/Sub/ Top/c Home/c "
              "新規ディレクトリ/x " + c.before);
    std::string deep = "Old/Sub";
    while ((c.op == 'd' || c.op == 'm') && deep.size() < 7 + 80 * 2) deep += "/L";   // 80 levels to delete
    MakeTree(top, deep + "/s");
    for (const auto& [link, to] : {std::pair{"Old/ToFile.B00", outside.Path("precious.B00")}, {"Plain", outside.path()},
                                   {"Old/Sub/ToLib", outside.Path("Library")}, {"Old/Dangling", outside.Path("gone")},
                                   {"Slashed", outside.path()}, {"ToTop", top + "/Top"}})
        fs::create_symlink(to, top + "/" + link);
    std::optional<Mount> volume, bound;
    ASSERT_TRUE(c.op != 'm' || (volume.emplace(top + "/Old/Volume", nullptr).ok &&
                                bound.emplace(top + "/Old/Bound", (top + "/Keep").c_str()).ok));
    MakeTree(top, "Old/Volume/v");
    ASSERT_TRUE(!readOnly || readOnly->MakeReadOnly());
    const Entries before = TreeEntries(top);
    for (std::string on : Items(c.on)) {
        for (std::string arg : c.op == 'x' || c.op == 'X' ? Strings{c.arg} : Items(c.arg)) {
            on = on == "-" ? "" : on, arg = arg == "-" ? "" : arg;
            const std::string path = on.empty() ? "" : top + "/" + on;
            const auto chrooted = [&] {   // X and c: true when the call in the child gave what the row wants
                return ::chroot(top.c_str()) == 0 && ::chdir("/") == 0 && ::setenv("HOME", "/Old/Sub", 1) == 0 &&
                       (c.op == 'X' ? DeleteHardDiskSongs("", Items(arg)).ok() : DeleteFolderTree(on).status == Refused);
            };
            const Result result = c.op == 's' || c.op == 'S'   ? RenameHardDiskSong(top, on, arg)
                                  : c.op == 'x'                ? DeleteHardDiskSongs(top, Items(arg))
                                  : c.op == 'n'                ? MakeNewFolder(path)
                                  : c.op == 'r'                ? RenameFolder(path, arg)
                                  : c.op == 'd' || c.op == 'm' ? DeleteFolderTree(path, {top + "/Top", top + "/Old/../Home/"})
                                  : !InChildProcess(chrooted)  ? Result{Failed, 0, "in a child"}
                                  : c.op == 'c'                ? Result::Refused("")
                                                               : Result{};
            std::string reason = result.reason;
            for (std::size_t at; (at = reason.find(top)) != std::string::npos;) reason.replace(at, top.size(), "~");
            EXPECT_EQ(int(result.status), int(c.status)) << "(Ok, TargetExists, DiskFull, Refused, Failed) " << reason;
            EXPECT_TRUE(c.reason.empty() ? c.status != Ok || reason.empty() : reason.find(c.reason) != std::string::npos) << reason;
        }
    }
    EXPECT_EQ(Changes(before, TreeEntries(top)), c.changes);
    EXPECT_EQ(TreeEntries(outside.path()), (Entries{"Library/", "Library/song.B00", "precious.B00"}));
}

INSTANTIATE_TEST_SUITE_P(Ops, HardDiskOpsTest, ::testing::ValuesIn(kOps));
// A floppy on which changes of one file fail.
class Stubborn final : public FloppyVolume {
public:
    Stubborn(std::unique_ptr<FloppyVolume> floppy, std::string name) : m_floppy(std::move(floppy)), m_name(std::move(name)) {}
    std::string Root() const override { return m_floppy->Root(); }
    std::optional<SpaceInfo> Space() const override { return m_floppy->Space(); }
    bool Exists(std::string_view name) const override { return m_floppy->Exists(name); }
    std::optional<std::uint64_t> FileSize(std::string_view name) const override { return m_floppy->FileSize(name); }
    std::optional<std::string> ReadFile(std::string_view name, std::size_t most) const override { return m_floppy->ReadFile(name, most); }
    std::string Stamp(std::string_view name) const override { return m_floppy->Stamp(name); }
    void Flush() override { m_floppy->Flush(); }
    Result Apply(const std::vector<FileChange>& changes, CatalogueReserve reserve) override {
        for (const FileChange& change : changes)
            if (change.name == m_name) return Result::FromErrno(EIO);
        return m_floppy->Apply(changes, reserve);
    }
private:
    std::unique_ptr<FloppyVolume> m_floppy;
    std::string m_name;
};

class SlotDeletionTest : public ::testing::TestWithParam<Medium> {};
// Other slots keep everything, lines 6 to 40 too; an empty slot goes with what it has; when another writer put a
// song in slot 3 after the window read the floppy, nothing is deleted; a song that cannot go keeps its texts.
TEST_P(SlotDeletionTest, SlotsGoWithTheirTextsAndNothingElse) {
    for (const auto& [before, slots, after] : std::vector<std::tuple<std::string, std::vector<int>, std::string>>{
             {"1:A/a=A+ 2:B/b=B+ 3:C/c=C+ 4:D/d=D L10:Far/far", {2}, "1:A/a=A+ 2:B/b=B+ 4:D/d=D L10:Far/far"},
             {"1:Dawn/x 2:B/b=B+ 3:C/c=C+ 5:E/e=E+ L40:Last/", {-1, 0, 1, 4, 5}, "3:C/c=C+ L40:Last/"},
             {"1:A/a=A+ 2:B/b=B+ 3:C/c=C+", {1, 2}, "1:A/a=A+ 2:B/b=B+ 3:C/c=New+C~"},
             {"1:A/a=A+ 2:B/b=B+ 3:C/c=C+", {0, 1}, "2:B/b=B+ 3:C/c=C+"}}) {
        TestFloppy floppy(GetParam(), before);
        const std::vector<SlotRow> shown = RowsOf(floppy.Open().get());
        const bool changed = after.find("New") != std::string::npos, stuck = after.starts_with("2:B");
        ASSERT_TRUE(!changed || floppy.Open()->Apply({{"MDR_02.B00", SongBytes("New")}}, CatalogueReserve::Keep).ok());
        auto volume = std::make_unique<Stubborn>(floppy.Open(), stuck ? "MDR_01.B00" : "");
        const Result result = DeleteFloppySlots(*volume, shown, slots);
        EXPECT_EQ(result.status, changed ? Refused : stuck ? Failed : Ok) << before;
        EXPECT_EQ(result.reason, changed ? CatalogueChangedMessage(false)
                                 : stuck ? Translated(texts::kCannotDelete, {volume->Root() + "MDR_01.B00", std::strerror(EIO)}) : "");
        volume.reset();   // an image is locked while open
        EXPECT_EQ(floppy.Describe(), after);
    }
}

INSTANTIATE_TEST_SUITE_P(Media, SlotDeletionTest, ::testing::Values(Medium::Folder, Medium::Image), MediumParamName);

TEST(ListingTest, SongsAndFoldersInNameOrderAndTheFloppyFromTheMountTable) {
    TempDir dir;
    TestFolder songs("take2=T Blues=Blues+/live_take 1take=T demo~=Demo@2100 Rock~=Rock@1000+/loud take=T", dir.path());
    MakeTree(dir.path(), "Blues.evt old.b00/x.B00 Lone.EVT take.B00.bak apple/ Banana/ .hidden/ _x/");
    fs::create_symlink(dir.Path("apple"), dir.Path("Linked"));
    Strings rows;
    ListingsOf(dir.path());
    for (const HardDiskRow& r : ListFolderSongs(dir.path() + "/"))
        rows.push_back(r.title + " " + r.sizeText + (r.hasEvt ? "+ " : " ") + r.wholeComment);
    EXPECT_EQ(rows, (Strings{"1take 2kb ", "Blues 3kb+ live take", "demo 2kb ", "Rock 1kb+ loud", "take 2kb ", "take2 2kb "}));
    EXPECT_EQ(ListingsOf(dir.path()), 1) << "a folder with nothing left behind by a killed writer is read once";
    MakeTree(dir.Path("apple"), ".git/ .notes");   // hidden things only: an expand button only while they are shown
    const Strings kSubfolders = {".hidden", "_x", "apple", "Banana", "Linked", "old.b00"};
    for (const bool hidden : {true, false}) {
        Strings subfolders = ListSubfolders(dir.path(), hidden);
        SortNames(subfolders);
        EXPECT_EQ(std::pair(subfolders, HasContent(dir.Path("apple"), true, hidden)),
                  std::pair(Strings(kSubfolders.begin() + (hidden ? 0 : 1), kSubfolders.end()), hidden));
    }
    const std::vector<MountEntry> mounts = ParseMountTable(
        "/dev/vda / ext4 rw 0 0\n/dev/sdb /media/u/MY\\040DISK vfat rw 0 0\nbroken\n/dev/sdc /mnt/b ext4 rw 0 0\n"
        "/dev/fd0 /media/u/FLOPPY vfat rw 0 0\n/dev/sdd /run/media/u/CARD vfat rw 0 0\n/dev/sde /mediax ext4 rw 0 0\n");
    EXPECT_EQ(TopLevelFolders(mounts, "/home/u/", "/media/u/FLOPPY/"),
              (Strings{"/", "/home/u", "/media/u/MY DISK", "/mnt/b", "/run/media/u/CARD"}));
    // A floppy is a removable disk of exactly a 1.44 MB floppy's capacity; of several, the last.
    const auto disk = [](const char* at, bool removable, std::uint64_t bytes) { return MountEntry{"", at, "vfat", removable, bytes}; };
    EXPECT_EQ(FindFloppy({disk("/m/A", true, 1'457'664), disk("/m/B/", true, 1'457'664), disk("/m/C", true, 1 << 30)}), "/m/B/");
    EXPECT_EQ(FindFloppy({disk("/m/R", true, 1'474'560), disk("/m/F", false, 1'457'664), disk("/m/E", true, 0)}), std::nullopt);
    // This machine's own table (empty in a chroot without /proc): what the parser finds, each disk asked if removable.
    std::vector<std::string> read, parsed;
    for (const MountEntry& m : ReadMountTable()) read.push_back(m.mountPoint + (m.removable ? " removable" : ""));
    for (const MountEntry& m : ParseMountTable(ReadWhole("/proc/self/mounts").value_or(""))) parsed.push_back(m.mountPoint);
    EXPECT_EQ(read.size(), parsed.size());
    for (std::size_t i = 0; i < std::min(read.size(), parsed.size()); ++i) EXPECT_EQ(read[i].rfind(parsed[i], 0), 0u);
}

}  // namespace
}  // namespace tunecrate::testing
