#pragma once

#include <QIcon>

namespace velmora {

// The program's own picture (window icon and the About box logo), drawn rather than shipped as a file.
QIcon velmoraIcon();

} // namespace velmora
