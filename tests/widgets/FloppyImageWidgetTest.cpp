// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

#include "FakePrompter.h"
#include "ListEditing.h"
#include "TestFloppy.h"
#include "app/MainDialog.h"
#include "core/disk/ImageVolume.h"
#include "core/songs/SongFloppyImage.h"

namespace tunecrate::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// A new image holds song.nam (40 lines of 17 bytes + CR LF: 760 bytes, two
// 512-byte clusters) and comments.dat (40 CR LFs: one cluster) out of the 2,847
// clusters of a 1.44 MB FAT12 disk.
constexpr std::int64_t kNewImageFreeBytes = (2847 - 3) * 512;

class FloppyImageWidgetTest : public ::testing::Test {
protected:
    FloppyImageWidgetTest() {
        image = folder.Path("disk.img");
        const FileResult made = CreateSongFloppyImage(image);
        EXPECT_TRUE(made.ok()) << made.Reason();
        WriteFloppy(drive, DemoSlots());
    }

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
    // A window whose mount table shows `drive` as a mounted 1.44 MB floppy.
    MainDialogOptions WithDrive() {
        MainDialogOptions options = OptionsWithoutMounts();
        options.mountTable = [path = drive.path()] {
            MountEntry entry;
            entry.device = "/dev/sdz";
            entry.mountPoint = path;
            entry.fsType = "vfat";
            entry.removable = true;
            entry.totalBytes = kFloppyCapacity;
            return std::vector<MountEntry>{entry};
        };
        return options;
    }
    QTreeWidget& List() { return dialog->floppyList(); }
    QString Title(int row) { return List().topLevelItem(row)->text(1); }

    // Triggers a background-menu item as the user would pick it, after checking
    // the menu's shape; returns whether the item was enabled.
    bool Pick(const char* actionName) {
        std::unique_ptr<QMenu> menu(dialog->BuildBackgroundMenu(dialog.get()));
        const QList<QAction*> actions = menu->actions();
        EXPECT_EQ(actions.size(), 4);
        if (actions.size() != 4) return false;
        EXPECT_EQ(actions[0]->objectName(), "openFloppyImageAction");
        EXPECT_EQ(actions[0]->text(), "フロッピーイメージを開く(&O)...");
        EXPECT_TRUE(actions[0]->isEnabled());
        EXPECT_EQ(actions[1]->objectName(), "floppyDriveAction");
        EXPECT_EQ(actions[1]->text(), "フロッピードライブに戻る(&D)");
        EXPECT_TRUE(actions[2]->isSeparator());
        EXPECT_EQ(actions[3]->objectName(), "aboutAction");
        auto* action = menu->findChild<QAction*>(QString::fromLatin1(actionName));
        EXPECT_NE(action, nullptr) << actionName;
        if (action == nullptr || !action->isEnabled()) return false;
        action->trigger();
        return true;
    }

