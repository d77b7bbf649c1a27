// SPDX-License-Identifier: MIT
#include "session/MountWatcher.h"

#include <QSocketNotifier>

namespace tunecrate {

namespace {
// A mount by the desktop comes as several changes in a row.
constexpr int kSettleMs = 250;
}

MountWatcher::MountWatcher(const std::string& mountTable, QObject* parent) : QObject(parent), m_table(mountTable) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &MountWatcher::mountsChanged);
    if (m_table.fd() < 0) return;
    // The table must be read once before the kernel marks a change.
    OnMark();
    m_settle.stop();
    m_notifier = new QSocketNotifier(static_cast<qintptr>(m_table.fd()), QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MountWatcher::OnMark);
}

MountWatcher::~MountWatcher() {
    delete m_notifier;   // before the table it watches closes
}

void MountWatcher::Poke() { m_settle.start(); }

void MountWatcher::OnMark() {
    // Reading the table to its end clears the mark.
    m_table.Clear();
    Poke();
}

}  // namespace tunecrate
