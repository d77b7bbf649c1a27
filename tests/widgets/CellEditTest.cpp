// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>

#include "ListEditing.h"

namespace tunecrate::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

using CellEditTest = FloppyEditingTest;

TEST_F(CellEditTest, FirstClickFocusesTheRowAndTheNextOpensAnEditorOverTitleOrComment) {
    OpenWindow(DemoSlotsWithLineTen());
    SongListCtrl& list = List();
    QTreeWidgetItem* row3 = list.topLevelItem(3);
    ASSERT_NE(list.currentItem(), row3);

    ClickCell(list, 3, 1);
    EXPECT_EQ(list.currentItem(), row3);
    EXPECT_TRUE(row3->isSelected());
    EXPECT_TRUE(OpenEditors(list).empty()) << "a click on a row without the focus opens no editor";

    const QRect rowRect = list.visualItemRect(row3);
    const int viewportWidth = list.viewport()->width();
    for (int column : {1, 3}) {
        SCOPED_TRACE("column " + std::to_string(column));
        ClickCell(list, 3, column);
        InPlaceEdit* edit = OpenEditor(list);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->objectName(), "InPlaceEdit");
        EXPECT_EQ(edit->row(), 3);
        EXPECT_EQ(edit->column(), column);
        EXPECT_EQ(edit->text(), row3->text(column));
        EXPECT_EQ(edit->selectedText(), row3->text(column)) << "the whole text starts selected";
        EXPECT_EQ(QApplication::focusWidget(), edit);
        const int left = list.columnViewportPosition(column) + 4;
        EXPECT_EQ(edit->geometry(), QRect(left, rowRect.top(), std::min(list.columnWidth(column) - 3, viewportWidth - left),
                                          rowRect.height()));
        Press(Qt::Key_Escape);
        EXPECT_TRUE(OpenEditors(list).empty());
    }

    // Number and size are no editable cells, even on the focused row.
    for (int column : {0, 2}) {
        ClickCell(list, 3, column);
        EXPECT_TRUE(OpenEditors(list).empty()) << "column " << column;
        EXPECT_EQ(list.currentItem(), row3);
    }
    EXPECT_EQ(Titles(), titlesBefore);
    EXPECT_EQ(Comments(), commentsBefore);
}

TEST_F(CellEditTest, ClickOnAnEmptySlotDeselectsItAndOpensNothing) {
    OpenWindow(DemoSlotsWithLineTen());
    SongListCtrl& list = List();
    ClickCell(list, 0, 0);
    ASSERT_TRUE(list.topLevelItem(0)->isSelected());

    // Slot 3 has no files; slot 5 has an events file and a comment but no song.
    for (int row : {2, 4}) {
        for (int column : {1, 3}) {
            SCOPED_TRACE("row " + std::to_string(row) + " column " + std::to_string(column));
            ClickCell(list, row, column);
            ClickCell(list, row, column);   // even once it is the current row
            EXPECT_FALSE(list.topLevelItem(row)->isSelected());
            EXPECT_TRUE(OpenEditors(list).empty());
        }
    }
}

TEST_F(CellEditTest, CtrlClickLeavesTheSelectionToTheListsOwnHandling) {
    OpenWindow(DemoSlotsWithLineTen());
    SongListCtrl& list = List();
    QTreeWidgetItem* row0 = list.topLevelItem(0);
    QTreeWidgetItem* row3 = list.topLevelItem(3);
    ClickCell(list, 0, 0);
    ASSERT_EQ(list.currentItem(), row0);

    // Ctrl adds a row: had the handler made it the selected row, row 0 would
    // have lost its selection.
    ClickCell(list, 3, 1, Qt::ControlModifier);
    EXPECT_TRUE(row0->isSelected());
    EXPECT_TRUE(row3->isSelected());
    EXPECT_TRUE(OpenEditors(list).empty());

    // Ctrl takes a selected row away again, and no handler puts it back.
    ClickCell(list, 0, 3, Qt::ControlModifier);
    EXPECT_FALSE(row0->isSelected());
    EXPECT_TRUE(row3->isSelected());
    EXPECT_TRUE(OpenEditors(list).empty());
}