    TempFolder folder;   // holds the image
    TempFolder drive;    // the mounted floppy of the fake mount table
    std::string image;
    FakePrompter prompter;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(FloppyImageWidgetTest, NewImageShowsFiveEmptySlotsAndTheFreeSpaceLeftByTheCatalogue) {
    MainDialog& window = Open(WithFloppy(image));
    window.FirstFill();

    EXPECT_EQ(window.FloppyRoot(), image + "/");
    ASSERT_EQ(List().topLevelItemCount(), 5);
    for (int row = 0; row < 5; ++row) {
        const QTreeWidgetItem* item = List().topLevelItem(row);
        EXPECT_EQ(item->text(0), QString::number(row + 1));
        EXPECT_EQ(item->text(1), "");
        EXPECT_EQ(item->text(2), "----") << "row " << row;
        EXPECT_EQ(item->data(0, Qt::UserRole).toInt(), 2) << "row " << row;
    }
    EXPECT_EQ(window.FreeBytes(), kNewImageFreeBytes);
    EXPECT_EQ(window.FreePercent(), 99);
    auto* text = window.findChild<QLabel*>(QStringLiteral("freeSpaceText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), "空き 1456.13 kb");
    EXPECT_TRUE(prompter.calls().empty());
}

TEST_F(FloppyImageWidgetTest, MenuSwitchesToAChosenImageAndBackToTheDrive) {
    MainDialog& window = Open(WithDrive());
    window.FirstFill();
    ASSERT_EQ(window.FloppyRoot(), drive.path() + "/");
    ASSERT_EQ(List().topLevelItemCount(), 5);
    EXPECT_EQ(Title(0), "Blues in F");

    std::vector<std::string> startFolders;
    std::optional<std::string> answer = image;
    window.setFileChooser([&](QWidget*, const std::string& start) {
        startFolders.push_back(start);
        return answer;
    });
    EXPECT_FALSE(Pick("floppyDriveAction")) << "nothing chosen yet, so nothing to go back from";

    ASSERT_TRUE(Pick("openFloppyImageAction"));
    EXPECT_EQ(window.FloppyRoot(), image + "/");
    ASSERT_EQ(List().topLevelItemCount(), 5);
    EXPECT_EQ(Title(0), "");
    EXPECT_EQ(window.FreeBytes(), kNewImageFreeBytes);
    // The reload button keeps the chosen image, though a drive is mounted.
    window.Reload();
    EXPECT_EQ(window.FloppyRoot(), image + "/");

    // Cancelling changes nothing; the chooser starts where the image is.
    answer.reset();
    ASSERT_TRUE(Pick("openFloppyImageAction"));
    EXPECT_EQ(window.FloppyRoot(), image + "/");
    EXPECT_EQ(startFolders, (std::vector<std::string>{window.WorkingDirectory(), folder.path()}));

    ASSERT_TRUE(Pick("floppyDriveAction"));
    EXPECT_EQ(window.FloppyRoot(), drive.path() + "/");
    ASSERT_EQ(List().topLevelItemCount(), 5);
    EXPECT_EQ(Title(0), "Blues in F");
    EXPECT_FALSE(window.HasFloppyChoice());
    EXPECT_TRUE(prompter.calls().empty());

    // A right-click on the background opens that same menu.
    window.show();
    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shown = menu->objectName();
            menu->close();
        }
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&window, &click);
    EXPECT_EQ(shown, "backgroundMenu");
}

TEST_F(FloppyImageWidgetTest, UnusableImageIsReportedNamingTheFile) {
    // Every case makes its own image at the given path.
    int lockHolder = -1;
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> cases = {
        {"zero.img", [this](const std::string&) { folder.Write("zero.img", std::string(1'474'560, '\0')); }},
        {"short.img",
         [](const std::string& path) {
             ASSERT_TRUE(CreateSongFloppyImage(path).ok());
             std::filesystem::resize_file(path, 1'474'560 / 2);
         }},
        {"locked.img",
         [&lockHolder](const std::string& path) {
             // Another program holding the image, as a second Tunecrate would.
             ASSERT_TRUE(CreateSongFloppyImage(path).ok());
             lockHolder = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
             ASSERT_EQ(::flock(lockHolder, LOCK_EX | LOCK_NB), 0);
         }},
    };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        const std::string path = folder.Path(name);
        make(path);
        FakePrompter messages;
        MainDialog window(WithFloppy(path));
        window.setPrompter(&messages);
        window.FirstFill();   // silent at start-up
        EXPECT_TRUE(messages.calls().empty());

        messages.ExpectMessage();
        window.Reload();
        messages.VerifyAllUsed();
        ASSERT_EQ(messages.calls().size(), 1u);
        const std::string& text = messages.calls()[0].text;
        const std::string standard = "Cannot open " + path + "/song.nam.\nPlease insert valid floppy disk.\n\n";
        EXPECT_THAT(text, StartsWith(standard));
        // The reason after it names the image again.
        EXPECT_THAT(text.substr(std::min(standard.size(), text.size())), HasSubstr(path));
        EXPECT_EQ(window.floppyList().topLevelItemCount(), 0);
        EXPECT_EQ(window.FreePercent(), -1);
    }
    if (lockHolder >= 0) ::close(lockHolder);
}

// Each step opens the image anew while the list may still hold it open: none
// may find the image locked by the program itself.
TEST_F(FloppyEditingTest, EditingAndDeletingWorkInsideAnImage) {
    OpenWindow(DemoSlots(), true);
    EditCell(0, 1, "Nocturne");
    EditCell(0, 3, "夜");
    EXPECT_EQ(CatalogueLine(Titles(), 0), "Nocturne         ");
    EXPECT_EQ(CatalogueLine(Comments(), 0), "\x96\xe9");   // 夜 in CP932

    ClickCell(List(), 3, 0);
    prompter.ExpectYesNo(true);
    PressDelete();
    prompter.VerifyAllUsed();
    ASSERT_EQ(prompter.calls().size(), 1u) << "only the question, no error";
    ImageVolume volume(image);
    EXPECT_FALSE(volume.Exists("MDR_03.B00"));
    EXPECT_FALSE(volume.Exists("MDR_03.EVT"));
    EXPECT_TRUE(volume.Exists("MDR_00.B00"));
    EXPECT_EQ(CellText(3, 2), "----");
}

}  // namespace
}  // namespace tunecrate::testing
