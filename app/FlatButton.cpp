#include "FlatButton.h"

#include <QMenu>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace velmora {

FlatButton::FlatButton(const QString& caption, const QIcon& icon, QSize size, QWidget* parent)
    : QToolButton(parent)
    , m_size(size)
{
    setText(caption);
    setIcon(icon);
    setAutoRaise(true);
    setCheckable(false);
    setIconSize(QSize(32, 32));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setFixedSize(size);
    setFocusPolicy(Qt::TabFocus);
}

QSize FlatButton::sizeHint() const
{
    return m_size;
}

void FlatButton::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // Only the raised panel of the flat look; glyph and caption are laid out here so that the caption wraps.
    if (option.state & (QStyle::State_MouseOver | QStyle::State_Sunken)) {
        option.text.clear();
        option.icon = QIcon();
        option.features &= ~QStyleOptionToolButton::HasMenu;
        painter.drawPrimitive(QStyle::PE_PanelButtonTool, option);
    }

    const QRect area = rect().adjusted(1, 1, -1, -1);
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QPixmap glyph = icon().pixmap(iconSize(), devicePixelRatio(), mode);
    const QSize glyphSize = glyph.deviceIndependentSize().toSize();
    const QPoint glyphAt(area.left() + (area.width() - glyphSize.width()) / 2, area.top());
    painter.drawPixmap(glyphAt, glyph);

    QRect textRect(area.left(), area.top() + iconSize().height() + 1, area.width(),
                   area.height() - iconSize().height() - 1);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text());

    if (menu()) {
        // The drop-down mark: a small arrow at the glyph's right.
        const int x = glyphAt.x() + glyphSize.width() + 4;
        const int y = glyphAt.y() + glyphSize.height() / 2;
        const QPoint arrow[] = { QPoint(x, y - 2), QPoint(x + 6, y - 2), QPoint(x + 3, y + 1) };
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(painter.pen().color());
        painter.drawPolygon(arrow, 3);
    }
}

} // namespace velmora
