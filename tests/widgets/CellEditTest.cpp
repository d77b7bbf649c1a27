// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>
#include <functional>

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
    for (int column : {1, 3}) {
        SCOPED_TRACE("column " + std::to_string(column));
        const QPoint at = CellPoint(list, 3, column);
        QTest::mousePress(list.viewport(), Qt::LeftButton, Qt::NoModifier, at);
        EXPECT_TRUE(OpenEditors(list).empty()) << "the editor opens on release, not on press";
        QTest::mouseRelease(list.viewport(), Qt::LeftButton, Qt::NoModifier, at);
        InPlaceEdit* edit = OpenEditor(list);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->objectName(), "InPlaceEdit");
        EXPECT_EQ(std::make_pair(edit->row(), edit->column()), std::make_pair(3, column));
        EXPECT_EQ(edit->text(), row3->text(column));
        EXPECT_EQ(edit->selectedText(), row3->text(column)) << "the whole text starts selected";
        EXPECT_EQ(QApplication::focusWidget(), edit);
        const int left = list.columnViewportPosition(column) + 4;
        EXPECT_EQ(edit->geometry(), QRect(left, rowRect.top(),
                                          std::min(list.columnWidth(column) - 3, list.viewport()->width() - left),
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

TEST_F(CellEditTest, ClickOnAnEmptySlotDeselectsItAndCtrlClickIsLeftToTheList) {
    OpenWindow(DemoSlotsWithLineTen());
    SongListCtrl& list = List();
    QTreeWidgetItem* row0 = list.topLevelItem(0);
    QTreeWidgetItem* row3 = list.topLevelItem(3);
    ClickCell(list, 0, 0);
    ASSERT_TRUE(row0->isSelected());

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

    // Ctrl adds a row (had the handler made it the selected row, row 0 would
    // be deselected) and takes a selected one away again.
    ClickCell(list, 0, 0);
    ClickCell(list, 3, 1, Qt::ControlModifier);
    EXPECT_TRUE(row0->isSelected());
    EXPECT_TRUE(row3->isSelected());
    ClickCell(list, 0, 3, Qt::ControlModifier);
    EXPECT_FALSE(row0->isSelected());
    EXPECT_TRUE(row3->isSelected());
    EXPECT_TRUE(OpenEditors(list).empty());
}

TEST_F(CellEditTest, CommentIsWrittenWhenTheEditorLosesTheFocusInAnyWay) {
    OpenWindow(DemoSlotsWithLineTen());
    SongListCtrl& list = List();
    std::vector<std::string> comments = DemoComments();
    auto wheel = [&] {
        const QPointF at = CellPoint(list, 4, 0);
        QWheelEvent event(at, list.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list.viewport(), &event);
    };
    struct Case {
        const char* how;
        int row;
        QString text;
        std::function<void()> leave;
    };
    const std::vector<Case> cases = {
        {"Enter", 3, QStringLiteral("本番 用"), [] { Press(Qt::Key_Return); }},
        {"click on the tree", 0, QStringLiteral("clicked away"),
         [&] { QTest::mouseClick(dialog->folderTree().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5)); }},
        // Tab is no key of the box: the focus moves on.
        {"Tab", 1, QStringLiteral("tabbed"), [] { Press(Qt::Key_Tab); }},
        // Scrolling commits before the rows move under the box.
        {"wheel", 0, QStringLiteral("wheel"), wheel},
        {"scroll bar", 1, QStringLiteral("bar"),
         [&] { list.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        InPlaceEdit* edit = ClickOpenEditor(list, c.row, 3);
        ASSERT_NE(edit, nullptr);
        Type(edit, c.text);
        c.leave();
        ASSERT_TRUE(OpenEditors(list).empty());
        comments[static_cast<std::size_t>(c.row)] = Cp932(c.text.toStdString());
        EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));
        EXPECT_EQ(CellText(c.row, 3), c.text);
        EXPECT_EQ(dialog->SlotRows()[static_cast<std::size_t>(c.row)].comment, comments[static_cast<std::size_t>(c.row)]);
        EXPECT_EQ(Titles(), titlesBefore) << "a comment leaves song.nam alone";
    }
    EXPECT_TRUE(fs::exists(floppy.Path("MDR_00.B00")));
    EXPECT_TRUE(prompter.calls().empty());
}

TEST_F(CellEditTest, OnlyKeysThatBringACharacterWriteAndEscapeThrowsTheTypingAway) {
    OpenWindow(DemoSlotsWithLineTen());
    std::vector<std::string> comments = DemoComments();
    struct Case {
        const char* what;
        int row;
        std::function<void(InPlaceEdit*)> keys;
        std::function<void()> leave;
        QString after;   // the cell's text afterwards
        bool written;    // else the file keeps its bytes
    };
    const std::vector<Case> cases = {
        // Escape in the editor must not reach the window either.
        {"Escape after typing", 0, [](InPlaceEdit* edit) { Type(edit, QStringLiteral("thrown away")); },
         [&] {
             Press(Qt::Key_Escape);
             EXPECT_TRUE(List().hasFocus());
         },
         QStringLiteral("練習用"), false},
        // The prompter has no answer scripted: a deletion question would fail here.
        {"Delete only", 0,
         [&](InPlaceEdit* edit) {
             PressDelete();
             EXPECT_EQ(edit->text(), "") << "Delete removes the selected text in the box";
             EXPECT_TRUE(fs::exists(floppy.Path("MDR_00.B00")));
             EXPECT_TRUE(fs::exists(floppy.Path("MDR_00.EVT")));
             EXPECT_EQ(OpenEditors(List()).size(), 1u);
         },
         [&] { ClickCell(List(), 1, 0); }, QStringLiteral("練習用"), false},
        {"typing, then Backspace back to the old text", 1,
         [](InPlaceEdit* edit) {
             Press(Qt::Key_End);
             Type(edit, QStringLiteral("x"));
             Press(Qt::Key_Backspace);
         },
         [] { Press(Qt::Key_Return); }, QStringLiteral("ピアノ"), true},
        {"Backspace alone", 0,
         [](InPlaceEdit*) {
             Press(Qt::Key_End);
             Press(Qt::Key_Backspace);
         },
         [&] { ClickCell(List(), 3, 0); }, QStringLiteral("練習"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InPlaceEdit* edit = ClickOpenEditor(List(), c.row, 3);
        ASSERT_NE(edit, nullptr);
        c.keys(edit);
        c.leave();
        ASSERT_TRUE(OpenEditors(List()).empty());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(CellText(c.row, 3), c.after);
        comments[static_cast<std::size_t>(c.row)] = Cp932(c.after.toStdString());
        // Once anything is written, line 10 is gone.
        EXPECT_EQ(Comments(), c.written ? ExpectedCommentsFile(comments) : commentsBefore);
        EXPECT_EQ(Titles(), titlesBefore);
    }
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
    struct Case {
        int row;
        QString text;
        std::string stored;
    };
    // A line holds 254 bytes; with one byte in front, 254 would split a character.
    const std::vector<Case> cases = {
        {0, twoHundred, Cp932(QString(127, QChar(0x3042)).toStdString())},
        {3, QStringLiteral("A") + twoHundred, "A" + Cp932(QString(126, QChar(0x3042)).toStdString())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("row " + std::to_string(c.row));
        EditCell(c.row, 3, c.text);
        comments[static_cast<std::size_t>(c.row)] = c.stored;
        EXPECT_EQ(Comments(), ExpectedCommentsFile(comments));
        EXPECT_EQ(CellText(c.row, 3), c.text) << "shown whole until the next reading";
    }
    EXPECT_EQ(CatalogueLine(Comments(), 0).size(), 254u);
    EXPECT_EQ(CatalogueLine(Comments(), 3).size(), 253u);
    EXPECT_TRUE(prompter.calls().empty());
}

TEST_F(CellEditTest, TextWithACharacterTheFloppyCannotHoldIsRefusedNamingIt) {
    OpenWindow(DemoSlotsWithLineTen());
    struct Case {
        int row, column;
        QString text;
        std::string refused;
    };
    const std::vector<Case> cases = {
        {1, 3, QStringLiteral("café"), "é"},
        {0, 1, QStringLiteral("Rain \U0001F600"), "\U0001F600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("column " + std::to_string(c.column));
        const QString shown = CellText(c.row, c.column);
        const std::size_t before = prompter.calls().size();
        prompter.ExpectMessage();
        EditCell(c.row, c.column, c.text);
        prompter.VerifyAllUsed();
        ASSERT_EQ(prompter.calls().size(), before + 1);
        EXPECT_EQ(prompter.calls().back().caption, "Error!");
        EXPECT_THAT(prompter.calls().back().text, HasSubstr(c.refused));
        EXPECT_EQ(CellText(c.row, c.column), shown);
    }
    EXPECT_EQ(dialog->SlotRows()[1].comment, Cp932("ピアノ"));
    EXPECT_EQ(dialog->SlotRows()[0].title, "Blues in F");
    EXPECT_EQ(Comments(), commentsBefore);
    EXPECT_EQ(Titles(), titlesBefore);
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
    EXPECT_THAT(prompter.calls()[0].text, HasSubstr(floppy.path() + "/song.nam"));
    EXPECT_EQ(List().topLevelItemCount(), 0) << "no disk, no rows";
    EXPECT_FALSE(fs::exists(floppy.path()));
}

// The hard-disk list edits only its comment column with the cell editor.
using HardDiskCommentTest = HardDiskEditingTest;

TEST_F(HardDiskCommentTest, CommentIsWrittenExactlyToTheSongsCommentFileWhateverItsCase) {
    MakeFolder("Songs");
    homeFolder.WriteSized("Songs/Blues.B00", 2048);
    homeFolder.Write("Songs/Blues.cmt", "live take\r\n");
    homeFolder.WriteSized("Songs/apple.b00", 100);
    homeFolder.WriteSized("Songs/Jazz.B00", 1024);
    homeFolder.Write("Songs/Jazz.CMT", "old");
    OpenWindow("Songs");
    ASSERT_EQ(Titles(), (QStringList{"apple", "Blues", "Jazz"}));
    SongListCtrl& list = List();

    for (int column : {0, 1}) {
        ClickCell(list, 1, 0);
        ClickCell(list, 1, column);
        EXPECT_TRUE(OpenEditors(list).empty()) << "column " << column;
    }
    struct Case {
        int row;
        QString text;
        std::string file, bytes;   // CP932, no line end
    };
    const std::vector<Case> cases = {
        {1, QStringLiteral("二回目 の録音"), "Blues.cmt", Cp932("二回目 の録音")},
        {0, QStringLiteral("new"), "apple.cmt", "new"},   // made under the song's title
        {2, QStringLiteral("swing"), "Jazz.CMT", "swing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        InPlaceEdit* edit = ClickOpenEditor(list, c.row, 2);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->x(), list.columnViewportPosition(2) + 4);
        Type(edit, c.text);
        Press(Qt::Key_Return);
        EXPECT_EQ(FileBytes(Folder("Songs/" + c.file)), c.bytes);
        EXPECT_EQ(list.topLevelItem(c.row)->text(2), c.text);
    }
    EXPECT_EQ(FilesIn("Songs"), (std::vector<std::string>{"Blues.B00", "Blues.cmt", "Jazz.B00", "Jazz.CMT",
                                                          "apple.b00", "apple.cmt"}));
    EXPECT_TRUE(prompter.calls().empty());
}

}  // namespace
}  // namespace tunecrate::testing
