// SPDX-License-Identifier: MIT
// Wiring only: a gesture on a control reaches the session, and what the
// session changed shows in the window. What the gesture does to songs is
// the session's and the core's tests' concern.
#include <QAction>
#include <QDrag>
#include <QImage>
#include <QInputDialog>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <fstream>

#include "Workplace.h"
#include "app/MainDialog.h"
#include "widgets/ColorButton.h"
#include "widgets/DialogUnits.h"
#include "widgets/FreeSpaceBar.h"
#include "core/Texts.h"
#include "widgets/InPlaceEdit.h"
#include "widgets/ShelfWindow.h"

namespace tunecrate::testing {
namespace {

class WiringTest : public ::testing::Test, public Workplace {
protected:
    WiringTest() : Workplace("1:Old/keep=Old+ 3:Dawn/"), dialog(std::make_unique<MainDialog>(Options(&floppy), questions)) {
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        dialog->CurrentSession().FirstFill();
        AwaitFloppy(dialog->CurrentSession());
    }
    template <typename T>
    T& Find(const char* name) {
        auto* found = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }
    QPoint CellCentre(QTreeWidget& list, int row, int column) {
        return {list.columnViewportPosition(column) + 10, list.visualItemRect(list.topLevelItem(row)).center().y()};
    }
    void Click(QTreeWidget& list, int row, int column) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(list, row, column));
    }
    // An action of the background menu, built anew as a right click builds it.
    QAction& MenuAction(const char* name) {
        menu.reset(dialog->BuildBackgroundMenu(dialog.get()));
        return *menu->findChild<QAction*>(QLatin1String(name));
    }
    // A drag that enters at `at`, rests there (`over` runs then) and drops; whether the window took it. A file
    // manager offers a copy or a move, as its modifiers say.
    static bool Drop(QWidget* target, QPoint at, const QMimeData& data, Qt::KeyboardModifiers keys = {},
                     Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction, const std::function<void()>& over = {}) {
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, keys);
        QDragMoveEvent move(at, actions, &data, Qt::LeftButton, keys);
        QDropEvent drop(at, actions, &data, Qt::NoButton, keys);
        for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move}) QApplication::sendEvent(target, event);
        if (over) over();
        drop.setDropAction(move.dropAction());   // as the drag manager carries the action the target settled on
        QApplication::sendEvent(target, &drop);
        return enter.isAccepted() && drop.isAccepted();
    }

    // Acts, as the user would, on the modal dialog that the next gesture opens.
    static void OnNextModal(const std::function<void(QDialog&)>& act) {
        QTimer::singleShot(0, [act] { if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) act(*box); });
    }

    std::optional<std::string> chosenFile;   // what every file dialog answers
    const FileChooser chosen = [this](QWidget*, const std::string&) { return chosenFile; };
    const WindowQuestions questions{&prompter, chosen, chosen, {}};
    std::unique_ptr<MainDialog> dialog;
    std::unique_ptr<QMenu> menu;
    FloppyList& floppyList = Find<FloppyList>("floppyList");
    HardDiskList& hardDiskList = Find<HardDiskList>("hardDiskList");
    FolderTree& tree = Find<FolderTree>("folderTree");
};

