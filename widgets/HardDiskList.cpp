// SPDX-License-Identifier: MIT
#include "widgets/HardDiskList.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <set>

#include "core/text/CommentFile.h"
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

// A row that draws what it shows from its song's row when the view asks: a
// folder of 100,000 songs then keeps no texts, tooltips or icons per row,
// and only the rows in sight are ever decoded.
class SongItem final : public QTreeWidgetItem {
public:
    SongItem(const HardDiskRow& row, const QIcon& icon) : QTreeWidgetItem(UserType), m_row(row), m_icon(icon) {
        setFlags(flags() | Qt::ItemIsEditable);
    }
    const HardDiskRow& Row() const { return m_row; }

    QVariant data(int column, int role) const override {
        // What the list set on the row itself, an edited comment, wins.
        if (QVariant own = QTreeWidgetItem::data(column, role); own.isValid()) return own;
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            if (column == 0) return QString::fromStdString(FileNameText(m_row.title));
            if (column == 1) return QString::fromStdString(m_row.sizeText);
            if (column == 2) return QString::fromStdString(Cp932ToUtf8(FirstCommentWord(m_row.wholeComment)));
            break;
        case Qt::DecorationRole:
            if (column == 0) return m_icon;
            break;
        case Qt::ToolTipRole:
            return QString::fromStdString(Cp932ToUtf8(m_row.wholeComment));
        case kTitleBytesRole:
            // The title's own bytes: the only link from the row back to its files.
            if (column == 0) return QByteArray::fromStdString(m_row.title);
            break;
        case kWholeCommentRole:
            if (column == 2) return QString::fromStdString(Cp932ToUtf8(m_row.wholeComment));
            break;
        default:
            break;
        }
        return {};
    }

private:
    const HardDiskRow& m_row;   // in the rows the list keeps
    const QIcon& m_icon;        // one of the list's two
};

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

// The items go before the rows and icons they refer to.
HardDiskList::~HardDiskList() { clear(); }

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
    if (m_icons[0].isNull()) {
        const auto& images = SongImages();
        m_icons = {QIcon(images.value(0)), QIcon(images.value(1))};
    }
    clear();
    // The rows shown before live on until their items are gone.
    m_rows = m_session.FolderSongs();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(m_rows->size()));
    for (const HardDiskRow& row : *m_rows) items.append(new SongItem(row, m_icons[row.hasEvt ? 1 : 0]));
    addTopLevelItems(items);
    if (selected.empty() && current.empty()) return;
    for (QTreeWidgetItem* item : items) {
        const std::string& title = static_cast<const SongItem*>(item)->Row().title;
        if (!current.empty() && title == current) setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        if (selected.count(title) != 0) item->setSelected(true);
    }
}

std::string HardDiskList::RowTitle(const QTreeWidgetItem* item) {
    return item == nullptr ? std::string() : item->data(0, kTitleBytesRole).toByteArray().toStdString();
}

QTreeWidgetItem* HardDiskList::ItemOf(const std::string& title) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (static_cast<const SongItem*>(topLevelItem(i))->Row().title == title) return topLevelItem(i);
    }
    return nullptr;
}

void HardDiskList::ShowTitle(const std::string&, const std::string& newTitle) {
    // The session renamed the song's row, which the item shows; the row stays
    // where it is, and the next listing sorts it.
    if (QTreeWidgetItem* item = ItemOf(newTitle)) viewport()->update(visualItemRect(item));
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
