#pragma once

#include "detection/RunHost.h"

#include <QTextStream>

#include <atomic>

namespace velmora::cli {

// The runs' host on a terminal: progress texts on one line of standard error when it is a terminal, and an
// interrupt (Ctrl+C) turned into Cancel, so that a run stops cleanly between two messages.
class CliHost : public RunHost
{
public:
    CliHost(QTextStream& err, bool showProgress);
    ~CliHost() override;

    // Set from a signal handler; the next processing of input gives Cancel.
    static std::atomic<bool> interrupted;
    void setCancelHandler(std::function<void()> handler) { m_cancel = std::move(handler); }

    void processPendingEvents() override;
    void setProgressRange(int maximum) override;
    void setProgressPosition(int position) override;
    void setProgressVisible(bool) override { }
    void setStatusPanelWidth(int, int) override { }
    void setStatusText(int panel, const QString& text) override;
    void setHint(const QString&) override { }
    void showPage(int) override { }
    void setRunCommandsEnabled(bool) override { }
    bool confirm(const QString&) override { return true; }

    QString statusText() const { return m_status; }

private:
    void draw();

    QTextStream& m_err;
    bool m_showProgress;
    bool m_drawn = false;
    int m_maximum = 0;
    int m_position = 0;
    QString m_status;
    std::function<void()> m_cancel;
};

} // namespace velmora::cli
