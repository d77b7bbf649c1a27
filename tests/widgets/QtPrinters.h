// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <ostream>

// Readable Qt values in test failure messages. Qt's types live in the global
// namespace, so GoogleTest finds these printers there.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QSize& size, std::ostream* os) { *os << size.width() << " x " << size.height(); }
inline void PrintTo(const QRect& rect, std::ostream* os) {
    *os << "(" << rect.x() << ", " << rect.y() << ", " << rect.width() << " x " << rect.height() << ")";
}
