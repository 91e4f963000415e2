#pragma once

#include <QFrame>

class QLabel;
class QVBoxLayout;

namespace velmora {

// A borderless panel with a caption bar on top (white bold text on the program's blue) and one content widget
// below it.
class CaptionPanel : public QFrame
{
    Q_OBJECT
public:
    static const QColor& captionColor();

    CaptionPanel(const QString& caption, QWidget* parent = nullptr);

    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }
    QLabel* captionLabel() const { return m_caption; }

private:
    QLabel* m_caption;
    QVBoxLayout* m_layout;
    QWidget* m_content = nullptr;
};

} // namespace velmora
