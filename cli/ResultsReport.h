#pragma once

#include "store/FileStore.h"
#include "tree/TreeModel.h"

#include <QHash>
#include <QTextStream>

namespace velmora::cli {

struct ReportItem
{
    OEId id = 0;
    QString path; // relative to the store's root, as the search found it
    qint32 size = 0;
    QString subject;
    QDateTime created;
    bool ticked = false;
};

struct ReportGroup
{
    QString folder;
    QString subject;
    std::vector<ReportItem> items;
};

struct Report
{
    std::vector<ReportGroup> groups;
    int duplicates = 0;
    int originals = 0;
    QString status;
};

struct RemovalOutcome
{
    QStringList removed;
    QStringList failed;
    QString status;
};

// The results tree in its present order, with every message's file.
Report collectReport(const TreeModel& results, FileStore& store, const QHash<QString, QString>& folderPathById,
                     const QString& status);
// Which ticked messages of `before` left the results tree (removed) and which are still there (failed).
RemovalOutcome collectRemoval(const Report& before, const TreeModel& results, const QString& status);

void writeFolders(QTextStream& out, const TreeModel& folders, const QHash<const TreeNode*, QString>& paths, bool json);
void writeSearch(QTextStream& out, const Report& report, bool json);
void writeRemovalPlan(QTextStream& out, const Report& report, bool move, bool json);
void writeRemoval(QTextStream& out, const Report& report, const RemovalOutcome& outcome, bool json);

} // namespace velmora::cli
