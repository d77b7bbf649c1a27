// SPDX-License-Identifier: MIT
#include "widgets/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tunecrate {

namespace {

// An eighth-note head with its stem, head centred at (x, y), in a 16-px grid.
void DrawNoteHead(QPainter& p, qreal x, qreal y, qreal scale) {
    p.save();
    p.translate(x, y);
    p.rotate(-20);
    p.drawEllipse(QRectF(-2.4 * scale, -1.7 * scale, 4.8 * scale, 3.4 * scale));
    p.restore();
}

// A 16-px song image: a coloured square in a white frame, drawn on in black.
QPixmap Tile(const QColor& colour, void (*draw)(QPainter&)) {
    QPixmap pm(16, 16);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.fillRect(1, 1, 14, 14, colour);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return pm;
}

void DrawSingleNote(QPainter& p) {
    DrawNoteHead(p, 6, 11.5, 1.0);
    p.fillRect(QRectF(7.6, 2.5, 1.2, 9), Qt::black);
    // flag
    QPainterPath flag;
    flag.moveTo(8.8, 2.5);
    flag.cubicTo(10.5, 4.5, 12.5, 5.0, 11.0, 8.5);
    flag.cubicTo(11.5, 6.0, 10.0, 5.5, 8.8, 5.0);
    p.drawPath(flag);
}

void DrawTwoNotes(QPainter& p) {
    DrawNoteHead(p, 4.2, 11.8, 0.85);
    DrawNoteHead(p, 10.6, 10.8, 0.85);
    p.fillRect(QRectF(5.6, 3.5, 1.1, 8.2), Qt::black);
    p.fillRect(QRectF(12.0, 2.5, 1.1, 8.2), Qt::black);
    // the beam that joins them
    QPainterPath beam;
    beam.moveTo(5.6, 3.5);
    beam.lineTo(13.1, 2.5);
    beam.lineTo(13.1, 4.6);
    beam.lineTo(5.6, 5.6);
    beam.closeSubpath();
    p.drawPath(beam);
}

QPixmap SingleNote() { return Tile(QColor(255, 255, 0), DrawSingleNote); }

QPixmap TwoNotes() { return Tile(QColor(255, 0, 255), DrawTwoNotes); }

QPixmap Blank() {
    // All white, and white is the transparent colour of the song images.
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    return pm;
}

}  // namespace

const QVector<QPixmap>& SongImages() {
    static const QVector<QPixmap> images{SingleNote(), TwoNotes(), Blank()};
    return images;
}

QPixmap ProgramIconPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A floppy disk in navy with a yellow label carrying a note.
    QPainterPath body;
    body.moveTo(2, 2);
    body.lineTo(26, 2);
    body.lineTo(30, 6);
    body.lineTo(30, 30);
    body.lineTo(2, 30);
    body.closeSubpath();
    p.setPen(QPen(QColor(255, 255, 0), 1.2));
    p.setBrush(QColor(0, 0, 128));
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(8, 2.6, 15, 9));
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(QRectF(17, 4, 3.5, 6));
    p.setBrush(QColor(255, 255, 0));
    p.drawRoundedRect(QRectF(6, 15, 20, 13), 1.5, 1.5);
    p.setBrush(Qt::black);
    p.save();
    p.translate(14, 24.5);
    p.rotate(-20);
    p.drawEllipse(QRectF(-3, -2, 6, 4));
    p.restore();
    p.drawRect(QRectF(16.2, 16.5, 1.5, 8));
    p.drawRect(QRectF(16.2, 16.5, 5, 1.6));
    return pm;
}

QIcon ProgramIcon() {
    QIcon icon;
    icon.addPixmap(ProgramIconPixmap(16));
    icon.addPixmap(ProgramIconPixmap(32));
    return icon;
}

QPixmap LogoPixmap(const QSize& size) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF area(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, QColor(40, 40, 170));
    gradient.setColorAt(1, QColor(0, 0, 90));
    p.setPen(QPen(QColor(255, 255, 0), 1));
    p.setBrush(gradient);
    p.drawRoundedRect(area, 4, 4);

    // A staff of five lines behind the name.
    p.setPen(QPen(QColor(255, 255, 0, 70), 1));
    const qreal staffTop = size.height() * 0.22;
    const qreal gap = size.height() * 0.14;
    for (int i = 0; i < 5; ++i) {
        p.drawLine(QPointF(4, staffTop + i * gap), QPointF(size.width() - 4, staffTop + i * gap));
    }
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setItalic(true);
    font.setBold(true);
    font.setPixelSize(std::max(8, static_cast<int>(size.height() * 0.62)));
    p.setFont(font);
    p.setPen(QColor(255, 255, 0));
    p.drawText(area.adjusted(size.height() * 0.6, 0, 0, 0), Qt::AlignCenter, QStringLiteral("Tunecrate"));
    // A note at the left end.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 0));
    const qreal h = size.height();
    p.save();
    p.translate(h * 0.45, h * 0.68);
    p.rotate(-20);
    p.drawEllipse(QRectF(-h * 0.13, -h * 0.09, h * 0.26, h * 0.18));
    p.restore();
    p.drawRect(QRectF(h * 0.55, h * 0.18, h * 0.05, h * 0.5));
    return pm;
}

}  // namespace tunecrate
