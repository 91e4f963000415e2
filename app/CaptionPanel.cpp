#include "CaptionPanel.h"

#include "Scale.h"

#include <QLabel>
#include <QVBoxLayout>

namespace velmora {

const QColor& CaptionPanel::captionColor()
{
    static const QColor color(96, 141, 187);
    return color;
}

CaptionPanel::CaptionPanel(const QString& caption, QWidget* parent)
    : QFrame(parent)
    , m_caption(new QLabel(caption, this))
    , m_layout(new QVBoxLayout(this))
{
    setFrameShape(QFrame::NoFrame);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    QFont font = m_caption->font();
    font.setFamilies({ QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans") });
    font.setBold(true);
    font.setPixelSize(px(this, 13));
    m_caption->setFont(font);
    m_caption->setAutoFillBackground(true);
    QPalette palette = m_caption->palette();
    palette.setColor(QPalette::Window, captionColor());
    palette.setColor(QPalette::WindowText, Qt::white);
    m_caption->setPalette(palette);
    m_caption->setContentsMargins(px(this, 5), px(this, 3), px(this, 5), px(this, 3));
    m_layout->addWidget(m_caption);
}

void CaptionPanel::setContent(QWidget* content)
{
    m_content = content;
    m_layout->addWidget(content, 1);
}

} // namespace velmora