TEST_F(WiringTest, GesturesReachTheSessionAndTheWindowShowsWhatChanged) {
    ASSERT_EQ(floppyList.topLevelItemCount(), 5);
    EXPECT_EQ(hardDiskList.topLevelItemCount(), 2);
    EXPECT_EQ(hardDiskList.topLevelItem(0)->columnCount(), 0) << "a row keeps no texts of its own, only the session's row";
    EXPECT_EQ(tree.ItemPath(tree.currentItem()), songs.path());

    // Ctrl+H shows the hidden folders and hides them again; the selection stays.
    std::filesystem::create_directory(songs.Item(".cache"));
    for (const int shown : {1, 0}) {
        QTest::keyClick(dialog.get(), Qt::Key_H, Qt::ControlModifier);
        EXPECT_EQ(tree.ItemPath(tree.currentItem()), songs.path());
        EXPECT_EQ(tree.currentItem()->childCount(), shown);
    }
    std::filesystem::remove(songs.Item(".cache"));

    // Two clicks on a title cell open the editor; Enter stores the title.
    Click(floppyList, 0, 1);
    Click(floppyList, 0, 1);
    QPointer<InPlaceEdit> editor = floppyList.viewport()->findChild<InPlaceEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Blue"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(editor.isNull() || !editor->isVisible());
    EXPECT_EQ(floppyList.topLevelItem(0)->text(1), QStringLiteral("Blue"));
    EXPECT_EQ(floppy.Describe(), "1:Blue/keep=Old+ 3:Dawn/");
    // A title too long is refused, and the editor opens again on what was typed.
    floppyList.EndCellEdit(0, 1, QStringLiteral("Blue Moon in the Night"));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const auto* reopened = floppyList.viewport()->findChild<InPlaceEdit*>();
        return reopened != nullptr && reopened->text() == QStringLiteral("Blue Moon in the Night");
    }));
    QTest::keyClick(floppyList.viewport()->findChild<InPlaceEdit*>(), Qt::Key_Escape);
    prompter.ClearCalls();

    // F2 renames a hard-disk song through the list's own label editor.
    hardDiskList.setCurrentItem(hardDiskList.topLevelItem(1));
    QTest::keyClick(&hardDiskList, Qt::Key_F2);
    QPointer<QLineEdit> label;
    for (QLineEdit* line : hardDiskList.viewport()->findChildren<QLineEdit*>())
        if (line->isVisible()) label = line;
    ASSERT_NE(label, nullptr);
    label->setText(QStringLiteral("Dusk"));
    QTest::keyClick(label, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return label.isNull() || !label->isVisible(); }));
    EXPECT_EQ(hardDiskList.topLevelItem(1)->text(0), QStringLiteral("Dusk"));
    EXPECT_EQ(songs.Describe(), "Blues=Blues+/live Dusk=Demo");

    // A drop of a hard-disk song on slot 2 runs once the drag is over (and the edit's reading).
    AwaitFloppy(dialog->CurrentSession());
    QMimeData data;
    const std::string renamed = HardDiskList::RowTitle(hardDiskList.topLevelItem(1));   // the row knows its new name
    data.setData(QStringLiteral("text/plain"),
                 QByteArray::fromStdString(dialog->CurrentSession().SongsPayload({renamed}).value_or("")));
    Drop(floppyList.viewport(), CellCentre(floppyList, 1, 0), data, {}, Qt::CopyAction, [&] {
        EXPECT_EQ(floppyList.currentItem(), floppyList.topLevelItem(1)) << "the slot under the pointer is highlighted";
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return floppyList.topLevelItem(1)->text(1) == QStringLiteral("Dusk"); }));

    // The same folder listed anew, as after a change of mounts, keeps the selection and the current row.
    hardDiskList.setCurrentItem(hardDiskList.topLevelItem(0));
    dialog->CurrentSession().ShowFolder(songs.path());
    EXPECT_EQ(std::pair(hardDiskList.currentItem(), hardDiskList.selectedItems().size()),
              std::pair(hardDiskList.topLevelItem(0), qsizetype{1}));

    // The reload button shows what another program wrote. As the start does, it reads the song folder
    // once for its songs and once for its subfolders.
    WriteWhole(floppy.location() + "/song.nam", "Written elsewhere\r\n");
    WriteWhole(songs.Item("Dusk.cmt"), "hello  world\r\n");
    ListingsOf(songs.path());
    QTest::mouseClick(&Find<QPushButton>("reloadButton"), Qt::LeftButton);
    AwaitFloppy(dialog->CurrentSession());
    EXPECT_EQ(ListingsOf(songs.path()), 2);
    EXPECT_EQ(floppyList.topLevelItem(0)->text(1), QStringLiteral("Written elsewhere"));
    // A comment on the hard disk keeps its first word in the column, the whole in the tooltip and the editor.
    QTreeWidgetItem* dusk = hardDiskList.topLevelItem(1);
    EXPECT_EQ(QStringList({dusk->text(2), dusk->toolTip(0), dusk->toolTip(2)}), QStringList({"hello", "hello  world", "hello  world"}));
    Click(hardDiskList, 1, 0);
    Click(hardDiskList, 1, 2);
    QPointer<InPlaceEdit> commentEditor = hardDiskList.viewport()->findChild<InPlaceEdit*>();
    ASSERT_NE(commentEditor, nullptr);
    EXPECT_EQ(commentEditor->text(), QStringLiteral("hello  world"));
    QTest::keyClick(commentEditor, Qt::Key_Escape);
    EXPECT_EQ(ReadWhole(songs.Item("Dusk.cmt")), "hello  world\r\n");
    EXPECT_GT(dialog->CurrentSession().FreeBytes(), 0);   // the text shows the reading, not a second one
    const QLabel& freeText = Find<QLabel>("freeSpaceText");
    const auto shown = [&] { return FittedFreeSpaceText(dialog->CurrentSession().FreeBytes(), freeText.fontMetrics(), freeText.width()); };
    EXPECT_EQ(freeText.text(), shown());
    // While the floppy is read beside the window, its frame says so, until the reading has ended.
    dialog->CurrentSession().Reload();
    EXPECT_EQ(freeText.text().toStdString(), Translated(texts::kLoading));
    AwaitFloppy(dialog->CurrentSession());
    EXPECT_EQ(freeText.text(), shown());

    // The background menu: back to the drive only once a floppy was chosen.
    EXPECT_TRUE(MenuAction("floppyDriveAction").isEnabled());
    MenuAction("floppyDriveAction").trigger();
    AwaitFloppy(dialog->CurrentSession());
    EXPECT_EQ(floppyList.topLevelItemCount(), 0);
}

