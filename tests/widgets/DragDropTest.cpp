// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <filesystem>

#include "FakePrompter.h"
#include "TestFloppy.h"
#include "app/MainDialog.h"
#include "core/DragPayload.h"
#include "transfer/DropGlue.h"

namespace tunecrate::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

QMimeData* TextData(const std::string& bytes) {
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), QByteArray(bytes.data(), static_cast<int>(bytes.size())));
    return data;
}

// A window over a temporary home with a Songs folder (selected) and a demo
// floppy, as a user sees it when a drag begins.
class DragDropTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = fs::canonical(folder.path()).string();
        fs::create_directories(home + "/Songs");
        fs::create_directories(home + "/Archive");
        folder.Write("Songs/Blues.B00", "blues song");
        folder.Write("Songs/Blues.EVT", "blues events");
        folder.Write("Songs/Blues.cmt", "live take");
        folder.Write("Songs/Demo.b00", "demo song");
        WriteFloppy(floppy, DemoSlots());
        MainDialogOptions options;
        options.home = home;
        options.workingDirectory = home + "/Songs";
        options.floppy = floppy.path();
        options.mountTable = [] { return std::vector<MountEntry>{}; };
        dialog = std::make_unique<MainDialog>(options);
        dialog->setPrompter(&prompter);
        dialog->show();
        dialog->FirstFill();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    // Enter, move and drop at `point` of the widget's viewport, then let the
    // transfer that runs after the drag finish.
    static bool DragTo(QAbstractItemView& view, const QPoint& point, QMimeData* data, Qt::DropActions allowed,
                       Qt::MouseButtons buttons) {
        QWidget* target = view.viewport();
        QDragEnterEvent enter(point, allowed, data, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDragMoveEvent move(point, allowed, data, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        if (!move.isAccepted()) return false;
        QDropEvent drop(QPointF(point), allowed, data, Qt::NoButton, Qt::NoModifier);
        drop.setDropAction(move.dropAction());
        QApplication::sendEvent(target, &drop);
        QCoreApplication::processEvents();
        return drop.isAccepted();
    }

    QPoint FloppyRowPoint(int row) {
        SongListCtrl& list = dialog->floppyList();
        return list.visualItemRect(list.topLevelItem(row)).center();
    }

    TempFolder folder;
    TempFolder floppy;
    std::string home;
    FakePrompter prompter;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(DragDropTest, PayloadNamesTheSelectedRowsInOrder) {
    SongListCtrl& hd = dialog->hardDiskList();
    ASSERT_EQ(hd.topLevelItemCount(), 2);
    hd.topLevelItem(1)->setSelected(true);
    hd.topLevelItem(0)->setSelected(true);
    const QByteArray hdPayload = BuildDragPayload(hd);
    const std::string expected = "HD\n" + home + "/Songs/Blues\n" + home + "/Songs/Demo\n";
    EXPECT_EQ(hdPayload.toStdString(), expected + std::string(1, '\0'));

    SongListCtrl& fd = dialog->floppyList();
    for (int row : {0, 2, 3}) fd.topLevelItem(row)->setSelected(true);   // row 2 is an empty slot
    EXPECT_EQ(BuildDragPayload(fd).toStdString(), std::string("FD\n0\n3\n") + '\0');
}

TEST_F(DragDropTest, DraggingOverTheFloppyListHighlightsOneSlot) {
    SongListCtrl& list = dialog->floppyList();
    QMimeData* data = TextData(BuildPayload("HD", {}));
    const QPoint point = FloppyRowPoint(3);
    QDragEnterEvent enter(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDragMoveEvent move(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    ASSERT_EQ(list.selectedItems().size(), 1);
    EXPECT_EQ(list.selectedItems().front(), list.topLevelItem(3));
    EXPECT_EQ(list.currentItem(), list.topLevelItem(3));

    // Below the last row nothing new is highlighted.
    const QPoint below(10, list.visualItemRect(list.topLevelItem(4)).bottom() + 30);
    QDragMoveEvent under(below, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &under);
    EXPECT_EQ(list.selectedItems().front(), list.topLevelItem(3));
    QDragLeaveEvent leave;
    QApplication::sendEvent(list.viewport(), &leave);
    delete data;
}

TEST_F(DragDropTest, LeftDropOnAnEmptySlotCopiesTheSong) {
    QMimeData* data = TextData(BuildPayload("HD", {home + "/Songs/Blues"}));
    ASSERT_TRUE(DragTo(dialog->floppyList(), FloppyRowPoint(2), data, Qt::CopyAction, Qt::LeftButton));
    EXPECT_EQ(ReadAll(floppy.Path("MDR_02.B00")), "blues song");
    EXPECT_EQ(ReadAll(floppy.Path("MDR_02.EVT")), "blues events");
    EXPECT_TRUE(fs::exists(home + "/Songs/Blues.B00"));   // a copy keeps its source
    // The list shows what the disk now holds.
    EXPECT_EQ(dialog->floppyList().topLevelItem(2)->text(1), "Blues");
    EXPECT_EQ(dialog->floppyList().topLevelItem(2)->text(3), "live");
    delete data;
}

TEST_F(DragDropTest, OverwriteDeclinedLeavesTheSlot) {
    const std::string before = ReadAll(floppy.Path("MDR_00.B00"));
    prompter.ExpectYesNo(false);
    QMimeData* data = TextData(BuildPayload("HD", {home + "/Songs/Blues"}));
    DragTo(dialog->floppyList(), FloppyRowPoint(0), data, Qt::CopyAction, Qt::LeftButton);
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "曲番号1 はすでに存在します。上書きしますか？");
    EXPECT_EQ(prompter.calls()[0].caption, "Overwrite?");
    EXPECT_EQ(ReadAll(floppy.Path("MDR_00.B00")), before);
    delete data;
}

TEST_F(DragDropTest, RightDropOnATreeFolderMovesTheFloppySong) {
    FolderTree& tree = dialog->folderTree();
    QTreeWidgetItem* archive = nullptr;
    QTreeWidgetItem* homeItem = tree.currentItem()->parent();
    for (int i = 0; i < homeItem->childCount(); ++i) {
        if (homeItem->child(i)->text(0) == "Archive") archive = homeItem->child(i);
    }
    ASSERT_NE(archive, nullptr);
    const std::string song = ReadAll(floppy.Path("MDR_03.B00"));
    QMimeData* data = TextData(BuildPayload("FD", {"3"}));
    ASSERT_TRUE(DragTo(tree, tree.visualItemRect(archive).center(), data, Qt::MoveAction, Qt::RightButton));
    EXPECT_EQ(ReadAll(home + "/Archive/さくらさくら.B00"), song);
    EXPECT_TRUE(fs::exists(home + "/Archive/さくらさくら.EVT"));
    EXPECT_EQ(ReadAll(home + "/Archive/さくらさくら.cmt"), Cp932("春の演奏会"));
    EXPECT_FALSE(fs::exists(floppy.Path("MDR_03.B00")));
    EXPECT_EQ(dialog->floppyList().topLevelItem(3)->text(2), "----");   // reread: the slot is empty
    delete data;
}

TEST_F(DragDropTest, DropsThatNameNoSongChangeNothing) {
    const std::string titles = ReadAll(floppy.Path("song.nam"));
    // Text from another program, and a drop below the last floppy row.
    QMimeData* text = TextData("hello\nworld\n");
    DragTo(dialog->floppyList(), FloppyRowPoint(2), text, Qt::CopyAction | Qt::MoveAction, Qt::LeftButton);
    DragTo(dialog->hardDiskList(), QPoint(20, 20), text, Qt::CopyAction | Qt::MoveAction, Qt::LeftButton);
    QMimeData* songs = TextData(BuildPayload("HD", {home + "/Songs/Blues"}));
    SongListCtrl& list = dialog->floppyList();
    const QPoint below(10, list.visualItemRect(list.topLevelItem(4)).bottom() + 30);
    EXPECT_FALSE(DragTo(list, below, songs, Qt::CopyAction, Qt::LeftButton));
    EXPECT_EQ(ReadAll(floppy.Path("song.nam")), titles);
    EXPECT_FALSE(fs::exists(floppy.Path("MDR_02.B00")));
    EXPECT_TRUE(prompter.calls().empty());
    delete text;
    delete songs;
}

TEST(DropActionTest, LeftCopiesRightMoves) {
    EXPECT_EQ(ChooseDropAction(Qt::CopyAction, Qt::LeftButton), Qt::CopyAction);
    EXPECT_EQ(ChooseDropAction(Qt::CopyAction, Qt::LeftButton | Qt::RightButton), Qt::CopyAction);
    EXPECT_EQ(ChooseDropAction(Qt::MoveAction, Qt::RightButton), Qt::MoveAction);
    EXPECT_EQ(ChooseDropAction(Qt::MoveAction, Qt::LeftButton), Qt::MoveAction);
    EXPECT_EQ(ChooseDropAction(Qt::CopyAction | Qt::MoveAction, Qt::RightButton), Qt::CopyAction);
    EXPECT_EQ(ChooseDropAction(Qt::LinkAction, Qt::LeftButton), Qt::IgnoreAction);
}

}  // namespace
}  // namespace tunecrate::testing
