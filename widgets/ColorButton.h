// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPushButton>

class QPainter;

namespace tunecrate {

// How a colour button looks at one moment.
struct ColorButtonLook {
    QColor face;
    QColor text;
    QColor disabledText;
    int borderDepth = 0;      // rings of the bevel; negative draws it sunken
    bool focused = false;
    bool pressed = false;
    bool disabled = false;
};

// Paints a colour button into `rect` (face, bevel, caption, focus and pressed looks).
void PaintColorButton(QPainter& painter, const QRect& rect, const QString& caption, const ColorButtonLook& look);

// A push button drawn in the window's own colours (navy face, yellow caption)
// with a bevelled border. Until Setup gives it its colours it looks like any button.
class ColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit ColorButton(const QString& caption, QWidget* parent = nullptr);

    void Setup(const QColor& faceColour, const QColor& textColour, const QColor& disabledColour, int borderDepth);
    ColorButtonLook Look() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_textColour;
    QColor m_faceColour;
    QColor m_disabledColour;
    int m_borderDepth = 0;
    bool m_setUp = false;
};

}  // namespace tunecrate
