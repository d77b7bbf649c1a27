// SPDX-License-Identifier: MIT
#include "widgets/DragAndDrop.h"

#include <QDragMoveEvent>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include "core/songs/DroppedFiles.h"
#include "core/text/DragPayload.h"

namespace tunecrate {

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

// The local files of a drop from another program; empty when any is not local.
std::vector<std::string> LocalFiles(const QList<QUrl>& urls) {
    std::vector<std::string> files;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) return {};
        files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return files;
}

bool IsOurs(const QMimeData* data) { return data->hasFormat(SongsMimeType()); }

// What the files of the last drag from another program are. Every move of a
// drag asks, over every widget it crosses; the files are read once per drag.
// Qt may carry the next drag in the same object, and a drag starts with an
// enter event: there, the files are compared.
struct ClassifiedDrag {
    QPointer<QMimeData> data;
    QList<QUrl> urls;
    DroppedFiles files;
};

const DroppedFiles& FilesOf(const QDropEvent* event) {
    static ClassifiedDrag last;
    const QMimeData* data = event->mimeData();
    const bool same = !last.data.isNull() && last.data == data;
    if (same && event->type() != QEvent::DragEnter) return last.files;
    QList<QUrl> urls = data->urls();
    if (same && urls == last.urls) return last.files;
    last.files = ReadDroppedFiles(LocalFiles(urls));
    last.data = const_cast<QMimeData*>(data);
    last.urls = std::move(urls);
    return last.files;
}

}  // namespace

QString PayloadMimeType() {
    return QString::fromLatin1(kPayloadMimeType.data(), static_cast<int>(kPayloadMimeType.size()));
}

QString SongsMimeType() { return QStringLiteral("application/x-tunecrate-songs"); }

SongsMimeData::SongsMimeData(const std::string& payload, std::function<std::vector<std::string>()> files)
    : m_files(std::move(files)) {
    const QByteArray bytes = QByteArray::fromStdString(payload);
    setData(PayloadMimeType(), bytes);
    setData(SongsMimeType(), bytes);
}

QStringList SongsMimeData::formats() const {
    return m_files ? QMimeData::formats() << kUriList : QMimeData::formats();
}

bool SongsMimeData::hasFormat(const QString& type) const {
    return (m_files && type == kUriList) || QMimeData::hasFormat(type);
}

QVariant SongsMimeData::retrieveData(const QString& type, QMetaType wanted) const {
    if (type != kUriList || !m_files) return QMimeData::retrieveData(type, wanted);
    if (!m_urls) {
        m_urls.emplace();
        for (const std::string& file : m_files()) m_urls->push_back(QUrl::fromLocalFile(QFile::decodeName(file.c_str())));
    }
    if (wanted.id() == QMetaType::QByteArray) {
        QByteArray list;
        for (const QUrl& url : *m_urls) list += url.toEncoded() + "\r\n";
        return list;
    }
    QVariantList urls;
    for (const QUrl& url : *m_urls) urls.push_back(url);
    return urls;
}

std::optional<SongSource> DroppedSongs(const QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data == nullptr) return std::nullopt;
    if (IsOurs(data)) return ReadSongPayload(data->data(SongsMimeType()).toStdString());
    if (data->hasUrls()) {
        const DroppedFiles& dropped = FilesOf(event);
        if (dropped.kind != DroppedFiles::Kind::Songs) return std::nullopt;
        return dropped.songs;
    }
    if (data->hasFormat(PayloadMimeType())) return ReadSongPayload(data->data(PayloadMimeType()).toStdString());
    if (data->hasText()) return ReadSongPayload(data->text().toStdString());
    return std::nullopt;
}

std::optional<std::string> DroppedImage(const QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data == nullptr || IsOurs(data) || !data->hasUrls()) return std::nullopt;
    const DroppedFiles& dropped = FilesOf(event);
    if (dropped.kind != DroppedFiles::Kind::Image) return std::nullopt;
    return dropped.image;
}

bool CarriesSongs(const QDropEvent* event) { return DroppedSongs(event).has_value(); }

namespace {

QString ShelfImagesMimeType() { return QStringLiteral("application/x-tunecrate-shelf-images"); }

}  // namespace

QMimeData* ShelfImagesMimeData(const std::vector<std::string>& paths, bool files) {
    auto* data = new QMimeData;
    QStringList lines;
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        lines << QString::fromStdString(path);
        if (files) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    }
    data->setData(ShelfImagesMimeType(), lines.join(QLatin1Char('\n')).toUtf8());
    if (!urls.isEmpty()) data->setUrls(urls);
    return data;
}

std::optional<std::vector<std::string>> DroppedShelfImages(const QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data == nullptr) return std::nullopt;
    if (data->hasFormat(ShelfImagesMimeType())) {
        std::vector<std::string> paths;
        for (const QString& line : QString::fromUtf8(data->data(ShelfImagesMimeType())).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            paths.push_back(line.toStdString());
        }
        return paths;
    }
    if (auto image = DroppedImage(event)) return std::vector<std::string>{*image};
    return std::nullopt;
}

Qt::DropAction ChooseDropAction(Qt::DropActions possible, Qt::MouseButtons buttons) {
    const Qt::DropAction proposed = buttons == Qt::RightButton ? Qt::CopyAction : Qt::MoveAction;
    if (possible & proposed) return proposed;
    if (possible & Qt::CopyAction) return Qt::CopyAction;
    if (possible & Qt::MoveAction) return Qt::MoveAction;
    return Qt::IgnoreAction;
}

bool AcceptSongDrag(QDragMoveEvent* event) {
    const QMimeData* data = event->mimeData();
    if (!CarriesSongs(event)) {
        event->ignore();
        return false;
    }
    if (!IsOurs(data) && data->hasUrls()) {
        // A file manager proposes a copy unless its user asks for a move.
        const bool move = event->proposedAction() == Qt::MoveAction && (event->possibleActions() & Qt::MoveAction);
        event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    } else {
        event->setDropAction(ChooseDropAction(event->possibleActions(), event->buttons()));
    }
    event->accept();
    return true;
}

void TakeDrop(QDropEvent* event, QObject* context, std::function<void(bool move, const SongSource& songs)> drop) {
    std::optional<SongSource> songs = DroppedSongs(event);
    if (!songs) {
        event->ignore();
        return;
    }
    // The buttons are up by now: the effect tells copy from move.
    const bool move = event->dropAction() == Qt::MoveAction;
    event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    QMetaObject::invokeMethod(
        context, [drop = std::move(drop), move, songs = std::move(*songs)] { drop(move, songs); },
        Qt::QueuedConnection);
}

}  // namespace tunecrate
