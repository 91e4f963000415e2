#pragma once

#include <QToolButton>

namespace velmora {

// A flat toolbar button: a 32 x 32 glyph above a word-wrapped caption. It never stays pressed. With a menu it
// opens the menu on any press, below its bottom-left corner, and shows a small arrow.
class FlatButton : public QToolButton
{
    Q_OBJECT
public:
    FlatButton(const QString& caption, const QIcon& icon, QSize size, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize m_size;
};

} // namespace velmora
