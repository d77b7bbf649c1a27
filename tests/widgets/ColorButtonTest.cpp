// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
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

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// True when `c` lies between `from` and `to`, as an edge pixel of text in
// colour `to` drawn on `from` does (a little slack for rounding and gamma).
bool IsBlend(QRgb c, QRgb from, QRgb to) {
    double best = 1e9;
    for (int i = 0; i <= 255; ++i) {
        const double a = i / 255.0;
        auto mix = [&](int f, int t) { return f + a * (t - f); };
        const double d = std::max({std::abs(qRed(c) - mix(qRed(from), qRed(to))),
                                   std::abs(qGreen(c) - mix(qGreen(from), qGreen(to))),
                                   std::abs(qBlue(c) - mix(qBlue(from), qBlue(to)))});
        best = std::min(best, d);
    }
    return best <= 6.0;
}

// The main window's buttons: navy face, yellow caption, grey when disabled, two rings.
ColorButtonLook WindowLook() {
    ColorButtonLook look;
    look.face = QColor(kNavy);
    look.text = QColor(kYellow);
    look.disabledText = QColor(kGrey);
    look.borderDepth = 2;
    return look;
}

class ColorButtonPaintTest : public ::testing::Test {
protected:
    ColorButtonPaintTest() {
        // The size of a 35 x 14 unit button at the exit button's place.
        const ExpectedUnits units = ExpectedUnits::ForDialogFont();
        size = units.Rect(414, 45, 35, 14).size();
    }

