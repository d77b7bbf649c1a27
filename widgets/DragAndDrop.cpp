// SPDX-License-Identifier: MIT
#include "widgets/DragAndDrop.h"

#include <QDragMoveEvent>
#include <QMimeData>
#include <QObject>

#include "core/text/DragPayload.h"

namespace tunecrate {

QString PayloadMimeType() {
    return QString::fromLatin1(kPayloadMimeType.data(), static_cast<int>(kPayloadMimeType.size()));
}

bool CarriesText(const QMimeData* data) {
    return data != nullptr && (data->hasFormat(PayloadMimeType()) || data->hasText());
}

QByteArray PayloadBytes(const QMimeData* data) {
    if (data == nullptr) return {};
    if (data->hasFormat(PayloadMimeType())) return data->data(PayloadMimeType());
    return data->hasText() ? data->text().toUtf8() : QByteArray();
}

Qt::DropAction ChooseDropAction(Qt::DropActions possible, Qt::MouseButtons buttons) {
    const Qt::DropAction proposed = buttons == Qt::RightButton ? Qt::CopyAction : Qt::MoveAction;
    if (possible & proposed) return proposed;
    if (possible & Qt::CopyAction) return Qt::CopyAction;
    if (possible & Qt::MoveAction) return Qt::MoveAction;
    return Qt::IgnoreAction;
}

bool AcceptTextDrag(QDragMoveEvent* event) {
    if (!CarriesText(event->mimeData())) {
        event->ignore();
        return false;
    }
    event->setDropAction(ChooseDropAction(event->possibleActions(), event->buttons()));
    event->accept();
    return true;
}

void TakeDrop(QDropEvent* event, QObject* context, std::function<void(bool move, const std::string& payload)> drop) {
    // The buttons are up by now: the effect tells copy from move.
    const bool move = event->dropAction() == Qt::MoveAction;
    std::string payload = PayloadBytes(event->mimeData()).toStdString();
    event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    QMetaObject::invokeMethod(
        context, [drop = std::move(drop), move, payload = std::move(payload)] { drop(move, payload); },
        Qt::QueuedConnection);
}

}  // namespace tunecrate
