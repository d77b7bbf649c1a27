// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>
#include <string>

#include "core/disk/FloppyFinder.h"

class QSocketNotifier;

namespace tunecrate {

// Tells when file systems are mounted or unmounted: the kernel marks the
// mount table (poll's POLLPRI) on every change. The drives themselves are
// never asked, as asking a floppy drive moves its heads.
class MountWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountWatcher(const std::string& mountTable = "/proc/self/mounts", QObject* parent = nullptr);
    ~MountWatcher() override;
    MountWatcher(const MountWatcher&) = delete;
    MountWatcher& operator=(const MountWatcher&) = delete;

    // Counts as a change too (the disk service's news, say): changes that
    // come close together are told once.
    void Poke();

signals:
    void mountsChanged();

private:
    void OnMark();

    MountTableWatch m_table;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_settle;
};

}  // namespace tunecrate
