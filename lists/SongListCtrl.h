// SPDX-License-Identifier: MIT
#pragma once

#include <QTreeWidget>
#include <optional>
#include <string>
#include <vector>

#include "core/songs/FloppyCatalogue.h"
#include "core/songs/SlotRow.h"

namespace tunecrate {

class InPlaceEdit;
class MainDialog;

// A cell of a list: row and column.
struct ListCell {
    int row = -1;
    int column = 0;
};

// The one list class behind both song lists of the main window: the floppy's
// five slots and the songs of the selected hard-disk folder. It holds no flag
// of its own; each handler asks its owner which of the two lists it is.
class SongListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit SongListCtrl(QWidget* parent = nullptr);

    void setOwner(MainDialog* owner) { m_owner = owner; }
    MainDialog* owner() const { return m_owner; }

    bool IsFloppyList() const;
    bool IsHardDiskList() const;

    // Column headers and widths in pixels, left-aligned.
    void SetColumns(const std::vector<std::pair<QString, int>>& columns);

    // Replaces the rows of the floppy list with the slot rows.
    void ShowSlotRows(const std::vector<SlotRow>& rows);

    // Fills the owner's hard-disk list with the songs of `folder`.
    void FillHardDiskList(const std::string& folder);
    // Fills the owner's hard-disk list from the folder selected in the tree,
    // whichever list it is called on.
    void RefillHardDiskList();
    // A hard-disk row's title as the bytes of its file name.
    static std::string RowTitle(const QTreeWidgetItem* item);

    // The cell under a point of the viewport; nullopt when no row is there.
    std::optional<ListCell> CellFromPoint(const QPoint& point) const;
    // True for the cells that the cell editor edits: floppy title and comment
    // of an occupied slot, hard-disk comment.
    bool IsCellEditable(int row, int column) const;
    bool SlotHoldsSong(int row) const;
    // Opens a cell editor over the cell; null when the cell cannot be shown.
    InPlaceEdit* BeginCellEdit(int row, int column);
    // The end of every edit of a cell, from the cell editor or from the
    // hard-disk list's own title editing; no text when it was cancelled.
    void EndCellEdit(int row, int column, const std::optional<QString>& text);
    // The Delete key: asks, then deletes the songs of the selected rows.
    void DeleteSelectedSongs();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Dragging songs out of the list and dropping them onto it.
    void startDrag(Qt::DropActions supportedActions) override;
    QStringList mimeTypes() const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void EndFloppyTitleEdit(int row, const QString& text);
    void EndFloppyCommentEdit(int row, const QString& text);
    void EndHardDiskTitleEdit(int row, const QString& text);
    void EndHardDiskCommentEdit(int row, const QString& text);
    // Puts a floppy title or comment on the floppy as it is now; the cell
    // shows `shown` when the edit is made, else the floppy is read again.
    void StoreSlotText(const SlotText& change, int column, const QString& shown);
    // The text as CP932 for a floppy or a title; tells the user and gives
    // nullopt when a character has no CP932 form.
    std::optional<std::string> EncodeForFloppy(const QString& text);
    void TakeFocusBeforeScrolling();
    // The click rules, once the button is up without a drag.
    void HandleClick(const QPoint& point, Qt::KeyboardModifiers modifiers, QTreeWidgetItem* focusedBefore);
    void ShowError(const std::string& text);

    MainDialog* m_owner = nullptr;
    Qt::MouseButton m_pressedButton = Qt::NoButton;
    QPoint m_pressPoint;
    QTreeWidgetItem* m_focusedAtPress = nullptr;
};

}  // namespace tunecrate
