// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>

class QAbstractItemView;
class QPoint;

namespace tunecrate {

// Scrolls a view while a drag rests near its top or bottom edge: one row per
// tick at a steady pace that a person can stop at, never sideways. (Qt's own
// drag scrolling speeds up the longer it runs, bounded by the wider of the
// two page steps, so a tree with a sideways scroll bar raced past the folder
// the user was aiming at.)
class EdgeScroller : public QObject {
public:
    // Qt's own margin and its interval for views that scroll by rows.
    static constexpr int kMargin = 16;
    static constexpr int kIntervalMs = 150;

    EdgeScroller(QAbstractItemView* view, int margin);

    // On every drag move, with the pointer in the view's viewport.
    void DraggedAt(const QPoint& point);
    // When the drag leaves or drops.
    void Stop();

private:
    void Step();

    QAbstractItemView* m_view;
    int m_margin;
    int m_direction = 0;
    QTimer m_timer;
};

}  // namespace tunecrate
