// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

#include "ExpectedUnits.h"
#include "TestFloppy.h"
#include "app/ColorButton.h"
#include "app/MainDialog.h"

namespace tunecrate::testing {
namespace {

const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kGrey = qRgb(128, 128, 128);
const QRgb kWhite = qRgb(255, 255, 255);

std::string Describe(QRgb c) {
    return "RGB(" + std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," + std::to_string(qBlue(c)) + ")";
}

// True when `c` lies between `from` and `to`, as an edge pixel of text in
// colour `to` drawn on `from` does (a little slack for rounding and gamma).
bool IsBlend(QRgb c, QRgb from, QRgb to) {
    for (int i = 0; i <= 255; ++i) {
        auto off = [&](int f, int t, int v) { return std::abs(v - (f + i / 255.0 * (t - f))); };
        if (std::max({off(qRed(from), qRed(to), qRed(c)), off(qGreen(from), qGreen(to), qGreen(c)),
                      off(qBlue(from), qBlue(to), qBlue(c))}) <= 6.0) {
            return true;
        }
    }
    return false;
}

// The main window's buttons: navy face, yellow caption, grey when disabled, two rings.
ColorButtonLook WindowLook(bool focused = false, bool pressed = false, bool disabled = false, int depth = 2) {
    ColorButtonLook look;
    look.face = QColor(kNavy);
    look.text = QColor(kYellow);
    look.disabledText = QColor(kGrey);
    look.borderDepth = depth;
    look.focused = focused;
    look.pressed = pressed;
    look.disabled = disabled;
    return look;
}

class ColorButtonPaintTest : public ::testing::Test {
protected:
    // The size of a 35 x 14 unit button at the exit button's place.
    ColorButtonPaintTest() : size(ExpectedUnits::ForDialogFont().Rect(414, 45, 35, 14).size()) {}

    QImage Render(const ColorButtonLook& look) const {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::green);   // anything not painted over shows up
        QPainter painter(&image);
        painter.setFont(DialogFont());
        PaintColorButton(painter, QRect(QPoint(0, 0), size), QStringLiteral("終了"), look);
        painter.end();
        return image;
    }

    int W() const { return size.width(); }
    int H() const { return size.height(); }
    QRect Face(int inset) const { return QRect(inset, inset, W() - 2 * inset, H() - 2 * inset); }

    // The ring `inset` pixels in: `light` along the top and left edges, `dark`
    // along the bottom and right ones, the corners as the platform draws them.
    void ExpectRing(const QImage& image, int inset, QRgb light, QRgb dark) const {
        const int left = inset, top = inset, right = W() - 1 - inset, bottom = H() - 1 - inset;
        for (int x = left; x <= right; ++x) {
            ASSERT_EQ(Describe(image.pixel(x, top)), Describe(light)) << "top of ring " << inset << " at x " << x;
            if (x > left) {
                ASSERT_EQ(Describe(image.pixel(x, bottom)), Describe(dark)) << "bottom of ring " << inset << " at x " << x;
            }
        }
        for (int y = top; y <= bottom; ++y) {
            ASSERT_EQ(Describe(image.pixel(left, y)), Describe(light)) << "left of ring " << inset << " at y " << y;
            if (y > top) {
                ASSERT_EQ(Describe(image.pixel(right, y)), Describe(dark)) << "right of ring " << inset << " at y " << y;
            }
        }
    }

    static int Count(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& wanted) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) n += wanted(image.pixel(x, y)) ? 1 : 0;
        }
        return n;
    }

    // The focus rectangle 4 pixels inside the edges: `image` equals `without`
    // except along its outline, where every other pixel is inverted.
    void ExpectFocusRectangleOver(const QImage& image, const QImage& without) const {
        const QRect focus = Face(4);
        auto inverted = [&](int x, int y) { return image.pixel(x, y) == ((without.pixel(x, y) ^ 0x00FFFFFFu) | 0xFF000000u); };
        for (int y = 0; y < H(); ++y) {
            for (int x = 0; x < W(); ++x) {
                const bool onOutline = focus.contains(x, y) && (x == focus.left() || x == focus.right() ||
                                                                y == focus.top() || y == focus.bottom());
                if (!onOutline || !inverted(x, y)) {
                    ASSERT_EQ(image.pixel(x, y), without.pixel(x, y)) << "changed at " << x << "," << y;
                }
            }
        }
        // Dotted: along each edge neighbours differ.
        for (int x = focus.left(); x < focus.right(); ++x) {
            EXPECT_NE(inverted(x, focus.top()), inverted(x + 1, focus.top())) << "top edge at " << x;
            EXPECT_NE(inverted(x, focus.bottom()), inverted(x + 1, focus.bottom())) << "bottom edge at " << x;
        }
        for (int y = focus.top(); y < focus.bottom(); ++y) {
            EXPECT_NE(inverted(focus.left(), y), inverted(focus.left(), y + 1)) << "left edge at " << y;
            EXPECT_NE(inverted(focus.right(), y), inverted(focus.right(), y + 1)) << "right edge at " << y;
        }
        // On the navy face an inverted dot is light yellow.
        EXPECT_GT(Count(image, focus, [](QRgb c) { return c == qRgb(255, 255, 127); }), 0);
    }

    QSize size;
};

