// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <sys/stat.h>

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

QStringList ListTitles(SongListCtrl& list) {
    QStringList titles;
    for (int i = 0; i < list.topLevelItemCount(); ++i) titles << list.topLevelItem(i)->text(0);
    return titles;
}

// A main window whose tree has the temporary folder as its home folder and
// as the working directory, and sees no mounted volume.
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

    std::unique_ptr<MainDialog> Open(std::vector<MountEntry> mounts = {}) {
        MainDialogOptions options;
        options.home = home;
        options.workingDirectory = home;
        options.mountTable = [mounts] { return mounts; };
        auto dialog = std::make_unique<MainDialog>(options);
        dialog->setPrompter(&prompter);
        dialog->FirstFill();
        return dialog;
    }

    QTreeWidgetItem* HomeItem(FolderTree& tree) {
        for (int i = 0; i < tree.topLevelItemCount(); ++i) {
            if (tree.ItemPath(tree.topLevelItem(i)) == home) return tree.topLevelItem(i);
        }
        return nullptr;
    }

    static QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
        for (int i = 0; i < parent->childCount(); ++i) {
            if (parent->child(i)->text(0) == text) return parent->child(i);
        }
        return nullptr;
    }

    TempFolder folder;
    std::string home;
    FakePrompter prompter;
};

TEST_F(FolderTreeTest, StartSelectsTheWorkingDirectoryAndListsItsSubfoldersInOrder) {
    auto dialog = Open();
    FolderTree& tree = dialog->folderTree();
    QTreeWidgetItem* homeItem = HomeItem(tree);
    ASSERT_NE(homeItem, nullptr);
    EXPECT_EQ(tree.currentItem(), homeItem);
    EXPECT_TRUE(homeItem->isExpanded());
    EXPECT_EQ(ChildTexts(homeItem), (QStringList{"A", "Empty", "HiddenOnly", "Songs", "WithHiddenSub"}));
    // The root folder comes first, then home.
    EXPECT_EQ(tree.ItemPath(tree.topLevelItem(0)), "/");
    EXPECT_EQ(tree.topLevelItem(1), homeItem);
}

TEST_F(FolderTreeTest, ExpandButtonsShowWhereAFolderHasContent) {
    auto dialog = Open();
    QTreeWidgetItem* homeItem = HomeItem(dialog->folderTree());
    ASSERT_NE(homeItem, nullptr);
    auto placeholderOnly = [](QTreeWidgetItem* item) {
        return item->childCount() == 1 && FolderTree::IsPlaceholder(item->child(0));
    };
    EXPECT_TRUE(placeholderOnly(Child(homeItem, "Songs")));          // only song files
    EXPECT_TRUE(placeholderOnly(Child(homeItem, "WithHiddenSub")));  // a hidden subfolder
    EXPECT_TRUE(placeholderOnly(Child(homeItem, "A")));
    EXPECT_EQ(Child(homeItem, "HiddenOnly")->childCount(), 0);      // only hidden files
    EXPECT_EQ(Child(homeItem, "Empty")->childCount(), 0);
}

TEST_F(FolderTreeTest, OpeningReadsTheDiskAndClosingForgets) {
    auto dialog = Open();
    FolderTree& tree = dialog->folderTree();
    QTreeWidgetItem* songs = Child(HomeItem(tree), "Songs");
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

TEST_F(FolderTreeTest, SelectPathOpensEveryFolderOnTheWay) {
    auto dialog = Open();
    FolderTree& tree = dialog->folderTree();
    ASSERT_TRUE(tree.SelectPath(home + "/A/B/C"));
    QTreeWidgetItem* c = tree.currentItem();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->text(0), "C");
    EXPECT_EQ(tree.ItemPath(c), home + "/A/B/C");
    EXPECT_TRUE(c->parent()->isExpanded());
    EXPECT_TRUE(c->parent()->parent()->isExpanded());

    // A path that is gone changes nothing.
    EXPECT_FALSE(tree.SelectPath(home + "/A/missing"));
    EXPECT_EQ(tree.currentItem(), c);
    EXPECT_EQ(tree.ItemPath(nullptr), "");
    EXPECT_EQ(tree.ItemPath(tree.topLevelItem(0)), "/");
}

TEST_F(FolderTreeTest, SelectingAFolderRefillsTheHardDiskList) {
    auto dialog = Open();
    FolderTree& tree = dialog->folderTree();
    SongListCtrl& list = dialog->hardDiskList();
    EXPECT_EQ(list.topLevelItemCount(), 0);   // the home folder has no songs

    tree.setCurrentItem(Child(HomeItem(tree), "Songs"));
    ASSERT_EQ(ListTitles(list), (QStringList{"apple", "Blues"}));
    EXPECT_EQ(list.topLevelItem(1)->text(1), "3kb");
    EXPECT_EQ(list.topLevelItem(1)->text(2), "live");

    tree.setCurrentItem(Child(HomeItem(tree), "Empty"));
    EXPECT_EQ(list.topLevelItemCount(), 0);
}

TEST_F(FolderTreeTest, NewFolderIsMadeAndSelectedOnlyOnce) {
    auto dialog = Open();
    FolderTree& tree = dialog->folderTree();
    ASSERT_TRUE(tree.SelectPath(home + "/Songs"));
    tree.RunCommand(FolderTree::kNewFolderCommand);
    const std::string made = home + "/Songs/新規ディレクトリ";
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_EQ(tree.ItemPath(tree.currentItem()), made);
    EXPECT_EQ(dialog->hardDiskList().topLevelItemCount(), 0);

    ASSERT_TRUE(tree.SelectPath(home + "/Songs"));
    prompter.ExpectMessage();
    tree.RunCommand(FolderTree::kNewFolderCommand);
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "ディレクトリを作成できません！");
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");
}

