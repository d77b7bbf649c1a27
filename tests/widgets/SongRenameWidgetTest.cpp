// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>
#include <filesystem>

#include "ListEditing.h"

namespace tunecrate::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::string kTooLong = "題名は17文字を超えてはいけません。";
const std::string kTaken = "その名前のファイルはすでに存在します。\n違う名前にしてください。";

using FloppyTitleTest = FloppyEditingTest;

TEST_F(FloppyTitleTest, EnterWritesTheTitlePaddedToSeventeenBytesIntoSongNamOnly) {
    OpenWindow(DemoSlotsWithLineTen());
    std::vector<std::string> titles = DemoTitles();
    struct Case {
        int row;
        QString text, shown;
        std::string stored;   // CP932
    };
    const std::vector<Case> cases = {
        {0, QStringLiteral("Rain"), QStringLiteral("Rain"), "Rain"},
        // exactly 17 bytes
        {1, QStringLiteral("あいうえおかきくA"), QStringLiteral("あいうえおかきくA"), Cp932("あいうえおかきくA")},
        // the wave dash becomes the floppy's tilde
        {3, QStringLiteral("波〜"), QStringLiteral("波～"), Cp932("波") + "\x81\x60"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        EditCell(c.row, 1, c.text);
        titles[static_cast<std::size_t>(c.row)] = c.stored;
        EXPECT_EQ(Titles(), ExpectedTitlesFile(titles));
        EXPECT_EQ(CellText(c.row, 1), c.shown);
        EXPECT_EQ(dialog->SlotRows()[static_cast<std::size_t>(c.row)].title, c.stored);
    }
    EXPECT_EQ(CatalogueLine(Titles(), 0), "Rain             ");
    EXPECT_EQ(CatalogueLine(Titles(), 1).size(), 17u);
    EXPECT_EQ(Comments(), commentsBefore);
    // The song keeps its slot files.
    EXPECT_EQ(FileBytes(floppy.Path("MDR_00.B00")).size(), 18432u);
    EXPECT_EQ(FileBytes(floppy.Path("MDR_00.EVT")).size(), 4096u);
    EXPECT_TRUE(prompter.calls().empty());
}

TEST_F(FloppyTitleTest, EighteenBytesAreRefusedAndNothingChanges) {
    OpenWindow(DemoSlotsWithLineTen());
    prompter.ExpectMessage();
    EditCell(1, 1, QStringLiteral("あいうえおかきくけ"));
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, kTooLong);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_EQ(Titles(), titlesBefore);
    EXPECT_EQ(CellText(1, 1), "夜想曲 第2番");
    EXPECT_EQ(dialog->SlotRows()[1].title, Cp932("夜想曲 第2番"));
}

TEST_F(FloppyTitleTest, FailedTitleWriteIsReportedAndTheCellShowsTheDiskAgain) {
    // song.nam can be read but not replaced: the catalogue is a link to a file
    // elsewhere, which the program never writes through.
    TempFolder elsewhere;
    WriteFloppy(elsewhere, DemoSlotsWithLineTen());
    OpenWindow(DemoSlotsWithLineTen());
    fs::remove(floppy.Path("song.nam"));
    fs::create_symlink(elsewhere.Path("song.nam"), floppy.Path("song.nam"));
    const std::string disk = FileBytes(elsewhere.Path("song.nam"));

    prompter.ExpectMessage();
    EditCell(0, 1, QStringLiteral("Rain"));
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
    EXPECT_THAT(prompter.calls()[0].text, HasSubstr(floppy.path() + "/song.nam"));
    ASSERT_EQ(List().topLevelItemCount(), 5);
    EXPECT_EQ(CellText(0, 1), "Blues in F");
    EXPECT_EQ(dialog->SlotRows()[0].title, "Blues in F");
    EXPECT_EQ(FileBytes(elsewhere.Path("song.nam")), disk);
    EXPECT_TRUE(fs::is_symlink(floppy.Path("song.nam")));
}

