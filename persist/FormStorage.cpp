#include "FormStorage.h"

#include "persist/XmlStorage.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace velmora {

namespace {

    const QString kFormVersionKey = QStringLiteral("FormVersion");
    const QString kShowCmdKey = QStringLiteral("ShowCmd");
    const QString kFlagsKey = QStringLiteral("Flags");
    const QString kPixelsPerInchKey = QStringLiteral("PixelsPerInch");
    const QString kMinMaxPosKey = QStringLiteral("MinMaxPos");
    const QString kNormPosKey = QStringLiteral("NormPos");
    const QString kFoldersPanelWidthKey = QStringLiteral("FoldersPanel_Width");
    const QString kItemsPanelHeightKey = QStringLiteral("ItemsPanel_Height");
    const QString kMarkAsDuplicatesKey = QStringLiteral("MarkAsDuplicates_ItemIndex");
    const QString kDeleteRadioKey = QStringLiteral("DeleteRadio_Checked");
    const QString kMoveRadioKey = QStringLiteral("MoveToDeletedItemsRadio_Checked");

    int clampToInt(qint64 value)
    {
        return static_cast<int>(
            std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }

    // The four comma-separated numbers of a position text; a missing field or one that is no number keeps the
    // value given in `fields`.
    void parseFields(const QString& text, int (&fields)[4])
    {
        const QStringList parts = text.split(QLatin1Char(','));
        for (int i = 0; i < 4 && i < parts.size(); ++i) {
            bool ok = false;
            const qint64 value = parts.at(i).trimmed().toLongLong(&ok, 10);
            if (ok) {
                fields[i] = clampToInt(value);
            }
        }
    }

    QString joinFields(int a, int b, int c, int d)
    {
        return QStringLiteral("%1,%2,%3,%4").arg(a).arg(b).arg(c).arg(d);
    }

} // namespace

FormStorage::FormStorage(XmlStorage& storage, const QString& formName)
    : m_storage(storage)
    , m_sectionPath(formName + QLatin1Char('\\'))
{
}

bool FormStorage::valueStored(const QString& key) const
{
    return m_storage.valueStored(fullKey(key));
}

bool FormStorage::readBoolean(const QString& key, bool defaultValue) const
{
    return m_storage.readBoolean(fullKey(key), defaultValue);
}

qint64 FormStorage::readInteger(const QString& key, qint64 defaultValue) const
{
    return m_storage.readInteger(fullKey(key), defaultValue);
}

QString FormStorage::readString(const QString& key, const QString& defaultValue) const
{
    return m_storage.readString(fullKey(key), defaultValue);
}

void FormStorage::writeBoolean(const QString& key, bool value)
{
    m_storage.writeBoolean(fullKey(key), value);
}

void FormStorage::writeInteger(const QString& key, qint64 value)
{
    m_storage.writeInteger(fullKey(key), value);
}

void FormStorage::writeString(const QString& key, const QString& value)
{
    m_storage.writeString(fullKey(key), value);
}

QString FormStorage::DesktopKey(const QString& base, QSize desktop)
{
    return QStringLiteral("%1(%2x%3)").arg(base).arg(desktop.width()).arg(desktop.height());
}

int FormStorage::ShowCmdOf(WindowShowState state)
{
    switch (state) {
    case WindowShowState::Minimized:
        return 2;
    case WindowShowState::Maximized:
        return 3;
    case WindowShowState::Normal:
        break;
    }
    return 1;
}

WindowShowState FormStorage::ShowStateOf(qint64 showCmd)
{
    switch (showCmd) {
    case 2:
    case 6:
    case 7:
        return WindowShowState::Minimized;
    case 3:
        return WindowShowState::Maximized;
    default:
        return WindowShowState::Normal;
    }
}

int FormStorage::readInt(const QString& key, int defaultValue) const
{
    return clampToInt(readInteger(key, defaultValue));
}

bool FormStorage::restoreFormPlacement()
{
    if (m_restoreTried) {
        return m_restored;
    }
    m_restoreTried = true;
    if (readInteger(kFormVersionKey, kFormVersion) < kFormVersion) {
        return false;
    }
    restorePlacement();
    restoreProperties();
    m_restored = true;
    return true;
}

QString FormStorage::storedText(const QString& base, QSize desktop, bool& found) const
{
    // A key of the present desktop size wins; the plain key holds the last save at any size.
    for (const QString& key : { DesktopKey(base, desktop), base }) {
        if (valueStored(key)) {
            found = true;
            return readString(key, {});
        }
    }
    return {};
}

void FormStorage::restorePlacement()
{
    if (!m_placementHost) {
        return;
    }
    WindowPlacementHost& host = *m_placementHost;
    WindowPlacement placement = host.placement();
    const QSize desktop = host.desktopSize();

    bool positionsFound = false;
    bool rectangleFound = false;
    const QString positionsText = storedText(kMinMaxPosKey, desktop, positionsFound);
    const QString rectangleText = storedText(kNormPosKey, desktop, rectangleFound);
    if (positionsFound || rectangleFound) {
        placement.flags = readInt(kFlagsKey, placement.flags);
        int positions[4] = { 0, 0, 0, 0 };
        parseFields(positionsText, positions);
        placement.minPosition = QPoint(positions[0], positions[1]);
        placement.maxPosition = QPoint(positions[2], positions[3]);
        int edges[4] = { placement.left, placement.top, placement.right, placement.bottom };
        parseFields(rectangleText, edges);
        placement.left = edges[0];
        placement.top = edges[1];
        placement.right = edges[2];
        placement.bottom = edges[3];

        const int pixelsPerInch = host.screenPixelsPerInch();
        // A rectangle saved at another resolution, or one that would leave the window off every monitor,
        // is not applied: the window stays where the layout puts it.
        if (readInteger(kPixelsPerInchKey, pixelsPerInch) == pixelsPerInch && placement.left < placement.right
            && host.pointOnMonitor(QPoint(placement.left, placement.top))
            && host.pointOnMonitor(QPoint(placement.right - 1, placement.bottom - 1))) {
            host.setPlacement(placement);
        }
    }
    const qint64 showCmd = readInteger(kShowCmdKey, ShowCmdOf(host.placement().showState));
    host.setShowState(ShowStateOf(showCmd));
}

void FormStorage::restoreProperties()
{
    if (!m_propertiesHost) {
        return;
    }
    StoredProperties properties = m_propertiesHost->storedProperties();
    properties.foldersPanelWidth = readInt(kFoldersPanelWidthKey, properties.foldersPanelWidth);
    properties.itemsPanelHeight = readInt(kItemsPanelHeightKey, properties.itemsPanelHeight);
    properties.markAsDuplicatesItemIndex = readInt(kMarkAsDuplicatesKey, properties.markAsDuplicatesItemIndex);
    properties.deleteRadioChecked = readBoolean(kDeleteRadioKey, properties.deleteRadioChecked);
    properties.moveToDeletedItemsRadioChecked = readBoolean(kMoveRadioKey, properties.moveToDeletedItemsRadioChecked);
    m_propertiesHost->setStoredProperties(properties);
}

void FormStorage::saveFormPlacement()
{
    m_saved = true;
    writeInteger(kFormVersionKey, kFormVersion);
    if (!m_restored) {
        return;
    }
    savePlacement();
    saveProperties();
}

void FormStorage::saveIfNotSaved()
{
    if (!m_saved) {
        saveFormPlacement();
    }
}

void FormStorage::savePlacement()
{
    if (!m_placementHost) {
        return;
    }
    const WindowPlacement placement = m_placementHost->placement();
    const QSize desktop = m_placementHost->desktopSize();
    writeInteger(kShowCmdKey, ShowCmdOf(placement.showState));
    writeInteger(kFlagsKey, placement.flags);
    writeInteger(kPixelsPerInchKey, m_placementHost->screenPixelsPerInch());
    const QString positions = joinFields(placement.minPosition.x(), placement.minPosition.y(),
                                         placement.maxPosition.x(), placement.maxPosition.y());
    writeString(DesktopKey(kMinMaxPosKey, desktop), positions);
    writeString(kMinMaxPosKey, positions);
    const QString rectangle = joinFields(placement.left, placement.top, placement.right, placement.bottom);
    writeString(DesktopKey(kNormPosKey, desktop), rectangle);
    writeString(kNormPosKey, rectangle);
}

void FormStorage::saveProperties()
{
    if (!m_propertiesHost) {
        return;
    }
    const StoredProperties properties = m_propertiesHost->storedProperties();
    writeInteger(kFoldersPanelWidthKey, properties.foldersPanelWidth);
    writeInteger(kItemsPanelHeightKey, properties.itemsPanelHeight);
    writeInteger(kMarkAsDuplicatesKey, properties.markAsDuplicatesItemIndex);
    writeBoolean(kDeleteRadioKey, properties.deleteRadioChecked);
    writeBoolean(kMoveRadioKey, properties.moveToDeletedItemsRadioChecked);
}

} // namespace velmora
