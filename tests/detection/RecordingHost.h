#pragma once

#include "detection/RunHost.h"

#include <QStringList>

#include <functional>
#include <stdexcept>

namespace velmora::test {

// A host without a window: records what the runs show and lets a test act at each processing of input.
class RecordingHost : public RunHost
{
public:
    std::function<void(int pump)> onPump;
    bool answer = true;
    bool failOnShowPage = false;

    int pumps = 0;
    int progressMaximum = -1;
    int progressPosition = -1;
    bool progressVisible = false;
    int panel0Width = 0;
    QString panel1;
    QString hint;
    int page = -1;
    bool commandsEnabled = true;
    int confirmations = 0;
    QStringList panel1History;

    void processPendingEvents() override
    {
        ++pumps;
        if (onPump) {
            onPump(pumps);
        }
    }
    void setProgressRange(int maximum) override { progressMaximum = maximum; }
    void setProgressPosition(int position) override { progressPosition = position; }
    void setProgressVisible(bool visible) override { progressVisible = visible; }
    void setStatusPanelWidth(int panel, int width) override
    {
        if (panel == 0) {
            panel0Width = width;
        }
    }
    void setStatusText(int panel, const QString& text) override
    {
        if (panel == 1) {
            panel1 = text;
            panel1History << text;
        }
    }
    void setHint(const QString& text) override { hint = text; }
    void showPage(int index) override
    {
        if (failOnShowPage) {
            throw std::runtime_error("the view cannot be shown");
        }
        page = index;
    }
    void setRunCommandsEnabled(bool enabled) override { commandsEnabled = enabled; }
    bool confirm(const QString&) override
    {
        ++confirmations;
        return answer;
    }

    bool idle() const { return commandsEnabled && panel0Width == 0 && !progressVisible; }
};

} // namespace velmora::test
