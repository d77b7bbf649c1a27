// SPDX-License-Identifier: MIT
// The shelf's gestures on a real folder of images, with a scripted user.
#include <QSignalSpy>
#include <QTest>

#include "ScriptedPrompter.h"
#include "Songs.h"
#include "core/disk/StickSlots.h"
#include "core/songs/FloppyCatalogue.h"
#include "session/ShelfSession.h"

namespace tunecrate::testing {
namespace {

TEST(ShelfSession, NewImagesLabelsSavedListsAndFloppySongsDropped) {
    TempDir shelf;
    TestFloppy main(Medium::Image, "1:Blues/live=Blues+ 2:Rock/=Rock");
    ScriptedPrompter prompter;
    ShelfSession session([&]() -> Prompter& { return prompter; }, [&] { return main.location(); });
    const auto read = [&](std::size_t rows) {
        return QTest::qWaitFor([&] { return session.ImageRows().size() == rows && session.RowsRead() == static_cast<int>(rows); });
    };
    session.OpenFolder(shelf.path());
    session.MakeImages(2);
    ASSERT_TRUE(read(2));
    EXPECT_EQ(session.PathOf(1), shelf.Path("DSKA0001.IMG"));

    EXPECT_TRUE(session.LabelImage(0, QStringLiteral("結婚式")).ok());
    ASSERT_TRUE(read(2));
    EXPECT_EQ(session.ImageRows()[0].file, "DSKA0000 結婚式.IMG");
    EXPECT_NE(prompter.calls().back().text.find("英数字"), std::string::npos) << "told the emulator shows only ASCII";
    EXPECT_FALSE(session.LabelImage(1, QStringLiteral("a/b")).ok());

    // Slots 1 and 2 of the main window's floppy moved onto the second image.
    session.DropOnto(1, true, SongsOnFloppy{nullptr, {0, 1}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.ImageRows()[1].songs == 2; }));
    EXPECT_EQ(main.Describe(), "");
    session.SetSearch(QStringLiteral("LIVE"));
    EXPECT_EQ(session.Hits()[1].foundSlots, (std::array<bool, 5>{true, false, false, false, false}));

    EXPECT_EQ(session.DefaultListPath(), shelf.Path(std::filesystem::path(shelf.path()).filename().string() + ".csv"));
    EXPECT_TRUE(session.SaveList(shelf.Path("list"), true).ok());
    EXPECT_EQ(ReadWhole(shelf.Path("list.csv")).value_or("").rfind("\xEF\xBB\xBF番号,ファイル", 0), 0u);
    prompter.ClearCalls();
    const Result unsaved = session.SaveList(shelf.Path("none/list.TXT"), false);
    EXPECT_EQ(std::tuple(unsaved.ok(), unsaved.reason.rfind(shelf.Path("none/list.TXT") + " に書き込めません。", 0), prompter.Said()), std::tuple(false, 0u, unsaved.reason + "\n"));

    // An image goes while a drop onto a row tells the user something: the rows stay as the user saw them until the
    // drop is over, then the folder is listed anew.
    std::size_t rowsWhileTold = 0;
    prompter.ClearCalls();
    prompter.whileAsked = [&] {
        if (rowsWhileTold != 0) return;
        std::filesystem::remove(shelf.Path("DSKA0001.IMG"));
        session.Reload();   // as the folder's watcher does
        rowsWhileTold = session.ImageRows().size();
    };
    session.DropOnto(0, false, SongsOnHardDisk{{{shelf.path(), "Gone"}}});   // no such song: the user is told
    prompter.whileAsked = nullptr;
    EXPECT_EQ(std::pair(rowsWhileTold, prompter.calls().size()), std::pair(std::size_t{2}, std::size_t{1}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return session.ImageRows().size() == 1; }));
}

