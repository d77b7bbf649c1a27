// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QRawFont>
#include <QTreeWidget>
#include <vector>

#include "ExpectedUnits.h"
#include "FakePrompter.h"
#include "TestFloppy.h"
#include "app/GroupFrame.h"
#include "app/MainDialog.h"

namespace tunecrate::testing {
namespace {

// The window's layout in dialog units: left, top, width, height.
struct Placement {
    const char* name;
    int left, top, width, height;
    bool frame = false;
    bool hidden = false;
};

const std::vector<Placement> kPlacements = {
    {"hardDiskFrame", 8, 7, 218, 369, true},
    {"folderLabel", 41, 21, 171, 8},
    {"folderTree", 14, 33, 207, 132},
    {"fileLabel", 95, 169, 40, 8},
    {"hardDiskList", 13, 181, 207, 187},
    {"floppyFrame", 231, 58, 217, 318, true},
    {"reloadButton", 237, 72, 39, 14},
    {"freeSpaceBar", 279, 73, 101, 13},
    {"freeSpaceText", 383, 76, 56, 10},
    {"floppyList", 237, 89, 204, 280},
    {"logo", 274, 17, 98, 25},
    {"versionText", 267, 46, 108, 8},
    {"exitButton", 414, 45, 35, 14},
    {"helpButton", 414, 26, 35, 14, false, true},
    {"customizeButton", 414, 7, 35, 14, false, true},
};

QRect DluRect(const Placement& p) { return QRect(p.left, p.top, p.width, p.height); }

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : dialog(OptionsWithoutMounts()) { dialog.setPrompter(&prompter); }

    QWidget* Control(const char* name) {
        auto* widget = dialog.findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << "no control named " << name;
        return widget;
    }
    QString LabelText(const char* name) {
        auto* label = qobject_cast<QLabel*>(Control(name));
        return label != nullptr ? label->text() : QStringLiteral("<not a label>");
    }
    QString ButtonText(const char* name) {
        auto* button = qobject_cast<QAbstractButton*>(Control(name));
        return button != nullptr ? button->text() : QStringLiteral("<not a button>");
    }

    FakePrompter prompter;
    MainDialog dialog;
};

TEST_F(MainWindowTest, EveryControlSitsWhereItsDialogUnitsPutIt) {
    const ExpectedUnits units = ExpectedUnits::ForDialogFont();
    ASSERT_GT(units.baseX, 0);
    ASSERT_GT(units.baseY, 0);
    dialog.show();

    for (const Placement& p : kPlacements) {
        QWidget* control = Control(p.name);
        if (control == nullptr) continue;
        EXPECT_EQ(control->parentWidget(), &dialog) << p.name;
        EXPECT_EQ(control->geometry(), units.Rect(p.left, p.top, p.width, p.height))
            << p.name << " with base units " << units.baseX << " x " << units.baseY;
        EXPECT_EQ(control->isVisible(), !p.hidden) << p.name;
    }
}

TEST_F(MainWindowTest, WindowHasItsDesignedFixedSize) {
    const ExpectedUnits units = ExpectedUnits::ForDialogFont();
    const QSize expected(units.X(455), units.Y(383));
    EXPECT_EQ(dialog.minimumSize(), expected);
    EXPECT_EQ(dialog.maximumSize(), expected);
    dialog.show();
    EXPECT_EQ(dialog.size(), expected);
    EXPECT_EQ(dialog.font(), DialogFont()) << "the layout is measured in the dialog font";
}

TEST_F(MainWindowTest, ControlsNeitherOverlapNorLeaveTheirFrames) {
    int containedPairs = 0;
    for (const Placement& a : kPlacements) {
        QWidget* first = Control(a.name);
        if (a.frame || first == nullptr) continue;
        for (const Placement& b : kPlacements) {
            QWidget* second = Control(b.name);
            if (second == nullptr || &a == &b) continue;
            if (b.frame) {
                // The table says which controls a frame surrounds; the pixels must agree.
                if (DluRect(b).contains(DluRect(a))) {
                    ++containedPairs;
                    EXPECT_TRUE(second->geometry().contains(first->geometry())) << a.name << " leaves " << b.name;
                }
            } else if (&a < &b) {
                EXPECT_FALSE(first->geometry().intersects(second->geometry())) << a.name << " overlaps " << b.name;
            }
        }
    }
    // Four controls in each frame: tree, list and labels; button, bar, text, list.
    EXPECT_EQ(containedPairs, 8);
}

TEST_F(MainWindowTest, TitlesCaptionsAndLabelsReadAsDesigned) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tunecrate Ver.1.0b3"));
    EXPECT_EQ(LabelText("versionText"), QStringLiteral("Ver.1.0b3"));
    EXPECT_EQ(LabelText("folderLabel"), QStringLiteral("フォルダリスト（右クリックで新しいフォルダを作成できます）"));
    EXPECT_EQ(LabelText("fileLabel"), QStringLiteral("ファイルリスト"));
    EXPECT_EQ(LabelText("freeSpaceText"), QStringLiteral("空き 0.00 kb"));
    EXPECT_EQ(ButtonText("reloadButton"), QStringLiteral("再読み込み"));
    EXPECT_EQ(ButtonText("exitButton"), QStringLiteral("終了"));
    EXPECT_EQ(ButtonText("helpButton"), QStringLiteral("Help.."));
    EXPECT_EQ(ButtonText("customizeButton"), QStringLiteral("Customize"));

