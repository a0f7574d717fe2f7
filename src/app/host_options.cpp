#include "app/host_options.h"

#include <vector>

#include "app/saver_mode.h"
#include "app/settings_text.h"

namespace klx {
namespace {

// The option's name without its one or two leading dashes, or empty for a
// word that is not an option.
std::string_view OptionName(std::string_view word) {
  if (word.size() < 2 || word[0] != '-') return {};
  word.remove_prefix(word[1] == '-' ? 2 : 1);
  return word;
}

// The words of the command line after its program name.
void SplitCommandLine(std::string_view line, std::string_view* program, std::vector<std::string_view>* words) {
  *program = ProgramName(line);
  size_t at = program->size();
  while (at < line.size()) {
    while (at < line.size() && line[at] == ' ') ++at;
    const size_t end = line.find(' ', at);
    const size_t stop = end == std::string_view::npos ? line.size() : end;
    if (stop > at) words->push_back(line.substr(at, stop - at));
    at = stop;
  }
}

// A boolean override: "name" sets it, "no-name" clears it.
bool TakeSwitch(std::string_view name, std::string_view on, std::string_view off, std::optional<bool>* value) {
  if (name == on) {
    *value = true;
    return true;
  }
  if (name == off) {
    *value = false;
    return true;
  }
  return false;
}

}  // namespace

bool SettingsOverrides::Empty() const {
  return !showTime && !hour24 && !showFps && !music && !sfx && !volume;
}

void SettingsOverrides::ApplyTo(SaverSettings* settings) const {
  if (showTime) settings->showTime = *showTime;
  if (hour24) settings->hour24 = *hour24;
  if (showFps) settings->showFps = *showFps;
  if (music) settings->music = *music;
  if (sfx) settings->sfx = *sfx;
  if (volume) settings->volume = *volume;
}

uint64_t ParseWindowId(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return 0;
  uint64_t value = 0;
  for (const char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return 0;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return 0;  // X11 ids have 29 bits
  }
  return value;
}

HostOptions TakeHostOptions(std::string_view commandLine, const char* xscreensaverWindow) {
  HostOptions options;
  std::string_view program;
  std::vector<std::string_view> words;
  SplitCommandLine(commandLine, &program, &words);
  options.rest = std::string(program);
  bool root = false;
  bool windowGiven = false;
  bool otherSwitch = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string_view name = OptionName(words[i]);
    SettingsOverrides& o = options.overrides;
    if (name == "root") {
      root = true;
    } else if (name == "window-id") {
      windowGiven = true;
      options.window = i + 1 < words.size() ? ParseWindowId(words[++i]) : 0;
      if (options.window == 0 && options.error.empty()) options.error = "-window-id needs an X11 window id";
    } else if (name == "volume") {
      int32_t volume = 0;
      if (i + 1 < words.size() && ParseSettingsInteger(words[i + 1], &volume)) {
        ++i;
        o.volume = volume < 0 ? 0 : (volume > 100 ? 100 : volume);
      } else if (options.error.empty()) {
        options.error = "-volume needs a number from 0 to 100";
      }
    } else if (TakeSwitch(name, "clock", "no-clock", &o.showTime) || TakeSwitch(name, "24h", "12h", &o.hour24) ||
               TakeSwitch(name, "fps", "no-fps", &o.showFps) || TakeSwitch(name, "music", "no-music", &o.music) ||
               TakeSwitch(name, "sound", "no-sound", &o.sfx)) {
      // taken
    } else {
      if (words[i][0] == '-' || words[i][0] == '/') otherSwitch = true;
      options.rest += ' ';
      options.rest += words[i];
    }
  }
  const uint64_t hostWindow = xscreensaverWindow != nullptr ? ParseWindowId(xscreensaverWindow) : 0;
  if (windowGiven) {
    options.hosted = true;
  } else if (root) {
    options.hosted = true;
    options.window = hostWindow;  // 0: the root window itself
  } else if (hostWindow != 0 && !otherSwitch) {
    // The host started the hack without options: its window is the one.
    options.hosted = true;
    options.window = hostWindow;
  }
  return options;
}

}  // namespace klx
