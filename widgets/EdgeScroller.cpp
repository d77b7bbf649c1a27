// SPDX-License-Identifier: MIT
#include "widgets/EdgeScroller.h"

#include <QAbstractItemView>
#include <QScrollBar>

namespace tunecrate {

EdgeScroller::EdgeScroller(QAbstractItemView* view, int margin) : QObject(view), m_view(view), m_margin(margin) {
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &EdgeScroller::Step);
}

void EdgeScroller::DraggedAt(const QPoint& point) {
    const int height = m_view->viewport()->height();
    m_direction = point.y() < m_margin ? -1 : point.y() >= height - m_margin ? 1 : 0;
    // The first step waits a tick: a pointer only passing the edge scrolls nothing.
    if (m_direction == 0) {
        m_timer.stop();
    } else if (!m_timer.isActive()) {
        m_timer.start();
    }
}

void EdgeScroller::Stop() {
    m_direction = 0;
    m_timer.stop();
}

void EdgeScroller::Step() {
    QScrollBar* bar = m_view->verticalScrollBar();
    const int before = bar->value();
    bar->setValue(before + m_direction * bar->singleStep());
    if (bar->value() == before) Stop();   // at the end: nothing more to scroll
}

}  // namespace tunecrate
