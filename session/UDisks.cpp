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
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
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

// Ok, or the service's refusal with its reason.
Result Answered(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ErrorMessage) return {};
    const QString reason = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    return Result{Status::Failed, EACCES, reason.toStdString()};
}

Result NotFound(std::string reason) { return Result{Status::Failed, ENOENT, std::move(reason)}; }

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
    // Media coming and going, on any drive or disk: a waiting loop asks its drive at once.
    m_bus.connect(kService, QString(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"), this,
                  SLOT(OnProperties(QString,QVariantMap,QStringList)));
}

void UDisks::OnSignal() { emit devicesChanged(); }

void UDisks::OnProperties(const QString& interface, const QVariantMap& changed, const QStringList& invalidated) {
    const bool drive = interface == kDrive && (changed.contains(QStringLiteral("MediaAvailable")) || invalidated.contains(QStringLiteral("MediaAvailable")));
    const bool block = interface == kBlock && changed.contains(QStringLiteral("Size"));
    if (drive || block) emit mediaChanged();
}

bool UDisks::Available() const {
    if (!m_bus.isConnected() || m_bus.interface() == nullptr) return false;
    if (m_bus.interface()->isServiceRegistered(kService)) return true;
    const QDBusReply<QStringList> activatable = m_bus.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(kService);
}

Expected<QString> UDisks::BlockObject(const std::string& device) const {
    if (!Available()) return NotFound(Translated(texts::kUdisksNotRunning));
    const QVariantMap wanted{{QStringLiteral("path"), QString::fromStdString(device)}};
    const QDBusMessage reply = Call(m_bus, kRoot + QStringLiteral("/Manager"), QStringLiteral("org.freedesktop.UDisks2.Manager"),
                                    QStringLiteral("ResolveDevice"), {wanted, QVariantMap()});
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        const auto objects = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().constFirst());
        if (!objects.isEmpty()) return objects.constFirst().path();
        return NotFound(Translated(texts::kUdisksUnknownDevice, {device}));
    }
    // Services older than the resolving call: their names follow the kernel's.
    return BlockPathFor(device);
}

Expected<int> UDisks::Open(const std::string& device, int flags) const {
    const Expected<QString> object = BlockObject(device);
    if (!object) return object.error();
    const int access = flags & O_ACCMODE;
    const int extra = flags & (O_EXCL | O_DIRECT | O_SYNC);
    QDBusMessage reply;
    if (access == O_RDONLY && (flags & O_EXCL) != 0) {
        // The call made for reading a whole disk: read-only and exclusive.
        reply = Call(m_bus, *object, kBlock, QStringLiteral("OpenForBackup"), {QVariantMap()});
    } else {
        const QString mode = access == O_RDONLY ? QStringLiteral("r") : access == O_WRONLY ? QStringLiteral("w") : QStringLiteral("rw");
        reply = Call(m_bus, *object, kBlock, QStringLiteral("OpenDevice"),
                     {mode, QVariantMap{{QStringLiteral("flags"), extra}}});
    }
    if (Result answered = Answered(reply); !answered.ok()) return answered;
    const Result noDescriptor{Status::Failed, EACCES, Translated(texts::kUdisksNoDescriptor)};
    if (reply.arguments().isEmpty()) return noDescriptor;
    const auto descriptor = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    // The message owns its descriptor; ours is a copy that outlives it.
    const int fd = descriptor.isValid() ? ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
    if (fd < 0) return noDescriptor;
    return fd;
}

Result UDisks::Unmount(const std::string& device) const {
    const Expected<QString> object = BlockObject(device);
    if (!object) return object.error();
    return Answered(Call(m_bus, *object, QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Unmount"),
                         {QVariantMap()}));
}

Expected<QString> UDisks::DriveObject(const std::string& device) const {
    const Expected<QString> object = BlockObject(device);
    if (!object) return object.error();
    const QDBusMessage property = Call(m_bus, *object, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                       {kBlock, QStringLiteral("Drive")});
    if (Result answered = Answered(property); !answered.ok()) return answered;
    const QDBusObjectPath drive = property.arguments().isEmpty()
                                      ? QDBusObjectPath()
                                      : qdbus_cast<QDBusObjectPath>(property.arguments().constFirst().value<QDBusVariant>().variant());
    if (drive.path().isEmpty() || drive.path() == QStringLiteral("/")) {
        return NotFound(Translated(texts::kUdisksNoDrive, {device}));
    }
    return drive.path();
}

Result UDisks::PowerOff(const std::string& device) const {
    const Expected<QString> drive = DriveObject(device);
    if (!drive) return drive.error();
    return Answered(Call(m_bus, *drive, kDrive, QStringLiteral("PowerOff"), {QVariantMap()}));
}

Result UDisks::Eject(const std::string& device) const {
    const Expected<QString> drive = DriveObject(device);
    if (!drive) return drive.error();
    return Answered(Call(m_bus, *drive, kDrive, QStringLiteral("Eject"), {QVariantMap()}));
}

}  // namespace tunecrate
