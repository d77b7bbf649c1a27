// SPDX-License-Identifier: MIT
#include "widgets/FloppyList.h"

#include "core/text/Encoding.h"
#include "core/text/SongNames.h"
#include "session/Session.h"
#include "widgets/Artwork.h"
#include "widgets/InPlaceEdit.h"

namespace tunecrate {

FloppyList::FloppyList(Session& session, QWidget* parent) : SongList(session, parent) {}

void FloppyList::ShowSlots() {
    const std::vector<SlotRow>& rows = m_session.SlotRows();
    auto texts = [](const SlotRow& row) {
        return QStringList{QString::number(row.number), QString::fromStdString(Cp932ToUtf8(row.title)),
                           QString::fromStdString(row.sizeText), QString::fromStdString(Cp932ToUtf8(row.comment))};
    };
    // Any mount on the desktop reads the floppy again. When it holds what the
    // list shows, the list stays as it is: rebuilt, it would drop the current
    // row, the selection and the press the user is making (no drag would start).
    bool same = topLevelItemCount() == static_cast<int>(rows.size());
    for (int i = 0; same && i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = topLevelItem(i);
        const SlotRow& row = rows[static_cast<std::size_t>(i)];
        same = item->data(0, Qt::UserRole).toInt() == static_cast<int>(row.state) &&
               QStringList{item->text(0), item->text(1), item->text(2), item->text(3)} == texts(row);
    }
    if (same) return;
    clear();
    const auto& images = SongImages();
    for (const SlotRow& row : rows) {
        auto* item = new QTreeWidgetItem(this, texts(row));
        const int state = static_cast<int>(row.state);
        item->setIcon(0, QIcon(images.value(state)));
        item->setData(0, Qt::UserRole, state);
    }
}

void FloppyList::ShowSlotText(int slot, int column, const QString& shown) {
    if (QTreeWidgetItem* item = topLevelItem(slot)) item->setText(column, shown);
}

bool FloppyList::RowTakesClicks(int row) const {
    // An empty slot can be neither selected by a click nor edited.
    return m_session.SlotHoldsSong(row);
}

bool FloppyList::IsCellEditable(int row, int column) const {
    return (column == 1 || column == 3) && row >= 0 && row < topLevelItemCount() && m_session.SlotHoldsSong(row);
}

void FloppyList::EndCellEdit(int row, int column, const std::optional<QString>& text) {
    if (!text || (column != 1 && column != 3)) return;
    const Result edited = column == 1 ? m_session.EditSlotTitle(row, *text) : m_session.EditSlotComment(row, *text);
    if (!edited.ok()) {
        // What was typed is not lost: the editor opens again on it, once this one has gone.
        QMetaObject::invokeMethod(
            this,
            [this, row, column, typed = *text] {
                if (InPlaceEdit* editor = BeginCellEdit(row, column)) editor->setText(typed);
            },
            Qt::QueuedConnection);
    }
}

void FloppyList::DeleteSelectedSongs() { m_session.DeleteSlots(SelectedRows()); }

std::optional<SongList::DraggedSongs> FloppyList::DragSongs(bool move) {
    const std::vector<int> rows = SelectedRows();
    const std::optional<std::string> payload = m_session.SlotsPayload(rows);
    if (!payload) return std::nullopt;
    // Other programs get copies made for the drag, never the floppy's songs:
    // they could move only the copies, so a move offers them no files at all
    // (the cursor then says no) instead of a move that leaves the slot.
    if (move) return DraggedSongs{*payload, {}};
    return DraggedSongs{*payload, [this, rows] { return m_session.SlotFilesForDrag(rows); }};
}

std::optional<int> FloppyList::SlotAt(int y) const {
    const QModelIndex index = indexAt(QPoint(10, y));
    if (!index.isValid() || index.row() >= kSlotCount) return std::nullopt;
    return index.row();
}

bool FloppyList::TakesDropAt(const QPoint& point) const { return SlotAt(point.y()).has_value(); }

void FloppyList::DraggedOver(const QPoint& point) {
    // The slot where a drop would begin is the one highlighted.
    if (auto row = SlotAt(point.y())) {
        QTreeWidgetItem* item = topLevelItem(*row);
        if (!item->isSelected() || currentItem() != item || selectedItems().size() != 1) {
            clearSelection();
            setCurrentItem(item);
            item->setSelected(true);
        }
    }
}

void FloppyList::Drop(const QPoint& point, bool move, const SongSource& songs) {
    m_session.DropOntoFloppyList(SlotAt(point.y()), move, songs);
}

}  // namespace tunecrate
