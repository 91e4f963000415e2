#pragma once

#include <QPoint>
#include <QSize>

namespace velmora {

enum class WindowShowState { Normal, Minimized, Maximized };

// A window's placement as the form storage keeps it. The normal rectangle has exclusive right and bottom
// edges (right = left + width), as stored in "NormPos".
struct WindowPlacement
{
    WindowShowState showState = WindowShowState::Normal;
    int flags = 0; // 1: a minimized position was set; 2: restore to maximized from minimized
    QPoint minPosition;
    QPoint maxPosition;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// What the form storage needs of the window system. The window implements it with Qt.
class WindowPlacementHost
{
public:
    virtual ~WindowPlacementHost() = default;

    // The present placement: show state (minimized also when the whole application is), flags, positions and
    // the normal (not maximized) rectangle.
    virtual WindowPlacement placement() const = 0;
    // Moves the window's normal rectangle and positions; the show state is set separately.
    virtual void setPlacement(const WindowPlacement& placement) = 0;
    // Minimized: show the window normal first, then minimize it.
    virtual void setShowState(WindowShowState state) = 0;

    virtual int screenPixelsPerInch() const = 0;
    // The size of the whole desktop (all screens) in pixels.
    virtual QSize desktopSize() const = 0;
    virtual bool pointOnMonitor(QPoint point) const = 0;
};

// The window's stored properties, with their designed values.
struct StoredProperties
{
    int foldersPanelWidth = 240;
    int itemsPanelHeight = 196;
    int markAsDuplicatesItemIndex = 0;
    bool deleteRadioChecked = true;
    bool moveToDeletedItemsRadioChecked = false;
};

class StoredPropertiesHost
{
public:
    virtual ~StoredPropertiesHost() = default;
    virtual StoredProperties storedProperties() const = 0;
    // Applies the values in the order of the struct's fields.
    virtual void setStoredProperties(const StoredProperties& properties) = 0;
};

} // namespace velmora
