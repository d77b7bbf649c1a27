// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ColorButton.h"
#include "core/disk/FloppyFinder.h"
#include "core/songs/SlotRow.h"
#include "library/FolderTree.h"
#include "lists/SongListCtrl.h"

class QLabel;
class QMenu;

namespace tunecrate {

class FloppyVolume;
class FreeSpaceBar;
class Prompter;

// The palettes of the program's dialogs: navy background, yellow texts; and the
// platform's own colours for lists, trees and standard buttons.
QPalette DialogPalette();
QPalette SystemPalette();

// What the main window is started with.
struct MainDialogOptions {
    std::optional<std::string> floppy;      // --floppy, a folder or an image file: wins over detection
    std::string workingDirectory;           // the first hard-disk folder
    std::string home;                       // the home folder at the top of the tree
    std::function<std::vector<MountEntry>()> mountTable = ReadMountTable;
};

// The main window: owns the folder tree, both song lists, the colour buttons,
// the floppy's slot rows (the only in-memory catalogue) and its free space.
class MainDialog : public QDialog {
    Q_OBJECT
public:
    explicit MainDialog(MainDialogOptions options, QWidget* parent = nullptr);
    ~MainDialog() override;

    SongListCtrl& hardDiskList() { return m_hardDiskList; }
    SongListCtrl& floppyList() { return m_floppyList; }
    FolderTree& folderTree() { return m_folderTree; }

    const std::string& FloppyRoot() const { return m_FloppyRoot; }
    int FreePercent() const { return m_FreePercent; }
    std::int64_t FreeBytes() const { return m_FreeBytes; }
    const std::vector<SlotRow>& SlotRows() const { return m_slotRows; }
    // The rows that edits change before the catalogue is written from them.
    std::vector<SlotRow>& slotRows() { return m_slotRows; }

    const std::string& WorkingDirectory() const { return m_options.workingDirectory; }
    const std::string& HomeFolder() const { return m_options.home; }
    std::vector<MountEntry> MountTable() const { return m_options.mountTable(); }
    // Sets FloppyRoot: the chosen floppy (--floppy or an image opened from the
    // menu), else the last mounted floppy; with neither the former value stays,
    // as after a disk was taken out. An image's root is its path and a "/".
    void LocateFloppy(const std::vector<MountEntry>& mounts);

    // The floppy as a volume; null when no floppy is known.
    std::unique_ptr<FloppyVolume> OpenFloppy() const;

    // Whether the floppy was named (--floppy or an opened image) rather than detected.
    bool HasFloppyChoice() const { return m_floppyChoice.has_value(); }
    // Asks for an image file and, on a choice, makes it the floppy and rereads.
    void OpenFloppyImage();
    // Forgets the named floppy, goes back to the mounted drive and rereads.
    void UseFloppyDrive();

    // Rereads the five slot rows and the free space; with `showError` an
    // unreadable floppy is reported.
    void ReadCatalogue(bool showError);

    // The first fill at start-up (silent) and the reload button (reports).
    void FirstFill();
    void Reload();
    void ShowAbout();

    // Questions and messages owned by `window`; tests put in their own.
    Prompter& PrompterFor(QWidget* window);
    void setPrompter(Prompter* prompter) { m_testPrompter = prompter; }

    // Asks for an image file starting in a folder; nullopt when cancelled.
    using FileChooser = std::function<std::optional<std::string>(QWidget* parent, const std::string& startFolder)>;
    void setFileChooser(FileChooser chooser) { m_fileChooser = std::move(chooser); }

    // The background's menu: open an image, back to the drive, the about box.
    QMenu* BuildBackgroundMenu(QWidget* parent);

signals:
    void catalogueRead();

protected:
    void accept() override;   // Enter does nothing
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildLayout();
    void UpdateFreeSpaceDisplay();

    MainDialogOptions m_options;
    // Members in the order of the window's controls.
    QLabel* m_versionText = nullptr;
    QLabel* m_freeSpaceText = nullptr;
    FreeSpaceBar* m_freeSpaceBar = nullptr;
    SongListCtrl m_hardDiskList;
    SongListCtrl m_floppyList;
    FolderTree m_folderTree;
    std::string m_FloppyRoot;
    // What OpenFloppyVolume gets: an image's path, or a folder with a final "/".
    std::string m_floppyLocation;
    // The floppy named by --floppy or the menu, until "back to the drive".
    std::optional<std::string> m_floppyChoice;
    int m_FreePercent = -1;
    std::int64_t m_FreeBytes = 0;
    ColorButton m_customizeButton;
    ColorButton m_helpButton;
    ColorButton m_exitButton;
    ColorButton m_reloadButton;
    std::vector<SlotRow> m_slotRows;

    Prompter* m_testPrompter = nullptr;
    FileChooser m_fileChooser;
    std::map<QWidget*, std::unique_ptr<Prompter>> m_prompters;
};

}  // namespace tunecrate
