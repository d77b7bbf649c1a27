// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "FakePrompter.h"
#include "TestFloppy.h"
#include "app/MainDialog.h"

namespace tunecrate::testing {
namespace {

using ::testing::HasSubstr;

// The texts of one floppy row, columns 0 to 3.
std::vector<QString> RowTexts(const QTreeWidgetItem* item) {
    return {item->text(0), item->text(1), item->text(2), item->text(3)};
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

MountEntry FloppyMount(const std::string& mountPoint) {
    MountEntry entry;
    entry.device = "/dev/sdz";
    entry.mountPoint = mountPoint;
    entry.fsType = "vfat";
    entry.removable = true;
    entry.totalBytes = 1'457'664;
    return entry;
}

class FloppyListTest : public ::testing::Test {
protected:
    FloppyListTest() { WriteFloppy(floppy, DemoSlots()); }

    // A main window on `options`, answering through the test's prompter.
    MainDialog& Open(MainDialogOptions options) {
        dialog = std::make_unique<MainDialog>(std::move(options));
        dialog->setPrompter(&prompter);
        return *dialog;
    }
    MainDialogOptions WithFloppy(const std::string& path) {
        MainDialogOptions options = OptionsWithoutMounts();
        options.floppy = path;
        return options;
    }
    QTreeWidget& List() { return dialog->floppyList(); }

    TempFolder floppy;
    FakePrompter prompter;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(FloppyListTest, FirstFillShowsFiveSlotRowsWithDecodedTitles) {
    Open(WithFloppy(floppy.path())).FirstFill();

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
        EXPECT_EQ(item->data(0, Qt::UserRole).toInt(), states[r]);
        EXPECT_TRUE(item->data(0, Qt::UserRole).isValid());
    }
    EXPECT_EQ(dialog->FloppyRoot(), floppy.path() + "/");

    // The rows keep the disk's own bytes, decoded only for display.
    ASSERT_EQ(dialog->SlotRows().size(), 5u);
    EXPECT_EQ(dialog->SlotRows()[1].title, Cp932("夜想曲 第2番"));
    EXPECT_EQ(dialog->SlotRows()[3].comment, Cp932("春の演奏会"));
}

TEST_F(FloppyListTest, SongRowsCarryTheirSlotStateImage) {
    Open(WithFloppy(floppy.path())).FirstFill();
    ASSERT_EQ(List().topLevelItemCount(), 5);

    auto image = [&](int row) { return List().topLevelItem(row)->icon(0).pixmap(16, 16).toImage(); };
    for (int row : {0, 1, 3}) EXPECT_FALSE(List().topLevelItem(row)->icon(0).isNull()) << "row " << row;
    // Full songs share one image, a song without events has another.
    EXPECT_EQ(image(0), image(3));
    EXPECT_NE(image(0), image(1));
    // Empty slots show nothing: no image, or one with nothing but white or clear pixels.
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

    auto* reload = window.findChild<QPushButton*>(QStringLiteral("reloadButton"));
    ASSERT_NE(reload, nullptr);
    prompter.ExpectMessage();
    QTest::mouseClick(reload, Qt::LeftButton);
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "Cannot open song.nam.\nPlease insert valid floppy disk.");
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_EQ(prompter.calls()[0].icon, MessageIcon::None);
    EXPECT_EQ(List().topLevelItemCount(), 0);
    EXPECT_EQ(window.FreePercent(), -1);
}

TEST_F(FloppyListTest, ReloadButtonRereadsAChangedCatalogue) {
    MainDialog& window = Open(WithFloppy(floppy.path()));
    window.show();
    window.FirstFill();
    ASSERT_EQ(List().topLevelItemCount(), 5);

    std::vector<TestSlot> songs = DemoSlots();
    songs[2] = {"ふるさと", "新曲", 2048, -1};
    WriteFloppy(floppy, songs);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("reloadButton")), Qt::LeftButton);

