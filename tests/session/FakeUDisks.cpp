// SPDX-License-Identifier: MIT
// The desktop's disk service as the session's tests need it, on a private bus (fake_udisks BUS-ADDRESS LOG-FILE): it
// names block devices after the kernel's, opens the real device node for the Open calls, pretends to unmount and power
// off, and logs the calls as "Method kind; ..." (kind: Manager, block_devices, drives; "Method!" when refused).
// Refuse("A,B") makes it refuse those methods from then on, as the service refuses a user the system's policy turns
// away; Announce makes it send the signals of a disk that comes and goes, with a property change between them.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

namespace {

using Interfaces = QMap<QString, QVariantMap>;
const QString kRoot = "/org/freedesktop/UDisks2";

class FakeUDisks : public QDBusVirtualObject {
public:
    explicit FakeUDisks(QString log) : m_log(std::move(log)) {}
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        if (call.type() != QDBusMessage::MethodCallMessage) return false;
        if (call.member() == "Refuse") m_refused = call.arguments().value(0).toString().split(',');
        const bool refused = m_refused.contains(call.member());
        const QString line = call.member() + (refused ? "! " : " ") + call.path().section('/', 4, 4);
        QFile log(m_log);   // unbuffered: in the log before the answer, which the test may act on at once
        if (log.open(QIODevice::Append | QIODevice::Unbuffered)) log.write(((log.size() > 0 ? "; " : "") + line).toUtf8());
        const QString denied = "Not authorized to perform operation";
        bus.send(refused ? call.createErrorReply("org.freedesktop.UDisks2.Error.NotAuthorized", denied) : Answer(call, bus));
        return true;
    }

private:
    static QDBusMessage Answer(const QDBusMessage& call, const QDBusConnection& bus) {
        const QString method = call.member(), name = call.path().section('/', -1);
        const QDBusObjectPath drive(kRoot + "/drives/" + name);
        const QVariantList arguments = call.arguments();
        if (method == "ResolveDevice") {
            const QString device = qdbus_cast<QVariantMap>(arguments.value(0)).value("path").toString();
            const QString real = QFileInfo(device).canonicalFilePath();
            QList<QDBusObjectPath> found;
            if (real.startsWith("/dev/")) found << QDBusObjectPath(kRoot + "/block_devices/" + real.section('/', -1));
            return call.createReply(QVariant::fromValue(found));
        }
        if (method == "OpenDevice" || method == "OpenForBackup") {
            const bool backup = method == "OpenForBackup";
            const QString mode = arguments.value(0).toString();
            const int access = backup || mode == "r" ? O_RDONLY : mode == "w" ? O_WRONLY : O_RDWR;
            const int flags = backup ? O_EXCL : qdbus_cast<QVariantMap>(arguments.value(1)).value("flags").toInt();
            const int fd = ::open(("/dev/" + name).toLocal8Bit().constData(), access | flags | O_CLOEXEC);
            if (fd < 0) return call.createErrorReply("org.freedesktop.UDisks2.Error.Failed", qt_error_string(errno));
            const QDBusUnixFileDescriptor descriptor(fd);   // holds a copy
            ::close(fd);
            return call.createReply(QVariant::fromValue(descriptor));
        }
        if (method == "Get") return call.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(drive))));
        if (method == "Announce") {
            const QVariant block = QVariant::fromValue(QDBusObjectPath(kRoot + "/block_devices/fake0"));
            const Interfaces added{{"org.freedesktop.UDisks2.Filesystem", {}}};
            const QString manager = "org.freedesktop.DBus.ObjectManager";
            bus.send(QDBusMessage::createSignal(kRoot, manager, "InterfacesAdded") << block << QVariant::fromValue(added));
            bus.send(QDBusMessage::createSignal(kRoot + "/block_devices/fake0", "org.freedesktop.DBus.Properties",
                                                "PropertiesChanged")
                     << "org.freedesktop.UDisks2.Block" << QVariantMap{{"Size", 0}} << QStringList());
            bus.send(QDBusMessage::createSignal(kRoot, manager, "InterfacesRemoved") << block << QStringList(added.keys()));
        }
        // Unmount and PowerOff change nothing here: the tests keep their own mount table.
        return call.createReply();
    }

    QString m_log;
    QStringList m_refused;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Interfaces>();
    QDBusConnection bus = QDBusConnection::connectToBus(app.arguments().value(1), "fake");
    FakeUDisks fake(app.arguments().value(2));
    if (!bus.registerVirtualObject(kRoot, &fake, QDBusConnection::SubPath) ||
        !bus.registerService("org.freedesktop.UDisks2")) {
        qCritical("fake_udisks: %s", qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}
