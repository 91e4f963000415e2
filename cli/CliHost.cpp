#include "CliHost.h"

#include <csignal>

namespace velmora::cli {

std::atomic<bool> CliHost::interrupted { false };

namespace {
    extern "C" void onInterrupt(int)
    {
        CliHost::interrupted = true;
    }
} // namespace

CliHost::CliHost(QTextStream& err, bool showProgress)
    : m_err(err)
    , m_showProgress(showProgress)
{
    interrupted = false;
    std::signal(SIGINT, onInterrupt);
}

CliHost::~CliHost()
{
    std::signal(SIGINT, SIG_DFL);
    if (m_drawn) {
        m_err << "\r\033[K";
        m_err.flush();
    }
}

void CliHost::processPendingEvents()
{
    if (interrupted.exchange(false) && m_cancel) {
        m_cancel();
    }
    // Redrawing for every message would cost more than the search itself.
    if (m_showProgress && (m_position % 256) == 0) {
        draw();
    }
}

void CliHost::setProgressRange(int maximum)
{
    m_maximum = maximum;
}

void CliHost::setProgressPosition(int position)
{
    m_position = position;
}

void CliHost::setStatusText(int panel, const QString& text)
{
    if (panel == 1) {
        m_status = text;
        if (m_showProgress) {
            draw();
        }
    }
}

void CliHost::draw()
{
    m_err << "\r\033[K" << m_status;
    if (m_maximum > 0) {
        m_err << QStringLiteral(" (%1/%2)").arg(m_position).arg(m_maximum);
    }
    m_err.flush();
    m_drawn = true;
}

} // namespace velmora::cli
