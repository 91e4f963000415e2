#pragma once

#include <QIcon>

namespace velmora {

// The program's own picture (window icon and the About box logo), drawn rather than shipped as a file.
QIcon velmoraIcon();

// The picture of a message row: a small closed envelope.
QIcon messageIcon();

} // namespace velmora
