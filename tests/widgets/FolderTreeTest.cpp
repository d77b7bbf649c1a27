// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "FakePrompter.h"
#include "TestFloppy.h"
#include "app/MainDialog.h"
#include "library/FolderTree.h"

namespace tunecrate::testing {
namespace {

namespace fs = std::filesystem;

QStringList ChildTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
    return texts;
}

// A main window whose tree has the temporary folder as its home folder and
// as the working directory, and sees no mounted volume but `mounts`.
class FolderTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = fs::canonical(folder.path()).string();
        fs::create_directories(home + "/Songs");
        folder.WriteSized("Songs/Blues.B00", 2048);
        folder.WriteSized("Songs/Blues.evt", 1024);
        folder.Write("Songs/Blues.CMT", "live take");
        folder.WriteSized("Songs/apple.b00", 100);
        fs::create_directories(home + "/HiddenOnly");
        folder.Write("HiddenOnly/.secret", "x");
        fs::create_directories(home + "/Empty");
        fs::create_directories(home + "/WithHiddenSub/.sub");
        fs::create_directories(home + "/A/B/C");
    }

    FolderTree& Open(std::vector<MountEntry> mounts = {}) {
        MainDialogOptions options;
        options.home = home;
        options.workingDirectory = home;
        options.mountTable = [mounts] { return mounts; };
        dialog = std::make_unique<MainDialog>(options);
        dialog->setPrompter(&prompter);
        dialog->FirstFill();
        return dialog->folderTree();
    }

    QTreeWidgetItem* HomeItem() {
        FolderTree& tree = dialog->folderTree();
        for (int i = 0; i < tree.topLevelItemCount(); ++i) {
            if (tree.ItemPath(tree.topLevelItem(i)) == home) return tree.topLevelItem(i);
        }
        return nullptr;
    }

    QTreeWidgetItem* Child(const QString& text, QTreeWidgetItem* parent = nullptr) {
        if (parent == nullptr) parent = HomeItem();
        for (int i = 0; parent != nullptr && i < parent->childCount(); ++i) {
            if (parent->child(i)->text(0) == text) return parent->child(i);
        }
        return nullptr;
    }

    // Exactly `count` questions and messages so far, the last one reading `text`.
    void ExpectLastCall(std::size_t count, const std::string& text, const std::string& caption) {
        ASSERT_EQ(prompter.calls().size(), count);
        EXPECT_EQ(prompter.calls().back().text, text);
        EXPECT_EQ(prompter.calls().back().caption, caption);
    }

    TempFolder folder;
    std::string home;
    FakePrompter prompter;
    std::unique_ptr<MainDialog> dialog;   // after the prompter: goes first
};

TEST_F(FolderTreeTest, StartSelectsTheWorkingDirectoryAndShowsExpandButtonsWhereFoldersHaveContent) {
    FolderTree& tree = Open();
    QTreeWidgetItem* homeItem = HomeItem();
    ASSERT_NE(homeItem, nullptr);
    EXPECT_EQ(tree.currentItem(), homeItem);
    EXPECT_TRUE(homeItem->isExpanded());
    EXPECT_EQ(ChildTexts(homeItem), (QStringList{"A", "Empty", "HiddenOnly", "Songs", "WithHiddenSub"}));
    // The root folder comes first, then home.
    EXPECT_EQ(tree.ItemPath(tree.topLevelItem(0)), "/");
    EXPECT_EQ(tree.topLevelItem(1), homeItem);

    // Song files or a hidden subfolder give a button; hidden files alone do not.
    for (const char* name : {"Songs", "WithHiddenSub", "A", "HiddenOnly", "Empty"}) {
        QTreeWidgetItem* item = Child(QString::fromLatin1(name));
        ASSERT_NE(item, nullptr) << name;
        const bool button = std::string(name) != "HiddenOnly" && std::string(name) != "Empty";
        EXPECT_EQ(item->childCount(), button ? 1 : 0) << name;
        if (button) {
            EXPECT_TRUE(FolderTree::IsPlaceholder(item->child(0))) << name;
        }
    }
}

