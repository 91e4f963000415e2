#pragma once

#include <QString>

#include <functional>

namespace velmora {

class FieldTicks;
class FormStorage;
class XmlStorage;

struct DataFiles
{
    QString folder;
    QString logFileName; // folder + "/error.log"
    QString configFileName; // folder + "/config.xml"
    bool folderReady = false;
};

// Creates the data folder with every missing folder above it, lets `setUpLog` point the error log at
// "error.log" there (before the configuration is loaded, so that a load problem can be logged), then sets
// the storage's file name to "config.xml" in it, which loads the file.
DataFiles SetUpDataFiles(const QString& folder, XmlStorage& storage,
                         const std::function<void(const QString& logFileName)>& setUpLog = {});

// The ticks of the field list under "CLB\<listName>\Item<i>"; the present tick is the default.
void RestoreCheckListTicks(FormStorage& storage, FieldTicks& list,
                           const QString& listName = QStringLiteral("EmailsCheckList"));
void SaveCheckListTicks(FormStorage& storage, const FieldTicks& list,
                        const QString& listName = QStringLiteral("EmailsCheckList"));

// Whether the Office Outlook question has been asked ("OutlookChecked", default false).
bool OutlookChecked(const FormStorage& storage);
void SetOutlookChecked(FormStorage& storage);

// The store opened last ("LastStore"): its path, or empty when none was stored.
QString LastStore(const FormStorage& storage);
void SetLastStore(FormStorage& storage, const QString& path);

} // namespace velmora
