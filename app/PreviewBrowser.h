#pragma once

#include "store/IOEMessage.h"

#include <QTextBrowser>

#include <functional>

namespace velmora {

// The message preview. Mail is hostile input: it never loads a remote or local file resource and runs
// nothing; only "cid:" parts of the previewed message itself are shown.
class PreviewBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    using MessageSource = std::function<OEMessagePtr()>;

    explicit PreviewBrowser(QWidget* parent = nullptr);

    // Gives the message whose inline parts "cid:" references resolve to; null while no message is shown.
    void setMessageSource(MessageSource source) { m_messageSource = std::move(source); }

    QVariant loadResource(int type, const QUrl& name) override;

private:
    MessageSource m_messageSource;
};

} // namespace velmora
