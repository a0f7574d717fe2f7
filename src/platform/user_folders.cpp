#include "platform/user_folders.h"

#include <cstdlib>
#include <filesystem>

namespace klx {
namespace {

// The XDG variable when it holds an absolute path (relative ones are to be
// ignored), else the fallback below the home folder.
std::string XdgFolder(const char* variable, const char* belowHome) {
  if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') return value;
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return std::string(home) + belowHome;
  }
  return std::string();
}

}  // namespace

std::string GetUserDataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }
std::string GetUserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", "/.config"); }

bool MakeFolders(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

}  // namespace klx
