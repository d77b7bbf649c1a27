// SPDX-License-Identifier: MIT
#include "widgets/HardDiskList.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <set>

#include "core/text/Encoding.h"
#include "session/Session.h"
#include "widgets/Artwork.h"

namespace tunecrate {

namespace {

constexpr int kTitleBytesRole = Qt::UserRole + 1;
constexpr int kWholeCommentRole = Qt::UserRole + 2;

// The column shows a comment's first word; the row's tooltip and the editor
// the whole of it, so that nothing the user typed seems lost.
void SetWholeComment(QTreeWidgetItem* item, const QString& whole) {
    item->setData(2, kWholeCommentRole, whole);
    for (int column = 0; column < 3; ++column) item->setToolTip(column, whole);
}

// Titles (column 0) are edited with the list's own label editing; the edit
// ends in the rename, which sets the text itself where it succeeds.
class TitleLabelDelegate : public QStyledItemDelegate {
public:
    explicit TitleLabelDelegate(HardDiskList* list) : QStyledItemDelegate(list), m_list(list) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() != 0) return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) m_list->EndCellEdit(index.row(), 0, line->text());
    }

private:
    HardDiskList* m_list;
};

}  // namespace

HardDiskList::HardDiskList(Session& session, QWidget* parent) : SongList(session, parent) {
    setItemDelegate(new TitleLabelDelegate(this));
    setEditTriggers(QAbstractItemView::SelectedClicked);
}

void HardDiskList::ShowSongs() {
    // The same folder listed anew (the tree rebuilt after a change of mounts,
    // a drop arrived) keeps the rows the user selected and the current one,
    // so that the next click on it still opens its editor.
    std::set<std::string> selected;
    std::string current;
    if (m_session.ShownFolder() == m_listed) {
        for (const QTreeWidgetItem* item : selectedItems()) selected.insert(RowTitle(item));
        current = RowTitle(currentItem());
    }
    m_listed = m_session.ShownFolder();
    const auto& images = SongImages();
    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(m_session.FolderSongs().size()));
    for (const HardDiskRow& row : m_session.FolderSongs()) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString::fromStdString(FileNameText(row.title)));
        item->setIcon(0, QIcon(images.value(row.hasEvt ? 1 : 0)));
        item->setData(0, Qt::UserRole, 0);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        // The title's own bytes: the only link from the row back to its files.
        item->setData(0, kTitleBytesRole, QByteArray::fromStdString(row.title));
        item->setText(1, QString::fromStdString(row.sizeText));
        item->setText(2, QString::fromStdString(Cp932ToUtf8(row.comment)));
        SetWholeComment(item, QString::fromStdString(Cp932ToUtf8(row.wholeComment)));
        items.append(item);
    }
    addTopLevelItems(items);
    for (QTreeWidgetItem* item : selected.empty() && current.empty() ? QList<QTreeWidgetItem*>{} : items) {
        const std::string title = RowTitle(item);
        if (!current.empty() && title == current) setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        if (selected.count(title) != 0) item->setSelected(true);
    }
}

std::string HardDiskList::RowTitle(const QTreeWidgetItem* item) {
    return item == nullptr ? std::string() : item->data(0, kTitleBytesRole).toByteArray().toStdString();
}

QTreeWidgetItem* HardDiskList::ItemOf(const std::string& title) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (RowTitle(topLevelItem(i)) == title) return topLevelItem(i);
    }
    return nullptr;
}

void HardDiskList::ShowTitle(const std::string& oldTitle, const std::string& newTitle) {
    // The row stays where it is; the next listing sorts it.
    if (QTreeWidgetItem* item = ItemOf(oldTitle)) {
        item->setText(0, QString::fromStdString(newTitle));
        item->setData(0, kTitleBytesRole, QByteArray::fromStdString(newTitle));
    }
}

void HardDiskList::ShowComment(const std::string& title, const QString& shown) {
    if (QTreeWidgetItem* item = ItemOf(title)) {
        item->setText(2, shown);
        SetWholeComment(item, shown);
    }
}

QString HardDiskList::CellEditText(const QTreeWidgetItem* item, int column) const {
    if (column != 2) return SongList::CellEditText(item, column);
    QString whole = item->data(2, kWholeCommentRole).toString();
    // The editor holds one line; the comment file may hold several.
    whole.replace(QLatin1Char('\r'), QLatin1Char(' '));
    whole.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return whole;
}

bool HardDiskList::IsCellEditable(int row, int column) const {
    return column == 2 && row >= 0 && row < topLevelItemCount();
}

void HardDiskList::EndCellEdit(int row, int column, const std::optional<QString>& text) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!text || item == nullptr) return;
    if (column == 0) m_session.RenameSong(RowTitle(item), *text);
    if (column == 2) m_session.SetSongComment(RowTitle(item), *text);
}

void HardDiskList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F2 && currentItem() != nullptr) {
        editItem(currentItem(), 0);
        return;
    }
    SongList::keyPressEvent(event);
}

void HardDiskList::DeleteSelectedSongs() {
    std::vector<std::string> titles;
    for (int row : SelectedRows()) titles.push_back(RowTitle(topLevelItem(row)));
    m_session.DeleteSongs(titles);
}

std::optional<SongList::DraggedSongs> HardDiskList::DragSongs(bool) {
    std::vector<std::string> titles;
    for (int row : SelectedRows()) titles.push_back(RowTitle(topLevelItem(row)));
    auto payload = m_session.SongsPayload(titles);
    if (!payload) return std::nullopt;
    return DraggedSongs{*payload, [this, titles] { return m_session.SongFiles(titles); }};
}

void HardDiskList::Drop(const QPoint&, bool move, const SongSource& songs) {
    m_session.DropOntoHardDiskList(move, songs);
}

}  // namespace tunecrate
