#pragma once

#include <QString>

namespace velmora {

// The operating system's product name: PRETTY_NAME of the os-release file, unquoted; empty when the file or
// the key is missing.
QString systemProductName(const QString& osReleasePath = QStringLiteral("/etc/os-release"));

} // namespace velmora
