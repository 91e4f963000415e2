#pragma once

#include "persist/WindowPlacementHost.h"

#include <QString>

namespace velmora {

class XmlStorage;

// The form storage (`aFormStorage`): typed reads and writes under the window's section "MainForm\" of the
// XML storage, and the save and restore of the window's placement and stored properties.
class FormStorage
{
public:
    static constexpr int kFormVersion = 0;

    explicit FormStorage(XmlStorage& storage, const QString& formName = QStringLiteral("MainForm"));

    void setPlacementHost(WindowPlacementHost* host) { m_placementHost = host; }
    void setPropertiesHost(StoredPropertiesHost* host) { m_propertiesHost = host; }

    XmlStorage& storage() const { return m_storage; }
    // "MainForm\"
    QString sectionPath() const { return m_sectionPath; }
    QString fullKey(const QString& key) const { return m_sectionPath + key; }

    bool valueStored(const QString& key) const;
    bool readBoolean(const QString& key, bool defaultValue) const;
    qint64 readInteger(const QString& key, qint64 defaultValue) const;
    QString readString(const QString& key, const QString& defaultValue) const;
    void writeBoolean(const QString& key, bool value);
    void writeInteger(const QString& key, qint64 value);
    void writeString(const QString& key, const QString& value);

    // Before the window is first shown. Runs once per storage; later calls do nothing. Restores nothing when
    // the stored "FormVersion" is below kFormVersion (or no number). True when the restore ran.
    bool restoreFormPlacement();
    bool restored() const { return m_restored; }

    // On the window's close request: "FormVersion", and the placement and stored properties when the
    // restore ran (otherwise they would overwrite the stored ones with values the user never saw applied).
    void saveFormPlacement();
    // At destruction: saves only when no save happened on a close request.
    void saveIfNotSaved();

    // "MinMaxPos" and (1920, 1080) give "MinMaxPos(1920x1080)".
    static QString DesktopKey(const QString& base, QSize desktop);
    // The show command the window system knows: 1 normal, 2 minimized, 3 maximized.
    static int ShowCmdOf(WindowShowState state);
    // 1, 5, 9 normal; 2, 6, 7 minimized; 3 maximized; anything else normal.
    static WindowShowState ShowStateOf(qint64 showCmd);

private:
    void restorePlacement();
    void restoreProperties();
    void savePlacement();
    void saveProperties();
    QString storedText(const QString& base, QSize desktop, bool& found) const;
    int readInt(const QString& key, int defaultValue) const;

    XmlStorage& m_storage;
    QString m_sectionPath;
    WindowPlacementHost* m_placementHost = nullptr;
    StoredPropertiesHost* m_propertiesHost = nullptr;
    bool m_restoreTried = false;
    bool m_restored = false;
    bool m_saved = false;
};

} // namespace velmora
