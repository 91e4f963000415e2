#pragma once

#include <QString>

namespace velmora {

// The first three numbers of a dotted version ("1.2.3.4" gives "1.2.3"); empty when `version` holds fewer
// than three numbers or something that is not a number.
QString shortVersion(const QString& version);

// The program's version as "a.b.c", taken from the version the build was configured with.
QString GetAppVersion();

} // namespace velmora
