// SPDX-License-Identifier: MIT
// The desktop's disk service as the session's tests need it, on a private
// bus: it resolves /dev names to objects named after the kernel's, opens the
// real device node for the Open calls, pretends to unmount and power off, and
// writes every call it gets as one line to a log. Told to, it refuses chosen
// calls the way the service refuses a user the system's policy turns away.
//
//   fake_udisks BUS-ADDRESS LOG-FILE [Method,Method,...|all]
//
// Announce (interface org.tunecrate.FakeUDisks) makes it send the signals of
// a disk that comes and goes, with a property change between them.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

using Interfaces = QMap<QString, QVariantMap>;
const QString kRoot = QStringLiteral("/org/freedesktop/UDisks2");

// a{sv} arrives undecoded; written as {key=value,...}.
QString Shown(const QVariant& value) {
    if (value.userType() != qMetaTypeId<QDBusArgument>()) return value.toString();
    const QVariantMap map = qdbus_cast<QVariantMap>(value);
    QStringList items;
    for (auto it = map.cbegin(); it != map.cend(); ++it) items << it.key() + QLatin1Char('=') + it.value().toString();
    return QLatin1Char('{') + items.join(QLatin1Char(',')) + QLatin1Char('}');
}

class FakeUDisks : public QDBusVirtualObject {
public:
    FakeUDisks(QString log, QStringList refused) : m_log(std::move(log)), m_refused(std::move(refused)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        if (call.type() != QDBusMessage::MethodCallMessage) return false;
        QStringList line{call.member(), call.path()};
        for (const QVariant& argument : call.arguments()) line << Shown(argument);
        {   // on the disk before the answer, which the test may act on at once
            QFile log(m_log);
            if (log.open(QIODevice::Append)) log.write((line.join(QLatin1Char(' ')) + QLatin1Char('\n')).toUtf8());
        }
        if (m_refused.contains(call.member()) || m_refused.contains(QStringLiteral("all"))) {
            bus.send(call.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorized"),
                                           QStringLiteral("Not authorized to perform operation")));
            return true;
        }
        bus.send(Answer(call, bus));
        return true;
    }

private:
    QDBusMessage Answer(const QDBusMessage& call, const QDBusConnection& bus) const {
        const QString method = call.member();
        const QString name = call.path().section(QLatin1Char('/'), -1);
        if (method == QStringLiteral("ResolveDevice")) {
            const QString device = qdbus_cast<QVariantMap>(call.arguments().value(0)).value(QStringLiteral("path")).toString();
            const QString real = QFileInfo(device).canonicalFilePath();
            QList<QDBusObjectPath> found;
            if (real.startsWith(QStringLiteral("/dev/")))
                found << QDBusObjectPath(kRoot + QStringLiteral("/block_devices/") + real.section(QLatin1Char('/'), -1));
            return call.createReply(QVariant::fromValue(found));
        }
        if (method == QStringLiteral("OpenDevice") || method == QStringLiteral("OpenForBackup")) {
            const QString mode = call.arguments().value(0).toString();
            int flags = method == QStringLiteral("OpenForBackup") ? O_RDONLY | O_EXCL
                        : mode == QStringLiteral("r")              ? O_RDONLY
                        : mode == QStringLiteral("w")              ? O_WRONLY
                                                                   : O_RDWR;
            if (method == QStringLiteral("OpenDevice"))
                flags |= qdbus_cast<QVariantMap>(call.arguments().value(1)).value(QStringLiteral("flags")).toInt();
            const int fd = ::open(("/dev/" + name).toLocal8Bit().constData(), flags | O_CLOEXEC);
            if (fd < 0)
                return call.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.Failed"), QString::fromLocal8Bit(std::strerror(errno)));
            const QDBusUnixFileDescriptor descriptor(fd);   // holds a copy
            ::close(fd);
            return call.createReply(QVariant::fromValue(descriptor));
        }
        if (method == QStringLiteral("Get")) {
            const QDBusObjectPath drive(kRoot + QStringLiteral("/drives/") + name);
            return call.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(drive))));
        }
        if (method == QStringLiteral("Announce")) {
            const QString block = kRoot + QStringLiteral("/block_devices/fake0");
            const Interfaces added{{QStringLiteral("org.freedesktop.UDisks2.Filesystem"), {}}};
            QDBusMessage signal = QDBusMessage::createSignal(kRoot, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                             QStringLiteral("InterfacesAdded"));
            bus.send(signal << QVariant::fromValue(QDBusObjectPath(block)) << QVariant::fromValue(added));
            QDBusMessage changed = QDBusMessage::createSignal(block, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                              QStringLiteral("PropertiesChanged"));
            bus.send(changed << QStringLiteral("org.freedesktop.UDisks2.Block") << QVariantMap{{QStringLiteral("Size"), 0}}
                             << QStringList());
            QDBusMessage removed = QDBusMessage::createSignal(kRoot, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                              QStringLiteral("InterfacesRemoved"));
            bus.send(removed << QVariant::fromValue(QDBusObjectPath(block)) << QStringList(added.keys()));
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
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BUS-ADDRESS LOG-FILE [Method,...|all]\n", argv[0]);
        return 2;
    }
    qDBusRegisterMetaType<Interfaces>();
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]), QStringLiteral("fake"));
    FakeUDisks fake(QString::fromLocal8Bit(argv[2]),
                    argc > 3 ? QString::fromLocal8Bit(argv[3]).split(QLatin1Char(',')) : QStringList());
    if (!bus.registerVirtualObject(kRoot, &fake, QDBusConnection::SubPath) ||
        !bus.registerService(QStringLiteral("org.freedesktop.UDisks2"))) {
        std::fprintf(stderr, "fake_udisks: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}
