// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/songs/SongSource.h"

#include <QByteArray>
#include <QMimeData>
#include <QString>
#include <Qt>

class QDragMoveEvent;
class QDropEvent;
class QObject;

namespace tunecrate {

// The window side of dragging songs: the formats a drag carries and the
// effect a drop takes.

QString PayloadMimeType();
// Marks a drag of the program's own: its payload wins over anything else it carries.
QString SongsMimeType();

// What a drag of songs carries: the payload, as text and under the program's
// own type, and for other programs the songs' files (when `files` is given),
// asked for (and for floppy songs copied out) only when a program wants them.
class SongsMimeData : public QMimeData {
public:
    SongsMimeData(const std::string& payload, std::function<std::vector<std::string>()> files);
    QStringList formats() const override;
    bool hasFormat(const QString& type) const override;

protected:
    QVariant retrieveData(const QString& type, QMetaType wanted) const override;

private:
    std::function<std::vector<std::string>()> m_files;
    mutable std::optional<QList<QUrl>> m_urls;
};

// The songs a drag or drop brings: the program's own, song files from a file
// manager, or drag text; nullopt when it brings no songs. The drag text is
// read here, at the window's edge, and nowhere else. (Drag enter and move
// events are drop events.)
std::optional<SongSource> DroppedSongs(const QDropEvent* event);
// The floppy image a drop of one image file from a file manager brings.
std::optional<std::string> DroppedImage(const QDropEvent* event);
bool CarriesSongs(const QDropEvent* event);

// A drag of a shelf's rows: the images' paths ("folder/DSKA0003.IMG",
// "stick@007"), one a line, and for a file manager the image files where
// they are `files` (a stick's slots are not).
QMimeData* ShelfImagesMimeData(const std::vector<std::string>& paths, bool files);
// The images a drop brings from a shelf, or one image file from a file
// manager; nullopt for anything else.
std::optional<std::vector<std::string>> DroppedShelfImages(const QDropEvent* event);

// Copy after a left-button drag, move after a right-button drag: the source
// allows just one of the two. Text from elsewhere that allows both is moved,
// unless the right button alone is down: then it is copied.
Qt::DropAction ChooseDropAction(Qt::DropActions possible, Qt::MouseButtons buttons);
// Takes a drag that carries songs, with the action its button asks for (files
// from a file manager are copied unless it asks for a move), and refuses any
// other; false when refused. (An enter event is a move event.)
bool AcceptSongDrag(QDragMoveEvent* event);
// Accepts a drop with the effect it came with and calls `drop(move, songs)`
// once the drag has ended, so that its questions get the pointer and the
// keyboard; not at all if `context` is gone by then. A drop that brings no
// songs is refused.
void TakeDrop(QDropEvent* event, QObject* context, std::function<void(bool move, const SongSource& songs)> drop);

}  // namespace tunecrate
