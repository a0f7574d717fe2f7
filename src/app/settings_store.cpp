#include "app/settings_store.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/settings_text.h"

namespace klx {

SettingsStore::SettingsStore(const std::string& registryPath, const std::string& configHome) {
  std::filesystem::path folder(configHome);
  size_t start = 0;
  bool first = true;
  while (start <= registryPath.size()) {
    size_t end = registryPath.find('\\', start);
    if (end == std::string::npos) end = registryPath.size();
    const std::string part = registryPath.substr(start, end - start);
    start = end + 1;
    // The leading "Software" is the registry's, not the product's; parts
    // that would leave the folder are dropped.
    const bool software = first && part == "Software";
    first = false;
    if (software || part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) continue;
    folder /= part;
  }
  folder_ = folder.string();
  file_ = (folder / "settings").string();
}

std::string SettingsStore::DefaultConfigHome() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') return config;
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
    return std::string(home) + "/.config";
  return "/tmp";
}

bool SettingsStore::Exists() const {
  std::error_code error;
  return std::filesystem::is_regular_file(file_, error);
}

std::map<std::string, int32_t> SettingsStore::ParseStoreText(const std::string& text) {
  std::map<std::string, int32_t> values;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    int32_t value = 0;
    const std::string number = line.substr(equals + 1);
    // The whole value must be a number: "12abc" is a damaged line.
    if (number.find_first_not_of("+-0123456789") != std::string::npos) continue;
    if (!ParseSettingsInteger(number, &value)) continue;
    values[line.substr(0, equals)] = value;
  }
  return values;
}

bool SettingsStore::Read(std::map<std::string, int32_t>* values) const {
  std::ifstream in(file_, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  *values = ParseStoreText(text.str());
  return true;
}

bool SettingsStore::Write(const std::vector<std::pair<std::string, int32_t>>& values) const {
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  if (error) return false;
  // A temporary file of this writer's own, renamed over the store: a reader
  // sees the old file or the new one whole, and two savers writing at once
  // never write into the same temporary.
  std::string temporary = file_ + ".XXXXXX";
  const int descriptor = mkstemp(temporary.data());
  if (descriptor < 0) return false;
  close(descriptor);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const auto& [name, value] : values) out << name << '=' << value << '\n';
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::filesystem::rename(temporary, file_, error);
  if (error) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace klx