// The hard-disk list renames a song with its own label editing of column 0.
class HardDiskRenameTest : public HardDiskEditingTest {
protected:
    void SetUp() override {
        HardDiskEditingTest::SetUp();
        MakeFolder("Songs");
        homeFolder.WriteSized("Songs/Blues.B00", 2048);
        homeFolder.WriteSized("Songs/Blues.EVT", 1024);
        homeFolder.Write("Songs/Blues.cmt", "live");
        homeFolder.WriteSized("Songs/apple.b00", 100);
        OpenWindow("Songs");
        ASSERT_EQ(Titles(), (QStringList{"apple", "Blues"}));
    }

    // Edits a title as the user does: the list's own editor, new text, Enter.
    void LabelEdit(int row, const QString& text) {
        List().editItem(List().topLevelItem(row), 0);
        QPointer<QLineEdit> line;
        for (QLineEdit* child : List().viewport()->findChildren<QLineEdit*>()) {
            if (child->isVisible() && qobject_cast<InPlaceEdit*>(child) == nullptr) line = child;
        }
        ASSERT_NE(line, nullptr) << "no label editor opened";
        EXPECT_EQ(line->text(), List().topLevelItem(row)->text(0));
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
        Type(line, text);
        ASSERT_EQ(line->text(), text);
        QTest::keyClick(line, Qt::Key_Return);
        // The list commits and closes its editor from the event loop.
        ASSERT_TRUE(QTest::qWaitFor([&] { return line.isNull() || !line->isVisible(); }));
    }
};

TEST_F(HardDiskRenameTest, LabelEditRenamesTheSongsFilesAndTheRow) {
    const QString size = List().topLevelItem(1)->text(1);
    LabelEdit(1, QStringLiteral("Rock"));
    EXPECT_EQ(FilesIn("Songs"), (std::vector<std::string>{"Rock.B00", "Rock.EVT", "Rock.cmt", "apple.b00"}));
    EXPECT_EQ(FileBytes(Folder("Songs/Rock.B00")).size(), 2048u);
    EXPECT_EQ(FileBytes(Folder("Songs/Rock.EVT")).size(), 1024u);
    EXPECT_EQ(FileBytes(Folder("Songs/Rock.cmt")), "live");
    // The row keeps its place and its other cells until the next refill.
    EXPECT_EQ(Titles(), (QStringList{"apple", "Rock"}));
    EXPECT_EQ(List().topLevelItem(1)->text(1), size);

    // The renamed row is the song under its new name: a second rename works.
    LabelEdit(1, QStringLiteral("夜の曲"));
    EXPECT_EQ(FilesIn("Songs"), (std::vector<std::string>{"apple.b00", "夜の曲.B00", "夜の曲.EVT", "夜の曲.cmt"}));
    EXPECT_TRUE(prompter.calls().empty());
}

TEST_F(HardDiskRenameTest, RefusedTitlesChangeNothing) {
    const std::vector<std::string> files{"Blues.B00", "Blues.EVT", "Blues.cmt", "apple.b00"};
    struct Case {
        QString title;
        std::string message;   // empty: any message
    };
    const std::vector<Case> cases = {
        {QStringLiteral("a/b"), ""},
        {QString(), ""},
        {QStringLiteral("."), ""},
        {QStringLiteral(".."), ""},
        {QStringLiteral("あいうえおかきくけ"), kTooLong},
        {QStringLiteral("apple"), kTaken},
        {QStringLiteral("Blues"), kTaken},   // unchanged counts as taken
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("title \"" + c.title.toStdString() + "\"");
        const std::size_t before = prompter.calls().size();
        prompter.ExpectMessage();
        LabelEdit(1, c.title);
        prompter.VerifyAllUsed();
        ASSERT_EQ(prompter.calls().size(), before + 1);
        EXPECT_EQ(prompter.calls().back().caption, "Error!");
        if (!c.message.empty()) {
            EXPECT_EQ(prompter.calls().back().text, c.message);
        }
        EXPECT_EQ(FilesIn("Songs"), files);
        EXPECT_EQ(FileBytes(Folder("Songs/Blues.cmt")), "live");
        EXPECT_EQ(Titles(), (QStringList{"apple", "Blues"}));
    }
}

}  // namespace
}  // namespace tunecrate::testing