TEST_F(WiringTest, AFloppyInADriveIsSavedWrittenAndEjectedFromTheBackgroundMenu) {
    const auto enabled = [&] {
        std::vector<bool> states;
        for (const char* name : {"backupFloppyAction", "restoreFloppyAction", "ejectAction"})
            states.push_back(MenuAction(name).isEnabled());
        return states;
    };
    EXPECT_EQ(enabled(), std::vector<bool>(3, false)) << "a floppy folder is no drive";

    TestFloppy disk(Medium::Image, "1:Blues/live=Blues+"), other(Medium::Image, "2:Dawn/=Dawn");
    LoopDevice drive(disk.location());
    if (drive.path().empty()) GTEST_SKIP() << "needs a loop device: root, and losetup that can attach one";
    dialog->CurrentSession().UseImage(drive.path());
    AwaitFloppy(dialog->CurrentSession());
    EXPECT_EQ(floppyList.topLevelItem(0)->text(1), QStringLiteral("Blues"));
    EXPECT_EQ(enabled(), std::vector<bool>(3, true));

    // Save: the chooser's file, a progress dialog while it runs and none after, then one message.
    chosenFile = home.Path("saved.img");
    bool progressShown = false;
    DriveSession& driveSession = dialog->CurrentSession().DriveWork();
    const auto watch = QObject::connect(&driveSession, &DriveSession::diskCopyProgress, [&](int done) {
        if (done >= 0) progressShown |= dialog->findChild<QProgressDialog*>(QStringLiteral("diskCopyProgress")) != nullptr;
    });
    prompter.ClearCalls();
    MenuAction("backupFloppyAction").trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !driveSession.Copying(); }));
    EXPECT_TRUE(progressShown);
    EXPECT_EQ(dialog->findChild<QProgressDialog*>(QStringLiteral("diskCopyProgress")), nullptr);
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, Translated(texts::kBackupDone, {drive.path(), *chosenFile}));

    // Write another image back: asked first; the list then shows what the disk holds now.
    chosenFile = other.location();
    prompter.AnswerOkCancel(true);
    MenuAction("restoreFloppyAction").trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !driveSession.Copying(); }));
    AwaitFloppy(dialog->CurrentSession());
    EXPECT_EQ(prompter.calls().back().text, Translated(texts::kRestoreDone, {other.location(), drive.path()}));
    EXPECT_EQ(floppyList.topLevelItem(1)->text(1), QStringLiteral("Dawn"));

    // Eject without the disk service: everything is on the disk, and the user is told so.
    MenuAction("ejectAction").trigger();
    EXPECT_EQ(prompter.calls().back().text, Translated(texts::kEjectFlushedDevice, {drive.path()}));
    AwaitFloppy(dialog->CurrentSession());
    QObject::disconnect(watch);
}

