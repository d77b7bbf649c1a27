// SPDX-License-Identifier: MIT
// The song lists as drag sources and drop targets.
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>

#include "app/MainDialog.h"
#include "core/DragPayload.h"
#include "core/FloppyDrop.h"
#include "core/FolderDrop.h"
#include "core/SongNames.h"
#include "lists/SongListCtrl.h"
#include "transfer/DropGlue.h"

namespace tunecrate {

namespace {

// The floppy row a drop at `y` begins with: the row at (10, y), so that the
// whole width of a row counts.
std::optional<int> FloppyRowAt(const SongListCtrl& list, int y) {
    const QModelIndex index = list.indexAt(QPoint(10, y));
    if (!index.isValid() || index.row() >= kSlotCount) return std::nullopt;
    return index.row();
}

}  // namespace

void SongListCtrl::startDrag(Qt::DropActions) {
    if (m_owner == nullptr || selectedItems().isEmpty()) return;
    auto* payload = new QMimeData;
    payload->setData(QString::fromLatin1(kPayloadMimeType.data(), static_cast<int>(kPayloadMimeType.size())),
                  BuildDragPayload(*this));
    QDrag drag(this);
    drag.setMimeData(payload);
    // The left button copies, the right button moves: one action each.
    drag.exec(m_pressedButton == Qt::RightButton ? Qt::MoveAction : Qt::CopyAction);
}

QStringList SongListCtrl::mimeTypes() const {
    return {QString::fromLatin1(kPayloadMimeType.data(), static_cast<int>(kPayloadMimeType.size()))};
}

void SongListCtrl::dragEnterEvent(QDragEnterEvent* event) {
    if (!CarriesText(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(ChooseDropAction(event->possibleActions(), event->buttons()));
    event->accept();
}

void SongListCtrl::dragMoveEvent(QDragMoveEvent* event) {
    if (!CarriesText(event->mimeData())) {
        event->ignore();
        return;
    }
    // The view's own handling scrolls the list near its edges.
    QTreeWidget::dragMoveEvent(event);
    if (IsFloppyList()) {
        // The slot where a drop would begin is the one highlighted.
        if (auto row = FloppyRowAt(*this, event->position().toPoint().y())) {
            QTreeWidgetItem* item = topLevelItem(*row);
            if (!item->isSelected() || currentItem() != item || selectedItems().size() != 1) {
                clearSelection();
                setCurrentItem(item);
                item->setSelected(true);
            }
        }
    }
    event->setDropAction(ChooseDropAction(event->possibleActions(), event->buttons()));
    event->accept();
}

void SongListCtrl::dropEvent(QDropEvent* event) {
    if (m_owner == nullptr || !CarriesText(event->mimeData())) {
        event->ignore();
        return;
    }
    // The buttons are up by now: the effect tells copy from move.
    const bool move = event->dropAction() == Qt::MoveAction;
    const ParsedPayload payload = ParsePayload(PayloadBytes(event->mimeData()).toStdString());
    std::optional<int> targetSlot;
    if (IsFloppyList()) {
        targetSlot = FloppyRowAt(*this, event->position().toPoint().y());
        if (!targetSlot) {
            event->ignore();
            return;
        }
    }
    event->acceptProposedAction();
    event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    // The transfer runs once the drag has ended, so that its questions get
    // the pointer and the keyboard.
    QPointer<SongListCtrl> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, move, payload, targetSlot] {
            if (!self || self->m_owner == nullptr) return;
            MainDialog& dialog = *self->m_owner;
            if (self->IsFloppyList()) {
                RunDrop(dialog, self, move, [&](DropContext& context) {
                    return DropOntoFloppyList(context, targetSlot, payload);
                });
            } else {
                FolderTree& tree = dialog.folderTree();
                const std::string folder = tree.ItemPath(tree.currentItem());
                RunDrop(dialog, self, move, [&](DropContext& context) {
                    return DropOntoHardDiskList(context, folder, payload);
                });
            }
        },
        Qt::QueuedConnection);
}

}  // namespace tunecrate
