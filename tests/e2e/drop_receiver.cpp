// SPDX-License-Identifier: MIT
// Another program on the desktop, as a file manager would be.
//   drop_receiver OUT: a window that takes any drop; it writes the text/plain
//     bytes to OUT, and copies the dropped files into the folder OUT.files
//     at once, as a file manager does.
//   drop_receiver --drag FILE...: a window from which a press drags FILE...
//     as a file manager drags files (copy proposed, move allowed).
#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <utility>

class Peer : public QWidget {
public:
    Peer(QString out, QList<QUrl> files) : m_out(std::move(out)), m_files(std::move(files)) {
        setAcceptDrops(m_files.isEmpty());
        setWindowTitle(m_files.isEmpty() ? QStringLiteral("drop receiver") : QStringLiteral("file source"));
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    // OUT.over: the drag was offered here and taken, so a release now drops it.
    void dragMoveEvent(QDragMoveEvent* event) override {
        event->acceptProposedAction();
        if (QFile over(m_out + QStringLiteral(".over")); over.open(QIODevice::WriteOnly)) over.close();
    }
    void dropEvent(QDropEvent* event) override {
        const QMimeData* mime = event->mimeData();
        event->acceptProposedAction();
        QDir().mkpath(m_out + QStringLiteral(".files"));
        for (const QUrl& url : mime->urls()) {
            const QString from = url.toLocalFile();
            QFile::copy(from, m_out + QStringLiteral(".files/") + QFileInfo(from).fileName());
        }
        QFile file(m_out);
        if (file.open(QIODevice::WriteOnly)) file.write(mime->data(QStringLiteral("text/plain")));
    }
    void mousePressEvent(QMouseEvent*) override {
        if (m_files.isEmpty()) return;
        auto* mime = new QMimeData;
        mime->setUrls(m_files);
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    }

private:
    QString m_out;
    QList<QUrl> m_files;
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    const bool drag = QString::fromLocal8Bit(argv[1]) == QStringLiteral("--drag");
    QList<QUrl> files;
    for (int i = 2; drag && i < argc; ++i) files << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
    Peer window(drag ? QString() : QString::fromLocal8Bit(argv[1]), files);
    window.setGeometry(900, 100, 300, 300);
    window.show();
    return app.exec();
}
