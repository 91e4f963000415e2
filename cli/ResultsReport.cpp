#include "ResultsReport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace velmora::cli {
namespace {

    QJsonObject groupJson(const ReportGroup& group)
    {
        QJsonArray items;
        for (const ReportItem& item : group.items) {
            items.append(QJsonObject { { QStringLiteral("id"), item.id },
                                       { QStringLiteral("path"), item.path },
                                       { QStringLiteral("size"), item.size },
                                       { QStringLiteral("subject"), item.subject },
                                       { QStringLiteral("created"), item.created.toString(Qt::ISODate) },
                                       { QStringLiteral("ticked"), item.ticked } });
        }
        return QJsonObject { { QStringLiteral("folder"), group.folder },
                             { QStringLiteral("subject"), group.subject },
                             { QStringLiteral("items"), items } };
    }

    QByteArray valueJson(const QJsonValue& value)
    {
        const QByteArray wrapped = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
        return wrapped.mid(1, wrapped.size() - 2);
    }

    // The report as one JSON document, written group by group: a store with many duplicates never holds the whole
    // document in memory. `extra` adds or replaces top-level members.
    void writeJson(QTextStream& out, const Report& report, const QJsonObject& extra = {})
    {
        out << "{\n  \"groups\": [";
        bool first = true;
        for (const ReportGroup& group : report.groups) {
            out << (first ? "\n    " : ",\n    ") << QJsonDocument(groupJson(group)).toJson(QJsonDocument::Compact);
            first = false;
        }
        out << (first ? "]" : "\n  ]");
        QJsonObject members { { QStringLiteral("duplicates"), report.duplicates },
                              { QStringLiteral("originals"), report.originals },
                              { QStringLiteral("status"), report.status } };
        for (auto it = extra.begin(); it != extra.end(); ++it) {
            members.insert(it.key(), it.value());
        }
        for (auto it = members.begin(); it != members.end(); ++it) {
            out << ",\n  " << valueJson(it.key()) << ": " << valueJson(it.value());
        }
        out << "\n}\n";
        out.flush();
    }

    void writeGroups(QTextStream& out, const Report& report)
    {
        for (const ReportGroup& group : report.groups) {
            out << group.folder << ": " << group.subject << "\n";
            for (const ReportItem& item : group.items) {
                out << "  [" << (item.ticked ? 'x' : ' ') << "] " << item.id << "  " << item.size << "  "
                    << item.subject << "  " << item.path << "\n";
            }
        }
    }

    QStringList tickedPaths(const Report& report)
    {
        QStringList paths;
        for (const ReportGroup& group : report.groups) {
            for (const ReportItem& item : group.items) {
                if (item.ticked) {
                    paths << item.path;
                }
            }
        }
        return paths;
    }

} // namespace

Report collectReport(const TreeModel& results, FileStore& store, const QHash<QString, QString>& folderPathById,
                     const QString& status)
{
    Report report;
    report.status = status;
    report.duplicates = results.checkedCount();
    report.originals = results.rootCount();
    const QDir root(store.rootPath());
    for (int g = 0; g < results.rootCount(); ++g) {
        const TreeNode* groupRow = results.child(nullptr, g);
        ReportGroup group;
        group.subject = groupRow->data().Subject;
        group.folder = groupRow->data().Folder;
        for (int i = 0; i < groupRow->childCount(); ++i) {
            const TreeNode* row = groupRow->child(i);
            ReportItem item;
            item.id = idFromText(row->data().EntryID).value_or(0);
            item.size = row->data().Size;
            item.subject = row->data().Subject;
            item.created = row->data().CreationTime;
            item.ticked = row->checkState() == CheckState::Checked;
            if (const auto file = store.locate(item.id)) {
                item.path = root.relativeFilePath(QFile::decodeName(*file));
            }
            group.folder = folderPathById.value(row->data().StoreID, group.folder);
            group.items.push_back(item);
        }
        report.groups.push_back(std::move(group));
    }
    return report;
}

RemovalOutcome collectRemoval(const Report& before, const TreeModel& results, const QString& status)
{
    QSet<QString> stillListed;
    for (TreeNode* row = results.firstNode(); row; row = results.nextNode(row)) {
        if (row->level() == 1) {
            stillListed.insert(row->data().EntryID);
        }
    }
    RemovalOutcome outcome;
    outcome.status = status;
    for (const ReportGroup& group : before.groups) {
        for (const ReportItem& item : group.items) {
            if (!item.ticked) {
                continue;
            }
            (stillListed.contains(idToText(item.id)) ? outcome.failed : outcome.removed) << item.path;
        }
    }
    return outcome;
}

void writeFolders(QTextStream& out, const TreeModel& folders, const QHash<const TreeNode*, QString>& paths, bool json)
{
    QJsonArray list;
    for (TreeNode* row = folders.firstNode(); row; row = folders.nextNode(row)) {
        if (json) {
            list.append(QJsonObject { { QStringLiteral("id"), idFromText(row->data().EntryID).value_or(0) },
                                      { QStringLiteral("depth"), row->level() },
                                      { QStringLiteral("path"), paths.value(row) } });
        } else {
            out << row->data().EntryID << "\t" << row->level() << "\t" << paths.value(row) << "\n";
        }
    }
    if (json) {
        out << QJsonDocument(QJsonObject { { QStringLiteral("folders"), list } }).toJson(QJsonDocument::Indented);
    }
    out.flush();
}

void writeSearch(QTextStream& out, const Report& report, bool json)
{
    if (json) {
        writeJson(out, report);
        return;
    }
    writeGroups(out, report);
    out << report.status << "\n";
    out.flush();
}

void writeRemovalPlan(QTextStream& out, const Report& report, bool move, bool json)
{
    const QStringList paths = tickedPaths(report);
    if (json) {
        writeJson(out, report, { { QStringLiteral("wouldRemove"), QJsonArray::fromStringList(paths) } });
        return;
    }
    writeGroups(out, report);
    out << report.status << "\n";
    out << "Would " << (move ? "move to Deleted Items" : "delete for good") << " " << paths.size()
        << " messages; nothing was changed. Add --yes to remove them.\n";
    out.flush();
}

void writeRemoval(QTextStream& out, const Report& report, const RemovalOutcome& outcome, bool json)
{
    if (json) {
        writeJson(out, report,
                  { { QStringLiteral("removed"), QJsonArray::fromStringList(outcome.removed) },
                    { QStringLiteral("failed"), QJsonArray::fromStringList(outcome.failed) },
                    { QStringLiteral("status"), outcome.status } });
        return;
    }
    for (const QString& path : outcome.removed) {
        out << "removed  " << path << "\n";
    }
    for (const QString& path : outcome.failed) {
        out << "FAILED   " << path << "\n";
    }
    out << (outcome.status.isEmpty() ? QStringLiteral("Nothing was removed.") : outcome.status) << "\n";
    out.flush();
}

} // namespace velmora::cli
