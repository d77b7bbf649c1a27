// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <filesystem>
#include <memory>

#include "ListEditing.h"
#include "core/text/DragPayload.h"
#include "transfer/DropGlue.h"

namespace tunecrate::testing {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<QMimeData> TextData(const std::string& bytes) {
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("text/plain"), QByteArray(bytes.data(), static_cast<int>(bytes.size())));
    return data;
}

// A window over a home with a Songs folder (selected) and an Archive folder,
// and the demo floppy, as a user sees it when a drag begins.
class DragDropTest : public FloppyEditingTest {
protected:
    void SetUp() override {
        fs::create_directories(home.Path("Songs"));
        fs::create_directories(home.Path("Archive"));
        home.Write("Songs/Blues.B00", "blues song");
        home.Write("Songs/Blues.EVT", "blues events");
        home.Write("Songs/Blues.cmt", "live take");
        home.Write("Songs/Demo.b00", "demo song");
        OpenWindow(DemoSlots());
        ASSERT_TRUE(dialog->folderTree().SelectPath(Songs()));
    }
    std::string Songs() const { return home.Path("Songs"); }

    // Enter, move and drop at `point` of the widget's viewport, then let the
    // transfer that runs after the drag finish.
    static bool DragTo(QAbstractItemView& view, const QPoint& point, const std::string& payload,
                       Qt::DropActions allowed = Qt::CopyAction, Qt::MouseButtons buttons = Qt::LeftButton) {
        const auto data = TextData(payload);
        QWidget* target = view.viewport();
        QDragEnterEvent enter(point, allowed, data.get(), buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDragMoveEvent move(point, allowed, data.get(), buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        if (!move.isAccepted()) return false;
        QDropEvent drop(QPointF(point), allowed, data.get(), Qt::NoButton, Qt::NoModifier);
        drop.setDropAction(move.dropAction());
        QApplication::sendEvent(target, &drop);
        QCoreApplication::processEvents();
        return drop.isAccepted();
    }

    QPoint FloppyRowPoint(int row) { return List().visualItemRect(List().topLevelItem(row)).center(); }
    QPoint BelowTheLastFloppyRow() { return {10, List().visualItemRect(List().topLevelItem(4)).bottom() + 30}; }

};

TEST_F(DragDropTest, PayloadNamesTheSelectedRowsInOrder) {
    SongListCtrl& hd = dialog->hardDiskList();
    ASSERT_EQ(hd.topLevelItemCount(), 2);
    hd.topLevelItem(1)->setSelected(true);
    hd.topLevelItem(0)->setSelected(true);
    EXPECT_EQ(BuildDragPayload(hd).toStdString(),
              "HD\n" + Songs() + "/Blues\n" + Songs() + "/Demo\n" + std::string(1, '\0'));

    for (int row : {0, 2, 3}) List().topLevelItem(row)->setSelected(true);   // row 2 is an empty slot
    EXPECT_EQ(BuildDragPayload(List()).toStdString(), std::string("FD\n0\n3\n") + '\0');
}

TEST_F(DragDropTest, DraggingOverTheFloppyListHighlightsOneSlot) {
    SongListCtrl& list = List();
    const auto data = TextData(BuildPayload("HD", {}));
    auto moveTo = [&](const QPoint& point) {
        QDragMoveEvent move(point, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &move);
        return move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
    };
    QDragEnterEvent enter(FloppyRowPoint(3), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    EXPECT_EQ(moveTo(FloppyRowPoint(3)), Qt::CopyAction);
    EXPECT_EQ(list.selectedItems(), QList<QTreeWidgetItem*>{list.topLevelItem(3)});
    EXPECT_EQ(list.currentItem(), list.topLevelItem(3));

    // Below the last row nothing new is highlighted.
    moveTo(BelowTheLastFloppyRow());
    EXPECT_EQ(list.selectedItems(), QList<QTreeWidgetItem*>{list.topLevelItem(3)});
    QDragLeaveEvent leave;
    QApplication::sendEvent(list.viewport(), &leave);
}

TEST_F(DragDropTest, LeftDropOnAnEmptySlotCopiesTheSong) {
    ASSERT_TRUE(DragTo(List(), FloppyRowPoint(2), BuildPayload("HD", {Songs() + "/Blues"})));
    EXPECT_EQ(FileBytes(floppy.Path("MDR_02.B00")), "blues song");
    EXPECT_EQ(FileBytes(floppy.Path("MDR_02.EVT")), "blues events");
    EXPECT_TRUE(fs::exists(Songs() + "/Blues.B00"));   // a copy keeps its source
    // The list shows what the disk now holds.
    EXPECT_EQ(List().topLevelItem(2)->text(1), "Blues");
    EXPECT_EQ(List().topLevelItem(2)->text(3), "live");
}

TEST_F(DragDropTest, OverwriteDeclinedLeavesTheSlot) {
    const std::string before = FileBytes(floppy.Path("MDR_00.B00"));
    prompter.ExpectYesNo(false);
    DragTo(List(), FloppyRowPoint(0), BuildPayload("HD", {Songs() + "/Blues"}));
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "曲番号1 はすでに存在します。上書きしますか？");
    EXPECT_EQ(prompter.calls()[0].caption, "Overwrite?");
    EXPECT_EQ(FileBytes(floppy.Path("MDR_00.B00")), before);
}

TEST_F(DragDropTest, RightDropOnATreeFolderMovesTheFloppySong) {
    FolderTree& tree = dialog->folderTree();
    QTreeWidgetItem* homeItem = tree.currentItem()->parent();
    QTreeWidgetItem* archive = nullptr;
    for (int i = 0; i < homeItem->childCount(); ++i) {
        if (homeItem->child(i)->text(0) == "Archive") archive = homeItem->child(i);
    }
    ASSERT_NE(archive, nullptr);
    const std::string song = FileBytes(floppy.Path("MDR_03.B00"));
    ASSERT_TRUE(DragTo(tree, tree.visualItemRect(archive).center(), BuildPayload("FD", {"3"}), Qt::MoveAction,
                       Qt::RightButton));
    EXPECT_EQ(FileBytes(home.Path("Archive") + "/さくらさくら.B00"), song);
    EXPECT_TRUE(fs::exists(home.Path("Archive") + "/さくらさくら.EVT"));
    EXPECT_EQ(FileBytes(home.Path("Archive") + "/さくらさくら.cmt"), Cp932("春の演奏会"));
    EXPECT_FALSE(fs::exists(floppy.Path("MDR_03.B00")));
    EXPECT_EQ(List().topLevelItem(3)->text(2), "----");   // reread: the slot is empty
}

TEST_F(DragDropTest, DropsThatNameNoSongChangeNothing) {
    // Text from another program, and a drop below the last floppy row.
    DragTo(List(), FloppyRowPoint(2), "hello\nworld\n", Qt::CopyAction | Qt::MoveAction);
    DragTo(dialog->hardDiskList(), QPoint(20, 20), "hello\nworld\n", Qt::CopyAction | Qt::MoveAction);
    EXPECT_FALSE(DragTo(List(), BelowTheLastFloppyRow(), BuildPayload("HD", {Songs() + "/Blues"})));
    EXPECT_EQ(Titles(), titlesBefore);
    EXPECT_FALSE(fs::exists(floppy.Path("MDR_02.B00")));
    EXPECT_TRUE(prompter.calls().empty());
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
