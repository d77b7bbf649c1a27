// SPDX-License-Identifier: MIT
// Another program on the desktop: a window that takes any text dropped on it
// and writes its text/plain bytes to the file named first.
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QWidget>
#include <utility>

class DropReceiver : public QWidget {
public:
    explicit DropReceiver(QString out) : m_out(std::move(out)) {
        setAcceptDrops(true);
        setWindowTitle(QStringLiteral("drop receiver"));
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override {
        const QByteArray text = event->mimeData()->data(QStringLiteral("text/plain"));
        event->acceptProposedAction();
        QFile file(m_out);
        if (file.open(QIODevice::WriteOnly)) file.write(text);
    }

private:
    QString m_out;
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) return 2;
    DropReceiver receiver(QString::fromLocal8Bit(argv[1]));
    receiver.setGeometry(900, 100, 300, 300);
    receiver.show();
    return app.exec();
}
