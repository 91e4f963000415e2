#pragma once

#include "persist/WindowPlacementHost.h"

#include <QRect>

#include <optional>

namespace velmora::test {

// A window as the form storage sees it: one 1920x1080 monitor at 96 dots per inch unless a test says else.
struct FakeWindow : WindowPlacementHost, StoredPropertiesHost
{
    WindowPlacement present { WindowShowState::Normal, 0, { -1, -1 }, { -1, -1 }, 100, 100, 900, 700 };
    QSize desktop { 1920, 1080 };
    QRect monitor { 0, 0, 1920, 1080 };
    int pixelsPerInch = 96;
    StoredProperties properties;

    std::optional<WindowPlacement> applied;
    std::optional<WindowShowState> shownAs;
    int propertiesApplied = 0;

    WindowPlacement placement() const override { return present; }
    void setPlacement(const WindowPlacement& placement) override
    {
        applied = placement;
        present.left = placement.left;
        present.top = placement.top;
        present.right = placement.right;
        present.bottom = placement.bottom;
    }
    void setShowState(WindowShowState state) override
    {
        shownAs = state;
        present.showState = state;
    }
    int screenPixelsPerInch() const override { return pixelsPerInch; }
    QSize desktopSize() const override { return desktop; }
    bool pointOnMonitor(QPoint point) const override { return monitor.contains(point); }

    StoredProperties storedProperties() const override { return properties; }
    void setStoredProperties(const StoredProperties& values) override
    {
        properties = values;
        ++propertiesApplied;
    }
};

} // namespace velmora::test