// The shelf and the window work side by side: what the shelf does reaches only what the window shows of it.
TEST_F(WiringTest, TheShelfFillsFiltersOpensAnImageAndTakesADrop) {
    TempDir shelf;
    for (const auto& [name, description] : {std::pair{"DSKA0001.IMG", "1:ブルース/=Blues"}, {"DSKA0002.IMG", "2:Rock/=Rock"}})
        std::filesystem::copy_file(TestFloppy(Medium::Image, description).location(), shelf.Path(name));
    WriteWhole(shelf.Path("DSKA0003.IMG"), "short");
    std::filesystem::copy_file(shelf.Path("DSKA0002.IMG"), shelf.Path("DSKA0004.IMG"));
    std::fstream(shelf.Path("DSKA0004.IMG"), std::ios::in | std::ios::out | std::ios::binary).seekp(10 * 512 + 40).put('\x7f');   // the FATs differ
    TestFolder other("Jig=Jig", home.Path("Other"));
    ASSERT_TRUE(tree.SelectPath(other.path()));
    dialog->OpenShelf(shelf.path());
    ShelfWindow& window = *dialog->OpenedShelf();
    QTreeWidget& list = window.ImageList();
    QSignalSpy changes(list.model(), &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.topLevelItemCount() == 4 && !window.findChild<QProgressBar*>(QStringLiteral("shelfProgress"))->isVisible(); }));
    EXPECT_LE(changes.count(), 4) << "rows read are shown together, not cell by cell";
    EXPECT_EQ(list.topLevelItem(2)->text(ShelfWindow::StateColumn).toStdString(),
              "DSKA0003.IMG は 1.44 MB のフロッピーイメージではありません: 5 バイトあり、1474560 バイトではありません。");
    QStringList damage{list.topLevelItem(3)->text(ShelfWindow::StateColumn)};   // the cell may be cut; the tooltip tells all
    for (const std::string& problem : ImageVolume(shelf.Path("DSKA0004.IMG")).Damage()) damage << QString::fromStdString(problem);
    EXPECT_EQ(std::pair(list.topLevelItem(3)->toolTip(ShelfWindow::StateColumn), damage.size()), std::pair(damage.join('\n'), qsizetype{2}));

    window.findChild<QLineEdit*>(QStringLiteral("shelfSearch"))->setText(QStringLiteral("ﾌﾞﾙｰｽ"));   // keyClicks types ASCII only
    EXPECT_EQ(std::vector<bool>({list.topLevelItem(0)->isHidden(), list.topLevelItem(1)->isHidden(), list.topLevelItem(2)->isHidden()}),
              std::vector<bool>({false, true, true}));
    EXPECT_EQ(std::pair(list.topLevelItem(0)->background(ShelfWindow::FirstTitleColumn).style(),
                        list.topLevelItem(0)->background(ShelfWindow::FirstTitleColumn + 1).style()),
              std::pair(Qt::SolidPattern, Qt::NoBrush)) << "the found slot is marked, and only it";
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("shelfMatches"))->text(), QStringLiteral("1 件"));

    Session& main = dialog->CurrentSession();
    const auto enter = [&](int row) {
        list.setCurrentItem(list.topLevelItem(row));
        QTest::keyClick(&list, Qt::Key_Return);
    };
    enter(0);
    AwaitFloppy(main);
    EXPECT_EQ(std::pair(main.ShownImage(), Find<QLabel>("mediumName").text()), std::pair(shelf.Path("DSKA0001.IMG"), QStringLiteral("DSKA0001.IMG")));
    EXPECT_TRUE(list.topLevelItem(0)->font(ShelfWindow::FileColumn).bold()) << "the image the window shows is marked";
    EXPECT_TRUE(Find<QLabel>("freeSpaceText").text().contains(" " + list.topLevelItem(0)->text(ShelfWindow::FreeColumn) + " kb")) << "one unit";
    window.findChild<QLineEdit*>(QStringLiteral("shelfSearch"))->clear();
    enter(2);   // unusable: the floppy shown stays, and the user learns why
    AwaitFloppy(main);
    EXPECT_EQ(std::pair(main.ShownImage(), prompter.Texts()),
              std::pair(shelf.Path("DSKA0001.IMG"), Strings{UnreadableFloppyNotice(ImageVolume(shelf.Path("DSKA0003.IMG")).Opened(), shelf.Path("DSKA0003.IMG/"))}));

    // Labelling the shown image: the window follows it under its new name.
    OnNextModal([](QDialog& input) { static_cast<QInputDialog&>(input).setTextValue(QStringLiteral("Jazz")); input.accept(); });
    list.setCurrentItem(list.topLevelItem(0));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("labelButton")), Qt::LeftButton);
    EXPECT_EQ(std::pair(main.ShownImage(), prompter.Texts().size()), std::pair(shelf.Path("DSKA0001 Jazz.IMG"), std::size_t{1}));
    EXPECT_EQ(floppyList.topLevelItem(0)->text(1), QStringLiteral("ブルース"));

    // The next image from the window's keys; a hard-disk song moved onto it shows in both lists.
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QTest::keyClick(dialog.get(), Qt::Key_PageDown, Qt::ControlModifier);
    AwaitFloppy(main);
    ASSERT_EQ(main.ShownImage(), shelf.Path("DSKA0002.IMG"));
    QMimeData data;
    data.setData(QStringLiteral("text/plain"), QByteArray::fromStdString(*main.SongsPayload({"Jig"})));
    Drop(list.viewport(), list.visualItemRect(list.topLevelItem(1)).center(), data, {}, Qt::MoveAction);
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.topLevelItem(1)->text(ShelfWindow::FirstTitleColumn) == QStringLiteral("Jig"); }));
    AwaitFloppy(main);
    EXPECT_EQ(std::tuple(floppyList.topLevelItem(0)->text(1), hardDiskList.topLevelItemCount(), tree.ItemPath(tree.currentItem())),
              std::tuple(QStringLiteral("Jig"), 0, other.path())) << "the tree stays where the user was";

    // An image another program puts in the folder gets its row.
    std::filesystem::copy_file(shelf.Path("DSKA0002.IMG"), shelf.Path("DSKA0007.IMG"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.topLevelItemCount() == 5; }, 3000));
}

