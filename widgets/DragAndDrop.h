// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>

#include <QByteArray>
#include <QString>
#include <Qt>

class QDragMoveEvent;
class QDropEvent;
class QObject;
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
// Takes a drag that carries text, with the action its button asks for, and
// refuses any other; false when refused. (An enter event is a move event.)
bool AcceptTextDrag(QDragMoveEvent* event);
// Accepts a drop with the effect it came with and calls `drop(move, payload)`
// once the drag has ended, so that its questions get the pointer and the
// keyboard; not at all if `context` is gone by then.
void TakeDrop(QDropEvent* event, QObject* context, std::function<void(bool move, const std::string& payload)> drop);

}  // namespace tunecrate
