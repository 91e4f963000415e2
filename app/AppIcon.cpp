#include "AppIcon.h"

#include "CaptionPanel.h"

#include <QPainter>
#include <QPainterPath>

namespace velmora {

namespace {

    QPixmap drawIcon(int size)
    {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 64.0;

        // An envelope in the program's blue with a white check mark over its flap.
        painter.setPen(Qt::NoPen);
        painter.setBrush(CaptionPanel::captionColor());
        painter.drawRoundedRect(QRectF(2 * unit, 10 * unit, 60 * unit, 44 * unit), 6 * unit, 6 * unit);
        painter.setPen(QPen(QColor(230, 238, 246), 3 * unit, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        QPainterPath flap;
        flap.moveTo(6 * unit, 16 * unit);
        flap.lineTo(32 * unit, 36 * unit);
        flap.lineTo(58 * unit, 16 * unit);
        painter.drawPath(flap);
        painter.setPen(QPen(Qt::white, 6 * unit, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath check;
        check.moveTo(22 * unit, 44 * unit);
        check.lineTo(30 * unit, 51 * unit);
        check.lineTo(46 * unit, 35 * unit);
        painter.drawPath(check);
        return pixmap;
    }

} // namespace

QIcon messageIcon()
{
    QIcon icon;
    for (int size : { 16, 32 }) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        painter.setPen(QPen(CaptionPanel::captionColor().darker(130), unit));
        painter.setBrush(QColor(250, 250, 240));
        painter.drawRect(QRectF(1.5 * unit, 3.5 * unit, 13 * unit, 9 * unit));
        QPainterPath flap;
        flap.moveTo(1.5 * unit, 3.5 * unit);
        flap.lineTo(8 * unit, 8.5 * unit);
        flap.lineTo(14.5 * unit, 3.5 * unit);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(flap);
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon velmoraIcon()
{
    QIcon icon;
    for (int size : { 16, 32, 48, 64, 128 }) {
        icon.addPixmap(drawIcon(size));
    }
    return icon;
}

} // namespace velmora