// Rows pressed and dragged out of the shelf window carry their images; dropped on the window of another shelf they
// are copied there under its next free numbers, the first shelf unchanged. Delete, the window's shortcut for
// "削除...", takes the rows selected to the desktop's trash after a question that names them.
TEST_F(WiringTest, ShelfRowsAreDraggedOutAsImagesAndDeleteTakesTheSelectedToTheTrash) {
    TempDir first, second, data;
    const char* dataWas = std::getenv("XDG_DATA_HOME");
    const std::string dataBefore = dataWas != nullptr ? dataWas : "";
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    const std::shared_ptr<void> restore(nullptr, [&](void*) {
        if (dataWas != nullptr) ::setenv("XDG_DATA_HOME", dataBefore.c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
    });
    for (const auto& [name, description] : {std::pair{"DSKA0001.IMG", "1:Alpha/=A"}, {"DSKA0002.IMG", "1:Beta/=B"}, {"DSKA0003.IMG", "1:Gamma/=C"}})
        std::filesystem::copy_file(TestFloppy(Medium::Image, description).location(), first.Path(name));
    std::filesystem::copy_file(first.Path("DSKA0001.IMG"), second.Path("DSKA0000.IMG"));
    dialog->OpenShelf(first.path());
    ShelfWindow& window = *dialog->OpenedShelf();
    QTreeWidget& list = window.ImageList();
    const auto rows = [&](int count) {
        return QTest::qWaitFor([&] { return list.topLevelItemCount() == count && !window.findChild<QProgressBar*>(QStringLiteral("shelfProgress"))->isVisible(); });
    };
    ASSERT_TRUE(rows(3));

    // Two rows pressed and moved past the drag distance: what the drag carries is kept.
    list.topLevelItem(1)->setSelected(true);
    list.topLevelItem(2)->setSelected(true);
    QMimeData carried;
    const QPoint at = list.visualItemRect(list.topLevelItem(1)).center();
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, at);
    QMouseEvent move(QEvent::MouseMove, at + QPoint(0, 3 * QApplication::startDragDistance()), list.viewport()->mapToGlobal(at),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(list.viewport(), &move);   // a drag that nobody takes here ends at once, and goes later
    if (QDrag* drag = window.findChild<QDrag*>(); drag != nullptr && drag->mimeData() != nullptr) {
        for (const QString& format : drag->mimeData()->formats()) carried.setData(format, drag->mimeData()->data(format));
    }
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(carried.urls(), (QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(first.Path("DSKA0002.IMG"))),
                                          QUrl::fromLocalFile(QString::fromStdString(first.Path("DSKA0003.IMG")))}));

    // Onto the window showing the other shelf.
    dialog->OpenShelf(second.path());
    ASSERT_TRUE(rows(1));
    EXPECT_TRUE(Drop(list.viewport(), list.visualItemRect(list.topLevelItem(0)).center(), carried, {}, Qt::CopyAction));
    ASSERT_TRUE(rows(3));
    EXPECT_EQ(ReadWhole(second.Path("DSKA0001.IMG")), ReadWhole(first.Path("DSKA0002.IMG")));
    EXPECT_EQ(ReadWhole(second.Path("DSKA0002.IMG")), ReadWhole(first.Path("DSKA0003.IMG")));

    // Delete on the rows selected: asked, then in the trash.
    list.clearSelection();
    list.setCurrentItem(list.topLevelItem(1));
    list.setFocus();
    prompter.ClearCalls();
    prompter.AnswerYesNo(true);
    QTest::keyClick(&list, Qt::Key_Delete);
    ASSERT_TRUE(rows(2));
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_NE(prompter.calls()[0].text.find("DSKA0001.IMG"), std::string::npos) << prompter.calls()[0].text;
    EXPECT_FALSE(std::filesystem::exists(second.Path("DSKA0001.IMG")));
    EXPECT_EQ(ReadWhole(data.Path("Trash/files/DSKA0001.IMG")), ReadWhole(first.Path("DSKA0002.IMG")));
    EXPECT_EQ(std::vector<bool>({std::filesystem::exists(first.Path("DSKA0001.IMG")), std::filesystem::exists(first.Path("DSKA0002.IMG")),
                                 std::filesystem::exists(first.Path("DSKA0003.IMG"))}),
              std::vector<bool>({true, true, true})) << "the first shelf is as it was";
}

