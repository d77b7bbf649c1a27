// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <functional>
#include <string>

#include "core/songs/Transfer.h"

class QMimeData;
class QWidget;

namespace tunecrate {

class MainDialog;
class SongListCtrl;

// The window side of dragging songs: the payload a list offers, the effect a
// drop takes, and the frame every drop runs in.

// The payload of the selected rows: hard-disk base names, or the floppy slot
// indices without the empty slots. Empty when a selected song's base name
// cannot travel in a payload; that base name is then put in `blocked`.
QByteArray BuildDragPayload(SongListCtrl& list, std::string* blocked = nullptr);

// The dragged text's bytes, or empty when the data carries no text.
QByteArray PayloadBytes(const QMimeData* data);
bool CarriesText(const QMimeData* data);

// Copy after a left-button drag, move after a right-button drag: the source
// allows just one of the two; text from elsewhere that allows both is copied
// unless the right button alone is down.
Qt::DropAction ChooseDropAction(Qt::DropActions possible, Qt::MouseButtons buttons);

// Runs one drop with the wait cursor, on the floppy and its slot rows, with
// questions owned by `owner`; then refreshes what the drop changed. False when
// the drop was refused.
bool RunDrop(MainDialog& dialog, QWidget* owner, bool move, const std::function<DropResult(DropContext&)>& drop);

}  // namespace tunecrate
