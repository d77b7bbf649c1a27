// SPDX-License-Identifier: MIT
#include "lists/SongListCtrl.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "app/Artwork.h"
#include "app/MainDialog.h"
#include "core/text/Encoding.h"
#include "core/songs/HardDiskSongs.h"

namespace tunecrate {

namespace {

constexpr int kTitleBytesRole = Qt::UserRole + 1;

// The hard-disk list edits its titles (column 0) with the list's own label
// editing; the edit ends in the shared end-of-edit handler, which sets the
// text itself where the rename succeeds.
class TitleLabelDelegate : public QStyledItemDelegate {
public:
    explicit TitleLabelDelegate(SongListCtrl* list) : QStyledItemDelegate(list), m_list(list) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (!m_list->IsHardDiskList() || index.column() != 0) return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) m_list->EndCellEdit(index.row(), 0, line->text());
    }

private:
    SongListCtrl* m_list;
};

}  // namespace

SongListCtrl::SongListCtrl(QWidget* parent) : QTreeWidget(parent) {
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
    setAutoScroll(true);
    setAutoScrollMargin(20);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The right button belongs to dragging, never to a context menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setItemDelegate(new TitleLabelDelegate(this));
    // A scroll by the scroll bar ends an open cell edit first.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { TakeFocusBeforeScrolling(); });

}

bool SongListCtrl::IsFloppyList() const {
    return m_owner != nullptr && this == &m_owner->floppyList();
}

bool SongListCtrl::IsHardDiskList() const {
    return m_owner != nullptr && this == &m_owner->hardDiskList();
}

void SongListCtrl::SetColumns(const std::vector<std::pair<QString, int>>& columns) {
    setColumnCount(static_cast<int>(columns.size()));
    QStringList labels;
    for (const auto& column : columns) labels << column.first;
    setHeaderLabels(labels);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        setColumnWidth(i, columns[static_cast<std::size_t>(i)].second);
        headerItem()->setTextAlignment(i, Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void SongListCtrl::ShowSlotRows(const std::vector<SlotRow>& rows) {
    clear();
    const auto& images = SongImages();
    for (const SlotRow& row : rows) {
        auto* item = new QTreeWidgetItem(this);
        const int state = static_cast<int>(row.state);
        item->setText(0, QString::number(row.number));
        item->setIcon(0, QIcon(images.value(state)));
        item->setData(0, Qt::UserRole, state);
        item->setText(1, QString::fromStdString(Cp932ToUtf8(row.title)));
        item->setText(2, QString::fromStdString(row.sizeText));
        item->setText(3, QString::fromStdString(Cp932ToUtf8(row.comment)));
    }
}

void SongListCtrl::FillHardDiskList(const std::string& folder) {
    if (m_owner == nullptr) return;
    const std::vector<HardDiskRow> rows = ListFolderSongs(folder);
    SongListCtrl& list = m_owner->hardDiskList();
    const auto& images = SongImages();
    list.clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(rows.size()));
    for (const HardDiskRow& row : rows) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString::fromUtf8(row.title.data(), static_cast<int>(row.title.size())));
        item->setIcon(0, QIcon(images.value(row.hasEvt ? 1 : 0)));
        item->setData(0, Qt::UserRole, 0);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        // The title's own bytes: the only link from the row back to its files.
        item->setData(0, kTitleBytesRole, QByteArray::fromStdString(row.title));
        item->setText(1, QString::fromStdString(row.sizeText));
        item->setText(2, QString::fromStdString(Cp932ToUtf8(row.comment)));
        items.append(item);
    }
    list.addTopLevelItems(items);
}

void SongListCtrl::RefillHardDiskList() {
    if (m_owner == nullptr) return;
    FolderTree& tree = m_owner->folderTree();
    FillHardDiskList(tree.ItemPath(tree.currentItem()));
}

std::string SongListCtrl::RowTitle(const QTreeWidgetItem* item) {
    return item == nullptr ? std::string() : item->data(0, kTitleBytesRole).toByteArray().toStdString();
}

}  // namespace tunecrate