    ASSERT_EQ(List().topLevelItemCount(), 5);
    EXPECT_EQ(RowTexts(List().topLevelItem(2)), (std::vector<QString>{"3", "ふるさと", "2kb", "新曲"}));
    EXPECT_EQ(List().topLevelItem(2)->data(0, Qt::UserRole).toInt(), 0);
}

TEST_F(FloppyListTest, DetectedFloppyIsReadAndAnExplicitOneWins) {
    TempFolder notFloppy;
    auto mounts = [&] {
        MountEntry disk = FloppyMount(notFloppy.path());
        disk.removable = false;   // the same size on a fixed disk is no floppy
        return std::vector<MountEntry>{disk, FloppyMount(floppy.path())};
    };
    {
        MainDialogOptions options = OptionsWithoutMounts();
        options.mountTable = mounts;
        Open(options).FirstFill();
        EXPECT_EQ(dialog->FloppyRoot(), floppy.path() + "/");
        ASSERT_EQ(List().topLevelItemCount(), 5);
        EXPECT_EQ(List().topLevelItem(0)->text(1), "Blues in F");
    }
    {
        TempFolder other;
        WriteFloppy(other, {{"Other", "", 1024, -1}});
        MainDialogOptions options = WithFloppy(other.path());
        options.mountTable = mounts;
        Open(options).FirstFill();
        EXPECT_EQ(dialog->FloppyRoot(), other.path() + "/");
        ASSERT_EQ(List().topLevelItemCount(), 5);
        EXPECT_EQ(List().topLevelItem(0)->text(1), "Other");
    }
}

TEST_F(FloppyListTest, ReloadKeepsTheFormerFloppyWhenNoneIsDetected) {
    auto mounts = std::make_shared<std::vector<MountEntry>>(std::vector<MountEntry>{FloppyMount(floppy.path())});
    MainDialogOptions options = OptionsWithoutMounts();
    options.mountTable = [mounts] { return *mounts; };
    MainDialog& window = Open(options);
    window.FirstFill();
    ASSERT_EQ(window.FloppyRoot(), floppy.path() + "/");

    mounts->clear();
    window.Reload();
    EXPECT_EQ(window.FloppyRoot(), floppy.path() + "/");
    EXPECT_EQ(List().topLevelItemCount(), 5);
}

TEST_F(FloppyListTest, RewritingAnUneditedCatalogueKeepsItsBytes) {
    const std::string titles = ReadAll(floppy.Path("song.nam"));
    const std::string comments = ReadAll(floppy.Path("comments.dat"));
    MainDialog& window = Open(WithFloppy(floppy.path()));
    window.FirstFill();
    EXPECT_TRUE(window.WriteCatalogue());
    EXPECT_EQ(ReadAll(floppy.Path("song.nam")), titles);
    EXPECT_EQ(ReadAll(floppy.Path("comments.dat")), comments);
}

TEST_F(FloppyListTest, FailedCatalogueWriteIsReportedForBothFiles) {
    MainDialog& window = Open(WithFloppy(floppy.path()));
    window.FirstFill();
    ASSERT_EQ(List().topLevelItemCount(), 5);

    // The disk went away after it was read: neither file can be written.
    std::filesystem::remove_all(floppy.path());
    prompter.ExpectMessage();
    prompter.ExpectMessage();
    EXPECT_FALSE(window.WriteCatalogue());
    prompter.VerifyAllUsed();

    ASSERT_EQ(prompter.calls().size(), 2u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_THAT(prompter.calls()[0].text, HasSubstr(floppy.path() + "/song.nam"));
    EXPECT_EQ(prompter.calls()[1].caption, "Error!");
    EXPECT_THAT(prompter.calls()[1].text, HasSubstr(floppy.path() + "/comments.dat"));
    EXPECT_FALSE(std::filesystem::exists(floppy.path())) << "a write must not bring back a missing disk";
}

}  // namespace
}  // namespace tunecrate::testing