    auto* hardDiskFrame = qobject_cast<GroupFrame*>(Control("hardDiskFrame"));
    auto* floppyFrame = qobject_cast<GroupFrame*>(Control("floppyFrame"));
    ASSERT_NE(hardDiskFrame, nullptr);
    ASSERT_NE(floppyFrame, nullptr);
    EXPECT_EQ(hardDiskFrame->title(), QStringLiteral("ハードディスク"));
    EXPECT_EQ(floppyFrame->title(), QStringLiteral("フロッピーディスク"));
}

// Header texts and pixel widths of a list, in column order.
std::vector<std::pair<QString, int>> Columns(const QTreeWidget& list) {
    std::vector<std::pair<QString, int>> columns;
    for (int i = 0; i < list.columnCount(); ++i) {
        columns.emplace_back(list.headerItem()->text(i), list.columnWidth(i));
    }
    return columns;
}

TEST_F(MainWindowTest, SongListsHaveTheirColumnsInOrder) {
    using Cols = std::vector<std::pair<QString, int>>;
    EXPECT_EQ(Columns(dialog.hardDiskList()),
              (Cols{{QStringLiteral("ソング名"), 100}, {QStringLiteral("サイズ"), 50}, {QStringLiteral("コメント"), 400}}));
    EXPECT_EQ(Columns(dialog.floppyList()), (Cols{{QStringLiteral("No."), 40},
                                                  {QStringLiteral("ソング名"), 100},
                                                  {QStringLiteral("サイズ"), 50},
                                                  {QStringLiteral("コメント"), 200}}));
    for (QTreeWidget* list : {static_cast<QTreeWidget*>(&dialog.hardDiskList()),
                              static_cast<QTreeWidget*>(&dialog.floppyList())}) {
        for (int i = 0; i < list->columnCount(); ++i) {
            EXPECT_TRUE(list->headerItem()->textAlignment(i) & Qt::AlignLeft) << list->objectName().toStdString() << " " << i;
        }
    }
}

TEST_F(MainWindowTest, SongListsSelectSeveralRowsAndKeepTheSelectionVisible) {
    for (QTreeWidget* list : {static_cast<QTreeWidget*>(&dialog.hardDiskList()),
                              static_cast<QTreeWidget*>(&dialog.floppyList())}) {
        SCOPED_TRACE(list->objectName().toStdString());
        EXPECT_THAT(list->selectionMode(),
                    ::testing::AnyOf(QAbstractItemView::ExtendedSelection, QAbstractItemView::MultiSelection));
        EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
        // Another control holding the focus must not hide which songs are selected.
        EXPECT_EQ(list->palette().color(QPalette::Inactive, QPalette::Highlight),
                  list->palette().color(QPalette::Active, QPalette::Highlight));
    }
}

TEST_F(MainWindowTest, EachSongListKnowsWhichMediumItShows) {
    EXPECT_TRUE(dialog.floppyList().IsFloppyList());
    EXPECT_FALSE(dialog.floppyList().IsHardDiskList());
    EXPECT_TRUE(dialog.hardDiskList().IsHardDiskList());
    EXPECT_FALSE(dialog.hardDiskList().IsFloppyList());
    // The controls the window shows by name are the lists its handlers reach.
    EXPECT_EQ(Control("floppyList"), &dialog.floppyList());
    EXPECT_EQ(Control("hardDiskList"), &dialog.hardDiskList());
    EXPECT_EQ(Control("folderTree"), &dialog.folderTree());

    // A list that no window owns is neither.
    SongListCtrl loose;
    EXPECT_FALSE(loose.IsFloppyList());
    EXPECT_FALSE(loose.IsHardDiskList());
}

TEST(DialogFontTest, ResolvesToAFamilyWithTheJapaneseGlyphs) {
    const QFont font = DialogFont();
    // The primary face must carry the glyphs itself; a fallback font would
    // change the metrics that the whole layout is measured in.
    const QRawFont raw = QRawFont::fromFont(font);
    ASSERT_TRUE(raw.isValid());
    const QString family = raw.familyName();
    for (const QString& text : {QStringLiteral("ハードディスク"), QStringLiteral("フロッピーディスク"),
                                QStringLiteral("再読み込み終了空き"), QStringLiteral("ソング名サイズコメント")}) {
        for (QChar ch : text) {
            EXPECT_TRUE(raw.supportsCharacter(ch))
                << family.toStdString() << " has no glyph for U+" << std::hex << static_cast<unsigned>(ch.unicode());
        }
    }
    EXPECT_EQ(QFontInfo(font).pointSize(), 9);
}

}  // namespace
}  // namespace tunecrate::testing
