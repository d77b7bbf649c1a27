// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/statvfs.h>

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <clocale>
#include <cstdint>
#include <optional>
#include <string>

#include "FakePrompter.h"
#include "TestFloppy.h"
#include "app/FreeSpaceBar.h"
#include "app/MainDialog.h"

namespace tunecrate::testing {
namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kBackground = qRgb(0, 0, 128);

class FreeSpaceBarPaintTest : public ::testing::Test {
protected:
    static constexpr int kW = 200;
    static constexpr int kH = 20;

    static QImage Render(int freePercent) {
        QImage image(kW, kH, QImage::Format_RGB32);
        image.fill(kBackground);
        QPainter painter(&image);
        PaintFreeSpaceBar(painter, QSize(kW, kH), freePercent);
        painter.end();
        return image;
    }

    // The colour runs of one row as "colour from-to" pieces, for readable failures.
    static std::string Runs(const QImage& image, int y) {
        std::string out;
        int start = 0;
        for (int x = 1; x <= image.width(); ++x) {
            if (x == image.width() || image.pixel(x, y) != image.pixel(start, y)) {
                const QRgb c = image.pixel(start, y);
                out += (c == kRed ? "red" : c == kBlack ? "black" : c == kBackground ? "bg" : "other") +
                       std::string(" ") + std::to_string(start) + "-" + std::to_string(x - 1) + "; ";
                start = x;
            }
        }
        return out;
    }

    static int CountColour(const QImage& image, QRgb colour) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour ? 1 : 0;
        }
        return n;
    }
};

TEST_F(FreeSpaceBarPaintTest, UsedShareIsRedFromTheLeftAndFreeShareBlack) {
    const QImage image = Render(35);
    // used = 200 * 65 / 100 = 130 pixels.
    EXPECT_EQ(Runs(image, kH / 2), "red 0-129; black 130-199; ");
    // The red rectangle spans rows 2 to H-2; the black one rows 1 to H-2.
    for (int y = 0; y < kH; ++y) {
        const bool red = y >= 2 && y <= kH - 2;
        EXPECT_EQ(image.pixel(60, y) == kRed, red) << "row " << y << ": " << Runs(image, y);
        EXPECT_EQ(image.pixel(160, y), kBlack) << "row " << y;
    }
    // Above the red: the black outline, then the background.
    EXPECT_EQ(image.pixel(60, 0), kBlack);
    EXPECT_EQ(image.pixel(60, 1), kBackground);
    EXPECT_EQ(image.pixel(60, kH - 1), kBlack);
}

TEST_F(FreeSpaceBarPaintTest, FullDiskIsAllRedAndEmptyDiskHasNoRed) {
    EXPECT_EQ(Runs(Render(0), kH / 2), "red 0-199; ");
    const QImage empty = Render(100);
    EXPECT_EQ(CountColour(empty, kRed), 0);
    EXPECT_EQ(Runs(empty, kH / 2), "black 0-199; ");
}

TEST_F(FreeSpaceBarPaintTest, WithoutAReadingOnlyTheOutlineIsDrawn) {
    const QImage image = Render(-1);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool outline = x == 0 || y == 0 || x == kW - 1 || y == kH - 1;
            ASSERT_EQ(image.pixel(x, y), outline ? kBlack : kBackground) << x << "," << y;
        }
    }
}

// Free bytes of the file system holding `path`, as the free-space text reports them.
std::optional<std::int64_t> AvailableBytes(const std::string& path) {
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
    return static_cast<std::int64_t>(vfs.f_bavail * vfs.f_frsize);
}

// "空き %4.2f kb"; the factor is the single-precision 0.001 users have always seen.
QString ExpectedFreeText(std::int64_t bytes) {
    return QString::asprintf("空き %4.2f kb", static_cast<double>(bytes) * static_cast<double>(0.001f));
}

QString FreeSpaceLabel(MainDialog& dialog) {
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("freeSpaceText"));
    return label != nullptr ? label->text() : QStringLiteral("<no freeSpaceText>");
}

