#include "CliOptions.h"

namespace velmora::cli {
namespace {

    const QStringList kFieldNames = { QStringLiteral("subject"), QStringLiteral("body"), QStringLiteral("to"),
                                      QStringLiteral("from"), QStringLiteral("size") };
    const QStringList kMarkRules
        = { QStringLiteral("oldest"), QStringLiteral("smallest"), QStringLiteral("newest"), QStringLiteral("largest") };

    bool parseFields(const QString& list, CliOptions& options, QString& error)
    {
        options.fields.fill(false);
        if (list == QLatin1String("none")) {
            return true;
        }
        for (const QString& name : list.split(QLatin1Char(','))) {
            const qsizetype index = kFieldNames.indexOf(name.trimmed().toLower());
            if (index < 0) {
                error = QStringLiteral("unknown field \"%1\" (use subject, body, to, from, size or none)").arg(name);
                return false;
            }
            options.fields[static_cast<std::size_t>(index)] = true;
        }
        return true;
    }

} // namespace

QString cliUsage()
{
    return QStringLiteral(
        "Usage:\n"
        "  velmora-cli --store DIR folders [--json]\n"
        "  velmora-cli --store DIR search [--folder PATH]... [--fields LIST] [--mark RULE] [--json]\n"
        "  velmora-cli --store DIR remove [--folder PATH]... [--fields LIST] [--mark RULE] [--move] [--yes] [--json]\n"
        "\n"
        "  --folder PATH   a folder below the store's root, names joined by \"/\" (\".\" is the root);\n"
        "                  repeat for more; without it every folder is searched, each on its own\n"
        "  --fields LIST   comma list of subject, body, to, from, size, or none (default subject,body)\n"
        "  --mark RULE     which copies are ticked as duplicates: oldest, smallest, newest or largest\n"
        "                  (default oldest)\n"
        "  --move          move removed messages to Deleted Items instead of deleting them\n"
        "  --yes           really remove; without it remove only lists what it would remove\n"
        "  --json          print one JSON document\n"
        "\n"
        "Exit status: 0 success, 1 some messages could not be removed, 2 usage error, 3 store cannot be opened.\n");
}

std::optional<CliOptions> parseCliOptions(const QStringList& args, QString& error)
{
    CliOptions options;
    bool haveCommand = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        auto value = [&](QString& out) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(arg);
                return false;
            }
            out = args[++i];
            return true;
        };
        QString text;
        if (arg == QLatin1String("--store")) {
            if (!value(options.store)) {
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--folder")) {
            if (!value(text)) {
                return std::nullopt;
            }
            options.folders << text;
        } else if (arg == QLatin1String("--fields")) {
            if (!value(text) || !parseFields(text, options, error)) {
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--mark")) {
            if (!value(text)) {
                return std::nullopt;
            }
            options.markRule = static_cast<int>(kMarkRules.indexOf(text.toLower()));
            if (options.markRule < 0) {
                error = QStringLiteral("unknown rule \"%1\" (use oldest, smallest, newest or largest)").arg(text);
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--move")) {
            options.move = true;
        } else if (arg == QLatin1String("--yes")) {
            options.yes = true;
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (!arg.startsWith(QLatin1String("--")) && !haveCommand) {
            haveCommand = true;
            if (arg == QLatin1String("folders")) {
                options.command = CommandKind::Folders;
            } else if (arg == QLatin1String("search")) {
                options.command = CommandKind::Search;
            } else if (arg == QLatin1String("remove")) {
                options.command = CommandKind::Remove;
            } else {
                error = QStringLiteral("unknown command \"%1\"").arg(arg);
                return std::nullopt;
            }
        } else {
            error = QStringLiteral("unexpected argument \"%1\"").arg(arg);
            return std::nullopt;
        }
    }
    if (options.store.isEmpty()) {
        error = QStringLiteral("--store DIR is required");
        return std::nullopt;
    }
    if (!haveCommand) {
        error = QStringLiteral("a command is required: folders, search or remove");
        return std::nullopt;
    }
    const bool searchOnly = options.command != CommandKind::Remove;
    if (searchOnly && (options.move || options.yes)) {
        error = QStringLiteral("--move and --yes belong to the remove command");
        return std::nullopt;
    }
    return options;
}

} // namespace velmora::cli