// A factory stick's dump as a shelf: a row per slot, the unused ones empty, one
// that is no floppy said so; new floppies go into unused slots, songs dropped
// onto a slot land there and nowhere else, and the list is saved beside the dump.
TEST(ShelfSession, AStickShowsEverySlotAndTakesNewFloppiesAndSongs) {
    TempDir dir;
    TestFloppy main(Medium::Image, "1:Blues/live=Blues+ 2:Rock/=Rock");
    const std::string stick = dir.Path("stick.bin");
    MakeSparseFile(stick, 6 * kSlotStride, {{2 * kSlotStride, ReadWhole(main.location()).value_or("")}, {4 * kSlotStride + 3, "not a floppy, but written"}});
    ScriptedPrompter prompter;
    ShelfSession session([&]() -> Prompter& { return prompter; }, [&] { return main.location(); });
    const auto states = [&] {
        std::string shown;
        for (const ShelfRow& row : session.ImageRows()) {   // appended piece by piece: GCC 12 warns falsely on a chain of +
            if (!shown.empty()) shown += ' ';
            shown += std::to_string(row.number.value_or(-1));
            shown += ':';
            shown += row.emptySlot ? "empty" : !row.usable() ? "bad" : std::to_string(row.songs);
        }
        return shown;
    };
    session.OpenFolder(stick);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RowsRead() == 6; }));
    EXPECT_TRUE(session.ShowsStick());
    EXPECT_EQ(states(), "0:empty 1:empty 2:2 3:empty 4:bad 5:empty");
    EXPECT_EQ(session.PathOf(2), stick + "@002");
    EXPECT_EQ(session.ImageRows()[4].condition.reason.rfind("stick.bin@004 ", 0), 0u) << session.ImageRows()[4].condition.reason;

    session.MakeImages(1, NewNumbers::AfterHighest);   // past the slot that is no floppy
    session.MakeImages(1, NewNumbers::GapsFirst);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RowsRead() == 6 && states() == "0:0 1:empty 2:2 3:empty 4:bad 5:0"; })) << states();
    session.RenumberImage(5, 1);   // a free slot: no question
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RowsRead() == 6 && states() == "0:0 1:0 2:2 3:empty 4:bad 5:empty"; })) << states();
    session.DropOnto(1, false, SongsOnFloppy{nullptr, {1}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return states() == "0:0 1:1 2:2 3:empty 4:bad 5:empty"; })) << states();
    EXPECT_EQ(ImageVolume(stick + "@1", {}, ImageAccess::ReadOnly).ReadFile("MDR_00.B00", 1 << 20), main.Open()->ReadFile("MDR_01.B00", 1 << 20));
    EXPECT_EQ(session.DefaultListPath(), dir.Path("stick.bin.csv"));
    // A slot the main window wrote has no file to watch: told, its row is read again, by any name of the stick.
    {
        ImageVolume slot(stick + "@2");
        ASSERT_TRUE(UpdateCatalogue(slot, {{0, "Swing", std::nullopt}}).ok());
    }
    session.FollowSlotWrite(dir.path() + "/./stick.bin@2");
    EXPECT_TRUE(QTest::qWaitFor([&] { return session.ImageRows()[2].titles[0] == "Swing"; }));
    EXPECT_EQ(prompter.Said(), "");
}