TEST(FreeSpaceDisplayTest, TextShowsTheFloppysFreeBytes) {
    TempFolder floppy;
    WriteFloppy(floppy, DemoSlots());
    MainDialogOptions options = OptionsWithoutMounts();
    options.floppy = floppy.path();
    FakePrompter prompter;
    MainDialog dialog(options);
    dialog.setPrompter(&prompter);

    // Other programs may write to the same disk meanwhile: read until the free
    // space stood still around one reading.
    std::optional<std::int64_t> before, after;
    for (int attempt = 0; attempt < 10; ++attempt) {
        before = AvailableBytes(floppy.path());
        dialog.FirstFill();
        after = AvailableBytes(floppy.path());
        if (before == after) break;
    }
    ASSERT_TRUE(before.has_value());
    ASSERT_EQ(before, after) << "free space kept changing";
    EXPECT_EQ(dialog.FreeBytes(), *before);
    EXPECT_EQ(FreeSpaceLabel(dialog), ExpectedFreeText(*before));
    EXPECT_GE(dialog.FreePercent(), 0);
    EXPECT_LE(dialog.FreePercent(), 100);
}

TEST(FreeSpaceDisplayTest, WithoutAFloppyTextReadsZeroAndBarHasNoRed) {
    FakePrompter prompter;
    MainDialog dialog(OptionsWithoutMounts());
    dialog.setPrompter(&prompter);
    dialog.show();
    dialog.FirstFill();
    EXPECT_EQ(dialog.FreePercent(), -1);
    EXPECT_EQ(dialog.FreeBytes(), 0);
    EXPECT_EQ(FreeSpaceLabel(dialog), QStringLiteral("空き 0.00 kb"));
    auto* bar = dialog.findChild<FreeSpaceBar*>(QStringLiteral("freeSpaceBar"));
    ASSERT_NE(bar, nullptr);
    const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) red += image.pixel(x, y) == kRed ? 1 : 0;
    }
    EXPECT_EQ(red, 0);
}

// Puts LC_NUMERIC back when the test ends.
class NumericLocale {
public:
    NumericLocale() : m_saved(std::setlocale(LC_NUMERIC, nullptr)) {}
    ~NumericLocale() { std::setlocale(LC_NUMERIC, m_saved.c_str()); }
    NumericLocale(const NumericLocale&) = delete;
    NumericLocale& operator=(const NumericLocale&) = delete;
    // A locale whose decimal separator is a comma: an installed one, or one
    // compiled for this test from the system's locale sources.
    static bool UseDecimalComma() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, name) != nullptr && std::localeconv()->decimal_point[0] == ',') return true;
        }
        static TempFolder compiled;
        static const bool made =
            std::system(("localedef -i de_DE -f UTF-8 " + compiled.Path("de_DE.UTF-8") + " >/dev/null 2>&1").c_str()) == 0;
        if (!made) return false;
        ::setenv("LOCPATH", compiled.path().c_str(), 1);
        const bool ok = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr && std::localeconv()->decimal_point[0] == ',';
        ::unsetenv("LOCPATH");
        return ok;
    }

private:
    std::string m_saved;
};

TEST(FreeSpaceDisplayTest, TextKeepsItsDecimalPointUnderAnyUserLocale) {
    // QApplication applies the user's locale to the C library; the figure
    // must still read as the instrument's users know it: "0.00", never "0,00".
    NumericLocale restore;
    if (!NumericLocale::UseDecimalComma()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    FakePrompter prompter;
    MainDialog dialog(OptionsWithoutMounts());
    dialog.setPrompter(&prompter);
    dialog.FirstFill();
    EXPECT_EQ(FreeSpaceLabel(dialog), QStringLiteral("空き 0.00 kb"));
}

TEST(FreeSpaceDisplayTest, BarInTheWindowDividesAtTheFloppysUsedShare) {
    TempFolder floppy;
    WriteFloppy(floppy, DemoSlots());
    MainDialogOptions options = OptionsWithoutMounts();
    options.floppy = floppy.path();
    FakePrompter prompter;
    MainDialog dialog(options);
    dialog.setPrompter(&prompter);
    dialog.show();
    dialog.FirstFill();

    auto* bar = dialog.findChild<FreeSpaceBar*>(QStringLiteral("freeSpaceBar"));
    ASSERT_NE(bar, nullptr);
    const int percent = dialog.FreePercent();
    ASSERT_GE(percent, 0);
    EXPECT_EQ(bar->freePercent(), percent);
    const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int w = image.width();
    const int used = w * (100 - percent) / 100;
    const int y = image.height() / 2;
    if (used > 0) {
        EXPECT_EQ(image.pixel(used - 1, y), kRed) << "used " << used << " of " << w;
    }
    if (used < w) {
        EXPECT_EQ(image.pixel(used, y), kBlack) << "used " << used << " of " << w;
    }
}

}  // namespace
}  // namespace tunecrate::testing
