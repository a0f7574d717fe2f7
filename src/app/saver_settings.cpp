#include "app/saver_settings.h"

namespace klx {

namespace {

// The settings in table order: name, and the field for a bool or an int.
struct Field {
  const char* name;
  bool SaverSettings::*flag;
  int32_t SaverSettings::*number;
};

constexpr Field kFields[] = {
    {"ShowFPS", &SaverSettings::showFps, nullptr},
    {"ExitOnMouseMove", &SaverSettings::exitOnMouseMove, nullptr},
    {"ShowTime", &SaverSettings::showTime, nullptr},
    {"UseDesktopSettings", &SaverSettings::useDesktopSettings, nullptr},
    {"Music", &SaverSettings::music, nullptr},
    {"SFX", &SaverSettings::sfx, nullptr},
    {"Hour24", &SaverSettings::hour24, nullptr},
    {"Volume", nullptr, &SaverSettings::volume},
    {"Width", nullptr, &SaverSettings::width},
    {"Height", nullptr, &SaverSettings::height},
    {"ColorDepth", nullptr, &SaverSettings::colorDepth},
    {"AntiAliasing", nullptr, &SaverSettings::antiAliasing},
    {"Gamma", nullptr, &SaverSettings::gamma},
};

}  // namespace

std::vector<std::pair<std::string, int32_t>> SaverSettings::ToValues() const {
  std::vector<std::pair<std::string, int32_t>> values;
  for (const Field& field : kFields)
    values.emplace_back(field.name, field.flag != nullptr ? (this->*field.flag ? 1 : 0) : this->*field.number);
  return values;
}

bool SaverSettings::SetValue(std::string_view name, int32_t value) {
  for (const Field& field : kFields) {
    if (name != field.name) continue;
    if (field.flag != nullptr) this->*field.flag = value != 0;
    else this->*field.number = value;
    return true;
  }
  return false;
}

bool DefaultSettings::ApplyLine(const SettingsLine& line) {
  if (line.key == "RegistryPath") {
    registryPath.assign(line.value);
    return true;
  }
  if (line.key == "main_web_site_url") {
    webSiteUrl.assign(line.value);
    return true;
  }
  for (const Field& field : kFields) {
    if (line.key != field.name) continue;
    int32_t value = 0;
    if (ParseSettingsInteger(line.value, &value)) SetValue(line.key, value);
    return true;
  }
  return false;
}

}  // namespace klx
