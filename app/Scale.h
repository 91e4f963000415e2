#pragma once

#include <QWidget>
#include <QtMath>

namespace velmora {

// The window's sizes are given at 96 dots per inch; this scales one to the screen the widget is on.
inline int px(const QWidget* widget, int pixels)
{
    const int dpi = widget ? widget->logicalDpiY() : 96;
    return dpi <= 96 ? pixels : qRound(pixels * dpi / 96.0);
}

} // namespace velmora