// The shelf's messages are boxes of the shelf window, not of the main window.
TEST_F(WiringTest, TheShelfsMessagesBelongToTheShelf) {
    MainDialog window(Options(&floppy), WindowQuestions{nullptr, chosen, chosen, {}});
    QWidget* owner = nullptr;
    OnNextModal([&](QDialog& box) { owner = box.parentWidget(); box.done(0); });
    window.OpenShelf(home.Path("none"));
    EXPECT_EQ(owner, window.OpenedShelf());
}

// A file manager's files: songs drop in as hard-disk songs do (moved only
// when it asks for a move), one image opens as the floppy, anything else is
// refused whole; songs dragged out carry their files.
TEST_F(WiringTest, FilesFromAFileManagerComeInAndSongsGoOutAsFiles) {
    TestFolder manager("Waltz~=Waltz+/slow", home.Path("Manager"));
    const auto files = [](const std::vector<std::string>& paths) {
        QList<QUrl> urls;
        for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
        auto data = std::make_unique<QMimeData>();
        data->setUrls(urls);
        data->setText(QStringLiteral("text that a file manager adds"));
        return data;
    };
    const std::string before = floppy.Describe();
    const QPoint slot2 = CellCentre(floppyList, 1, 0);
    WriteWhole(manager.Item("notes.txt"), "not a song");
    auto mixed = files({manager.Item("Waltz.b00")});   // a local song with a file from elsewhere: refused whole
    mixed->setUrls(mixed->urls() << QUrl(QStringLiteral("https://example.com/Waltz.EVT")));
    EXPECT_FALSE(Drop(floppyList.viewport(), slot2, *mixed));
    QTest::qWait(20);
    EXPECT_EQ(floppy.Describe(), before) << "a refused drop did nothing";

    // The song file alone brings its companions, in any case; a plain drop copies.
    ASSERT_TRUE(Drop(floppyList.viewport(), slot2, *files({manager.Item("Waltz.b00")})));
    EXPECT_TRUE(QTest::qWaitFor([&] { return floppyList.topLevelItem(1)->text(1) == QStringLiteral("Waltz"); }));
    EXPECT_EQ(floppy.Describe(), "1:Old/keep=Old+ 2:Waltz/slow=Waltz+ 3:Dawn/");
    // All three files with Shift, the file manager's move, onto the tree's song folder.
    ASSERT_TRUE(Drop(tree.viewport(), tree.visualItemRect(tree.currentItem()).center(),
                     *files({manager.Item("Waltz.b00"), manager.Item("Waltz.evt"), manager.Item("Waltz.CMT")}),
                     Qt::ShiftModifier));
    EXPECT_TRUE(QTest::qWaitFor([&] { return songs.Describe() == "Blues=Blues+/live Demo=Demo Waltz=Waltz+/slow"; }));
    EXPECT_EQ(manager.Describe(), " #notes.txt") << "moved, not copied";

    // An image dropped anywhere, here on a list, opens as the floppy.
    TestFloppy image(Medium::Image, "4:Jig/=Jig");
    ASSERT_TRUE(Drop(hardDiskList.viewport(), QPoint(5, 5), *files({image.location()})));
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->CurrentSession().ShownImage() == image.location(); }));
    EXPECT_EQ(floppyList.topLevelItem(3)->text(1), QStringLiteral("Jig"));

    // A drag out: its files are read after the drag call has returned, as
    // another program reads them; a floppy song arrives as a copy named by its title.
    const auto dragOut = [&](SongList& list, int row, Qt::MouseButton button = Qt::LeftButton) {
        const QPoint at = CellCentre(list, row, 0);
        qDeleteAll(list.findChildren<QDrag*>());
        QTest::mousePress(list.viewport(), button, {}, at);
        for (const QPoint to : {at + QPoint(2, 0), at + QPoint(30, 0)}) {   // the view drags on the second move
            QMouseEvent move(QEvent::MouseMove, to, list.viewport()->mapToGlobal(to), Qt::NoButton, button, Qt::NoModifier);
            QApplication::sendEvent(list.viewport(), &move);
        }
        std::vector<std::string> carried;
        for (QDrag* drag : list.findChildren<QDrag*>()) {
            for (const QUrl& url : drag->mimeData()->urls()) carried.push_back(url.toLocalFile().toStdString());
        }
        QTest::mouseRelease(list.viewport(), button, {}, at);
        return carried;
    };
    EXPECT_EQ(dragOut(hardDiskList, 0), (std::vector<std::string>{songs.Item("Blues.B00"), songs.Item("Blues.EVT"), songs.Item("Blues.cmt")}));
    const std::vector<std::string> out = dragOut(floppyList, 3);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(std::filesystem::path(out[1]).filename(), "Jig.cmt");
    EXPECT_TRUE(out[0].ends_with("/Jig.B00") && ReadWhole(out[0]) == image.Open()->ReadFile("MDR_03.B00", 1 << 21));
    // A move out of the floppy would leave the slot: other programs are offered no files to move.
    EXPECT_EQ(dragOut(floppyList, 3, Qt::RightButton), std::vector<std::string>{});
    EXPECT_EQ(dragOut(hardDiskList, 0, Qt::RightButton).size(), 3u) << "a hard-disk song moves as its files";
}

