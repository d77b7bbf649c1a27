// SPDX-License-Identifier: MIT
#include "widgets/DialogUnits.h"

#include <QFontMetrics>
#include <QStringList>

namespace tunecrate {

namespace {

// Rounded a * b / c, as the platform's dialog conversion rounds.
int MulDiv(int a, int b, int c) {
    long long product = static_cast<long long>(a) * b;
    long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
}

int DialogUnits::X(int dlu) const { return MulDiv(dlu, m_baseX, 4); }
int DialogUnits::Y(int dlu) const { return MulDiv(dlu, m_baseY, 8); }

QRect DialogUnits::Rect(int left, int top, int width, int height) const {
    // Convert both edges so that neighbouring controls meet as designed.
    const int x0 = X(left);
    const int y0 = Y(top);
    return QRect(x0, y0, X(left + width) - x0, Y(top + height) - y0);
}

QFont DialogFont() {
    static const QString kFamily = QStringLiteral("ＭＳ Ｐゴシック");
    // The proportional Gothic the layout was drawn with is a Windows font; these
    // two have its metrics closely enough and carry every Japanese glyph.
    QFont::insertSubstitutions(kFamily, QStringList() << QStringLiteral("IPAPGothic") << QStringLiteral("Noto Sans CJK JP"));
    QFont font(kFamily);
    font.setPointSize(9);
    return font;
}

}  // namespace tunecrate