    QImage Render(const ColorButtonLook& look, const QString& caption = QStringLiteral("終了")) const {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::green);   // anything not painted over shows up
        QPainter painter(&image);
        painter.setFont(DialogFont());
        PaintColorButton(painter, QRect(QPoint(0, 0), size), caption, look);
        painter.end();
        return image;
    }

    int W() const { return size.width(); }
    int H() const { return size.height(); }

    // Checks one edge line of pixels for one colour.
    static void ExpectLine(const QImage& image, QPoint from, QPoint step, int count, QRgb colour, const char* what) {
        for (int i = 0; i < count; ++i) {
            const QPoint p = from + step * i;
            ASSERT_EQ(Describe(image.pixel(p)), Describe(colour)) << what << " at " << p.x() << "," << p.y();
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
        const QRect focus(4, 4, W() - 8, H() - 8);
        auto inverted = [&](int x, int y) { return image.pixel(x, y) == ((without.pixel(x, y) ^ 0x00FFFFFFu) | 0xFF000000u); };
        auto same = [&](int x, int y) { return image.pixel(x, y) == without.pixel(x, y); };
        int invertedCount = 0;
        for (int y = 0; y < H(); ++y) {
            for (int x = 0; x < W(); ++x) {
                const bool onOutline = focus.contains(x, y) && (x == focus.left() || x == focus.right() ||
                                                                y == focus.top() || y == focus.bottom());
                if (!onOutline) {
                    ASSERT_TRUE(same(x, y)) << "changed off the focus outline at " << x << "," << y;
                    continue;
                }
                ASSERT_TRUE(inverted(x, y) || same(x, y)) << "focus outline pixel neither kept nor inverted at " << x
                                                          << "," << y;
                invertedCount += inverted(x, y) ? 1 : 0;
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
        EXPECT_GT(invertedCount, 0);
        // On the navy face an inverted dot is light yellow.
        EXPECT_GT(Count(image, focus, [](QRgb c) { return c == qRgb(255, 255, 127); }), 0);
    }

    QSize size;
};

TEST_F(ColorButtonPaintTest, ButtonHasTwoRaisedRingsNavyFaceAndYellowCaption) {
    ASSERT_GE(W(), 20);
    ASSERT_GE(H(), 12);
    const QImage image = Render(WindowLook());

    // Outer ring: white top and left, grey 127 bottom and right.
    ExpectLine(image, {0, 0}, {1, 0}, W(), kWhite, "outer top");
    ExpectLine(image, {0, 0}, {0, 1}, H(), kWhite, "outer left");
    ExpectLine(image, {1, H() - 1}, {1, 0}, W() - 1, qRgb(127, 127, 127), "outer bottom");
    ExpectLine(image, {W() - 1, 1}, {0, 1}, H() - 1, qRgb(127, 127, 127), "outer right");
    // Inner ring: 223 top and left, 85 bottom and right.
    ExpectLine(image, {1, 1}, {1, 0}, W() - 2, qRgb(223, 223, 223), "inner top");
    ExpectLine(image, {1, 1}, {0, 1}, H() - 2, qRgb(223, 223, 223), "inner left");
    ExpectLine(image, {2, H() - 2}, {1, 0}, W() - 3, qRgb(85, 85, 85), "inner bottom");
    ExpectLine(image, {W() - 2, 2}, {0, 1}, H() - 3, qRgb(85, 85, 85), "inner right");

    // Navy face inside the rings, at its corners.
    for (QPoint p : {QPoint(2, 2), QPoint(W() - 3, 2), QPoint(2, H() - 3), QPoint(W() - 3, H() - 3)}) {
        EXPECT_EQ(Describe(image.pixel(p)), Describe(kNavy)) << p.x() << "," << p.y();
    }
    // The caption is yellow on navy: text edges may blend the two, nothing else.
    const QRect face(2, 2, W() - 4, H() - 4);
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
    ColorButtonLook focused = WindowLook();
    focused.focused = true;
    ExpectFocusRectangleOver(Render(focused), Render(WindowLook()));
}

TEST_F(ColorButtonPaintTest, HeldDownButtonShowsOneSunkenRingAndTheFocusOnce) {
    ColorButtonLook pressed = WindowLook();
    pressed.focused = true;
    pressed.pressed = true;
    const QImage image = Render(pressed);

    ExpectLine(image, {0, 0}, {1, 0}, W(), kGrey, "sunken top");
    ExpectLine(image, {0, 0}, {0, 1}, H(), kGrey, "sunken left");
    ExpectLine(image, {1, H() - 1}, {1, 0}, W() - 1, kWhite, "sunken bottom");
    ExpectLine(image, {W() - 1, 1}, {0, 1}, H() - 1, kWhite, "sunken right");
    // No second ring, the face begins right inside the first.
    for (QPoint p : {QPoint(1, 1), QPoint(W() - 2, 1), QPoint(1, H() - 2), QPoint(W() - 2, H() - 2)}) {
        EXPECT_EQ(Describe(image.pixel(p)), Describe(kNavy)) << p.x() << "," << p.y();
    }

    // A one-ring sunken button without focus is the held-down look before the
    // focus rectangle goes on; the caption must not have moved.
    ColorButtonLook sunken = WindowLook();
    sunken.borderDepth = -1;
    ExpectFocusRectangleOver(image, Render(sunken));
}

TEST_F(ColorButtonPaintTest, HeldDownWithoutFocusLooksRaised) {
    ColorButtonLook pressed = WindowLook();
    pressed.pressed = true;
    EXPECT_EQ(Render(pressed), Render(WindowLook()));
}

TEST_F(ColorButtonPaintTest, DisabledCaptionIsGreyWithoutAnyYellow) {
    ColorButtonLook disabled = WindowLook();
    disabled.disabled = true;
    const QImage image = Render(disabled);
    const QImage enabled = Render(WindowLook());
    const QRect face(2, 2, W() - 4, H() - 4);

    EXPECT_EQ(Count(image, QRect(0, 0, W(), H()), [](QRgb c) { return c == kYellow; }), 0);
    int solid = 0;
    int yellowish = 0;
    int notGrey = 0;
    std::string firstYellowish, firstNotGrey;
    for (int y = face.top(); y <= face.bottom(); ++y) {
        for (int x = face.left(); x <= face.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            const std::string where = Describe(c) + " at " + std::to_string(x) + "," + std::to_string(y);
            // A grey caption on navy: nothing of the yellow one may show through.
            if (!IsBlend(c, kNavy, kGrey) && yellowish++ == 0) firstYellowish = where;
            // Where the yellow caption is solid, the grey one lies exactly over it.
            if (qRed(enabled.pixel(x, y)) >= 240) {
                ++solid;
                if (!Near(c, kGrey, 8) && notGrey++ == 0) firstNotGrey = where;
            }
        }
    }
    EXPECT_EQ(yellowish, 0) << "pixels neither navy, grey nor between them; first " << firstYellowish;
    EXPECT_EQ(notGrey, 0) << "of " << solid << " solid caption pixels not grey 128; first " << firstNotGrey;
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