// The shelf opens beside the window, narrowed where the room is short, the window moved aside where
// neither side has room, over it where the screen has none; inside the screen.
TEST(ShelfPlacement, BesideTheWindowAndInsideTheScreen) {
    const QSize shelf(1070, 520);
    for (const auto& [main, screen, mainAfter, placed] : std::vector<std::tuple<QRect, QRect, QRect, QRect>>{
             {{100, 100, 700, 640}, {0, 0, 1920, 1080}, {100, 100, 700, 640}, {800, 100, 1070, 520}},   // room on the right
             {{1000, 500, 700, 560}, {0, 0, 1920, 1080}, {1000, 500, 700, 560}, {0, 500, 1000, 520}},   // on the left, narrowed
             {{450, 180, 700, 640}, {0, 0, 1600, 1000}, {0, 180, 700, 640}, {700, 180, 900, 520}},      // the window moves aside
             {{50, 40, 700, 560}, {0, 0, 800, 600}, {50, 40, 700, 560}, {0, 40, 800, 520}},             // no room: over it
             {{50, 700, 700, 360}, {0, 0, 1920, 1080}, {50, 700, 700, 360}, {750, 560, 1070, 520}}}) {   // raised to stay inside
        const SideBySide at = PlaceBeside(main, shelf, screen);
        EXPECT_EQ(at, (SideBySide{mainAfter, placed})) << main.x() << "," << main.y();
        EXPECT_TRUE(screen.contains(at.main) && screen.contains(at.beside));
    }
}

