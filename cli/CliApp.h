#pragma once

#include <QStringList>
#include <QTextStream>

namespace velmora::cli {

// Runs velmora-cli with `args` (without the program name), writing to `out` and `err`. Returns the exit status.
int runCli(const QStringList& args, QTextStream& out, QTextStream& err, bool progressOnErr);

} // namespace velmora::cli