TEST_F(ColorButtonPaintTest, ButtonHasTwoRaisedRingsNavyFaceAndCentredYellowCaption) {
    ASSERT_GE(W(), 20);
    ASSERT_GE(H(), 12);
    const QImage image = Render(WindowLook());
    ExpectRing(image, 0, kWhite, qRgb(127, 127, 127));
    ExpectRing(image, 1, qRgb(223, 223, 223), qRgb(85, 85, 85));

    const QRect face = Face(2);
    for (QPoint p : {face.topLeft(), face.topRight(), face.bottomLeft(), face.bottomRight()}) {
        EXPECT_EQ(Describe(image.pixel(p)), Describe(kNavy)) << p.x() << "," << p.y();
    }
    // The caption is yellow on navy: text edges may blend the two, nothing else.
    QRect ink;
    for (int y = face.top(); y <= face.bottom(); ++y) {
        for (int x = face.left(); x <= face.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (c == kNavy) continue;
            ink |= QRect(x, y, 1, 1);
            ASSERT_TRUE(IsBlend(c, kNavy, kYellow)) << Describe(c) << " at " << x << "," << y;
        }
    }
    EXPECT_GT(Count(image, face, [](QRgb c) { return qRed(c) >= 240 && qGreen(c) >= 240 && qBlue(c) <= 15; }), 0)
        << "no caption pixel is yellow";
    // Centred both ways, within the slack of the glyphs' own side bearings.
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.left() - face.left(), face.right() - ink.right(), 3) << "ink from " << ink.left() << " to " << ink.right();
    EXPECT_NEAR(ink.top() - face.top(), face.bottom() - ink.bottom(), 3) << "ink from " << ink.top() << " to " << ink.bottom();
}

TEST_F(ColorButtonPaintTest, FocusedButtonShowsDottedFocusRectangle) {
    ExpectFocusRectangleOver(Render(WindowLook(true)), Render(WindowLook()));
}

TEST_F(ColorButtonPaintTest, HeldDownButtonShowsOneSunkenRingAndTheFocusOnce) {
    const QImage image = Render(WindowLook(true, true));
    ExpectRing(image, 0, kGrey, kWhite);
    // No second ring, the face begins right inside the first.
    const QRect face = Face(1);
    for (QPoint p : {face.topLeft(), face.topRight(), face.bottomLeft(), face.bottomRight()}) {
        EXPECT_EQ(Describe(image.pixel(p)), Describe(kNavy)) << p.x() << "," << p.y();
    }
    // A one-ring sunken button without focus is the held-down look before the
    // focus rectangle goes on; the caption must not have moved.
    ExpectFocusRectangleOver(image, Render(WindowLook(false, false, false, -1)));
    // Held down without the focus, the button still looks raised.
    EXPECT_EQ(Render(WindowLook(false, true)), Render(WindowLook()));
}

TEST_F(ColorButtonPaintTest, DisabledCaptionIsGreyWithoutAnyYellow) {
    const QImage image = Render(WindowLook(false, false, true));
    const QImage enabled = Render(WindowLook());
    const QRect face = Face(2);
    EXPECT_EQ(Count(image, QRect(0, 0, W(), H()), [](QRgb c) { return c == kYellow; }), 0);
    int solid = 0;
    for (int y = face.top(); y <= face.bottom(); ++y) {
        for (int x = face.left(); x <= face.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            // A grey caption on navy: nothing of the yellow one may show through.
            ASSERT_TRUE(IsBlend(c, kNavy, kGrey)) << Describe(c) << " at " << x << "," << y;
            // Where the yellow caption is solid, the grey one lies exactly over it.
            if (qRed(enabled.pixel(x, y)) >= 240) {
                ++solid;
                ASSERT_TRUE(std::abs(qRed(c) - 128) <= 8 && std::abs(qGreen(c) - 128) <= 8 && std::abs(qBlue(c) - 128) <= 8)
                    << Describe(c) << " at " << x << "," << y;
            }
        }
    }
    EXPECT_GT(solid, 0);
}

TEST(ColorButtonWidgetTest, WindowButtonsPaintInTheWindowColours) {
    MainDialog dialog(OptionsWithoutMounts());
    dialog.show();
    for (const char* name : {"reloadButton", "exitButton"}) {
        SCOPED_TRACE(name);
        auto* button = dialog.findChild<ColorButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isSetUp());
        const QImage image = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.size(), button->size());
        const int w = image.width();
        const int h = image.height();
        EXPECT_EQ(Describe(image.pixel(0, 0)), Describe(kWhite));
        EXPECT_EQ(Describe(image.pixel(w - 1, h - 1)), Describe(qRgb(127, 127, 127)));
        EXPECT_EQ(Describe(image.pixel(1, 1)), Describe(qRgb(223, 223, 223)));
        EXPECT_EQ(Describe(image.pixel(w - 2, h - 2)), Describe(qRgb(85, 85, 85)));
        EXPECT_EQ(Describe(image.pixel(2, h / 2)), Describe(kNavy));
    }
}

}  // namespace
}  // namespace tunecrate::testing
