// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FakePrompter.h"
#include "TestFloppy.h"
#include "app/FreeSpaceBar.h"
#include "app/MainDialog.h"

namespace tunecrate::testing {
namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kBackground = qRgb(0, 0, 128);

// The colour runs of one row as "colour from-to" pieces, for readable failures.
std::string Runs(const QImage& image, int y) {
    std::string out;
    int start = 0;
    for (int x = 1; x <= image.width(); ++x) {
        if (x == image.width() || image.pixel(x, y) != image.pixel(start, y)) {
            const QRgb c = image.pixel(start, y);
            out += (c == kRed ? "red" : c == kBlack ? "black" : c == kBackground ? "bg" : "other") + std::string(" ") +
                   std::to_string(start) + "-" + std::to_string(x - 1) + "; ";
            start = x;
        }
    }
    return out;
}

int CountRed(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == kRed ? 1 : 0;
    }
    return n;
}

constexpr int kW = 200;
constexpr int kH = 20;

QImage RenderBar(int freePercent) {
    QImage image(kW, kH, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    PaintFreeSpaceBar(painter, QSize(kW, kH), freePercent);
    painter.end();
    return image;
}

TEST(FreeSpaceBarPaintTest, UsedShareIsRedFromTheLeftAndFreeShareBlack) {
    // used = 200 * (100 - free) / 100 pixels.
    const std::vector<std::pair<int, std::string>> cases = {
        {35, "red 0-129; black 130-199; "}, {0, "red 0-199; "}, {100, "black 0-199; "}};
    for (const auto& [percent, runs] : cases) EXPECT_EQ(Runs(RenderBar(percent), kH / 2), runs) << percent << "% free";
    EXPECT_EQ(CountRed(RenderBar(100)), 0);

    // The red rectangle spans rows 2 to H-2 inside the black outline, the
    // black one rows 1 to H-2.
    const QImage image = RenderBar(35);
    for (int y = 0; y < kH; ++y) {
        EXPECT_EQ(image.pixel(60, y), y == 0 || y == kH - 1 ? kBlack : y == 1 ? kBackground : kRed) << "row " << y;
        EXPECT_EQ(image.pixel(160, y), kBlack) << "row " << y;
    }
}

TEST(FreeSpaceBarPaintTest, WithoutAReadingOnlyTheOutlineIsDrawn) {
    const QImage image = RenderBar(-1);
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

// A main window on `floppy` (none when empty), shown.
class FreeSpaceDisplayTest : public ::testing::Test {
protected:
    void Open(const std::string& floppy) {
        MainDialogOptions options = OptionsWithoutMounts();
        if (!floppy.empty()) options.floppy = floppy;
        dialog = std::make_unique<MainDialog>(options);
        dialog->setPrompter(&prompter);
        dialog->show();
    }
    QString Text() {
        auto* label = dialog->findChild<QLabel*>(QStringLiteral("freeSpaceText"));
        return label != nullptr ? label->text() : QStringLiteral("<no freeSpaceText>");
    }
    QImage Bar() {
        auto* bar = dialog->findChild<FreeSpaceBar*>(QStringLiteral("freeSpaceBar"));
        return bar != nullptr ? bar->grab().toImage().convertToFormat(QImage::Format_RGB32) : QImage();
    }

    FakePrompter prompter;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(FreeSpaceDisplayTest, TextShowsTheFloppysFreeBytesAndTheBarDividesAtItsUsedShare) {
    TempFolder floppy;
    WriteFloppy(floppy, DemoSlots());
    Open(floppy.path());
    // Other programs may write to the same disk meanwhile: read until the free
    // space stood still around one reading.
    std::optional<std::int64_t> before, after;
    for (int attempt = 0; attempt < 10; ++attempt) {
        before = AvailableBytes(floppy.path());
        dialog->FirstFill();
        after = AvailableBytes(floppy.path());
        if (before == after) break;
    }
    ASSERT_TRUE(before.has_value());
    ASSERT_EQ(before, after) << "free space kept changing";
    EXPECT_EQ(dialog->FreeBytes(), *before);
    // "空き %4.2f kb"; the factor is the single-precision 0.001 users have always seen.
    EXPECT_EQ(Text(), QString::asprintf("空き %4.2f kb", static_cast<double>(*before) * static_cast<double>(0.001f)));

    const int percent = dialog->FreePercent();
    ASSERT_GE(percent, 0);
    ASSERT_LE(percent, 100);
    const QImage image = Bar();
    ASSERT_FALSE(image.isNull());
    const int used = image.width() * (100 - percent) / 100;
    const int y = image.height() / 2;
    if (used > 0) {
        EXPECT_EQ(image.pixel(used - 1, y), kRed) << "used " << used << " of " << image.width();
    }
    if (used < image.width()) {
        EXPECT_EQ(image.pixel(used, y), kBlack) << "used " << used << " of " << image.width();
    }
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

TEST_F(FreeSpaceDisplayTest, WithoutAFloppyTextReadsZeroWithADecimalPointAndBarHasNoRed) {
    // QApplication applies the user's locale to the C library; the figure
    // must still read as the instrument's users know it: "0.00", never "0,00".
    NumericLocale restore;
    const bool comma = NumericLocale::UseDecimalComma();
    SCOPED_TRACE(comma ? "under a decimal-comma locale" : "no decimal-comma locale is installed");
    Open("");
    dialog->FirstFill();
    EXPECT_EQ(Text(), QStringLiteral("空き 0.00 kb"));
    EXPECT_EQ(dialog->FreePercent(), -1);
    EXPECT_EQ(dialog->FreeBytes(), 0);
    ASSERT_FALSE(Bar().isNull());
    EXPECT_EQ(CountRed(Bar()), 0);
}

}  // namespace
}  // namespace tunecrate::testing
