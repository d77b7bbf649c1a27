// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>

class QMimeData;

namespace tunecrate {

// The window side of dragging songs: the format a payload travels in and the
// effect a drop takes.

QString PayloadMimeType();

// The dragged text's bytes, or empty when the data carries no text.
QByteArray PayloadBytes(const QMimeData* data);
bool CarriesText(const QMimeData* data);

// Copy after a left-button drag, move after a right-button drag: the source
// allows just one of the two; text from elsewhere that allows both is copied
// unless the right button alone is down.
Qt::DropAction ChooseDropAction(Qt::DropActions possible, Qt::MouseButtons buttons);

}  // namespace tunecrate
