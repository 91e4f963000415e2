#include "DataFiles.h"

#include "detection/FieldTicks.h"
#include "persist/FormStorage.h"
#include "persist/XmlStorage.h"

#include <QDir>

namespace velmora {

namespace {

    QString checkListKey(const QString& listName, int index)
    {
        return QStringLiteral("CLB\\%1\\Item%2").arg(listName).arg(index);
    }

} // namespace

DataFiles SetUpDataFiles(const QString& folder, XmlStorage& storage,
                         const std::function<void(const QString& logFileName)>& setUpLog)
{
    DataFiles files;
    files.folder = QDir::cleanPath(folder);
    files.logFileName = files.folder + QStringLiteral("/error.log");
    files.configFileName = files.folder + QStringLiteral("/config.xml");
    files.folderReady = QDir().mkpath(files.folder);
    if (setUpLog) {
        setUpLog(files.logFileName);
    }
    storage.setFileName(files.configFileName);
    return files;
}

void RestoreCheckListTicks(FormStorage& storage, FieldTicks& list, const QString& listName)
{
    for (int i = 0; i < FieldTicks::kCount; ++i) {
        list.setChecked(i, storage.readBoolean(checkListKey(listName, i), list.isChecked(i)));
    }
}

void SaveCheckListTicks(FormStorage& storage, const FieldTicks& list, const QString& listName)
{
    for (int i = 0; i < FieldTicks::kCount; ++i) {
        storage.writeBoolean(checkListKey(listName, i), list.isChecked(i));
    }
}

bool OutlookChecked(const FormStorage& storage)
{
    return storage.readBoolean(QStringLiteral("OutlookChecked"), false);
}

void SetOutlookChecked(FormStorage& storage)
{
    storage.writeBoolean(QStringLiteral("OutlookChecked"), true);
}

QString LastStore(const FormStorage& storage)
{
    return storage.readString(QStringLiteral("LastStore"), {});
}

void SetLastStore(FormStorage& storage, const QString& path)
{
    storage.writeString(QStringLiteral("LastStore"), path);
}

} // namespace velmora
