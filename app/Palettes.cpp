// SPDX-License-Identifier: MIT
#include "app/Palettes.h"

#include <QApplication>

namespace tunecrate {

QPalette DialogPalette() {
    QPalette pal = QApplication::palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Window, QColor(0, 0, 128));
        pal.setColor(group, QPalette::WindowText, QColor(255, 255, 0));
    }
    return pal;
}

QPalette SystemPalette() {
    const QPalette app = QApplication::palette();
    QPalette pal;
    // Every role set explicitly, so nothing is inherited from the navy window.
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            auto group = static_cast<QPalette::ColorGroup>(g);
            auto role = static_cast<QPalette::ColorRole>(r);
            pal.setBrush(group, role, app.brush(group, role));
        }
    }
    // The selection stays visible while another control has the focus.
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        pal.setBrush(QPalette::Inactive, role, app.brush(QPalette::Active, role));
    }
    return pal;
}

}  // namespace tunecrate
