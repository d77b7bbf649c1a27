// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <string>

#include "core/Result.h"

namespace tunecrate {

// The desktop's disk service (udisks2) over D-Bus: it opens a drive's device
// for a user who may not open the node, unmounts file systems and powers
// drives off, each as the system's policy allows (asking for a password
// where it must).
class UDisks : public QObject {
    Q_OBJECT
public:
    // The system bus in the program; a private bus in tests.
    explicit UDisks(QDBusConnection bus, QObject* parent = nullptr);

    // The service is on the bus, or the bus can start it.
    bool Available() const;
    // An open descriptor of `device` (open(2) access mode and O_EXCL /
    // O_DIRECT / O_SYNC in `flags`), which the caller owns. Failed, with the
    // service's reason and the errno it stands for, when the service is
    // absent or refuses.
    Expected<int> Open(const std::string& device, int flags) const;
    // Unmounts the file system of `device` (the mounted disk or partition).
    Result Unmount(const std::string& device) const;
    // Powers off the drive that holds `device`, so the disk can be taken out.
    Result PowerOff(const std::string& device) const;
    // Ejects the disk in the drive that holds `device`, leaving the drive on
    // for the next one (a drive without a motor to push it out says so).
    Result Eject(const std::string& device) const;

signals:
    // A drive, a disk or a file system came, went or changed.
    void devicesChanged();
    // A drive's medium came or went (MediaAvailable), or a disk's size changed.
    void mediaChanged();

private slots:
    void OnSignal();
    void OnProperties(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    // The service's object for the block device.
    Expected<QString> BlockObject(const std::string& device) const;
    // The service's object for the drive that holds it.
    Expected<QString> DriveObject(const std::string& device) const;

    QDBusConnection m_bus;
};

}  // namespace tunecrate
