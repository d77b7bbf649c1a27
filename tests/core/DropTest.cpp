// SPDX-License-Identifier: MIT
// Drops as rows: the disks before, the gesture and the answers, the disks
// after, and what the user was asked and told.
#include "ScriptedPrompter.h"
#include "Songs.h"
#include "core/songs/DroppedFiles.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/FolderDrop.h"
#include "core/songs/TransferItems.h"
#include "core/text/DragPayload.h"
#include "core/Texts.h"

namespace tunecrate::testing {
namespace {

using Calls = std::vector<std::string>;
using Paths = std::vector<std::pair<std::string, std::string>>;

// A call as rows state it: "?2" asks about song number 2, "?~/Other/Blues"
// about a hard-disk song, "?*2" offering the answers for all that remain; "limit", "full N" (with its icon; N the bytes it
// says a song may use), "changed", and "!" with the first line of any other error; paths shortened.
Calls Short(const ScriptedPrompter& prompter, const Paths& paths) {
    const std::string asks = " はすでに存在します。上書きしますか？";
    const std::vector<std::tuple<std::string, bool, const char*>> known = {
        {"5個以上のファイルは格納できません。", false, "limit"}, {texts::kDiskFull, true, "full"},
        {CatalogueChangedMessage(false), false, "changed"}};
    Calls calls;
    for (const ScriptedPrompter::Call& call : prompter.calls()) {
        std::string text = call.text;
        for (const auto& [path, name] : paths)
            for (std::size_t at; (at = text.find(path)) != std::string::npos;) text.replace(at, path.size(), name);
        std::string& out = calls.emplace_back("!" + text.substr(0, text.find('\n')));
        const std::size_t from = text.starts_with("曲番号") ? 9 : text.starts_with("ファイル ") ? 13 : 0;
        if (call.kind == ScriptedPrompter::Kind::YesNo) {
            out = call.caption == "Overwrite?" && text.ends_with(asks) && from != 0
                      ? (call.offeredToAll ? "?*" : "?") + text.substr(from, text.size() - from - asks.size()) : "?? " + text;
        } else if (call.kind != ScriptedPrompter::Kind::Message || call.caption != "Error!") {
            out = "unexpected: " + text;
        }
        for (const auto& [message, icon, name] : known)
            if (out[0] == '!' && (text == message || text.starts_with(message + "\n"s)) && (call.icon == MessageIcon::Exclamation) == icon) out = name;
        if (out == "full" && text.find('\n') != std::string::npos)
            out += " " + std::to_string(std::stoull(text.substr(text.find_first_of("0123456789"))));
    }
    return calls;
}

struct DropCase {
    const char* name;
    const char* floppy = "";
    const char* songs = "";   // the folder Songs
    const char* other = "";   // the folder Other
    // "slot N" (1 to 5), "folder F" (tree) or "list F"; "copy" or "move"; "HD" titles in Songs or "FD" slot indices.
    const char* gesture = "";
    const char* raw = nullptr;   // drag text as another program sends it, instead of the gesture's songs; none is no drop
    const char* answers = "";    // y or n per question, Y or N for all that remain
    int stopAt = -1;             // told before each song, the user stops the drop before song stopAt (0 the first)
    // dir:F, link:F (to a file outside), ro:Songs|Other (a read-only disk), tmpfs (a 128 KiB floppy: a folder),
    // image (an image only), folder (a folder only), stale (the window shows slot 2 otherwise),
    // fdir:NAME (a folder of that name on the floppy), nocomments (no comments.dat), rootfull (an image's root folder full),
    // shared (an image whose comments.dat shares song.nam's cluster); the floppy's bytes stay as they were unless it is written.
    const char* extra = "";
    const char* floppyAfter = nullptr;   // nullptr: as before
    const char* songsAfter = nullptr;
    const char* otherAfter = nullptr;
    Calls calls = {};
    const char* result = "--";   // reread the floppy, refill the hard-disk list
};

bool Has(const DropCase& c, const std::string& token) {
    const auto given = [&](const std::string& item) { return item == token || item.starts_with(token + ":"); };
    return std::ranges::any_of(Items(c.extra), given);
}

const char* const kTwo = "1:Song1/one=S1+ 2:Song2/two=S2";
const char* const kCramped = "1:One/first=One@40960 2:Two/second=Two@40960";   // on 128 KiB

const DropCase kCases[] = {
    // ---- hard-disk songs onto the floppy list
    {.name = "SongsTakeFileNamesAndFirstCommentWords", .floppy = "1:Old/keep=Old",
     .songs = "Blues=Blues+/live_take 夜明け=Dawn/__dawn_slow Rock=Rock", .gesture = "slot 2 copy HD Blues 夜明け Rock",
     .floppyAfter = "1:Old/keep=Old 2:Blues/live=Blues+ 3:夜明け/dawn=Dawn 4:Rock/=Rock", .result = "r-"},
    {.name = "MovePastTheFifthSlotKeepsTheRest", .floppy = "4:Four/=Four 5:Five/=Five", .songs = "A=A/a B=B+/b C=C+/c",
     .gesture = "slot 4 move HD A B C", .answers = "yy", .floppyAfter = "4:A/a=A 5:B/b=B+", .songsAfter = "C=C+/c",
     .calls = {"?*4", "?5", "limit"}, .result = "rh"},   // slot 5 is the last room: no answer for all
    {.name = "OverwriteAskedPerSlot", .floppy = "1:Old/keep=Old+ 2:Two/two=Two+ 3:Three/three=Three+",
     .songs = "Demo=Demo/demo Blues=Blues+/new Rock=Rock", .gesture = "slot 1 move HD Demo Blues Rock",
     .answers = "nyy", .floppyAfter = "1:Old/keep=Old+ 2:Blues/new=Blues+ 3:Rock/=Rock",
     .songsAfter = "Demo=Demo/demo", .calls = {"?*1", "?*2", "?3"}, .result = "rh"},
    // A stop between two songs: what arrived is whole and named, a move deletes only the sources that arrived.
    {.name = "StoppedBeforeTheFirstSongMovesNothing", .songs = "A=A+/one B=B C=C+", .gesture = "slot 1 move HD A B C",
     .stopAt = 0, .result = "-h"},
    {.name = "StoppedAfterTheFirstSongMovesItAlone", .songs = "A=A+/one B=B C=C+", .gesture = "slot 1 move HD A B C",
     .stopAt = 1, .floppyAfter = "1:A/one=A+", .songsAfter = "B=B C=C+", .result = "rh"},
    {.name = "StoppedAfterTheSecondSongMovesTwo", .songs = "A=A+/one B=B C=C+", .gesture = "slot 1 move HD A B C",
     .stopAt = 2, .floppyAfter = "1:A/one=A+ 2:B/=B", .songsAfter = "C=C+", .result = "rh"},
    {.name = "SourcesThatCannotBeDeletedAreReported", .songs = "Blues=Blues+/live", .gesture = "slot 1 move HD Blues",
     .extra = "ro:Songs", .floppyAfter = "1:Blues/live=Blues+",
     .calls = {"!~/Songs/Blues.B00 を削除できません。"},   // the song's files stay together
     .result = "rh"},
    // ---- floppy songs onto other slots
    {.name = "MoveToAnotherSlot", .floppy = kTwo, .gesture = "slot 3 move FD 0",
     .floppyAfter = "2:Song2/two=S2 3:Song1/one=S1+", .result = "rh"},
    {.name = "CopyOntoItsOwnRange", .floppy = kTwo, .gesture = "slot 2 copy FD 0 1", .answers = "y",
     .floppyAfter = "1:Song1/one=S1+ 2:Song1/one=S1+ 3:Song2/two=S2", .calls = {"?*2"}, .result = "r-"},
    {.name = "YesForAllReplacesTheRestUnasked", .floppy = "1:A/=A 2:B/=B 3:C/=C 4:D/=D", .gesture = "slot 3 copy FD 0 1",
     .answers = "Y", .floppyAfter = "1:A/=A 2:B/=B 3:A/=A 4:B/=B", .calls = {"?*3"}, .result = "r-"},
    {.name = "MoveOntoItsOwnRange", .floppy = kTwo, .gesture = "slot 2 move FD 0 1", .answers = "y",
     .floppyAfter = "2:Song1/one=S1+ 3:Song2/two=S2", .calls = {"?*2"}, .result = "rh"},
    {.name = "MovePastTheFifthSlot", .floppy = kTwo, .gesture = "slot 5 move FD 0 1",
     .floppyAfter = "2:Song2/two=S2 5:Song1/one=S1+", .calls = {"limit"}, .result = "rh"},
    {.name = "DeclinedOverwrite", .floppy = kTwo, .gesture = "slot 2 move FD 0", .answers = "n", .calls = {"?2"}, .result = "-h"},
    {.name = "OntoItsOwnSlotIsRefused", .floppy = kTwo, .gesture = "slot 2 move FD 1", .result = "--"},
    {.name = "SourceMeetingItsOwnSlotIsRefused", .floppy = kTwo, .gesture = "slot 1 move FD 1 1", .result = "--"},
    // ---- a floppy changed since the window read it; drag text that names nothing
    {.name = "ChangedFloppyTakesNoFloppySong", .floppy = kTwo, .gesture = "slot 4 move FD 0", .extra = "stale",
     .calls = {"changed"}, .result = "r-"},
    {.name = "ChangedFloppyTakesNoHardDiskSong", .floppy = kTwo, .songs = "Blues=Blues", .gesture = "slot 4 move HD Blues",
     .extra = "stale", .calls = {"changed"}, .result = "r-"},
    {.name = "ChangedFloppyGivesNoSongToAFolder", .floppy = kTwo, .gesture = "folder Other move FD 0", .extra = "stale",
     .calls = {"changed"}, .result = "r-"},
    {.name = "PlainTextNamesNothing", .floppy = kTwo, .songs = "Blues=Blues", .gesture = "slot 1 move",
     .raw = "hello\nworld"},   // no songs: the window refuses the drop
    {.name = "PathsWithoutTitlesNameNothing", .songs = "Blues=Blues", .gesture = "folder Other move", .raw = "HD\nBlues\na/b\n/\n"},
    {.name = "NoSlotLinesNameNothing", .floppy = kTwo, .gesture = "list Other move", .raw = "FD\n5\n-1\n01\n 0\n2\n",
     .result = "r-"},
    {.name = "UnknownTypeNamesNothing", .floppy = kTwo, .gesture = "slot 3 copy", .raw = "fd\n0\n"},
    // ---- floppy songs into a folder
    {.name = "CopyLeavesTheCatalogueAlone", .floppy = "1:One/c_one=One 2:Blues___/live_take=Blues+ L10:Beyond/far",
     .gesture = "folder Other copy FD 1", .otherAfter = "Blues=Blues+/live_take", .result = "-h"},
    {.name = "MoveEmptiesTheSlotsAndKeepsLinesBeyondThem",
     .floppy = "1:/untitled=T0 2:Blues___/live_take=Blues+ 3:Three/=Three L10:Beyond/far",
     .gesture = "list Other move FD 0 1", .floppyAfter = "3:Three/=Three L10:Beyond/far",
     .otherAfter = "Blues=Blues+/live_take MDR_00=T0/untitled", .result = "rh"},
    {.name = "UnwritableCommentKeepsTheSongOnTheFloppy", .floppy = "1:Blues/live=Blues",
     .gesture = "folder Other move FD 0", .extra = "dir:Other/Blues.cmt", .otherAfter = " #Blues.cmt",
     .calls = {"!FD/MDR_00.B00 をコピーできません。"}},
    {.name = "SecondSongOfATitleNeverReplacesTheFirst", .floppy = "1:Blues/first=B1 2:Blues/second=B2",
     .gesture = "folder Other move FD 0 1", .floppyAfter = "2:Blues/second=B2", .otherAfter = "Blues=B1/first",
     .calls = {"!同じ題名の曲が二つあります。"}, .result = "rh"},
    {.name = "SlotFileLargerThanAFloppyStays", .floppy = "1:Huge/=Huge@1474561", .gesture = "folder Other move FD 0",
     .extra = "folder", .calls = {"!FD/MDR_00.B00 を読めません。"}},
    {.name = "DeclinedFloppySongStays", .floppy = "1:Blues/live=Blues+", .other = "Blues=Old/older",
     .gesture = "folder Other move FD 0", .answers = "n", .calls = {"?~/Other/Blues"}},
    {.name = "ReadOnlyListFolderKeepsTheFloppy", .floppy = "1:Blues/live=Blues 2:Demo/=Demo",
     .gesture = "list Other move FD 0 1", .extra = "ro:Other",
     .calls = {"!FD/MDR_00.B00 をコピーできません。", "!FD/MDR_01.B00 をコピーできません。"}, .result = "r-"},
    // ---- hard-disk songs into a folder (the floppy plays no part)
    {.name = "CopyTakesEveryFileWhateverItsCase", .songs = "Blues=Blues+/live Demo~=Demo+/demo",
     .gesture = "folder Other copy HD Blues Demo", .otherAfter = "Blues=Blues+/live Demo=Demo+/demo", .result = "-h"},
    {.name = "CaseVariantsAreAskedAndReplacedInTheirSpelling", .songs = "Blues=Blues+/live Demo=Demo/demo",
     .other = "Blues~=Old+/older Demo~=Old2+/x", .gesture = "folder Other move HD Blues Demo", .answers = "ny",
     .songsAfter = "Blues=Blues+/live", .otherAfter = "Blues~=Old+/older Demo~=Demo/demo",
     .calls = {"?*~/Other/Blues", "?~/Other/Demo"}, .result = "-h"},
    {.name = "NoForAllKeepsTheRestOfTheFolderUnasked", .songs = "A=A B=B C=C D=D", .other = "A=Old B=Old C=Old",
     .gesture = "folder Other copy HD A B C D", .answers = "yN", .otherAfter = "A=A B=Old C=Old D=D",
     .calls = {"?*~/Other/A", "?*~/Other/B"}, .result = "-h"},
    {.name = "FolderOrLinkOfTheNameIsRefusedUnasked", .songs = "Blues=Blues+/live Demo=Demo",
     .gesture = "folder Other move HD Blues Demo", .extra = "dir:Other/Blues.B00 link:Other/Demo.b00",
     .otherAfter = "Demo~=?10 #Blues.B00", .calls = {"!~/Other/Blues をコピーできません。", "!~/Other/Demo をコピーできません。"}},
    {.name = "SongsFromElsewhereDroppedOnTheListGoIntoItsFolder", .songs = "Blues=Blues+/live Demo~=Demo",
     .gesture = "list Other copy HD Blues Demo", .otherAfter = "Blues=Blues+/live Demo=Demo", .result = "-h"},
    {.name = "TheListsOwnSongsDroppedOnItStay", .songs = "Blues=Blues+/live", .gesture = "list Other/../Songs/ move HD Blues",
     .result = "r-"},
    {.name = "OwnFolderHoweverNamedIsRefused", .songs = "Blues=Blues+/live", .gesture = "folder Other/../Songs/ move HD Blues",
     .calls = {"!曲はすでにこのフォルダにあります。"}},
    {.name = "ReadOnlyFolderKeepsEverything", .songs = "Blues=Blues+/live", .gesture = "folder Other move HD Blues",
     .extra = "ro:Other", .calls = {"!~/Songs/Blues.B00 をコピーできません。"}},
    // ---- what the floppy cannot take is found before anything is written; a drop stops at its first failure
    {.name = "OverlappingMoveOntoABlockedFileChangesNothing", .floppy = "1:One/c1=S1+ 2:Two/c2=S2 3:Three/c3=S3+",
     .gesture = "slot 2 move FD 0 1 2", .extra = "fdir:MDR_03.EVT", .calls = {"!FD/MDR_03.EVT はフォルダです。"}, .result = "r-"},
    {.name = "DamagedCatalogueRefusesADropUnwritten", .floppy = "1:One/c1=S1", .songs = "Blues=Blues+/live",
     .gesture = "slot 2 move HD Blues", .extra = "image shared", .calls = {"!FD は壊れています: song.nam は、クラスタ N を comments.dat と共有しています。"},
     .result = "r-"},
    {.name = "DamagedCatalogueRefusesFreeSlotsUnwritten", .floppy = "1:One/c1=S1", .songs = "Blues=Blues+/live",
     .gesture = "free 0 copy HD Blues", .extra = "image shared", .calls = {"!FD は壊れています: song.nam は、クラスタ N を comments.dat と共有しています。"},
     .result = "r-"},
    {.name = "ASongGoneFromItsFolderStopsTheDropThere", .songs = "Blues=Blues+/live", .gesture = "slot 2 copy HD Gone Blues",
     .calls = {"!~/Songs/Gone.B00 をコピーできません。"}},
    {.name = "AFullRootFolderSaysSo", .floppy = "1:One/c1=S1", .songs = "Blues=Blues+/live Rock=Rock",
     .gesture = "slot 2 move HD Blues Rock", .extra = "image rootfull", .calls = {"!フロッピーのルートフォルダがいっぱいです。"}, .result = "-h"},
    {.name = "AFolderNamedLikeASlotFileIsNoFreeSlot", .floppy = "1:One/=S1", .songs = "Blues=Blues+/live Rock=Rock",
     .gesture = "free 0 copy HD Blues Rock", .extra = "fdir:MDR_01.B00",
     .floppyAfter = "1:One/=S1 3:Blues/live=Blues+ 4:Rock/=Rock", .calls = {"!曲番号2 は使えません。"}, .result = "r-"},
    {.name = "CopyingOutWritesNothingWhereTheCatalogueLacksAFile", .floppy = "1:One/=S1 2:Two/=S2+",
     .gesture = "list Other copy FD 0 1", .extra = "nocomments", .otherAfter = "One=S1/ Two=S2+/", .result = "-h"},
    // ---- a full floppy
    {.name = "FullFloppyKeepsASongItCouldNotReplace", .floppy = kCramped, .songs = "Big=Big@40960/big",
     .gesture = "slot 1 move HD Big", .answers = "y", .extra = "tmpfs", .calls = {"?1", "full 24576"}, .result = "rh"},
    {.name = "FullFloppyKeepsAnOverlappingRange", .floppy = kCramped, .gesture = "slot 2 move FD 0 1", .answers = "y",
     .extra = "tmpfs", .calls = {"?*2", "full 24576"}, .result = "-h"},
    {.name = "FirstSongFitsTheRestStay", .songs = "First=First@8192+/one Second=Second@307200+/two Third=Third@4096",
     .gesture = "slot 1 move HD First Second Third", .extra = "tmpfs", .floppyAfter = "1:First/one=First@8192+First~",
     .songsAfter = "Second=Second@307200+Second~/two Third=Third@4096", .calls = {"full 94208"}, .result = "rh"},
    {.name = "FullImageTakesNoHardDiskSong", .floppy = "1:Big/=Big@1400000", .songs = "Small=Small@50000",
     .gesture = "slot 2 move HD Small", .extra = "image", .calls = {"full 44544"}, .result = "-h"},
    {.name = "FullImageTakesNoFloppySong", .floppy = "1:Big/=Big@1400000", .gesture = "slot 2 copy FD 0",
     .extra = "image", .calls = {"full 44544"}},
    // Song data keeps clear of the room a fresh catalogue needs: song.nam (760 bytes) and the longest comments.dat
    // (10,240 bytes) in whole sectors, 22 of the 2,844 that a new image has free; a full floppy names what is left.
    {.name = "SongsStopShortOfTheRoomKeptForTheCatalogue", .songs = "Fill=Fill@1444864", .gesture = "slot 1 copy HD Fill",
     .extra = "image", .floppyAfter = "1:Fill/=Fill@1444864", .result = "r-"},
    {.name = "ASongReachingIntoTheCataloguesRoomIsRefused", .songs = "Fill=Fill@1444865", .gesture = "slot 1 copy HD Fill",
     .extra = "image", .calls = {"full 1444864"}},
};

// Small files until the image's root folder has no entry left.
void FillRootFolder(const TestFloppy& floppy) {
    auto volume = floppy.Open();
    for (int n = 0; volume->Apply({{"F" + std::to_string(n) + ".TXT", std::string()}}, CatalogueReserve::Use).ok(); ++n) continue;
}

// Points comments.dat's directory entry at song.nam's first cluster; that cluster comes back.
unsigned ShareCatalogueCluster(const TestFloppy& floppy) {
    std::string image = ReadWhole(floppy.location()).value_or("");
    const std::size_t titles = image.find("SONG    NAM", 19 * 512), comments = image.find("COMMENTSDAT", 19 * 512);
    image.replace(comments + 26, 2, image, titles + 26, 2);
    WriteWhole(floppy.location(), image);
    return static_cast<unsigned char>(image[titles + 26]) | static_cast<unsigned char>(image[titles + 27]) << 8;
}

class DropTest : public ::testing::TestWithParam<DropCase> {};

TEST_P(DropTest, DisksEndAsTheRowSays) {
    const DropCase& c = GetParam();
    std::istringstream gesture(c.gesture);
    std::string onto, where, how, type;
    gesture >> onto >> where >> how >> type;
    const std::vector<std::string> names(std::istream_iterator<std::string>(gesture), {});
    std::vector<Medium> media = {Medium::Folder, Medium::Image};
    if (Has(c, "tmpfs") || (type == "HD" && onto != "slot" && onto != "free")) media = {Medium::Folder};
    if (Has(c, "image")) media = {Medium::Image};
    if (Has(c, "folder")) media = {Medium::Folder};
    for (Medium medium : media) {
        SCOPED_TRACE(MediumName(medium));
        TempDir work;
        std::optional<Tmpfs> floppyDisk, readOnly;
        if (Has(c, "tmpfs")) floppyDisk.emplace("size=128k");
        if (Has(c, "ro")) readOnly.emplace("size=1m");
        if ((floppyDisk && !floppyDisk->mounted()) || (readOnly && !readOnly->mounted())) GTEST_SKIP() << "needs root";
        TestFloppy floppy(medium, c.floppy, floppyDisk ? floppyDisk->path() : "");
        TestFolder songs(c.songs, Has(c, "ro:Songs") ? readOnly->path() : work.Path("Songs"));
        TestFolder other(c.other, Has(c, "ro:Other") ? readOnly->path() : work.Path("Other"));
        WriteWhole(work.Path("outside"), "not a song");
        std::string sharedCluster = "-";
        for (const std::string& item : Items(c.extra)) {
            const std::string arg = item.substr(item.find(':') + 1);
            ASSERT_TRUE(!item.starts_with("dir:") || std::filesystem::create_directory(work.Path(arg)));
            if (item.starts_with("link:")) std::filesystem::create_symlink(work.Path("outside"), work.Path(arg));
            if (item.starts_with("fdir:") && medium == Medium::Folder) std::filesystem::create_directory(floppy.root() + "/" + arg);
            if (item.starts_with("fdir:") && medium == Medium::Image) {
                ASSERT_EQ(RunPeer({"mmd", "-i", floppy.location(), "::" + arg}).exitCode, 0);
            }
            if (item == "nocomments") PutFiles(floppy, {{"comments.dat", std::nullopt}});
            if (item == "rootfull") FillRootFolder(floppy);
            if (item == "shared") sharedCluster = std::to_string(ShareCatalogueCluster(floppy));
        }
        // What the floppy is, byte for byte: an image's bytes, a folder's entries.
        const auto snapshot = [&] {
            if (medium == Medium::Image) return ReadWhole(floppy.location()).value_or("");
            std::string all;
            for (const std::string& entry : TreeEntries(floppy.root())) all += entry + "\n";
            return all;
        };
        ASSERT_TRUE(!readOnly || readOnly->MakeReadOnly());
        const std::string floppyBefore = floppy.Describe(), songsBefore = songs.Describe(), otherBefore = other.Describe();

        std::vector<SlotRow> rows = RowsOf(floppy.Open().get(), CatalogueRepair::Never);
        if (Has(c, "stale")) rows[1].title = "Changed";
        const std::string bytesBefore = snapshot();
        ScriptedPrompter prompter;
        for (const char* a = c.answers; *a != '\0'; ++a) {
            if (*a == 'Y' || *a == 'N') prompter.AnswerToAll(*a == 'Y');
            else prompter.AnswerYesNo(*a == 'y');
        }
        const std::optional<SongSource> payload = c.raw ? ReadSongPayload(c.raw) : SourceOf(type, names, songs.path());
        auto volume = floppy.Open();
        const std::string target = where == "Other" ? other.path() : work.Path(where);
        const Paths paths = {{other.path(), "~/Other"}, {songs.path(), "~/Songs"}, {volume->Root(), "FD/"},
                             {floppy.location(), "FD"}, {"クラスタ " + sharedCluster + " ", "クラスタ N "}};
        DropContext context{volume.get(), rows, prompter, how == "move"};
        std::vector<std::size_t> told;
        if (c.stopAt >= 0) {
            context.progress = [&](std::size_t done, std::size_t total) {
                EXPECT_EQ(total, names.size());
                told.push_back(done);
                return done < static_cast<std::size_t>(c.stopAt);
            };
        }
        const DropResult result = !payload           ? DropResult{}
                                  : onto == "slot"   ? DropOntoFloppyList(context, std::stoi(where) - 1, *payload)
                                  : onto == "folder" ? DropIntoFolder(context, target, *payload)
                                  : onto == "free"   ? DropIntoFreeSlots(context, *payload)
                                                     : DropOntoHardDiskList(context, target, *payload);
        EXPECT_LE(ListingsOf(songs.path()), 1) << "a drop reads its song folder once at most, however many songs";
        volume.reset();
        EXPECT_EQ(floppy.Describe(), c.floppyAfter ? c.floppyAfter : floppyBefore);
        EXPECT_EQ(songs.Describe(), c.songsAfter ? c.songsAfter : songsBefore);
        EXPECT_EQ(other.Describe(), c.otherAfter ? c.otherAfter : otherBefore);
        EXPECT_EQ(Short(prompter, paths), c.calls);
        const char flags[] = {result.rereadFloppy ? 'r' : '-', result.refillHardDiskList ? 'h' : '-', 0};
        EXPECT_STREQ(flags, c.result);
        EXPECT_EQ(told.size(), static_cast<std::size_t>(c.stopAt + 1)) << "asked once before each song, and no more once stopped";
        EXPECT_TRUE(medium == Medium::Folder || Fsck(floppy.location()).exitCode == 0 || Has(c, "shared")) << "fsck.fat";
        EXPECT_TRUE((c.result[0] == 'r' && !Has(c, "shared")) || snapshot() == bytesBefore) << "a floppy it did not write to";
    }
}

INSTANTIATE_TEST_SUITE_P(Drops, DropTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DropCase>& row) { return std::string(row.param.name); });

// Files from a file manager: every one must belong to a song whose .B00 lies
// beside it, or be the one image; a mixed drop is nothing, never a part.
TEST(DroppedFilesTest, SongsAnImageOrNothing) {
    TestFolder folder("Waltz~=Waltz+/slow Tango=Tango");
    MakeTree(folder.path(), "Lone.EVT disk.IMA notes.txt Dir.img/");   // an image by its name alone
    // names dropped -> the kind and the songs named
    for (const auto& [names, named] : std::vector<std::pair<std::string, std::string>>{
             {"Waltz.b00", "songs Waltz"}, {"Waltz.evt Tango.B00 Waltz.CMT Waltz.b00", "songs Waltz Tango"}, {"disk.IMA", "image"},
             {"Lone.EVT", ""}, {"Tango.B00 notes.txt", ""}, {"Tango.B00 disk.IMA", ""}, {"disk.IMA disk.IMA", ""},
             {"Dir.img", ""}, {"Gone.B00", ""}, {"", ""}}) {
        std::vector<std::string> paths;
        for (const std::string& name : Items(names)) paths.push_back(folder.Item(name));
        const DroppedFiles dropped = ReadDroppedFiles(paths);
        std::string shown = std::array{"", "songs", "image"}[static_cast<std::size_t>(dropped.kind)];
        for (const HardDiskItem& song : dropped.songs.songs) shown += " " + song.title + (song.folder == folder.path() ? "" : "?");
        EXPECT_EQ(shown, named) << names;
        EXPECT_EQ(dropped.image, named == "image" ? folder.Item("disk.IMA") : "") << names;
    }
}

TEST(PayloadItemTest, AHardDiskItemSplitsAtItsLastSlash) {
    for (const auto& [item, folder, title] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"/u/Songs/Blues", "/u/Songs", "Blues"}, {"/Blues", "/", "Blues"}, {"/u/曲/夜明け take 2", "/u/曲", "夜明け take 2"}})
        EXPECT_EQ(std::pair(SplitHardDiskItem(item).folder, SplitHardDiskItem(item).title), std::pair(folder, title)) << item;
}

TEST(FolderNameTest, FloppyTitleBecomesAFileNameInsideTheFolder) {
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"Blues \t\x81\x40 ", 1, "Blues"}, {"Blues \x81\x40take", 1, "Blues \xE3\x80\x80take"}, {"", 0, "MDR_00"},
        {"\x81\x40\t", 4, "MDR_04"}, {".", 2, "MDR_02"}, {".. ", 2, "MDR_02"}, {"...", 2, "..."}, {"a/b", 2, "a／b"},
        {"../../etc", 2, "..／..／etc"}, {"\x83\x5C", 0, "ソ"}};   // 0x5C as a trail byte is no backslash
    for (const auto& [title, slot, name] : cases) EXPECT_EQ(FolderNameForTitle(title, slot), name) << title;
}

}  // namespace
}  // namespace tunecrate::testing
