// SPDX-License-Identifier: MIT
#include "widgets/ColorButton.h"

#include <QPainter>
#include <cstdlib>

namespace tunecrate {

namespace {

// Platform rectangle: right and bottom are not part of it.
struct Edges {
    int left, top, right, bottom;
};

// A 1-pixel line whose end point is not drawn; only horizontal or vertical.
void Line(QPainter& painter, int x1, int y1, int x2, int y2, const QColor& colour) {
    if (y1 == y2 && x2 > x1) painter.fillRect(x1, y1, x2 - x1, 1, colour);
    if (x1 == x2 && y2 > y1) painter.fillRect(x1, y1, 1, y2 - y1, colour);
}

void DrawBorder(QPainter& painter, Edges r, int depth) {
    const int rings = std::abs(depth);
    const bool sunken = depth < 0;
    for (int i = 0; i < rings; ++i) {
        QColor light, dark;
        if (rings == 1) {
            light = QColor(255, 255, 255);
            dark = QColor(128, 128, 128);
        } else {
            const int l = 192 + 63 / (i + 1);
            const int d = 255 / (i + 2);
            light = QColor(l, l, l);
            dark = QColor(d, d, d);
        }
        QColor topLeft = sunken ? dark : light;
        QColor bottomRight = sunken ? light : dark;
        if (sunken && rings > 1 && i == rings - 1) bottomRight = QColor(1, 1, 1);
        Line(painter, r.left, r.top, r.right, r.top, topLeft);
        Line(painter, r.left, r.top, r.left, r.bottom, topLeft);
        Line(painter, r.left + 1, r.bottom - 1, r.right, r.bottom - 1, bottomRight);
        Line(painter, r.right - 1, r.top + 1, r.right - 1, r.bottom, bottomRight);
        r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    }
}

void DrawCaption(QPainter& painter, const QRect& rect, const QString& caption, const QColor& colour) {
    // Solid glyphs: the grey caption of a disabled button must cover the
    // yellow one drawn before it exactly, leaving no yellow edge pixels.
    QFont font = painter.font();
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, caption);
}

// The dotted focus rectangle inverts every other pixel of its outline, as the
// platform's focus rectangle does, so it shows on any face colour.
void DrawFocusRect(QPainter& painter, const QRect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QColor white(255, 255, 255);
    auto dot = [&](int x, int y) {
        if (((x - rect.left()) + (y - rect.top())) % 2 == 0) painter.fillRect(x, y, 1, 1, white);
    };
    for (int x = rect.left(); x <= rect.right(); ++x) {
        dot(x, rect.top());
        if (rect.bottom() != rect.top()) dot(x, rect.bottom());
    }
    for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
        dot(rect.left(), y);
        if (rect.right() != rect.left()) dot(rect.right(), y);
    }
    painter.restore();
}

}  // namespace

void PaintColorButton(QPainter& painter, const QRect& rect, const QString& caption, const ColorButtonLook& look) {
    const Edges r{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
    const QRect focus = rect.adjusted(4, 4, -4, -4);

    painter.fillRect(rect, look.face);
    DrawBorder(painter, r, look.borderDepth);
    DrawCaption(painter, rect, caption, look.text);
    if (look.focused) {
        if (look.pressed) {
            // Held down: one sunken ring, caption unmoved.
            painter.fillRect(rect, look.face);
            DrawBorder(painter, r, -1);
            DrawCaption(painter, rect, caption, look.text);
        }
        DrawFocusRect(painter, focus);
        return;
    }
    if (look.disabled) DrawCaption(painter, rect, caption, look.disabledText);
}

ColorButton::ColorButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    // Enter must never press a button of the main window.
    setAutoDefault(false);
    setDefault(false);
}

void ColorButton::Setup(const QColor& faceColour, const QColor& textColour, const QColor& disabledColour,
                        int borderDepth) {
    m_faceColour = faceColour;
    m_textColour = textColour;
    m_disabledColour = disabledColour;
    m_borderDepth = borderDepth;
    m_setUp = true;
    update();
}

ColorButtonLook ColorButton::Look() const {
    ColorButtonLook l;
    l.face = m_faceColour;
    l.text = m_textColour;
    l.disabledText = m_disabledColour;
    l.borderDepth = m_borderDepth;
    l.focused = hasFocus();
    l.pressed = isDown();
    l.disabled = !isEnabled();
    return l;
}

void ColorButton::paintEvent(QPaintEvent* event) {
    if (!m_setUp) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    PaintColorButton(painter, rect(), text(), Look());
}

}  // namespace tunecrate
