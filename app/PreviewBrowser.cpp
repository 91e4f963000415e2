#include "PreviewBrowser.h"

#include <QImage>
#include <QTextDocument>

namespace velmora {

PreviewBrowser::PreviewBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);

    QFont serif(QStringLiteral("Times New Roman"));
    serif.setStyleHint(QFont::Serif);
    document()->setDefaultFont(serif);
    document()->setDefaultStyleSheet(
        QStringLiteral("pre, code, tt, kbd, samp { font-family: \"Courier New\", monospace; }"));
}

QVariant PreviewBrowser::loadResource(int type, const QUrl& name)
{
    if (name.scheme().compare(QLatin1String("cid"), Qt::CaseInsensitive) != 0 || !m_messageSource) {
        return {};
    }
    try {
        const OEMessagePtr message = m_messageSource();
        if (!message) {
            return {};
        }
        QString contentId = name.path();
        if (contentId.startsWith(QLatin1Char('<')) && contentId.endsWith(QLatin1Char('>'))) {
            contentId = contentId.mid(1, contentId.size() - 2);
        }
        const std::optional<InlinePart> part = message->GetInlinePart(contentId);
        if (!part) {
            return {};
        }
        if (type == QTextDocument::ImageResource) {
            QImage image;
            if (image.loadFromData(part->data)) {
                return image;
            }
            return {};
        }
        if (type == QTextDocument::StyleSheetResource) {
            return QString::fromUtf8(part->data);
        }
    } catch (...) {
        // A part that cannot be read is simply not shown.
    }
    return {};
}

} // namespace velmora