TEST(FreeSpace, AFigureTooLongForItsPlaceIsShortenedNotCut) {
    const QFontMetrics metrics(DialogFont());
    const int width = DialogUnits(DialogFont()).X(56);
    EXPECT_EQ(FittedFreeSpaceText(1457664, metrics, width), QStringLiteral("空き 1457.66 kb"));
    const QString large = FittedFreeSpaceText(84531179400, metrics, width);
    EXPECT_TRUE(large.endsWith(QStringLiteral(" MB")) || large.endsWith(QStringLiteral(" GB"))) << large.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(large), width);
}

// The desktop's own file dialogs heed case in their patterns: the image filter takes every
// spelling of the two extensions, and nothing else.
TEST(FileDialogs, TheImageFilterTakesEverySpellingOfAnImagesExtension) {
    const QString first = FloppyImageFilter().section(QStringLiteral(";;"), 0, 0);
    const QStringList patterns = first.section(QLatin1Char('('), 1).chopped(1).split(QLatin1Char(' '));
    auto taken = [&](const QString& name) {
        return std::any_of(patterns.begin(), patterns.end(), [&](const QString& pattern) {
            return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern)).match(name).hasMatch();
        });
    };
    for (const char* name : {"a.img", "B.IMG", "c.Img", "d.iMA", "e.ima"}) EXPECT_TRUE(taken(QString::fromLatin1(name))) << name;
    for (const char* name : {"a.imgx", "b.txt", "img", "c.im"}) EXPECT_FALSE(taken(QString::fromLatin1(name))) << name;
}

// Two paintings sampled: the bar's red used share and a button's yellow caption.
TEST(Painting, TheFreeSpaceBarAndAColourButtonShowTheirColours) {
    QImage bar(QSize(101, 13), QImage::Format_RGB32), button(QSize(60, 20), QImage::Format_RGB32);
    bar.fill(Qt::white);
    PaintFreeSpaceBar(*std::make_unique<QPainter>(&bar), bar.size(), 25);   // each painter ends with its line
    EXPECT_EQ(std::pair(bar.pixel(10, 6), bar.pixel(95, 6)), std::pair(qRgb(255, 0, 0), qRgb(0, 0, 0))) << "used, free";
    const ColorButtonLook look{.face = QColor(0, 0, 128), .text = QColor(255, 255, 0), .disabledText = {}, .borderDepth = 2};
    PaintColorButton(*std::make_unique<QPainter>(&button), button.rect(), QStringLiteral("終了"), look);
    EXPECT_EQ(button.pixel(30, 3), qRgb(0, 0, 128));
    int yellow = 0;
    for (int y = 4; y < 16; ++y)
        for (int x = 10; x < 50; ++x) yellow += button.pixel(x, y) == qRgb(255, 255, 0);
    EXPECT_GT(yellow, 10) << "no caption";
}

}  // namespace
}  // namespace tunecrate::testing
