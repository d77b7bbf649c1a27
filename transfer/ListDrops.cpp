// SPDX-License-Identifier: MIT
// The song lists as drag sources and drop targets.
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>

#include "app/MainDialog.h"
#include "core/text/DragPayload.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/FolderDrop.h"
#include "core/songs/Prompter.h"
#include "core/text/SongNames.h"
#include "core/songs/TransferItems.h"
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

// A name with its line breaks shown as ⏎, for a message that names it.
std::string ShowLineBreaks(std::string_view name) {
    std::string shown;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\r' && i + 1 < name.size() && name[i + 1] == '\n') continue;   // CR LF is one break
        if (name[i] == '\r' || name[i] == '\n') {
            shown += "⏎";
        } else if (name[i] != '\0') {
            shown += name[i];
        }
    }
    return shown;
}

// Why a song whose base name cannot travel in a payload is not dragged:
// the song's own name, or else its folder's, holds a line break.
std::string CannotDragMessage(const std::string& item) {
    const HardDiskItem split = SplitHardDiskItem(item);
    if (!CanTravelInPayload(split.title)) {
        return "曲「" + ShowLineBreaks(split.title) + "」は名前に改行を含むため、ドラッグできません。\n"
               "ファイルの名前を変えてから、もう一度やり直してください。";
    }
    return "ディレクトリ「" + ShowLineBreaks(split.folder) + "」は名前に改行を含むため、その中の曲はドラッグできません。\n"
           "ディレクトリの名前を変えてから、もう一度やり直してください。";
}

}  // namespace

void SongListCtrl::startDrag(Qt::DropActions) {
    if (m_owner == nullptr || selectedItems().isEmpty()) return;
    std::string blocked;
    const QByteArray bytes = BuildDragPayload(*this, &blocked);
    if (bytes.isEmpty()) {
        // A line break would make the payload name other songs: no drag at all.
        if (!blocked.empty()) {
            m_owner->PrompterFor(this).ShowMessage(CannotDragMessage(blocked), "Error!", MessageIcon::None);
        }
        return;
    }
    auto* payload = new QMimeData;
    payload->setData(QString::fromLatin1(kPayloadMimeType.data(), static_cast<int>(kPayloadMimeType.size())), bytes);
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