TEST_F(FolderTreeTest, OpeningReadsTheDiskAndClosingForgets) {
    FolderTree& tree = Open();
    QTreeWidgetItem* songs = Child("Songs");
    ASSERT_NE(songs, nullptr);
    songs->setExpanded(true);
    EXPECT_EQ(songs->childCount(), 0);   // song files only: no subfolder to show
    songs->setExpanded(false);
    ASSERT_EQ(songs->childCount(), 1);
    EXPECT_TRUE(FolderTree::IsPlaceholder(songs->child(0)));

    fs::create_directories(home + "/Songs/Made meanwhile");
    songs->setExpanded(true);
    EXPECT_EQ(ChildTexts(songs), QStringList{"Made meanwhile"});
    EXPECT_EQ(tree.ItemPath(songs->child(0)), home + "/Songs/Made meanwhile");
}

TEST_F(FolderTreeTest, SelectPathOpensEveryFolderOnTheWayAndIgnoresAMissingOne) {
    FolderTree& tree = Open();
    ASSERT_TRUE(tree.SelectPath(home + "/A/B/C"));
    QTreeWidgetItem* c = tree.currentItem();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(tree.ItemPath(c), home + "/A/B/C");
    EXPECT_TRUE(c->parent()->isExpanded());
    EXPECT_TRUE(c->parent()->parent()->isExpanded());

    EXPECT_FALSE(tree.SelectPath(home + "/A/missing"));
    EXPECT_EQ(tree.currentItem(), c);
    EXPECT_EQ(tree.ItemPath(nullptr), "");
}

TEST_F(FolderTreeTest, SelectingAFolderRefillsTheHardDiskList) {
    FolderTree& tree = Open();
    SongListCtrl& list = dialog->hardDiskList();
    EXPECT_EQ(list.topLevelItemCount(), 0);   // the home folder has no songs

    tree.setCurrentItem(Child("Songs"));
    ASSERT_EQ(list.topLevelItemCount(), 2);
    EXPECT_EQ(list.topLevelItem(0)->text(0), "apple");
    EXPECT_EQ(list.topLevelItem(1)->text(0), "Blues");
    EXPECT_EQ(list.topLevelItem(1)->text(1), "3kb");
    EXPECT_EQ(list.topLevelItem(1)->text(2), "live");

    tree.setCurrentItem(Child("Empty"));
    EXPECT_EQ(list.topLevelItemCount(), 0);
}

TEST_F(FolderTreeTest, NewFolderIsMadeAndSelectedOnlyOnce) {
    FolderTree& tree = Open();
    ASSERT_TRUE(tree.SelectPath(home + "/Songs"));
    tree.RunCommand(FolderTree::kNewFolderCommand);
    const std::string made = home + "/Songs/新規ディレクトリ";
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_EQ(tree.ItemPath(tree.currentItem()), made);
    EXPECT_EQ(dialog->hardDiskList().topLevelItemCount(), 0);

    ASSERT_TRUE(tree.SelectPath(home + "/Songs"));
    prompter.ExpectMessage();
    tree.RunCommand(FolderTree::kNewFolderCommand);
    ExpectLastCall(1, "ディレクトリを作成できません！", "Error!");
}

TEST_F(FolderTreeTest, DeleteAsksAndRemovesTheWholeFolder) {
    FolderTree& tree = Open();
    ASSERT_TRUE(tree.SelectPath(home + "/A"));
    prompter.ExpectOkCancel(false);
    tree.RunCommand(FolderTree::kDeleteFolderCommand);
    EXPECT_TRUE(fs::is_directory(home + "/A/B/C"));
    ExpectLastCall(1, "ディレクトリ\"" + home + "/A\" と、全ての下位ディレクトリのデータは消去されます。", "Notice");

    prompter.ExpectOkCancel(true);
    tree.RunCommand(FolderTree::kDeleteFolderCommand);
    EXPECT_FALSE(fs::exists(home + "/A"));
    // Afterwards the working directory is selected again and re-read.
    EXPECT_EQ(tree.ItemPath(tree.currentItem()), home);
    EXPECT_EQ(Child("A"), nullptr);
}