// Deleting, renumbering and copying images ask first where something is lost
// or another image moves, and tell the main window each rename in order, so
// that the image it shows is followed through a swap.
TEST(ShelfSession, ImageGesturesAskFirstAndTellEachRename) {
    TempDir shelf, home, other;
    ::setenv("HOME", home.path().c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    TestFloppy floppy(Medium::Image, "1:Blues/=Blues");
    for (const char* name : {"DSKA0000 Foo.IMG", "DSKA0001.IMG", "DSKA0003 Bar.IMG"}) std::filesystem::copy_file(floppy.location(), shelf.Path(name));
    ScriptedPrompter prompter;
    ShelfSession session([&]() -> Prompter& { return prompter; }, [] { return std::string(); });
    std::vector<std::pair<std::string, std::string>> renames;
    QObject::connect(&session, &ShelfSession::imagesRenamed, [&](const auto& done) { renames.insert(renames.end(), done.begin(), done.end()); });
    const auto files = [&] {
        std::string shown;
        for (const ShelfRow& row : session.ImageRows()) shown += row.file + ";";
        return shown;
    };
    session.OpenFolder(shelf.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RowsRead() == 3; }));
    // The same floppy three times: the later two are copies of the first.
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.Copies().size() == 3; }));
    EXPECT_EQ(std::tuple(session.Copies()[0].sameAs, session.Copies()[1].sameAs, session.Copies()[2].sameAs),
              std::tuple(std::optional<std::size_t>(), std::optional<std::size_t>(0), std::optional<std::size_t>(0)));

    prompter.AnswerYesNo(false);
    session.RenumberImage(0, 3);
    prompter.AnswerYesNo(true);
    session.RenumberImage(0, 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RowsRead() == 3 && files() == "DSKA0000 Bar.IMG;DSKA0001.IMG;DSKA0003 Foo.IMG;"; })) << files();
    ASSERT_EQ(prompter.calls().size(), 2u);
    EXPECT_EQ(prompter.calls()[0].text, "番号 3 は DSKA0003 Bar.IMG が使っています。二つの番号を入れ替えますか？");
    // Followed as the main window follows them, the renames take each image to its new name.
    for (const auto& [start, end] : {std::pair{"DSKA0000 Foo.IMG", "DSKA0003 Foo.IMG"}, {"DSKA0003 Bar.IMG", "DSKA0000 Bar.IMG"}}) {
        std::string at = shelf.Path(start);
        for (const auto& [from, to] : renames) at = from == at ? to : at;
        EXPECT_EQ(at, shelf.Path(end));
    }

    prompter.ClearCalls();
    prompter.AnswerYesNo(true);
    session.RemoveImages({0, 1});
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RowsRead() == 1 && files() == "DSKA0003 Foo.IMG;"; })) << files();
    EXPECT_EQ(prompter.calls().at(0).text, "次のイメージをごみ箱に移します。\n\nDSKA0000 Bar.IMG\nDSKA0001.IMG\n\nよろしいですか？");
    EXPECT_TRUE(std::filesystem::exists(home.Path(".local/share/Trash/files/DSKA0001.IMG")));

    session.CopyImage(0, other.path(), 7, NewNumbers::AfterHighest);
    session.CopyImage(0, shelf.path(), std::nullopt, NewNumbers::GapsFirst);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RowsRead() == 2 && files() == "DSKA0000 Foo.IMG;DSKA0003 Foo.IMG;"; })) << files();
    EXPECT_EQ(ReadWhole(other.Path("DSKA0007 Foo.IMG")), ReadWhole(floppy.location()));
    EXPECT_EQ(prompter.calls().size(), 1u);
}

// A search typed before the images are read takes each row as it comes, and the whole shelf
// only when the text changes; the count follows the rows read, and read again.
TEST(ShelfSession, ASearchTakesEachRowOnceAsItIsRead) {
    TempDir shelf;
    const std::array<const char*, 3> floppies{"1:Blues/live=Blues 2:Rock/=Rock", "2:Rock/=Rock", "1:Blues/=Blues 3:Blues/=Jig"};
    for (std::size_t i = 0; i < floppies.size(); ++i)
        std::filesystem::copy_file(TestFloppy(Medium::Image, floppies[i]).location(), shelf.Path("DSKA000" + std::to_string(i) + ".IMG"));
    ScriptedPrompter prompter;
    ShelfSession session([&]() -> Prompter& { return prompter; }, [] { return std::string(); });
    QSignalSpy searched(&session, &ShelfSession::searchChanged), read(&session, &ShelfSession::rowRead);
    session.SetSearch(QStringLiteral("ＢＬＵＥＳ"));
    session.OpenFolder(shelf.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RowsRead() == 3; }));
    const auto found = [&] { return std::vector<bool>{session.Hits()[0].found, session.Hits()[1].found, session.Hits()[2].found}; };
    EXPECT_EQ(std::tuple(searched.count(), session.Matches(), found()), std::tuple(qsizetype{1}, 3, std::vector<bool>{true, false, true}));
    std::filesystem::last_write_time(shelf.Path("DSKA0002.IMG"), std::filesystem::file_time_type::clock::now());
    ASSERT_TRUE(QTest::qWaitFor([&] { return read.count() == 4; }));   // its watcher reads it again
    EXPECT_EQ(std::pair(searched.count(), session.Matches()), std::pair(qsizetype{1}, 3));
    session.SetSearch(QStringLiteral("dska0001"));   // a file name: the row counts once
    EXPECT_EQ(std::tuple(searched.count(), session.Matches(), found()), std::tuple(qsizetype{2}, 1, std::vector<bool>{false, true, false}));
}

}  // namespace
}  // namespace tunecrate::testing
