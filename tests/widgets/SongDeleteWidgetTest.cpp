// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>

#include "ListEditing.h"

namespace tunecrate::testing {
namespace {

namespace fs = std::filesystem;

// Five songs in five slots, and a stray title and comment on line 10.
std::vector<TestSlot> FiveSongs() {
    std::vector<TestSlot> songs = {
        {"One", "first", 1024, 512},     {"Two", "second", 2048, -1},   {"Three", "third", 3072, 1024},
        {"Four", "fourth", 4096, 2048}, {"Five", "fifth", 5120, 512},
    };
    songs.resize(9);
    songs.push_back({"Beyond the slots", "not a slot", -1, -1});
    return songs;
}

std::vector<QString> RowTexts(const QTreeWidgetItem* item) {
    return {item->text(0), item->text(1), item->text(2), item->text(3)};
}

class FloppyDeleteTest : public FloppyEditingTest {
protected:
    std::vector<std::string> SongFiles() {
        std::vector<std::string> names;
        for (int slot = 0; slot < 5; ++slot) {
            for (const char* extension : {".B00", ".EVT"}) {
                const std::string name = "MDR_0" + std::to_string(slot) + extension;
                if (fs::exists(floppy.Path(name))) names.push_back(name);
            }
        }
        return names;
    }
};

TEST_F(FloppyDeleteTest, DeleteKeyAsksAndOnlyYesEmptiesTheSelectedSlot) {
    OpenWindow(FiveSongs());
    const std::vector<std::string> allFiles = SongFiles();
    ASSERT_EQ(allFiles.size(), 9u);
    std::vector<std::vector<QString>> rows;
    for (int r = 0; r < 5; ++r) rows.push_back(RowTexts(List().topLevelItem(r)));

    ClickCell(List(), 2, 0);
    ASSERT_EQ(List().selectedItems(), QList<QTreeWidgetItem*>{List().topLevelItem(2)});

    prompter.ExpectYesNo(false);
    PressDelete();
    prompter.VerifyAllUsed();
    EXPECT_EQ(SongFiles(), allFiles);
    EXPECT_EQ(Titles(), titlesBefore);
    EXPECT_EQ(Comments(), commentsBefore);
    EXPECT_EQ(RowTexts(List().topLevelItem(2)), rows[2]);

    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 2u);
    for (const auto& call : prompter.calls()) {
        EXPECT_EQ(call.text, "1個の項目を削除しますか？");
        EXPECT_EQ(call.caption, "Confirm");
        EXPECT_EQ(call.kind, FakePrompter::Kind::YesNo);
    }

    EXPECT_EQ(SongFiles(), (std::vector<std::string>{"MDR_00.B00", "MDR_00.EVT", "MDR_01.B00", "MDR_03.B00",
                                                     "MDR_03.EVT", "MDR_04.B00", "MDR_04.EVT"}));
    ASSERT_EQ(List().topLevelItemCount(), 5);
    for (int r = 0; r < 5; ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        if (r == 2) {
            EXPECT_EQ(RowTexts(List().topLevelItem(r)), (std::vector<QString>{"3", "", "----", ""}));
        } else {
            EXPECT_EQ(RowTexts(List().topLevelItem(r)), rows[static_cast<std::size_t>(r)]);
        }
    }
    EXPECT_EQ(Titles(), ExpectedTitlesFile({"One", "Two", "", "Four", "Five"}));
    EXPECT_EQ(Comments(), ExpectedCommentsFile({"first", "second", "", "fourth", "fifth"}));
}

TEST_F(FloppyDeleteTest, DeleteWithNothingSelectedAsksForNoneAndDeletesNothing) {
    OpenWindow(FiveSongs());
    const std::vector<std::string> allFiles = SongFiles();
    List().setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return List().hasFocus(); }));
    List().clearSelection();

    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "0個の項目を削除しますか？");
    EXPECT_EQ(prompter.calls()[0].caption, "Confirm");
    EXPECT_EQ(SongFiles(), allFiles);
    EXPECT_EQ(Titles(), titlesBefore);
    EXPECT_EQ(Comments(), commentsBefore);
    EXPECT_EQ(CellText(2, 1), "Three");
}

// Four songs, two of them with companion files in several spellings.
class HardDiskDeleteTest : public HardDiskEditingTest {
protected:
    void SetUp() override {
        HardDiskEditingTest::SetUp();
        MakeFolder("Songs");
        homeFolder.WriteSized("Songs/apple.b00", 100);
        homeFolder.Write("Songs/apple.cmt", "keep");
        for (const char* name : {"Blues.B00", "Blues.EVT", "Blues.evt", "Blues.CMT", "Blues.cmt"}) {
            homeFolder.WriteSized(std::string("Songs/") + name, 10);
        }
        for (const char* name : {"Cello.b00", "Cello.Evt", "Cello.cmt"}) {
            homeFolder.WriteSized(std::string("Songs/") + name, 10);
        }
        homeFolder.WriteSized("Songs/Dance.B00", 10);
    }
};

TEST_F(HardDiskDeleteTest, DeleteKeyRemovesEveryFileOfTheSelectedSongsAndRefills) {
    OpenWindow("Songs");
    const QStringList titles{"apple", "Blues", "Cello", "Dance"};
    ASSERT_EQ(Titles(), titles);
    const std::vector<std::string> allFiles = FilesIn("Songs");

    ClickCell(List(), RowOf("Blues"), 0);
    ClickCell(List(), RowOf("Cello"), 0, Qt::ControlModifier);
    ASSERT_EQ(List().selectedItems().size(), 2);

    prompter.ExpectYesNo(false);
    PressDelete();
    prompter.VerifyAllUsed();
    EXPECT_EQ(FilesIn("Songs"), allFiles);
    EXPECT_EQ(Titles(), titles);

    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 2u);
    EXPECT_EQ(prompter.calls()[1].text, "2個の項目を削除しますか？");
    EXPECT_EQ(prompter.calls()[1].caption, "Confirm");
    EXPECT_EQ(FilesIn("Songs"), (std::vector<std::string>{"Dance.B00", "apple.b00", "apple.cmt"}));
    EXPECT_EQ(Titles(), (QStringList{"apple", "Dance"}));
}

TEST_F(HardDiskDeleteTest, ShiftClickSelectsTheWholeRangeForDeletion) {
    OpenWindow("Songs");
    ASSERT_EQ(Titles(), (QStringList{"apple", "Blues", "Cello", "Dance"}));
    ClickCell(List(), 0, 0);
    ClickCell(List(), 3, 0, Qt::ShiftModifier);
    EXPECT_EQ(List().selectedItems().size(), 4);

    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "4個の項目を削除しますか？");
    EXPECT_EQ(FilesIn("Songs"), std::vector<std::string>{});
    EXPECT_EQ(List().topLevelItemCount(), 0);
}

TEST_F(HardDiskDeleteTest, DeleteWithNothingSelectedDeletesNothingAndRefills) {
    OpenWindow("Songs");
    homeFolder.WriteSized("Songs/Late.B00", 10);   // made after the list was filled
    const std::vector<std::string> allFiles = FilesIn("Songs");
    ASSERT_EQ(RowOf("Late"), -1);
    List().setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return List().hasFocus(); }));
    List().clearSelection();

    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "0個の項目を削除しますか？");
    EXPECT_EQ(prompter.calls()[0].caption, "Confirm");
    EXPECT_EQ(FilesIn("Songs"), allFiles);
    EXPECT_EQ(Titles(), (QStringList{"apple", "Blues", "Cello", "Dance", "Late"}));
}

}  // namespace
}  // namespace tunecrate::testing
