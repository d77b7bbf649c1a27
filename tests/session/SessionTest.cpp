// SPDX-License-Identifier: MIT
// Each gesture of the window, on real media, with a scripted user: what it
// changes, what it reports, and what it refuses with which words.
#include <QSignalSpy>
#include <functional>

#include "Workplace.h"
#include "core/Texts.h"
#include "core/text/DragPayload.h"
#include "session/DriveSession.h"

namespace tunecrate::testing {
namespace {

class SessionTest : public ::testing::Test, public Workplace {
protected:
    SessionTest() : Workplace("1:Old/keep=Old+ L10:Beyond/far") {}
    void Start(const TestFloppy* shown) {
        session = std::make_unique<Session>(Options(shown), [this](Place) -> Prompter& { return prompter; });
        session->FirstFill();
        session->ShowFolder(songs.path());
        AwaitFloppy(*session);
    }
    // A gesture, then the reading of the floppy that follows it.
    void Gesture(const std::function<void()>& gesture) {
        gesture();
        AwaitFloppy(*session);
    }

    std::unique_ptr<Session> session;
};

TEST_F(SessionTest, GesturesChangeTheMediaAndTellTheWindow) {
    Start(&floppy);
    EXPECT_EQ(std::pair(session->SlotRows().size(), session->FolderSongs()->size()), std::pair(std::size_t{5}, std::size_t{2}));
    EXPECT_EQ(session->TopFolders(), (std::vector<std::string>{"/", home.path()}));
    QSignalSpy slotText(session.get(), &Session::slotTextChanged), floppyRead(session.get(), &Session::floppyChanged);
    QSignalSpy listed(session.get(), &Session::songsChanged);
    std::vector<std::string> renamed;
    QObject::connect(session.get(), &Session::songTitleChanged,
                     [&](const std::string& from, const std::string& to) { renamed.push_back(from + ">" + to); });

    Gesture([&] { session->EditSlotTitle(0, QStringLiteral("夜明け\n")); });
    EXPECT_EQ(slotText.count(), 1);
    EXPECT_EQ(slotText.at(0).at(2).toString(), QStringLiteral("夜明け "));
    Gesture([&] { session->EditSlotComment(0, QStringLiteral("first take")); });
    session->RenameSong("Demo", QStringLiteral("Dawn"));
    EXPECT_EQ(renamed, std::vector<std::string>{"Demo>Dawn"});
    WriteWhole(songs.Item("Dawn.CMT"), "old");   // rewritten under its own spelling, never doubled
    session->SetSongComment("Dawn", QStringLiteral("early"));
    EXPECT_EQ(songs.Describe(), "Blues=Blues+/live Dawn=Demo/early");
    Gesture([&] { session->DropOntoFloppyList(2, true, SongsOnHardDisk{{{songs.path(), "Dawn"}}}); });
    prompter.AnswerYesNo(true);
    session->DeleteSongs({"Blues"});
    EXPECT_EQ(std::pair(listed.count(), songs.Describe()), std::pair(qsizetype{2}, ""s)) << "the move and the delete refill the list";
    prompter.AnswerYesNo(false);
    session->DeleteSlots({0});
    EXPECT_EQ(floppy.Describe(), "1:夜明け/first_take=Old+ 3:Dawn/early=Demo L10:Beyond/far");
    prompter.AnswerYesNo(true);
    Gesture([&] { session->DeleteSlots({0}); });
    EXPECT_EQ(floppy.Describe(), "3:Dawn/early=Demo L10:Beyond/far");
    EXPECT_TRUE(session->SlotRows()[0].title.empty()) << "read again after the delete";
    EXPECT_GE(floppyRead.count(), 1);
    EXPECT_EQ(prompter.calls().size(), 3u);
}

// The user learns why in the words of the place where it happened, and the media stay as they were.
TEST_F(SessionTest, RefusalsAreToldAndChangeNothing) {
    Start(&floppy);
    TestFolder odd("", home.Path("Odd"));
    WriteWhole(odd.path() + "/Evil\nVictim.B00", SongBytes("Evil"));
    const std::vector<std::tuple<const char*, std::function<void()>, std::string>> cases = {
        {"a hard-disk title that is taken", [&] { session->RenameSong("Demo", QStringLiteral("Blues")); },
         "その名前のファイルはすでに存在します。\n違う名前にしてください。"},
        {"a hard-disk title that is a path", [&] { session->RenameSong("Demo", QStringLiteral("a/b")); },
         texts::kNoFileTitle},
        {"a line break in a dragged name",
         [&] {
             session->ShowFolder(odd.path());
             EXPECT_FALSE(session->SongsPayload({"Evil\nVictim"}));
             session->ShowFolder(songs.path());
         },
         "曲「Evil⏎Victim」は名前に改行を含むため、ドラッグできません。\nファイルの名前を変えてから、もう一度やり直してください。"},
        {"a top-level folder", [&] { session->DeleteFolder(home.path()); },
         "ディレクトリ\"" + home.path() + "\" は削除できません。\nルート、ホーム、ドライブの最上位のディレクトリか、それを含むディレクトリです。"},
        {"a floppy another program changed",
         [&] {
             WriteWhole(floppy.location() + "/song.nam", "Changed\r\n");
             session->EditSlotTitle(0, QStringLiteral("Mine"));
         },
         CatalogueChangedMessage(false)},
    };
    for (const auto& [name, gesture, told] : cases) {
        SCOPED_TRACE(name);
        const std::string before = songs.Describe();
        prompter.ClearCalls();
        gesture();
        EXPECT_EQ(prompter.Texts(), std::vector<std::string>{told});
        EXPECT_EQ(songs.Describe(), before);
    }
    AwaitFloppy(*session);
    EXPECT_EQ(floppy.Describe(), "1:Changed/keep=Old+ L10:/far");
    EXPECT_EQ(Cp932ToUtf8(session->SlotRows()[0].title), "Changed") << "read again after the refused edit";
    // Another slot changed elsewhere does not stop an edit of this one; the user is told of it, and sees it.
    WriteWhole(floppy.location() + "/song.nam", "Changed\r\n\r\nElsewhere\r\n");
    prompter.ClearCalls();
    session->EditSlotTitle(0, QStringLiteral("Mine"));
    AwaitFloppy(*session);
    EXPECT_EQ(std::pair(prompter.Texts(), floppy.Describe()), std::pair(Strings{CatalogueChangedMessage(true)}, "1:Mine/keep=Old+ 3:Elsewhere/ L10:/far"s));
    EXPECT_EQ(Cp932ToUtf8(session->SlotRows()[2].title), "Elsewhere");
    // A comment that cannot be written is told, and the list shows again what the disk holds, not what was typed.
    std::filesystem::create_directory(songs.Item("Demo.cmt"));
    QSignalSpy comment(session.get(), &Session::songCommentChanged);
    prompter.ClearCalls();
    session->SetSongComment("Demo", QStringLiteral("typed"));
    EXPECT_EQ(std::pair(prompter.Texts().size(), comment.count()), std::pair(std::size_t{1}, qsizetype{1}));
    EXPECT_TRUE(comment.count() == 1 && comment.at(0).at(1).toString().isEmpty());
    std::filesystem::remove(songs.Item("Demo.cmt"));
}

// A gesture that needs the floppy is refused with why and changes nothing while the floppy is read beside the
// window; one that does not need it goes ahead. So it is once another program swapped or rewrote the floppy since its
// rows were read (another disk is put in before each gesture): refused before anything is written or read from it,
// and the floppy is read again, so that the next gesture acts on what the user then sees.
TEST_F(SessionTest, GesturesOnAFloppyBeingReadOrChangedSinceShownAreRefused) {
    TestFloppy image(Medium::Image, "1:Old/keep=Old+ 2:Two/=Two"), first(Medium::Image, "1:First/=First"),
        second(Medium::Image, "1:Second/=Second 3:Third/=Third");
    Start(&image);
    TestFolder target{"", home.Path("Target")};
    bool reading = true;   // else another disk was put in
    // name, gesture, whether it asks first (of the rows shown), whether a changed floppy refuses it (else the reading only)
    const std::vector<std::tuple<const char*, std::function<void()>, bool, bool>> gestures = {
        {"delete a slot", [&] { session->DeleteSlots({0}); }, true, true},
        {"edit a title", [&] { EXPECT_FALSE(session->EditSlotTitle(0, QStringLiteral("New")).ok() && reading) << "the editor opens again"; }, false, true},
        {"edit a comment", [&] { EXPECT_FALSE(session->EditSlotComment(0, QStringLiteral("new")).ok() && reading); }, false, true},
        {"drop onto a slot", [&] { session->DropOntoFloppyList(1, false, SongsOnHardDisk{{{songs.path(), "Blues"}}}); }, false, true},
        {"move a slot into a folder", [&] { session->DropIntoFolder(target.path(), true, SongsOnFloppy{nullptr, {0}}); }, false, true},
        {"copy a slot into a folder", [&] { session->DropIntoFolder(target.path(), false, SongsOnFloppy{nullptr, {0}}); }, false, true},
        {"drag a slot", [&] { EXPECT_FALSE(session->SlotsPayload({0})); }, false, false},
        {"drag a slot to another program",
         [&] {
             EXPECT_EQ(session->SlotFilesForDrag({0}), Strings{});
             QCoreApplication::processEvents();   // told once the drag is over
         },
         false, true},
        {"save the drive's disk", [&] { session->DriveWork().SaveFloppyToImage(home.Path("saved.img")); }, false, false},
    };
    const auto titles = [](const std::vector<SlotRow>& rows) {
        std::string shown;
        for (const SlotRow& row : rows) shown += row.title + "|" + row.comment + " ";
        return shown;
    };
    int turn = 0;
    for (const bool phase : {true, false}) {
        reading = phase;
        for (const auto& [name, gesture, asks, whenChanged] : gestures) {
            if (!reading && !whenChanged) continue;
            SCOPED_TRACE(std::string(reading ? "while read: " : "changed: ") + name);
            const std::string bytes = *ReadWhole((reading ? image : ++turn % 2 ? first : second).location());
            if (reading) session->Reload();
            else WriteWhole(image.location(), bytes);
            prompter.ClearCalls();
            if (asks && !reading) prompter.AnswerYesNo(true);
            gesture();
            Strings told = prompter.Texts();
            if (asks && !reading && !told.empty()) told.erase(told.begin());   // the question, asked of the rows shown
            EXPECT_EQ(std::tuple(told, ReadWhole(image.location()) == bytes, target.Describe()),
                      std::tuple(Strings{Translated(reading ? texts::kFloppyBeingRead : texts::kFloppyChangedSinceShown)}, true, ""s));
            AwaitFloppy(*session);
            EXPECT_EQ(titles(session->SlotRows()), titles(RowsOf(OpenFloppyVolume(image.location()).get())));
        }
        if (!reading) continue;
        session->Reload();
        prompter.ClearCalls();
        session->DropIntoFolder(target.path(), false, SongsOnHardDisk{{{songs.path(), "Blues"}}});
        EXPECT_EQ(std::pair(prompter.Texts(), target.Describe()), std::pair(Strings{}, "Blues=Blues+/live"s));
        AwaitFloppy(*session);
        std::filesystem::remove_all(target.path());
        std::filesystem::create_directory(target.path());
    }
    // The disk read again is the one the next gesture acts on.
    prompter.ClearCalls();
    session->EditSlotTitle(0, QStringLiteral("New"));
    AwaitFloppy(*session);
    EXPECT_EQ(std::pair(prompter.Texts(), Cp932ToUtf8(session->SlotRows()[0].title)), std::pair(Strings{}, "New"s));
}

// A floppy that cannot be written is told in plain words before any question, whether the kernel holds the
// drive read-only (its tab) or the disk was mounted read-only; nothing changes, and songs still copy off it.
TEST_F(SessionTest, AWriteProtectedDiskIsToldBeforeAnyQuestion) {
    TestFloppy image(Medium::Image, "1:Old/keep=Old"), other(Medium::Image, "2:Dawn/=Dawn");
    LoopDevice drive(image.location());
    Tmpfs mount("size=4m");
    if (drive.path().empty() || !mount.mounted()) GTEST_SKIP() << "needs root: a loop device and a tmpfs to mount read-only";
    TestFloppy folder(Medium::Folder, "1:Old/keep=Old", mount.path());
    const std::string blockdev = "PATH=\"$PATH:/usr/sbin:/sbin\" blockdev";
    // The kernel keeps the flag after the test: it goes however the test ends.
    const std::shared_ptr<void> writableAgain(nullptr, [&](void*) { RunCommand(blockdev + " --setrw", {drive.path()}, " 2>&1"); });
    const struct {
        std::string location, why;
        std::function<bool()> protect;
        std::function<std::string()> bytes;
    } media[] = {
        {drive.path(), Translated(texts::kWriteProtectedDisk, {drive.path()}),
         [&] { return RunCommand(blockdev + " --setro", {drive.path()}, " 2>&1").exitCode == 0; },
         [&] { return ReadWhole(image.location()).value_or(""); }},
        {folder.location() + "/", Translated(texts::kReadOnlyMount, {folder.location() + "/"}), [&] { return mount.MakeReadOnly(); },
         [&] { return folder.Describe(); }},
    };
    TestFolder target{"", home.Path("Target")};
    for (const auto& medium : media) {
        SCOPED_TRACE(medium.location);
        SessionOptions options = Options(nullptr);
        options.floppy = medium.location;
        session = std::make_unique<Session>(options, [this](Place) -> Prompter& { return prompter; });
        session->FirstFill();
        AwaitFloppy(*session);
        ASSERT_TRUE(medium.protect());
        const std::string before = medium.bytes();
        const std::vector<std::pair<const char*, std::function<void()>>> gestures = {
            {"delete a slot", [&] { session->DeleteSlots({0}); }},
            {"edit a title", [&] { session->EditSlotTitle(0, QStringLiteral("New")); }},
            {"replace slot 1", [&] { session->DropOntoFloppyList(0, false, SongsOnHardDisk{{{songs.path(), "Blues"}}}); }},
            {"move slot 1 off", [&] { session->DropIntoFolder(target.path(), true, SongsOnFloppy{nullptr, {0}}); }},
            {"write an image onto it", [&] { if (medium.location == drive.path()) session->DriveWork().WriteImageToFloppy(other.location()); }},
        };
        for (const auto& [name, gesture] : gestures) {
            SCOPED_TRACE(name);
            prompter.ClearCalls();
            gesture();
            AwaitFloppy(*session);
            if (prompter.calls().empty() && name == "write an image onto it"s) continue;   // a folder is no drive
            EXPECT_EQ(std::tuple(prompter.Texts(), medium.bytes() == before, target.Describe()), std::tuple(Strings{medium.why}, true, ""s));
        }
        prompter.ClearCalls();
        session->DropIntoFolder(target.path(), false, SongsOnFloppy{nullptr, {0}});
        EXPECT_EQ(std::pair(prompter.Texts(), target.Describe()), std::pair(Strings{}, "Old=Old/keep"s)) << "a copy off it goes";
        std::filesystem::remove_all(target.path());
        std::filesystem::create_directory(target.path());
        AwaitFloppy(*session);
    }
}

// While a gesture's question (or message) is open, another writer puts a new song in slot 1 and the floppy's
// own mount changes: the rows behind the question keep showing what it asks about, the answer
// changes nothing the user was not shown, and the floppy is read anew once the gesture is over
// (only then: a stick mounted beforehand leaves it unread).
TEST_F(SessionTest, OutsideEventsWaitWhileAQuestionIsOpen) {
    const std::string takes = songs.path() + "/Takes";
    struct Case {
        const char* gesture;
        std::function<void(Session&)> run;
        std::string refusal;   // what the user is told; empty: the gesture goes through
        std::string songsAfter;
    };
    const std::vector<Case> cases = {
        {"delete slot 1", [](Session& s) { s.DeleteSlots({0}); }, CatalogueChangedMessage(false), "Blues=Blues+/live Demo=Demo #Takes"},
        {"overwrite slot 1", [&](Session& s) { s.DropOntoFloppyList(0, false, SongsOnHardDisk{{{songs.path(), "Demo"}}}); },
         CatalogueChangedMessage(false), "Blues=Blues+/live Demo=Demo #Takes"},
        {"slot 2 moved onto slot 1", [](Session& s) { s.DropOntoFloppyList(0, true, SongsOnFloppy{nullptr, {1}}); },
         CatalogueChangedMessage(false), "Blues=Blues+/live Demo=Demo #Takes"},
        {"delete a folder", [&](Session& s) { s.DeleteFolder(takes); }, "", "Blues=Blues+/live Demo=Demo"},
        {"delete a song", [](Session& s) { s.DeleteSongs({"Blues"}); }, "", "Demo=Demo #Takes"},
        // No question, a message: it holds the world as well.
        {"a title too long", [](Session& s) { s.EditSlotTitle(0, QStringLiteral("ABCDEFGHIJKLMNOPQR")); },
         Translated(texts::kTitleTooLong), "Demo=Demo #Takes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gesture);
        PutFiles(floppy, {{"MDR_00.B00", SongBytes("Old")}, {"MDR_00.EVT", std::nullopt}, {"MDR_01.B00", SongBytes("Two")},
                          {"song.nam", Lines({"Old", "Two"}, 17)}});
        std::vector<MountEntry> mounts = {{"/dev/sdb", floppy.root(), "vfat"}};
        SessionOptions options = Options(&floppy);
        options.mountTable = [&] { return mounts; };
        session = std::make_unique<Session>(options, [this](Place) -> Prompter& { return prompter; });
        session->FirstFill();
        session->ShowFolder(songs.path());
        AwaitFloppy(*session);
        std::filesystem::create_directories(takes);
        QSignalSpy read(session.get(), &Session::floppyChanged);
        mounts.push_back({"/dev/sdd1", "/media/u/STICK", "vfat"});   // mounts elsewhere leave the floppy unread
        session->FollowMounts();
        std::string shownWhileAsked, written;
        bool fired = false;
        prompter.whileAsked = [&] {
            if (std::exchange(fired, true)) return;
            PutFiles(floppy, {{"MDR_00.B00", SongBytes("Blues")}, {"song.nam", Lines({"Blues"}, 17)}});
            written = floppy.Describe();
            mounts[0].device = "/dev/sdc";
            session->FollowMounts();
            // A reading is started beside the window and ends later: whether one began tells.
            shownWhileAsked = Cp932ToUtf8(session->SlotRows()[0].title) + (read.isEmpty() && !session->ReadingFloppy() ? "" : " read anew");
        };
        const bool folder = c.gesture == "delete a folder"s;
        if (c.gesture != "a title too long"s) folder ? prompter.AnswerOkCancel(true) : prompter.AnswerYesNo(true);
        prompter.ClearCalls();
        c.run(*session);
        prompter.whileAsked = nullptr;
        AwaitFloppy(*session);
        EXPECT_EQ(std::tuple(shownWhileAsked, floppy.Describe(), songs.Describe(), IsFolder(takes), prompter.Said()),
                  std::tuple("Old"s, written, c.songsAfter, !folder, c.refusal.empty() ? "" : c.refusal + "\n"));
        EXPECT_EQ(Cp932ToUtf8(session->SlotRows()[0].title), "Blues") << "read again once the gesture is over";
        session.reset();
    }
}

// A drop the user stops between two songs says how many of its songs arrived.
TEST_F(SessionTest, AStoppedDropSaysHowFarItCame) {
    Start(&floppy);
    TestFolder target{"", home.Path("Target")};
    QObject::connect(session.get(), &Session::dropProgress, [&](int done) { if (done == 1) session->CancelDrop(); });
    session->DropIntoFolder(target.path(), false, SongsOnHardDisk{{{songs.path(), "Blues"}, {songs.path(), "Demo"}}});
    EXPECT_EQ(std::pair(target.Describe(), prompter.Said()),
              std::pair("Blues=Blues+/live"s, Translated(texts::kDropStoppedByUser, {"2", "1"}) + "\n"));
}

TEST_F(SessionTest, FoldersAreMadeOnceAndTheTreeIsToldWhereToGo) {
    Start(&floppy);
    std::vector<std::string> select;
    QObject::connect(session.get(), &Session::folderToSelect, [&](const std::string& path) { select.push_back(path); });
    session->MakeFolder(songs.path());
    session->MakeFolder(songs.path());
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"ディレクトリを作成できません！"});
    EXPECT_EQ(select, std::vector<std::string>{songs.path() + "/新規ディレクトリ"});
    EXPECT_TRUE(session->RenameFolder(songs.path() + "/新規ディレクトリ", "Takes").ok());
    prompter.AnswerOkCancel(true);
    session->DeleteFolder(songs.path() + "/Takes");
    EXPECT_FALSE(IsFolder(songs.path() + "/Takes"));
    EXPECT_EQ(select.back(), songs.path());
}

// The first fill is silent about a floppy it looks for, not about one the user named; an image that
// cannot be read is not taken, and the floppy shown stays.
TEST_F(SessionTest, FloppyChoicesAndAMissingFloppy) {
    Start(nullptr);
    EXPECT_EQ(std::pair(prompter.calls().size(), session->FreePercent()), std::pair(std::size_t{0}, -1));
    session->UseImage(home.Path("none.img"));
    WriteWhole(home.Path("short.img"), "x");   // an image that cannot be opened: the notice says why too
    session->UseImage(home.Path("short.img"));
    AwaitFloppy(*session);
    const Strings notices{UnreadableFloppyMessage(home.Path("none.img/")),
                          UnreadableFloppyMessage(home.Path("short.img/")) + "\n\n" + ImageVolume(home.Path("short.img")).Opened().reason};
    EXPECT_EQ(prompter.Texts(), notices);
    EXPECT_FALSE(session->HasFloppyChoice());
    SessionOptions named = Options(nullptr);
    named.floppy = home.Path("short.img");
    {
        Session first(named, [this](Place) -> Prompter& { return prompter; });
        first.FirstFill();
        AwaitFloppy(first);
    }
    EXPECT_EQ(prompter.Texts().back(), notices[1]);

    // Stepping through a folder of images in the shelf's order passes over one that cannot be read.
    TempDir shelf;
    std::filesystem::copy_file(TestFloppy(Medium::Image, "2:Demo/=Demo").location(), shelf.Path("DSKA0001.IMG"));
    std::filesystem::copy_file(TestFloppy(Medium::Image, "3:Jig/=Jig").location(), shelf.Path("DSKA0010.IMG"));
    WriteWhole(shelf.Path("DSKA0002.IMG"), "x");
    session->UseImage(shelf.Path("DSKA0001.IMG"));
    AwaitFloppy(*session);
    EXPECT_EQ(Strings({session->FloppyRoot(), session->ImageChooserFolder(), session->MediumName()}),
              Strings({shelf.Path("DSKA0001.IMG/"), shelf.path(), "DSKA0001.IMG"}));
    EXPECT_EQ(std::pair(session->SlotHoldsSong(0), session->SlotHoldsSong(1)), std::pair(false, true));
    EXPECT_EQ(session->SlotsPayload({0, 1}), std::string("FD\n1\n") + '\0');
    Strings shown;
    for (int step : {1, 1, -1, -1}) {
        session->StepImage(step);
        AwaitFloppy(*session);
        shown.push_back(session->MediumName());
    }
    EXPECT_EQ(shown, Strings({"DSKA0010.IMG", "DSKA0010.IMG", "DSKA0001.IMG", "DSKA0001.IMG"}));
    prompter.ClearCalls();
    session->UseImage(shelf.Path("DSKA0002.IMG"));
    AwaitFloppy(*session);
    EXPECT_EQ(std::tuple(session->ShownImage(), session->SlotHoldsSong(1), prompter.calls().size()),
              std::tuple(shelf.Path("DSKA0001.IMG"), true, std::size_t{1}));
    session->UseFloppyDrive();
    AwaitFloppy(*session);
    EXPECT_EQ(std::pair(session->HasFloppyChoice(), session->SlotRows().size()), std::pair(false, std::size_t{0}));
    // Started on a named floppy: back from an image opened since to it first, then to the drive.
    session = std::make_unique<Session>(Options(&floppy), [this](Place) -> Prompter& { return prompter; });
    session->FirstFill();
    session->UseImage(shelf.Path("DSKA0001.IMG"));
    AwaitFloppy(*session);
    session->UseFloppyDrive();
    EXPECT_EQ(session->FloppyLocation(), floppy.location() + "/");
    session->UseFloppyDrive();
    EXPECT_EQ(session->FloppyLocation(), "");
    AwaitFloppy(*session);
}

// What the shelf changed is read again only where the window shows it; the tree stays.
TEST_F(SessionTest, TheShelfsChangesAreReadAgainOnlyWhereTheWindowShowsThem) {
    TestFloppy image(Medium::Image, "2:Demo/=Demo");
    Start(nullptr);
    session->UseImage(image.location());
    AwaitFloppy(*session);
    QSignalSpy floppyRead(session.get(), &Session::floppyChanged), listed(session.get(), &Session::songsChanged),
        reset(session.get(), &Session::foldersReset);
    session->FollowImageWrite(home.Path("short.img"));
    session->FollowSongsMoved(SongsOnHardDisk{{{home.path(), "Demo"}}});
    session->FollowImageRename(home.Path("short.img"), image.location() + ".old");
    EXPECT_EQ(std::tuple(floppyRead.count(), listed.count(), session->ShownImage()), std::tuple(0, 0, image.location()));
    session->FollowImageWrite(image.location());
    AwaitFloppy(*session);
    session->FollowSongsMoved(SongsOnHardDisk{{{songs.path(), "Demo"}}});
    session->FollowSongsMoved(SongsOnFloppy{nullptr, {1}});
    AwaitFloppy(*session);
    std::filesystem::rename(image.location(), image.location() + ".old");
    session->FollowImageRename(image.location(), image.location() + ".old");
    EXPECT_EQ(std::tuple(floppyRead.count(), listed.count(), reset.count(), session->ShownImage(), session->SlotHoldsSong(1)),
              std::tuple(3, 1, 0, image.location() + ".old", true));
}

}  // namespace
}  // namespace tunecrate::testing
