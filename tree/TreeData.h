#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace velmora {

// The record of every row of both trees. Identifiers are the store's integers written in decimal.
struct TTreeData
{
    quint8 DefaultItemType = 0; // image index of the row's picture
    QString Subject; // message subject, or the folder's display name on a folder row
    QString Folder; // the folder's display name (results rows)
    QString EntryID; // message identifier (results rows) or folder identifier (folder rows)
    QString StoreID; // the folder identifier of an item row
    QString Restore;
    QDateTime CreationTime; // invalid when unknown
    QDateTime LastModificationTime;
    qint32 Size = 0; // bytes of the message
    qint32 EmptyFields = 0;
};

} // namespace velmora
