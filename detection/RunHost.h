#pragma once

#include <QString>

namespace velmora {

// What the search and removal runs need from the program around them: the window implements it with Qt, the
// command-line tool and the tests without a window. Every call comes from the thread that owns the trees.
class RunHost
{
public:
    virtual ~RunHost() = default;

    // Lets pending user input be handled (Cancel, view switching, preview, sorting, ticking).
    virtual void processPendingEvents() = 0;

    virtual void setProgressRange(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    // Panel 0 holds the progress bar (0 wide when idle, 400 while busy); panel 1 holds the progress texts.
    virtual void setStatusPanelWidth(int panel, int width) = 0;
    virtual void setStatusText(int panel, const QString& text) = 0;
    // The footer hint; "<br>" and "<b>" are its markup.
    virtual void setHint(const QString& text) = 0;
    // 0: search results, 1: search settings, 2: removal settings.
    virtual void showPage(int page) = 0;
    // "Search" and "Remove" together.
    virtual void setRunCommandsEnabled(bool enabled) = 0;
    // A Yes/No question with the confirmation icon; true for Yes.
    virtual bool confirm(const QString& text) = 0;
};

} // namespace velmora
