// SPDX-License-Identifier: MIT
#include "session/MountWatcher.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace tunecrate {

namespace {
// A mount by the desktop comes as several changes in a row.
constexpr int kSettleMs = 250;
}

MountWatcher::MountWatcher(const std::string& mountTable, QObject* parent) : QObject(parent) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &MountWatcher::mountsChanged);
    m_fd = ::open(mountTable.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) return;
    // The table must be read once before the kernel marks a change.
    OnMark();
    m_settle.stop();
    m_notifier = new QSocketNotifier(static_cast<qintptr>(m_fd), QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MountWatcher::OnMark);
}

MountWatcher::~MountWatcher() {
    delete m_notifier;
    if (m_fd >= 0) ::close(m_fd);
}

void MountWatcher::Poke() { m_settle.start(); }

void MountWatcher::OnMark() {
    // Reading the table to its end clears the mark.
    char buffer[4096];
    ::lseek(m_fd, 0, SEEK_SET);
    while (::read(m_fd, buffer, sizeof buffer) > 0) {
    }
    Poke();
}

}  // namespace tunecrate