TEST_F(FolderTreeTest, DeleteAsksAndRemovesTheWholeFolder) {
    auto dialog = Open();
    FolderTree& tree = dialog->folderTree();
    ASSERT_TRUE(tree.SelectPath(home + "/A"));

    prompter.ExpectOkCancel(false);
    tree.RunCommand(FolderTree::kDeleteFolderCommand);
    EXPECT_TRUE(fs::is_directory(home + "/A/B/C"));
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "ディレクトリ\"" + home + "/A\" と、全ての下位ディレクトリのデータは消去されます。");
    EXPECT_EQ(prompter.calls()[0].caption, "Notice");

    prompter.ExpectOkCancel(true);
    tree.RunCommand(FolderTree::kDeleteFolderCommand);
    EXPECT_FALSE(fs::exists(home + "/A"));
    // Afterwards the working directory is selected again and re-read.
    EXPECT_EQ(tree.ItemPath(tree.currentItem()), home);
    EXPECT_EQ(Child(HomeItem(tree), "A"), nullptr);
}

TEST_F(FolderTreeTest, MenuOffersNothingWithoutAFolderAndNoDeleteAtTheTop) {
    auto dialog = Open();
    FolderTree& tree = dialog->folderTree();
    auto enabled = [&tree]() {
        std::unique_ptr<QMenu> menu(tree.BuildFolderMenu(&tree));
        EXPECT_EQ(menu->objectName(), "DirCommand");
        const auto actions = menu->actions();
        EXPECT_EQ(actions.size(), 2);
        EXPECT_EQ(actions[0]->text(), "新規作成");
        EXPECT_EQ(actions[1]->text(), "削除");
        return std::make_pair(actions[0]->isEnabled(), actions[1]->isEnabled());
    };
    tree.setCurrentItem(nullptr);
    EXPECT_EQ(enabled(), std::make_pair(false, false));
    tree.setCurrentItem(HomeItem(tree));
    EXPECT_EQ(enabled(), std::make_pair(true, false));
    tree.setCurrentItem(Child(HomeItem(tree), "Empty"));
    EXPECT_EQ(enabled(), std::make_pair(true, true));

    // Without a selection the commands touch nothing, even when called.
    tree.setCurrentItem(nullptr);
    tree.RunCommand(FolderTree::kNewFolderCommand);
    tree.RunCommand(FolderTree::kDeleteFolderCommand);
    EXPECT_FALSE(fs::exists(home + "/新規ディレクトリ"));
}

TEST_F(FolderTreeTest, RightClickSelectsTheFolderUnderThePointer) {
    auto dialog = Open();
    dialog->show();
    FolderTree& tree = dialog->folderTree();
    QTreeWidgetItem* empty = Child(HomeItem(tree), "Empty");
    ASSERT_NE(empty, nullptr);
    QString shownTitle;
    QTimer::singleShot(0, [&shownTitle] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shownTitle = menu->objectName();
            menu->close();
        }
    });
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, tree.visualItemRect(empty).center());
    EXPECT_EQ(shownTitle, "DirCommand");
    EXPECT_EQ(tree.currentItem(), empty);
    EXPECT_EQ(dialog->hardDiskList().topLevelItemCount(), 0);
}

TEST_F(FolderTreeTest, RenameFollowsTheDiskAndRefusesTakenOrBadNames) {
    auto dialog = Open();
    FolderTree& tree = dialog->folderTree();
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
    ASSERT_EQ(prompter.calls().size(), 1u);
    EXPECT_EQ(prompter.calls()[0].text, "同名のファイルが存在します。");
    EXPECT_EQ(prompter.calls()[0].caption, "Error!");

    prompter.ExpectMessage();
    tree.RenameFolderFromEdit(a, "x/y");
    EXPECT_EQ(a->text(0), "Renamed");
    EXPECT_TRUE(fs::is_directory(home + "/Renamed"));

    // A cancelled or unchanged edit says nothing and changes nothing.
    tree.RenameFolderFromEdit(a, "");
    tree.RenameFolderFromEdit(a, "Renamed");
    EXPECT_EQ(a->text(0), "Renamed");
    EXPECT_EQ(prompter.calls().size(), 2u);
}

TEST_F(FolderTreeTest, MountedVolumesAppearButTheFloppyDoesNot) {
    MountEntry floppy{"/dev/sdb", home + "/media/FLOPPY", "vfat", true, 1'457'664};
    MountEntry stick{"/dev/sdc1", "/media/user/STICK", "vfat", true, 8'000'000'000};
    MountEntry boot{"/dev/sda1", "/boot", "ext4", false, 500'000'000};
    // Only mounts below the usual mount folders are volumes; the floppy is
    // also given as one to prove it is left out.
    floppy.mountPoint = "/media/user/FLOPPY";
    auto dialog = Open({boot, floppy, stick});
    FolderTree& tree = dialog->folderTree();
    std::vector<std::string> tops;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) tops.push_back(tree.ItemPath(tree.topLevelItem(i)));
    EXPECT_EQ(tops, (std::vector<std::string>{"/", home, "/media/user/STICK"}));
    EXPECT_EQ(dialog->FloppyRoot(), "/media/user/FLOPPY/");
}

}  // namespace
}  // namespace tunecrate::testing
