// SPDX-License-Identifier: MIT
#include "widgets/SongList.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "widgets/DragAndDrop.h"
#include "widgets/EdgeScroller.h"
#include "widgets/InPlaceEdit.h"

namespace tunecrate {

// The lists scroll within 20 pixels of an edge, as they always have.
SongList::SongList(Session& session, QWidget* parent)
    : QTreeWidget(parent), m_session(session), m_edgeScroller(new EdgeScroller(this, 20)) {
    // A report view: rows of cells, no tree decoration, several rows selectable.
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setIconSize(QSize(16, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Songs are dragged out with either button and dropped in as text; the
    // view starts the drag so that a multi-row selection stays whole.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The right button belongs to dragging, never to a context menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    // A scroll by the scroll bar ends an open cell edit first.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { TakeFocusBeforeScrolling(); });
}

void SongList::SetColumns(const std::vector<std::pair<QString, int>>& columns) {
    setColumnCount(static_cast<int>(columns.size()));
    QStringList labels;
    for (const auto& column : columns) labels << column.first;
    setHeaderLabels(labels);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        setColumnWidth(i, columns[static_cast<std::size_t>(i)].second);
        headerItem()->setTextAlignment(i, Qt::AlignLeft | Qt::AlignVCenter);
    }
}

std::vector<int> SongList::SelectedRows() const {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : selectedItems()) rows.push_back(indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::optional<ListCell> SongList::CellFromPoint(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    if (!index.isValid()) return std::nullopt;
    // The column is the one whose span covers the point, both edges included.
    for (int column = 0; column < columnCount(); ++column) {
        const int left = columnViewportPosition(column);
        if (point.x() >= left && point.x() <= left + columnWidth(column)) return ListCell{index.row(), column};
    }
    return ListCell{index.row(), index.column()};
}

void SongList::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const int before = horizontalScrollBar()->value();
    const int left = index.isValid() ? columnViewportPosition(index.column()) : 0;
    QTreeWidget::scrollTo(index, hint);
    if (left >= 0 && left < viewport()->width()) horizontalScrollBar()->setValue(before);
}

InPlaceEdit* SongList::BeginCellEdit(int row, int column) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) return nullptr;
    scrollToItem(item);
    if (column >= header()->count() || columnWidth(column) < 5) return nullptr;
    const QRect rowRect = visualRect(indexFromItem(item, column));
    if (!rowRect.isValid()) return nullptr;
    int left = columnViewportPosition(column);
    if (left < 0 || left > viewport()->width()) {
        // Bring the cell's left edge to the list's left edge.
        horizontalScrollBar()->setValue(header()->sectionPosition(column));
        left = columnViewportPosition(column);
    }
    const int boxLeft = left + 4;
    const int boxRight = std::min(boxLeft + columnWidth(column) - 3, viewport()->width());
    const QRect box(QPoint(boxLeft, rowRect.top()), QPoint(boxRight - 1, rowRect.bottom()));
    const auto alignment = Qt::Alignment(headerItem()->textAlignment(column)) & Qt::AlignHorizontal_Mask;
    // The editor owns itself; the list keeps no reference to it.
    return new InPlaceEdit(this, row, column, CellEditText(item, column), box, alignment ? alignment : Qt::AlignLeft);
}

bool SongList::RowTakesClicks(int) const { return true; }

QString SongList::CellEditText(const QTreeWidgetItem* item, int column) const { return item->text(column); }

void SongList::mousePressEvent(QMouseEvent* event) {
    // Which button pressed decides what a drag starting now does.
    m_pressedButton = event->button();
    m_pressPoint = event->position().toPoint();
    m_focusedAtPress = currentItem();
    QTreeWidget::mousePressEvent(event);
}

void SongList::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    const QPoint point = event->position().toPoint();
    // A press that became a drag is no click.
    if (event->button() != Qt::LeftButton || m_pressedButton != Qt::LeftButton ||
        (point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
        return;
    }
    HandleClick(point, event->modifiers(), m_focusedAtPress);
}

void SongList::HandleClick(const QPoint& point, Qt::KeyboardModifiers modifiers, QTreeWidgetItem* focusedBefore) {
    const auto cell = CellFromPoint(point);
    if (!cell) return;
    QTreeWidgetItem* item = topLevelItem(cell->row);
    if (!RowTakesClicks(cell->row)) {
        item->setSelected(false);
        return;
    }
    if (item == focusedBefore && cell->column > 0) {
        if (IsCellEditable(cell->row, cell->column)) BeginCellEdit(cell->row, cell->column);
        return;
    }
    if (!(modifiers & Qt::ControlModifier)) {
        // Selected and focused, without undoing a range that Shift selected.
        selectionModel()->setCurrentIndex(indexFromItem(item), QItemSelectionModel::NoUpdate);
        item->setSelected(true);
    }
}

void SongList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) DeleteSelectedSongs();
    QTreeWidget::keyPressEvent(event);
}

void SongList::wheelEvent(QWheelEvent* event) {
    TakeFocusBeforeScrolling();
    QTreeWidget::wheelEvent(event);
}

void SongList::TakeFocusBeforeScrolling() {
    // An open cell editor loses the focus and commits before the rows move.
    if (!hasFocus()) setFocus(Qt::OtherFocusReason);
}

void SongList::startDrag(Qt::DropActions) {
    if (selectedItems().isEmpty()) return;
    std::optional<DraggedSongs> songs = DragSongs(m_pressedButton == Qt::RightButton);
    if (!songs) return;
    auto* mime = new SongsMimeData(songs->payload, std::move(songs->files));
    // On the heap: Qt deletes the drag once no program can ask for its data
    // any more, which under X11 may be after exec() has returned.
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    // The left button copies, the right button moves: one action each.
    drag->exec(m_pressedButton == Qt::RightButton ? Qt::MoveAction : Qt::CopyAction);
}

QStringList SongList::mimeTypes() const { return {SongsMimeType(), PayloadMimeType(), QStringLiteral("text/uri-list")}; }

bool SongList::TakesDropAt(const QPoint&) const { return true; }

void SongList::DraggedOver(const QPoint&) {}

void SongList::dragEnterEvent(QDragEnterEvent* event) { AcceptSongDrag(event); }

void SongList::dragMoveEvent(QDragMoveEvent* event) {
    if (!AcceptSongDrag(event)) return;
    m_edgeScroller->DraggedAt(event->position().toPoint());
    DraggedOver(event->position().toPoint());
}

void SongList::dragLeaveEvent(QDragLeaveEvent* event) {
    m_edgeScroller->Stop();
    QTreeWidget::dragLeaveEvent(event);
}

void SongList::dropEvent(QDropEvent* event) {
    m_edgeScroller->Stop();
    const QPoint point = event->position().toPoint();
    if (!CarriesSongs(event) || !TakesDropAt(point)) {
        event->ignore();
        return;
    }
    TakeDrop(event, this, [this, point](bool move, const SongSource& songs) { Drop(point, move, songs); });
}

}  // namespace tunecrate