TEST_F(CellEditTest, ACommentIsWrittenWhenTheEditorLosesTheFocusByEnterClickOrTab) {
    OpenWindow(DemoSlotsWithLineTen());
    std::vector<std::string> comments = DemoComments();

    EditCell(3, 3, QStringLiteral("本番 用"));
    comments[3] = Cp932("本番 用");
    EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));
    EXPECT_EQ(CellText(3, 3), "本番 用");
    EXPECT_EQ(dialog->SlotRows()[3].comment, comments[3]);
    EXPECT_EQ(Titles(), titlesBefore) << "a comment leaves song.nam alone";

    // A click into another control.
    InPlaceEdit* edit = ClickOpenEditor(List(), 0, 3);
    ASSERT_NE(edit, nullptr);
    Type(edit, QStringLiteral("clicked away"));
    QTest::mouseClick(dialog->folderTree().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    ASSERT_TRUE(OpenEditors(List()).empty());
    comments[0] = "clicked away";
    EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));

    // Tab is no key of the box: the focus moves on and the edit ends.
    edit = ClickOpenEditor(List(), 1, 3);
    ASSERT_NE(edit, nullptr);
    Type(edit, QStringLiteral("tabbed"));
    Press(Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), edit);
    ASSERT_TRUE(OpenEditors(List()).empty());
    comments[1] = "tabbed";
    EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));
    EXPECT_TRUE(fs::exists(floppy.Path("MDR_00.B00")));
    EXPECT_TRUE(prompter.calls().empty());
}

TEST_F(CellEditTest, EscapeAfterTypingWritesNothingAndKeepsTheWindowOpen) {
    OpenWindow(DemoSlotsWithLineTen());
    InPlaceEdit* edit = ClickOpenEditor(List(), 0, 3);
    ASSERT_NE(edit, nullptr);
    Type(edit, QStringLiteral("thrown away"));
    Press(Qt::Key_Escape);

    EXPECT_TRUE(dialog->isVisible()) << "Escape in the editor must not reach the window";
    EXPECT_TRUE(OpenEditors(List()).empty());
    EXPECT_TRUE(List().hasFocus());
    EXPECT_EQ(CellText(0, 3), "練習用");
    EXPECT_EQ(Comments(), commentsBefore);
    EXPECT_EQ(Titles(), titlesBefore);
}

TEST_F(CellEditTest, DeleteKeyInTheEditorRemovesTextButNoSongAndCountsAsNoTyping) {
    OpenWindow(DemoSlotsWithLineTen());
    InPlaceEdit* edit = ClickOpenEditor(List(), 0, 3);
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(List().topLevelItem(0)->isSelected());

    // The prompter has no answer scripted: a deletion question would fail here.
    PressDelete();
    EXPECT_EQ(edit->text(), "") << "Delete removes the selected text in the box";
    EXPECT_TRUE(prompter.calls().empty());
    EXPECT_TRUE(fs::exists(floppy.Path("MDR_00.B00")));
    EXPECT_TRUE(fs::exists(floppy.Path("MDR_00.EVT")));
    EXPECT_EQ(OpenEditors(List()).size(), 1u);

    // Only deleted, never typed: leaving the box writes nothing.
    ClickCell(List(), 1, 0);
    EXPECT_NE(QApplication::focusWidget(), edit);
    EXPECT_TRUE(OpenEditors(List()).empty());
    EXPECT_EQ(CellText(0, 3), "練習用");
    EXPECT_EQ(Comments(), commentsBefore);
    EXPECT_EQ(Titles(), titlesBefore);
}

TEST_F(CellEditTest, TypingAndThenRestoringTheOldTextStillWrites) {
    OpenWindow(DemoSlotsWithLineTen());
    InPlaceEdit* edit = ClickOpenEditor(List(), 1, 3);
    ASSERT_NE(edit, nullptr);
    Press(Qt::Key_End);
    Type(edit, QStringLiteral("x"));
    Press(Qt::Key_Backspace);
    ASSERT_EQ(edit->text(), "ピアノ");
    Press(Qt::Key_Return);

    // Same comments, but rewritten: line 10 is gone.
    EXPECT_NE(Comments(), commentsBefore);
    EXPECT_EQ(Comments(), ExpectedCommentsFile(DemoComments()));
    EXPECT_EQ(Titles(), titlesBefore);

    // Backspace alone brings a character too.
    edit = ClickOpenEditor(List(), 0, 3);
    ASSERT_NE(edit, nullptr);
    Press(Qt::Key_End);
    Press(Qt::Key_Backspace);
    ClickCell(List(), 3, 0);
    ASSERT_TRUE(OpenEditors(List()).empty());
    std::vector<std::string> comments = DemoComments();
    comments[0] = Cp932("練習");
    EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));
}