TEST_F(FolderTreeTest, MenuOffersNothingWithoutAFolderAndNoDeleteAtTheTop) {
    FolderTree& tree = Open();
    struct Case {
        QTreeWidgetItem* selected;
        bool make, remove;
    };
    for (const Case& c : {Case{nullptr, false, false}, Case{HomeItem(), true, false}, Case{Child("Empty"), true, true}}) {
        SCOPED_TRACE(c.selected != nullptr ? c.selected->text(0).toStdString() : "no folder");
        tree.setCurrentItem(c.selected);
        std::unique_ptr<QMenu> menu(tree.BuildFolderMenu(&tree));
        EXPECT_EQ(menu->objectName(), "DirCommand");
        const auto actions = menu->actions();
        ASSERT_EQ(actions.size(), 2);
        EXPECT_EQ(actions[0]->text(), "新規作成");
        EXPECT_EQ(actions[1]->text(), "削除");
        EXPECT_EQ(actions[0]->isEnabled(), c.make);
        EXPECT_EQ(actions[1]->isEnabled(), c.remove);
    }
    // Without a selection the commands touch nothing, even when called.
    tree.setCurrentItem(nullptr);
    tree.RunCommand(FolderTree::kNewFolderCommand);
    tree.RunCommand(FolderTree::kDeleteFolderCommand);
    EXPECT_FALSE(fs::exists(home + "/新規ディレクトリ"));
}

TEST_F(FolderTreeTest, RightClickSelectsTheFolderUnderThePointerAndShowsTheMenu) {
    FolderTree& tree = Open();
    dialog->show();
    QTreeWidgetItem* empty = Child("Empty");
    ASSERT_NE(empty, nullptr);
    QString shownMenu;
    QTimer::singleShot(0, [&shownMenu] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shownMenu = menu->objectName();
            menu->close();
        }
    });
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, tree.visualItemRect(empty).center());
    EXPECT_EQ(shownMenu, "DirCommand");
    EXPECT_EQ(tree.currentItem(), empty);
}

TEST_F(FolderTreeTest, RenameFollowsTheDiskAndRefusesTakenOrBadNames) {
    FolderTree& tree = Open();
    ASSERT_TRUE(tree.SelectPath(home + "/A/B"));
    QTreeWidgetItem* a = tree.currentItem()->parent();

    tree.RenameFolderFromEdit(a, "Renamed");
    EXPECT_EQ(a->text(0), "Renamed");
    EXPECT_TRUE(fs::is_directory(home + "/Renamed/B/C"));
    EXPECT_EQ(tree.ItemPath(tree.currentItem()), home + "/Renamed/B");

    prompter.ExpectMessage();
    tree.RenameFolderFromEdit(a, "Empty");   // an empty sibling must not be replaced
    EXPECT_EQ(a->text(0), "Renamed");
    EXPECT_TRUE(fs::is_directory(home + "/Renamed/B"));
    EXPECT_TRUE(fs::is_directory(home + "/Empty"));
    ExpectLastCall(1, "同名のファイルが存在します。", "Error!");

    prompter.ExpectMessage();
    tree.RenameFolderFromEdit(a, "x/y");
    prompter.VerifyAllUsed();
    // A cancelled or unchanged edit says nothing and changes nothing.
    tree.RenameFolderFromEdit(a, "");
    tree.RenameFolderFromEdit(a, "Renamed");
    EXPECT_EQ(a->text(0), "Renamed");
    EXPECT_TRUE(fs::is_directory(home + "/Renamed/B"));
    EXPECT_EQ(prompter.calls().size(), 2u);
}

TEST_F(FolderTreeTest, MountedVolumesAppearButTheFloppyDoesNot) {
    // Only mounts below the usual mount folders are volumes; the floppy is
    // also given as one to prove it is left out.
    const MountEntry floppy{"/dev/sdb", "/media/user/FLOPPY", "vfat", true, 1'457'664};
    const MountEntry stick{"/dev/sdc1", "/media/user/STICK", "vfat", true, 8'000'000'000};
    const MountEntry boot{"/dev/sda1", "/boot", "ext4", false, 500'000'000};
    FolderTree& tree = Open({boot, floppy, stick});
    std::vector<std::string> tops;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) tops.push_back(tree.ItemPath(tree.topLevelItem(i)));
    EXPECT_EQ(tops, (std::vector<std::string>{"/", home, "/media/user/STICK"}));
    EXPECT_EQ(dialog->FloppyRoot(), "/media/user/FLOPPY/");
}

}  // namespace
}  // namespace tunecrate::testing
