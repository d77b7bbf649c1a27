// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontInfo>
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

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : dialog(OptionsWithoutMounts()) { dialog.setPrompter(&prompter); }

    QWidget* Control(const char* name) {
        auto* widget = dialog.findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << "no control named " << name;
        return widget;
    }
    // The text a label, button or frame shows.
    QString TextOf(const char* name) {
        QWidget* control = Control(name);
        if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
        if (auto* frame = qobject_cast<GroupFrame*>(control)) return frame->title();
        return QStringLiteral("<no text>");
    }

    FakePrompter prompter;
    MainDialog dialog;
};

TEST_F(MainWindowTest, WindowAndEveryControlHaveTheirDesignedSizesAndPlaces) {
    const ExpectedUnits units = ExpectedUnits::ForDialogFont();
    ASSERT_GT(units.baseX, 0);
    ASSERT_GT(units.baseY, 0);
    const QSize size(units.X(455), units.Y(383));
    EXPECT_EQ(dialog.minimumSize(), size);
    EXPECT_EQ(dialog.maximumSize(), size);
    EXPECT_EQ(dialog.font(), DialogFont()) << "the layout is measured in the dialog font";
    dialog.show();
    EXPECT_EQ(dialog.size(), size);

    // In dialog units: left, top, width, height.
    struct Placement {
        const char* name;
        int left, top, width, height;
        bool hidden = false;
    };
    const std::vector<Placement> placements = {
        {"hardDiskFrame", 8, 7, 218, 369},   {"folderLabel", 41, 21, 171, 8},
        {"folderTree", 14, 33, 207, 132},    {"fileLabel", 95, 169, 40, 8},
        {"hardDiskList", 13, 181, 207, 187}, {"floppyFrame", 231, 58, 217, 318},
        {"reloadButton", 237, 72, 39, 14},   {"freeSpaceBar", 279, 73, 101, 13},
        {"freeSpaceText", 383, 76, 56, 10},  {"floppyList", 237, 89, 204, 280},
        {"logo", 274, 17, 98, 25},           {"versionText", 267, 46, 108, 8},
        {"exitButton", 414, 45, 35, 14},     {"helpButton", 414, 26, 35, 14, true},
        {"customizeButton", 414, 7, 35, 14, true},
    };
    for (const Placement& p : placements) {
        QWidget* control = Control(p.name);
        if (control == nullptr) continue;
        EXPECT_EQ(control->parentWidget(), &dialog) << p.name;
        EXPECT_EQ(control->geometry(), units.Rect(p.left, p.top, p.width, p.height))
            << p.name << " with base units " << units.baseX << " x " << units.baseY;
        EXPECT_EQ(control->isVisible(), !p.hidden) << p.name;
    }
    // The handlers reach the lists the window shows.
    EXPECT_EQ(Control("floppyList"), &dialog.floppyList());
    EXPECT_EQ(Control("hardDiskList"), &dialog.hardDiskList());
    EXPECT_EQ(Control("folderTree"), &dialog.folderTree());
}

TEST_F(MainWindowTest, TitlesCaptionsAndLabelsReadAsDesigned) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tunecrate Ver.1.0b3"));
    const std::vector<std::pair<const char*, QString>> texts = {
        {"versionText", QStringLiteral("Ver.1.0b3")},
        {"folderLabel", QStringLiteral("フォルダリスト（右クリックで新しいフォルダを作成できます）")},
        {"fileLabel", QStringLiteral("ファイルリスト")},
        {"freeSpaceText", QStringLiteral("空き 0.00 kb")},
        {"reloadButton", QStringLiteral("再読み込み")},
        {"exitButton", QStringLiteral("終了")},
        {"helpButton", QStringLiteral("Help..")},
        {"customizeButton", QStringLiteral("Customize")},
        {"hardDiskFrame", QStringLiteral("ハードディスク")},
        {"floppyFrame", QStringLiteral("フロッピーディスク")},
    };
    for (const auto& [name, text] : texts) EXPECT_EQ(TextOf(name), text) << name;
}

// Header texts and pixel widths of a list, in column order.
std::vector<std::pair<QString, int>> Columns(const QTreeWidget& list) {
    std::vector<std::pair<QString, int>> columns;
    for (int i = 0; i < list.columnCount(); ++i) columns.emplace_back(list.headerItem()->text(i), list.columnWidth(i));
    return columns;
}

TEST_F(MainWindowTest, SongListsHaveTheirColumnsAndSelectSeveralRowsVisibly) {
    using Cols = std::vector<std::pair<QString, int>>;
    EXPECT_EQ(Columns(dialog.hardDiskList()),
              (Cols{{QStringLiteral("ソング名"), 100}, {QStringLiteral("サイズ"), 50}, {QStringLiteral("コメント"), 400}}));
    EXPECT_EQ(Columns(dialog.floppyList()), (Cols{{QStringLiteral("No."), 40},
                                                  {QStringLiteral("ソング名"), 100},
                                                  {QStringLiteral("サイズ"), 50},
                                                  {QStringLiteral("コメント"), 200}}));
    for (QTreeWidget* list : {static_cast<QTreeWidget*>(&dialog.hardDiskList()),
                              static_cast<QTreeWidget*>(&dialog.floppyList())}) {
        SCOPED_TRACE(list->objectName().toStdString());
        for (int i = 0; i < list->columnCount(); ++i) {
            EXPECT_TRUE(list->headerItem()->textAlignment(i) & Qt::AlignLeft) << "column " << i;
        }
        EXPECT_THAT(list->selectionMode(),
                    ::testing::AnyOf(QAbstractItemView::ExtendedSelection, QAbstractItemView::MultiSelection));
        EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
        // Another control holding the focus must not hide which songs are selected.
        EXPECT_EQ(list->palette().color(QPalette::Inactive, QPalette::Highlight),
                  list->palette().color(QPalette::Active, QPalette::Highlight));
    }
}

TEST(DialogFontTest, ResolvesToAFamilyWithTheJapaneseGlyphs) {
    const QFont font = DialogFont();
    // The primary face must carry the glyphs itself; a fallback font would
    // change the metrics that the whole layout is measured in.
    const QRawFont raw = QRawFont::fromFont(font);
    ASSERT_TRUE(raw.isValid());
    for (QChar ch : QStringLiteral("ハードディスクフロッピー再読み込み終了空きソング名サイズコメント")) {
        EXPECT_TRUE(raw.supportsCharacter(ch)) << raw.familyName().toStdString() << " has no glyph for U+" << std::hex
                                               << static_cast<unsigned>(ch.unicode());
    }
    EXPECT_EQ(QFontInfo(font).pointSize(), 9);
}

}  // namespace
}  // namespace tunecrate::testing