TEST_F(CellEditTest, EditorWidensUpToTheListsRightEdgeAndNeverNarrows) {
    OpenWindow(DemoSlotsWithLineTen());
    SongListCtrl& list = List();
    InPlaceEdit* edit = ClickOpenEditor(list, 0, 1);
    ASSERT_NE(edit, nullptr);
    const QRect start = edit->geometry();
    const int rightEdge = list.viewport()->width();

    Press(Qt::Key_End);
    Type(edit, QStringLiteral(" and a longer name"));
    const int textWidth = edit->fontMetrics().horizontalAdvance(edit->text());
    ASSERT_GT(textWidth + 5, start.width()) << "the text must outgrow the box";
    ASSERT_LT(start.x() + textWidth + 20, rightEdge) << "the text must not yet reach the list's edge";
    QRect now = edit->geometry();
    EXPECT_GE(now.width(), textWidth + 5);
    EXPECT_LT(now.right(), rightEdge - 1);
    EXPECT_EQ(now.topLeft(), start.topLeft());
    EXPECT_EQ(now.height(), start.height());

    Type(edit, QString(60, QLatin1Char('w')));
    now = edit->geometry();
    EXPECT_EQ(now.x() + now.width(), rightEdge) << "widened exactly to the list's right edge";
    EXPECT_EQ(now.topLeft(), start.topLeft());

    // Emptied with Backspace, a character: the box stays as wide.
    Press(Qt::Key_Home);
    Press(Qt::Key_End, Qt::ShiftModifier);
    Press(Qt::Key_Backspace);
    ASSERT_EQ(edit->text(), "");
    EXPECT_EQ(edit->geometry(), now);

    Press(Qt::Key_Escape);
    EXPECT_EQ(Titles(), titlesBefore);
}

TEST_F(CellEditTest, ScrollingTheListCommitsTheOpenEditorFirst) {
    OpenWindow(DemoSlotsWithLineTen());
    SongListCtrl& list = List();
    std::vector<std::string> comments = DemoComments();

    InPlaceEdit* edit = ClickOpenEditor(list, 0, 3);
    ASSERT_NE(edit, nullptr);
    Type(edit, QStringLiteral("wheel"));
    const QPointF at = CellPoint(list, 4, 0);
    QWheelEvent wheel(at, list.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(list.viewport(), &wheel);
    EXPECT_TRUE(OpenEditors(list).empty());
    EXPECT_TRUE(list.hasFocus());
    comments[0] = "wheel";
    EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));

    edit = ClickOpenEditor(list, 1, 3);
    ASSERT_NE(edit, nullptr);
    Type(edit, QStringLiteral("bar"));
    list.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_TRUE(OpenEditors(list).empty());
    comments[1] = "bar";
    EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));
}

TEST_F(CellEditTest, AtMostOneEditorIsOpen) {
    OpenWindow(DemoSlotsWithLineTen());
    SongListCtrl& list = List();
    QPointer<InPlaceEdit> first = ClickOpenEditor(list, 0, 1);
    ASSERT_NE(first, nullptr);

    ClickCell(list, 0, 3);
    ASSERT_EQ(OpenEditors(list).size(), 1u);
    EXPECT_EQ(OpenEditors(list).front()->column(), 3);
    EXPECT_EQ(LiveEditorCount(list), 1);
    EXPECT_TRUE(first.isNull()) << "the editor that lost the focus deletes itself";

    InPlaceEdit* third = list.BeginCellEdit(3, 1);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(OpenEditors(list), std::vector<InPlaceEdit*>{third});
    EXPECT_EQ(LiveEditorCount(list), 1);
    Press(Qt::Key_Escape);
    EXPECT_EQ(LiveEditorCount(list), 0);
}

TEST_F(CellEditTest, LongFloppyCommentIsStoredCutOnAWholeCharacter) {
    OpenWindow(DemoSlotsWithLineTen());
    const QString twoHundred(200, QChar(0x3042));   // あ, two bytes each
    std::vector<std::string> comments = DemoComments();

    EditCell(0, 3, twoHundred);
    comments[0] = Cp932(QString(127, QChar(0x3042)).toStdString());
    EXPECT_EQ(CatalogueLine(Comments(), 0).size(), 254u);
    EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));
    EXPECT_EQ(CellText(0, 3), twoHundred) << "shown whole until the next reading";

    // One byte in front: 254 bytes would split a character, so 253 are kept.
    EditCell(3, 3, QStringLiteral("A") + twoHundred);
    comments[3] = "A" + Cp932(QString(126, QChar(0x3042)).toStdString());
    EXPECT_EQ(CatalogueLine(Comments(), 3).size(), 253u);
    EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));
    EXPECT_TRUE(prompter.calls().empty());
}

