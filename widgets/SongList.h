// SPDX-License-Identifier: MIT
#pragma once

#include <QTreeWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/songs/SongSource.h"

namespace tunecrate {

class EdgeScroller;
class InPlaceEdit;
class Session;

// A cell of a list: row and column.
struct ListCell {
    int row = -1;
    int column = 0;
};

// What both song lists share: a report view of songs, the clicks that select
// rows and open the cell editor, the Delete key, dragging songs out with
// either button (the left copies, the right moves) and taking songs dropped
// in. What a gesture does is the concern of each list, through the session.
class SongList : public QTreeWidget {
    Q_OBJECT
public:
    SongList(Session& session, QWidget* parent);

    // Column headers and widths in pixels, left-aligned.
    void SetColumns(const std::vector<std::pair<QString, int>>& columns);

    // The cell under a point of the viewport; nullopt when no row is there.
    std::optional<ListCell> CellFromPoint(const QPoint& point) const;
    // True for the cells that the cell editor edits.
    virtual bool IsCellEditable(int row, int column) const = 0;
    // Opens a cell editor over the cell; null when the cell cannot be shown.
    InPlaceEdit* BeginCellEdit(int row, int column);
    // The end of every edit of a cell; no text when it was cancelled.
    virtual void EndCellEdit(int row, int column, const std::optional<QString>& text) = 0;

    std::vector<int> SelectedRows() const;

    // Rows are brought into view; the list scrolls sideways only when the
    // cell's left edge is out of sight, so a click on a wide comment cell
    // never hides the titles.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    // Whether a click may select the row (an empty floppy slot may not).
    virtual bool RowTakesClicks(int row) const;
    virtual void DeleteSelectedSongs() = 0;
    // What a drag of the selected rows carries: the payload, and the songs'
    // files for other programs, asked for only when one wants them (none:
    // other programs are offered no files).
    struct DraggedSongs {
        std::string payload;
        std::function<std::vector<std::string>()> files;
    };
    // Nothing starts no drag. `move` for a drag that moves the songs.
    virtual std::optional<DraggedSongs> DragSongs(bool move) = 0;
    // Runs a drop once the drag has ended; false when it is refused.
    virtual void Drop(const QPoint& point, bool move, const SongSource& songs) = 0;
    // Whether a drop at this point is taken at all (the floppy needs a row).
    virtual bool TakesDropAt(const QPoint& point) const;
    // Feedback while songs are dragged over the list.
    virtual void DraggedOver(const QPoint& point);
    // The text a cell editor opens on: the cell's own text unless a list keeps more.
    virtual QString CellEditText(const QTreeWidgetItem* item, int column) const;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    QStringList mimeTypes() const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

    Session& m_session;

private:
    void TakeFocusBeforeScrolling();
    // The click rules, once the button is up without a drag.
    void HandleClick(const QPoint& point, Qt::KeyboardModifiers modifiers, QTreeWidgetItem* focusedBefore);

    EdgeScroller* m_edgeScroller;
    Qt::MouseButton m_pressedButton = Qt::NoButton;
    QPoint m_pressPoint;
    QTreeWidgetItem* m_focusedAtPress = nullptr;
};

}  // namespace tunecrate
