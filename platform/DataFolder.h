#pragma once

#include <QString>

namespace velmora {

// The user's folder for application settings: $XDG_CONFIG_HOME when it holds an absolute path, else
// ~/.config. No trailing separator.
QString ApplicationDataFolder();

// The program's data folder inside it, which holds "config.xml" and "error.log". Not created here.
QString DataFolder();

} // namespace velmora
