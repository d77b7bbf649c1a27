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

// Gives the list the keyboard focus with no row selected.
void FocusWithoutSelection(SongListCtrl& list) {
    list.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.hasFocus(); }));
    list.clearSelection();
}

void ExpectQuestions(const FakePrompter& prompter, const std::vector<std::string>& texts) {
    ASSERT_EQ(prompter.calls().size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(prompter.calls()[i].text, texts[i]);
        EXPECT_EQ(prompter.calls()[i].caption, "Confirm");
        EXPECT_EQ(prompter.calls()[i].kind, FakePrompter::Kind::YesNo);
    }
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
    EXPECT_EQ(SongFiles(), allFiles);
    EXPECT_EQ(Titles(), titlesBefore);
    EXPECT_EQ(Comments(), commentsBefore);
    EXPECT_EQ(RowTexts(List().topLevelItem(2)), rows[2]);

    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ExpectQuestions(prompter, {"1個の項目を削除しますか？", "1個の項目を削除しますか？"});
    EXPECT_EQ(SongFiles(), (std::vector<std::string>{"MDR_00.B00", "MDR_00.EVT", "MDR_01.B00", "MDR_03.B00",
                                                     "MDR_03.EVT", "MDR_04.B00", "MDR_04.EVT"}));
    rows[2] = {"3", "", "----", ""};
    ASSERT_EQ(List().topLevelItemCount(), 5);
    for (int r = 0; r < 5; ++r) EXPECT_EQ(RowTexts(List().topLevelItem(r)), rows[static_cast<std::size_t>(r)]) << r;
    EXPECT_EQ(Titles(), ExpectedTitlesFile({"One", "Two", "", "Four", "Five"}));
    EXPECT_EQ(Comments(), ExpectedCommentsFile({"first", "second", "", "fourth", "fifth"}));
}

TEST_F(FloppyDeleteTest, DeleteWithNothingSelectedAsksForNoneAndDeletesNothing) {
    OpenWindow(FiveSongs());
    const std::vector<std::string> allFiles = SongFiles();
    FocusWithoutSelection(List());
    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ExpectQuestions(prompter, {"0個の項目を削除しますか？"});
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
        for (const char* name : {"Blues.B00", "Blues.EVT", "Blues.evt", "Blues.CMT", "Blues.cmt", "Cello.b00",
                                 "Cello.Evt", "Cello.cmt", "Dance.B00"}) {
            homeFolder.WriteSized(std::string("Songs/") + name, 10);
        }
        OpenWindow("Songs");
        ASSERT_EQ(Titles(), (QStringList{"apple", "Blues", "Cello", "Dance"}));
    }
};

TEST_F(HardDiskDeleteTest, DeleteKeyRemovesEveryFileOfTheSelectedSongsAndRefills) {
    const std::vector<std::string> allFiles = FilesIn("Songs");
    ClickCell(List(), RowOf("Blues"), 0);
    ClickCell(List(), RowOf("Cello"), 0, Qt::ControlModifier);
    ASSERT_EQ(List().selectedItems().size(), 2);

    prompter.ExpectYesNo(false);
    PressDelete();
    EXPECT_EQ(FilesIn("Songs"), allFiles);
    EXPECT_EQ(Titles(), (QStringList{"apple", "Blues", "Cello", "Dance"}));

    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ExpectQuestions(prompter, {"2個の項目を削除しますか？", "2個の項目を削除しますか？"});
    EXPECT_EQ(FilesIn("Songs"), (std::vector<std::string>{"Dance.B00", "apple.b00", "apple.cmt"}));
    EXPECT_EQ(Titles(), (QStringList{"apple", "Dance"}));
}

TEST_F(HardDiskDeleteTest, ShiftClickSelectsTheWholeRangeForDeletion) {
    ClickCell(List(), 0, 0);
    ClickCell(List(), 3, 0, Qt::ShiftModifier);
    EXPECT_EQ(List().selectedItems().size(), 4);
    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ExpectQuestions(prompter, {"4個の項目を削除しますか？"});
    EXPECT_EQ(FilesIn("Songs"), std::vector<std::string>{});
    EXPECT_EQ(List().topLevelItemCount(), 0);
}

TEST_F(HardDiskDeleteTest, DeleteWithNothingSelectedDeletesNothingAndRefills) {
    homeFolder.WriteSized("Songs/Late.B00", 10);   // made after the list was filled
    const std::vector<std::string> allFiles = FilesIn("Songs");
    FocusWithoutSelection(List());
    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ExpectQuestions(prompter, {"0個の項目を削除しますか？"});
    EXPECT_EQ(FilesIn("Songs"), allFiles);
    EXPECT_EQ(Titles(), (QStringList{"apple", "Blues", "Cello", "Dance", "Late"}));
}

}  // namespace
}  // namespace tunecrate::testing
