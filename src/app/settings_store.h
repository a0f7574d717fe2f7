#pragma once
// The per-user store of the effective settings. A registry path such as
// "Software\Maker\Product" becomes the folder Maker/Product under the
// configuration home ($XDG_CONFIG_HOME, else ~/.config), holding a file
// "settings" of Name=value lines with 32-bit decimal values. Writing goes to
// a temporary file renamed over the old one, so a crash never leaves half a
// file; reading ignores lines it cannot use.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace klx {

class SettingsStore {
 public:
  // The store for a registry path below a configuration home folder.
  SettingsStore(const std::string& registryPath, const std::string& configHome);
  // The configuration home of the current user.
  static std::string DefaultConfigHome();

  const std::string& GetFolder() const { return folder_; }
  const std::string& GetFilePath() const { return file_; }
  // Whether the store has been written before (the first run sees false).
  bool Exists() const;
  // The stored values by name; false when the file cannot be read.
  bool Read(std::map<std::string, int32_t>* values) const;
  // Replaces the stored values; false when the folder or file cannot be
  // written.
  bool Write(const std::vector<std::pair<std::string, int32_t>>& values) const;

  // Name=value lines to values: names are taken as written, values as
  // decimal 32-bit numbers; anything else is skipped.
  static std::map<std::string, int32_t> ParseStoreText(const std::string& text);

 private:
  std::string folder_;
  std::string file_;
};

}  // namespace klx
