// Settings texts from untrusted bytes: the resource line syntax with the
// defaults it sets, and the per-user store's Name=value file. Neither may
// crash or read outside its input, whatever the bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/saver_settings.h"
#include "app/settings_store.h"
#include "app/settings_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  klx::DefaultSettings defaults;
  size_t lines = 0;
  klx::ForEachSettingsLine(text, [&](const klx::SettingsLine& line) {
    defaults.ApplyLine(line);
    ++lines;
    return true;
  });
  klx::SaverSettings settings;
  for (const auto& [name, value] : klx::SettingsStore::ParseStoreText(std::string(text)))
    settings.SetValue(name, value);
  // Every line holds at least one byte of the input.
  if (lines > size) __builtin_trap();
  return 0;
}