TEST_F(CellEditTest, CommentWithACharacterTheFloppyCannotHoldIsRefused) {
    OpenWindow(DemoSlotsWithLineTen());
    prompter.ExpectMessage();
    EditCell(1, 3, QStringLiteral("café"));
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_THAT(prompter.calls()[0].text, HasSubstr("é"));
    EXPECT_EQ(CellText(1, 3), "ピアノ");
    EXPECT_EQ(dialog->SlotRows()[1].comment, Cp932("ピアノ"));
    EXPECT_EQ(Comments(), commentsBefore);
}

TEST_F(CellEditTest, FailedCommentWriteIsReportedAndTheListShowsTheDisk) {
    OpenWindow(DemoSlotsWithLineTen());
    InPlaceEdit* edit = ClickOpenEditor(List(), 0, 3);
    ASSERT_NE(edit, nullptr);
    Type(edit, QStringLiteral("lost"));
    // The disk is taken out while the comment is being typed.
    fs::remove_all(floppy.path());
    prompter.ExpectMessage();
    Press(Qt::Key_Return);
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_THAT(prompter.calls()[0].text, HasSubstr(floppy.path() + "/comments.dat"));
    EXPECT_EQ(List().topLevelItemCount(), 0) << "no disk, no rows";
    EXPECT_FALSE(fs::exists(floppy.path()));
}

// The hard-disk list edits only its comment column with the cell editor.
class HardDiskCommentTest : public HardDiskEditingTest {
protected:
    void SetUp() override {
        HardDiskEditingTest::SetUp();
        MakeFolder("Songs");
        homeFolder.WriteSized("Songs/Blues.B00", 2048);
        homeFolder.WriteSized("Songs/Blues.EVT", 1024);
        homeFolder.Write("Songs/Blues.cmt", "live take\r\n");
        homeFolder.WriteSized("Songs/apple.b00", 100);
    }
};

TEST_F(HardDiskCommentTest, CommentIsWrittenToTheSongsCommentFileExactly) {
    OpenWindow("Songs");
    ASSERT_EQ(Titles(), (QStringList{"apple", "Blues"}));
    SongListCtrl& list = List();

    for (int column : {0, 1}) {
        ClickCell(list, 1, 0);
        ClickCell(list, 1, column);
        EXPECT_TRUE(OpenEditors(list).empty()) << "column " << column;
    }
    InPlaceEdit* edit = ClickOpenEditor(list, 1, 2);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->x(), list.columnViewportPosition(2) + 4);
    Type(edit, QStringLiteral("二回目 の録音"));
    Press(Qt::Key_Return);
    EXPECT_EQ(FileBytes(Folder("Songs/Blues.cmt")), Cp932("二回目 の録音")) << "CP932, no line end";
    EXPECT_EQ(list.topLevelItem(1)->text(2), "二回目 の録音");

    // A song without a comment file gets one under its title.
    edit = ClickOpenEditor(list, 0, 2);
    ASSERT_NE(edit, nullptr);
    Type(edit, QStringLiteral("new"));
    Press(Qt::Key_Return);
    EXPECT_EQ(FileBytes(Folder("Songs/apple.cmt")), "new");
    EXPECT_EQ(FilesIn("Songs"), (std::vector<std::string>{"Blues.B00", "Blues.EVT", "Blues.cmt", "apple.b00",
                                                          "apple.cmt"}));
    EXPECT_TRUE(prompter.calls().empty());
}

TEST_F(HardDiskCommentTest, CommentGoesIntoAnUpperCaseCommentFile) {
    MakeFolder("Upper");
    homeFolder.WriteSized("Upper/Jazz.B00", 1024);
    homeFolder.Write("Upper/Jazz.CMT", "old");
    OpenWindow("Upper");
    ASSERT_EQ(Titles(), QStringList{"Jazz"});

    InPlaceEdit* edit = ClickOpenEditor(List(), 0, 2);
    ASSERT_NE(edit, nullptr);
    Type(edit, QStringLiteral("swing"));
    Press(Qt::Key_Return);
    EXPECT_EQ(FileBytes(Folder("Upper/Jazz.CMT")), "swing");
    EXPECT_EQ(FilesIn("Upper"), (std::vector<std::string>{"Jazz.B00", "Jazz.CMT"}));
}

}  // namespace
}  // namespace tunecrate::testing
