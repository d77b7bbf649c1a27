// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>

#include "ListEditing.h"

namespace tunecrate::testing {
namespace {

using ::testing::HasSubstr;

// The texts of one floppy row, columns 0 to 3.
std::vector<QString> RowTexts(const QTreeWidgetItem* item) {
    return {item->text(0), item->text(1), item->text(2), item->text(3)};
}

MountEntry FloppyMount(const std::string& mountPoint, bool removable = true) {
    return MountEntry{"/dev/sdz", mountPoint, "vfat", removable, 1'457'664};
}

class FloppyListTest : public ::testing::Test {
protected:
    FloppyListTest() { WriteFloppy(floppy, DemoSlots()); }

    // A main window on `options`, answering through the test's prompter.
    MainDialog& Open(MainDialogOptions options, const std::string& floppyPath = {}) {
        if (!floppyPath.empty()) options.floppy = floppyPath;
        dialog = std::make_unique<MainDialog>(std::move(options));
        dialog->setPrompter(&prompter);
        return *dialog;
    }
    QTreeWidget& List() { return dialog->floppyList(); }
    void ClickReload() { QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("reloadButton")), Qt::LeftButton); }

    TempFolder floppy;
    FakePrompter prompter;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(FloppyListTest, FirstFillShowsFiveSlotRowsWithDecodedTitlesAndStateImages) {
    Open(OptionsWithoutMounts(), floppy.path()).FirstFill();
    ASSERT_EQ(List().topLevelItemCount(), 5);
    const std::vector<std::vector<QString>> expected = {
        {"1", "Blues in F", "22kb", "練習用"},   // 18432 + 4096 bytes
        {"2", "夜想曲 第2番", "9kb", "ピアノ"},   // 9300 bytes, no events
        {"3", "", "----", ""},
        {"4", "さくらさくら", "32kb", "春の演奏会"},
        {"5", "", "----", "メモ"},              // events file alone: still empty
    };
    const int states[] = {1, 0, 2, 1, 2};
    for (int r = 0; r < 5; ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        const QTreeWidgetItem* item = List().topLevelItem(r);
        EXPECT_EQ(RowTexts(item), expected[static_cast<std::size_t>(r)]);
        EXPECT_EQ(item->data(0, Qt::UserRole), QVariant(states[r]));
    }
    EXPECT_EQ(dialog->FloppyRoot(), floppy.path() + "/");
    // The rows keep the disk's own bytes, decoded only for display.
    ASSERT_EQ(dialog->SlotRows().size(), 5u);
    EXPECT_EQ(dialog->SlotRows()[1].title, Cp932("夜想曲 第2番"));
    EXPECT_EQ(dialog->SlotRows()[3].comment, Cp932("春の演奏会"));

    // Full songs share one image, a song without events has another; empty
    // slots show nothing: no image, or one of only white or clear pixels.
    auto image = [&](int row) { return List().topLevelItem(row)->icon(0).pixmap(16, 16).toImage(); };
    for (int row : {0, 1, 3}) EXPECT_FALSE(List().topLevelItem(row)->icon(0).isNull()) << "row " << row;
    EXPECT_EQ(image(0), image(3));
    EXPECT_NE(image(0), image(1));
    for (int row : {2, 4}) {
        const QImage blank = image(row).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < blank.height(); ++y) {
            for (int x = 0; x < blank.width(); ++x) {
                const QRgb c = blank.pixel(x, y);
                ASSERT_TRUE(qAlpha(c) == 0 || (c | 0xFF000000u) == 0xFFFFFFFFu) << "row " << row << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(FloppyListTest, WithoutAFloppyStartIsSilentAndReloadReportsIt) {
    MainDialog& window = Open(OptionsWithoutMounts());
    window.show();
    window.FirstFill();
    EXPECT_TRUE(prompter.calls().empty());
    EXPECT_EQ(List().topLevelItemCount(), 0);

    prompter.ExpectMessage();
    ClickReload();
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "Cannot open song.nam.\nPlease insert valid floppy disk.");
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_EQ(prompter.calls()[0].icon, MessageIcon::None);
    EXPECT_EQ(List().topLevelItemCount(), 0);
    EXPECT_EQ(window.FreePercent(), -1);
}

TEST_F(FloppyListTest, ReloadButtonRereadsAChangedCatalogue) {
    MainDialog& window = Open(OptionsWithoutMounts(), floppy.path());
    window.show();
    window.FirstFill();
    std::vector<TestSlot> songs = DemoSlots();
    songs[2] = {"ふるさと", "新曲", 2048, -1};
    WriteFloppy(floppy, songs);
    ClickReload();
    ASSERT_EQ(List().topLevelItemCount(), 5);
    EXPECT_EQ(RowTexts(List().topLevelItem(2)), (std::vector<QString>{"3", "ふるさと", "2kb", "新曲"}));
    EXPECT_EQ(List().topLevelItem(2)->data(0, Qt::UserRole), QVariant(0));
}

TEST_F(FloppyListTest, DetectedFloppyIsReadAnExplicitOneWinsAndReloadKeepsItWhenNoneIsLeft) {
    TempFolder notFloppy;
    TempFolder other;
    WriteFloppy(other, {{"Other", "", 1024, -1}});
    // The same size on a fixed disk is no floppy.
    auto mounts = std::make_shared<std::vector<MountEntry>>(
        std::vector<MountEntry>{FloppyMount(notFloppy.path(), false), FloppyMount(floppy.path())});
    MainDialogOptions options = OptionsWithoutMounts();
    options.mountTable = [mounts] { return *mounts; };
    struct Case {
        std::string given, root, firstTitle;
    };
    for (const Case& c : {Case{"", floppy.path(), "Blues in F"}, Case{other.path(), other.path(), "Other"}}) {
        SCOPED_TRACE(c.root);
        Open(options, c.given).FirstFill();
        EXPECT_EQ(dialog->FloppyRoot(), c.root + "/");
        ASSERT_EQ(List().topLevelItemCount(), 5);
        EXPECT_EQ(List().topLevelItem(0)->text(1), QString::fromStdString(c.firstTitle));
    }

    Open(options).FirstFill();
    mounts->clear();
    dialog->Reload();
    EXPECT_EQ(dialog->FloppyRoot(), floppy.path() + "/");
    EXPECT_EQ(List().topLevelItemCount(), 5);
}


}  // namespace
}  // namespace tunecrate::testing
