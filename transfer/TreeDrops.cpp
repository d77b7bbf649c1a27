// SPDX-License-Identifier: MIT
// The folder tree as a drop target: songs dropped on a folder land in it.
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>

#include "app/MainDialog.h"
#include "core/text/DragPayload.h"
#include "core/songs/FolderDrop.h"
#include "library/FolderTree.h"
#include "transfer/DropGlue.h"

namespace tunecrate {

QStringList FolderTree::mimeTypes() const {
    return {QString::fromLatin1(kPayloadMimeType.data(), static_cast<int>(kPayloadMimeType.size()))};
}

void FolderTree::dragEnterEvent(QDragEnterEvent* event) {
    if (!CarriesText(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(ChooseDropAction(event->possibleActions(), event->buttons()));
    event->accept();
}

void FolderTree::dragMoveEvent(QDragMoveEvent* event) {
    if (!CarriesText(event->mimeData())) {
        event->ignore();
        return;
    }
    QTreeWidget::dragMoveEvent(event);   // scrolls near the edges
    event->setDropAction(ChooseDropAction(event->possibleActions(), event->buttons()));
    event->accept();
}

void FolderTree::dropEvent(QDropEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    const std::string folder = IsPlaceholder(item) ? std::string() : ItemPath(item);
    // A drop that finds no folder is refused.
    if (m_owner == nullptr || folder.empty() || !CarriesText(event->mimeData())) {
        event->ignore();
        return;
    }
    const bool move = event->dropAction() == Qt::MoveAction;
    const ParsedPayload payload = ParsePayload(PayloadBytes(event->mimeData()).toStdString());
    event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    QPointer<FolderTree> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, move, payload, folder] {
            if (!self || self->m_owner == nullptr) return;
            RunDrop(*self->m_owner, self, move,
                    [&](DropContext& context) { return DropIntoFolder(context, folder, payload); });
        },
        Qt::QueuedConnection);
}

}  // namespace tunecrate
