#include "res/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vireo {

QImage AppIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 32.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x62, 0xc9));
    p.drawRoundedRect(QRectF(1 * s, 1 * s, 30 * s, 30 * s), 6 * s, 6 * s);
    // A module with its antenna and two radio waves.
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9 * s, 17 * s, 10 * s, 10 * s));
    p.drawRect(QRectF(13 * s, 9 * s, 2 * s, 8 * s));
    QPen wave(QColor(0x9f, 0xe8, 0x6a), 2 * s);
    wave.setCapStyle(Qt::RoundCap);
    p.setPen(wave);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(14 * s, 2 * s, 12 * s, 12 * s), -30 * 16, 90 * 16);
    p.drawArc(QRectF(16 * s, 4 * s, 8 * s, 8 * s), -30 * 16, 90 * 16);
    p.end();
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
    return icon;
}

QIcon ArrowIcon(const QColor& color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(2, 6);
    arrow.lineTo(8, 6);
    arrow.lineTo(8, 2);
    arrow.lineTo(14, 8);
    arrow.lineTo(8, 14);
    arrow.lineTo(8, 10);
    arrow.lineTo(2, 10);
    arrow.closeSubpath();
    p.setPen(QPen(color.darker(140), 1));
    p.setBrush(color);
    p.drawPath(arrow);
    return QIcon(pixmap);
}

} // namespace vireo
