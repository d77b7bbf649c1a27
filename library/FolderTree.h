// SPDX-License-Identifier: MIT
#pragma once

#include <QTreeWidget>
#include <string>

class QMenu;

namespace tunecrate {

class MainDialog;

// The folder tree of the hard disk: the root folder, the home folder and the
// mounted volumes at the top, their folders below, read from the disk only
// when a branch is opened. Its selected item names the folder that the whole
// hard-disk side works on. It also owns the folder commands (new, rename,
// delete) and finds the floppy while it is filled.
class FolderTree : public QTreeWidget {
    Q_OBJECT
public:
    enum Command { kNewFolderCommand = 32775, kDeleteFolderCommand = 32776 };

    explicit FolderTree(QWidget* parent = nullptr);

    void setOwner(MainDialog* owner) { m_owner = owner; }

    // Empties the tree and fills it with the top-level folders; also sets the
    // owner's floppy root. False (with lastError) when nothing could be shown.
    bool FillTree(int includeFiles);
    // Opens the tree down to `path`, re-reading every folder on the way, and
    // selects it. False when no top-level folder holds the path or it is gone.
    bool SelectPath(const std::string& path);
    // The folder path of an item: no final "/", except for the root folder "/";
    // empty for no item.
    std::string ItemPath(const QTreeWidgetItem* item) const;
    void FillChildren(QTreeWidgetItem* item, const std::string& folder);
    QTreeWidgetItem* InsertFolderItem(QTreeWidgetItem* parent, const std::string& path);
    bool HasContent(const std::string& folder) const;
    static bool IsPlaceholder(const QTreeWidgetItem* item);

    const std::string& lastError() const { return m_lastError; }

    // The folder menu for the selected item, and its commands.
    QMenu* BuildFolderMenu(QWidget* parent);
    void RunCommand(int command);
    void MakeNewFolderCommand();
    void DeleteFolderCommand();
    // The end of a label edit: renames the item's folder; the item's text
    // changes only when the folder was renamed.
    void RenameFolderFromEdit(QTreeWidgetItem* item, const QString& newText);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // Songs dropped on a folder.
    QStringList mimeTypes() const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void onItemExpanded(QTreeWidgetItem* item);
    void onItemCollapsed(QTreeWidgetItem* item);
    void onCurrentItemChanged(QTreeWidgetItem* current);
    void Reread(QTreeWidgetItem* item);
    void AddPlaceholder(QTreeWidgetItem* item);
    QTreeWidgetItem* FindChild(QTreeWidgetItem* parent, const std::string& name) const;

    MainDialog* m_owner = nullptr;
    int m_includeFiles = 1;
    std::string m_lastError;
    bool m_busy = false;   // set while the tree changes itself, not the user
};

}  // namespace tunecrate
