// SPDX-License-Identifier: MIT
#include "widgets/DragAndDrop.h"

#include <QMimeData>

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

}  // namespace tunecrate
