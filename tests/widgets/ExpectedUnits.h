// SPDX-License-Identifier: MIT
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <cmath>

#include "app/DialogUnits.h"

namespace tunecrate::testing {

// Dialog units worked out here from the dialog font's metrics, the way the
// layouts were designed, so the program's own converter is checked, not reused.
struct ExpectedUnits {
    int baseX = 0;
    int baseY = 0;

    static ExpectedUnits ForDialogFont() {
        const QFontMetrics metrics(DialogFont());
        ExpectedUnits units;
        const int letters =
            metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        units.baseX = (letters / 26 + 1) / 2;
        units.baseY = metrics.height();
        return units;
    }

    int X(int dlu) const { return static_cast<int>(std::lround(dlu * baseX / 4.0)); }
    int Y(int dlu) const { return static_cast<int>(std::lround(dlu * baseY / 8.0)); }
    // Both edges converted, so the width is the distance between them.
    QRect Rect(int left, int top, int width, int height) const {
        return QRect(X(left), Y(top), X(left + width) - X(left), Y(top + height) - Y(top));
    }
};

}  // namespace tunecrate::testing
