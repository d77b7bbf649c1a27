// SPDX-License-Identifier: MIT
#include "session/UDisks.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>

#include "core/Texts.h"

namespace tunecrate {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kRoot = QStringLiteral("/org/freedesktop/UDisks2");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
// A password dialog may stand between the call and its answer.
constexpr int kCallTimeoutMs = 5 * 60 * 1000;

// The service's name for a device: /dev/sdb -> .../block_devices/sdb, with
// anything but letters and digits written as _xx.
QString BlockPathFor(const std::string& device) {
    std::error_code error;
    std::string name = std::filesystem::canonical(device, error).filename().string();
    if (error) name = std::filesystem::path(device).filename().string();
    QString path = kRoot + QStringLiteral("/block_devices/");
    for (unsigned char c : name) {
        if (std::isalnum(c) != 0) {
            path += QLatin1Char(static_cast<char>(c));
        } else {
            path += QStringLiteral("_%1").arg(c, 2, 16, QLatin1Char('0'));
        }
    }
    return path;
}

QDBusMessage Call(const QDBusConnection& bus, const QString& object, const QString& interface, const QString& method,
                  const QVariantList& args) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, object, interface, method);
    message.setArguments(args);
    return bus.call(message, QDBus::Block, kCallTimeoutMs);
}

bool Failed(const QDBusMessage& reply, QString* error) {
    if (reply.type() != QDBusMessage::ErrorMessage) return false;
    if (error != nullptr) *error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    return true;
}

}  // namespace

UDisks::UDisks(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus)) {
    if (!m_bus.isConnected()) return;
    // A disk put in or taken out adds or removes its file system's
    // interface. Property changes are left alone: closing a device we wrote
    // makes the service probe it again and change them, which would make
    // every reading of the floppy start the next.
    for (const char* name : {"InterfacesAdded", "InterfacesRemoved"}) {
        m_bus.connect(kService, kRoot, QStringLiteral("org.freedesktop.DBus.ObjectManager"), QLatin1String(name), this,
                      SLOT(OnSignal()));
    }
}

void UDisks::OnSignal() { emit devicesChanged(); }

bool UDisks::Available() const {
    if (!m_bus.isConnected() || m_bus.interface() == nullptr) return false;
    if (m_bus.interface()->isServiceRegistered(kService)) return true;
    const QDBusReply<QStringList> activatable = m_bus.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(kService);
}

QString UDisks::BlockObject(const std::string& device, QString* error) const {
    if (!Available()) {
        if (error != nullptr) *error = QString::fromStdString(Translated(texts::kUdisksNotRunning));
        return {};
    }
    const QVariantMap wanted{{QStringLiteral("path"), QString::fromStdString(device)}};
    const QDBusMessage reply = Call(m_bus, kRoot + QStringLiteral("/Manager"), QStringLiteral("org.freedesktop.UDisks2.Manager"),
                                    QStringLiteral("ResolveDevice"), {wanted, QVariantMap()});
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        const auto objects = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().constFirst());
        if (!objects.isEmpty()) return objects.constFirst().path();
        if (error != nullptr) *error = QString::fromStdString(Translated(texts::kUdisksUnknownDevice, {device}));
        return {};
    }
    // Services older than the resolving call: their names follow the kernel's.
    return BlockPathFor(device);
}

int UDisks::Open(const std::string& device, int flags, QString* error) const {
    const QString object = BlockObject(device, error);
    if (object.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    const int access = flags & O_ACCMODE;
    const int extra = flags & (O_EXCL | O_DIRECT | O_SYNC);
    QDBusMessage reply;
    if (access == O_RDONLY && (flags & O_EXCL) != 0) {
        // The call made for reading a whole disk: read-only and exclusive.
        reply = Call(m_bus, object, kBlock, QStringLiteral("OpenForBackup"), {QVariantMap()});
    } else {
        const QString mode = access == O_RDONLY ? QStringLiteral("r") : access == O_WRONLY ? QStringLiteral("w") : QStringLiteral("rw");
        reply = Call(m_bus, object, kBlock, QStringLiteral("OpenDevice"),
                     {mode, QVariantMap{{QStringLiteral("flags"), extra}}});
    }
    if (Failed(reply, error) || reply.arguments().isEmpty()) {
        errno = EACCES;
        return -1;
    }
    const auto descriptor = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    // The message owns its descriptor; ours is a copy that outlives it.
    const int fd = descriptor.isValid() ? ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
    if (fd < 0) {
        if (error != nullptr) *error = QString::fromStdString(Translated(texts::kUdisksNoDescriptor));
        errno = EACCES;
    }
    return fd;
}

bool UDisks::Unmount(const std::string& device, QString* error) const {
    const QString object = BlockObject(device, error);
    if (object.isEmpty()) return false;
    return !Failed(Call(m_bus, object, QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Unmount"),
                        {QVariantMap()}),
                   error);
}

bool UDisks::PowerOff(const std::string& device, QString* error) const {
    const QString object = BlockObject(device, error);
    if (object.isEmpty()) return false;
    const QDBusMessage property = Call(m_bus, object, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                       {kBlock, QStringLiteral("Drive")});
    if (Failed(property, error) || property.arguments().isEmpty()) return false;
    const QDBusObjectPath drive =
        qdbus_cast<QDBusObjectPath>(property.arguments().constFirst().value<QDBusVariant>().variant());
    if (drive.path().isEmpty() || drive.path() == QStringLiteral("/")) {
        if (error != nullptr) *error = QString::fromStdString(Translated(texts::kUdisksNoDrive, {device}));
        return false;
    }
    return !Failed(Call(m_bus, drive.path(), QStringLiteral("org.freedesktop.UDisks2.Drive"), QStringLiteral("PowerOff"),
                        {QVariantMap()}),
                   error);
}

}  // namespace tunecrate
