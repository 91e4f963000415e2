#pragma once

#include "detection/FieldTicks.h"

#include <QStringList>

#include <optional>

namespace velmora::cli {

enum class CommandKind { Folders, Search, Remove };

struct CliOptions
{
    QString store;
    CommandKind command = CommandKind::Search;
    QStringList folders; // empty: every folder
    std::array<bool, FieldTicks::kCount> fields { true, true, false, false, false };
    int markRule = 0;
    bool move = false;
    bool yes = false;
    bool json = false;
};

// The options of `args` (without the program name), or nothing with `error` set to a message for the user.
std::optional<CliOptions> parseCliOptions(const QStringList& args, QString& error);

QString cliUsage();

} // namespace velmora::cli
