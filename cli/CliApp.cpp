#include "CliApp.h"

#include "CliHost.h"
#include "CliOptions.h"
#include "ResultsReport.h"

#include "detection/DuplicateRuns.h"
#include "store/FileStore.h"

#include <QHash>

namespace velmora::cli {
namespace {

    constexpr int kExitFailures = 1;
    constexpr int kExitUsage = 2;
    constexpr int kExitStore = 3;

    // Folder paths as the command line names them: display names below the root joined by "/", the root ".".
    QHash<const TreeNode*, QString> folderPaths(const TreeModel& model)
    {
        QHash<const TreeNode*, QString> paths;
        for (TreeNode* row = model.firstNode(); row; row = model.nextNode(row)) {
            const TreeNode* parent = row->parent();
            if (parent == nullptr) {
                paths.insert(row, QStringLiteral("."));
            } else {
                const QString& above = paths.value(parent);
                paths.insert(row,
                             above == QLatin1String(".") ? row->data().Subject
                                                         : above + QLatin1Char('/') + row->data().Subject);
            }
        }
        return paths;
    }

} // namespace

int runCli(const QStringList& args, QTextStream& out, QTextStream& err, bool progressOnErr)
{
    QString error;
    const std::optional<CliOptions> options = parseCliOptions(args, error);
    if (!options) {
        err << "velmora-cli: " << error << "\n\n" << cliUsage();
        err.flush();
        return kExitUsage;
    }

    std::shared_ptr<FileStore> store;
    try {
        store = FileStore::open(options->store);
    } catch (const std::exception& e) {
        err << "velmora-cli: cannot open the store " << options->store << ": " << e.what() << "\n";
        err.flush();
        return kExitStore;
    }

    FolderTree folders;
    folders.setFolderManager(store.get());
    folders.FillFolderTree();
    const QHash<const TreeNode*, QString> paths = folderPaths(folders.model());
    TreeModel& folderModel = folders.model();

    if (options->command == CommandKind::Folders) {
        writeFolders(out, folderModel, paths, options->json);
        return 0;
    }

    // Each selected folder is ticked on its own, so that a parent named alone is searched without its subfolders.
    QHash<QString, TreeNode*> byPath;
    for (auto it = paths.begin(); it != paths.end(); ++it) {
        byPath.insert(it.value(), const_cast<TreeNode*>(it.key()));
    }
    for (const QString& path : options->folders) {
        QString wanted = path;
        while (wanted.size() > 1 && wanted.endsWith(QLatin1Char('/'))) {
            wanted.chop(1);
        }
        if (!byPath.contains(wanted)) {
            err << "velmora-cli: the store has no folder \"" << path << "\" (see the folders command)\n";
            err.flush();
            return kExitUsage;
        }
        folderModel.setCheckStateDirect(byPath.value(wanted), CheckState::Checked);
    }
    if (options->folders.isEmpty()) {
        for (TreeNode* row = folderModel.firstNode(); row; row = folderModel.nextNode(row)) {
            folderModel.setCheckStateDirect(row, CheckState::Checked);
        }
    }

    ResultsTree results;
    results.setMarkAsDuplicates(options->markRule);
    FieldTicks ticks;
    for (int i = 0; i < FieldTicks::kCount; ++i) {
        ticks.setChecked(i, options->fields[static_cast<std::size_t>(i)]);
    }
    const KeyCollator collator;
    CliHost host(err, progressOnErr);
    DuplicateRuns runs(host, *store, results, folders, ticks, collator);
    host.setCancelHandler([&runs] { runs.CancelButtonClick(); });

    runs.SearchButtonClick();
    const QString searchStatus = host.statusText();
    QHash<QString, QString> folderPathById;
    for (auto it = paths.begin(); it != paths.end(); ++it) {
        folderPathById.insert(it.key()->data().EntryID, it.value());
    }
    const Report report = collectReport(results.model(), *store, folderPathById, searchStatus);

    if (options->command == CommandKind::Search) {
        writeSearch(out, report, options->json);
        return 0;
    }
    if (!options->yes) {
        writeRemovalPlan(out, report, options->move, options->json);
        return 0;
    }
    runs.setDeleteForGood(!options->move);
    runs.RemoveButtonClick();
    const RemovalOutcome outcome = collectRemoval(report, results.model(), host.statusText());
    writeRemoval(out, report, outcome, options->json);
    return outcome.failed.isEmpty() ? 0 : kExitFailures;
}

} // namespace velmora::cli
