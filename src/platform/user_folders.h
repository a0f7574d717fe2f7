#pragma once
// The user's folders: where per-user data (the log) and configuration (the
// settings store) live, after the XDG base-directory rules.

#include <string>

namespace klx {

// $XDG_DATA_HOME, else ~/.local/share; empty when neither can be found.
std::string GetUserDataFolder();
// $XDG_CONFIG_HOME, else ~/.config; empty when neither can be found.
std::string GetUserConfigFolder();
// Creates the folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);

}  // namespace klx
