// SPDX-License-Identifier: MIT
#pragma once

#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <optional>
#include <string>

class QMenu;

namespace tunecrate {

class EdgeScroller;

class Session;

// The folder tree of the hard disk: the root folder, the home folder and the
// mounted volumes at the top, their folders below, read only when a branch is
// opened. Its selected item names the folder that the hard-disk side shows.
// Its menu makes and deletes folders, its labels rename them, and songs
// dropped on a folder go into it.
class FolderTree : public QTreeWidget {
    Q_OBJECT
public:
    FolderTree(Session& session, QWidget* parent);

    // Empties the tree, fills it with the session's top-level folders and
    // opens it at `select`.
    void ResetFolders(const std::string& select);
    // Opens the tree down to `path`, re-reading every folder on the way, and
    // selects it. False when no top-level folder holds the path or it is gone.
    bool SelectPath(const std::string& path);
    // The folder path of an item: no final "/", except for the root folder "/";
    // empty for no item.
    std::string ItemPath(const QTreeWidgetItem* item) const;
    static bool IsPlaceholder(const QTreeWidgetItem* item);
    // Shows hidden folders (".name") or hides them again, the tree read anew.
    void ToggleHiddenFolders();
    // While songs are dragged over the tree: the folder a drop would go
    // into, shown highlighted; null otherwise.
    QTreeWidgetItem* DropTarget() const;

    // The folder menu for the selected item.
    QMenu* BuildFolderMenu(QWidget* parent);
    // The end of a label edit: the item's text changes only when the folder was renamed.
    void RenameFolderFromEdit(QTreeWidgetItem* item, const QString& newText);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    QStringList mimeTypes() const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The subfolders of `folder` as children of `item`; `readNext` is filled
    // right after, so whether it has subfolders is not asked.
    void FillChildren(QTreeWidgetItem* item, const std::string& folder, const std::string& readNext = {});
    QTreeWidgetItem* NewFolderItem(const std::string& path, bool topLevel) const;
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnItemCollapsed(QTreeWidgetItem* item);
    void OnCurrentItemChanged(QTreeWidgetItem* current);
    void Reread(QTreeWidgetItem* item, const std::string& readNext = {});
    void AddPlaceholder(QTreeWidgetItem* item);
    QTreeWidgetItem* FindChild(QTreeWidgetItem* parent, const std::string& name) const;
    // Highlights the folder under `point` as the drop target; none for nullopt.
    void TargetDropAt(std::optional<QPoint> point);

    Session& m_session;
    EdgeScroller* m_edgeScroller;
    std::optional<QPoint> m_dragPoint;     // where songs are dragged over the viewport
    QPersistentModelIndex m_dropTarget;    // the folder highlighted for the drop
    QIcon m_folderIcon;
    QIcon m_driveIcon;
    bool m_busy = false;   // set while the tree changes itself, not the user
};

}  // namespace tunecrate
