#include "app/saver_entry.h"

#include <SDL.h>

#include <cstdlib>

#include "app/scene_saver.h"
#include "app/stop_signal.h"
#include "core/file_message_output.h"
#include "core/log.h"
#include "platform/message_box.h"
#include "platform/user_folders.h"

namespace klx {

std::string GetSaverLogPath() {
  const std::string data = GetUserDataFolder();
  if (data.empty()) return std::string();
  const std::string folder = data + "/VELMORA Studio";
  if (!MakeFolders(folder)) return std::string();
  return folder + "/KLXLog.txt";
}

void RunSaverPhases(SaverApplication& saver) {
  if (saver.Initialize() != kOk) {
    LogError(KLX_TEXT("Невозможно создать скринсейвер."));
  } else {
    LogInfo(KLX_TEXT("Сейвер создан."));
    if (saver.Run() != kOk) {
      LogError(KLX_TEXT("Работа скринсейвера завершена некорректно."));
    } else {
      LogInfo(KLX_TEXT("Работа скринсейвера завершена корректно."));
    }
  }
  if (saver.Shutdown() != kOk) LogError(KLX_TEXT("Ошибка при окончании работы скринсейвера."));
}

int RunSaverProcess(const std::string& commandLine) {
  InstallStopSignals();
  // No announcement that a screensaver runs: an X11 host knows it already,
  // since it started the program.
  Ref<FileMessageOutput> log;
  const std::string logPath = GetSaverLogPath();
  if (!logPath.empty()) {
    log = new FileMessageOutput(String(logPath.c_str()), String());
    RegisterMessageOutput(log.Get());
  }
  // A user who starts the saver on a display sees the rare failure boxes;
  // runs under tests set KLX_NO_MESSAGE_BOXES.
  const bool hasDisplay = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  SetMessageBoxesAllowed(hasDisplay && std::getenv("KLX_NO_MESSAGE_BOXES") == nullptr);

  try {
    Ref<SceneSaver> saver(new SceneSaver());
    saver->SetCommandLine(commandLine);
    RunSaverPhases(*saver);
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_ShowCursor(SDL_ENABLE);
    saver = nullptr;
    LogInfo(KLX_TEXT("Конец лога."));
  } catch (...) {
    LogError(KLX_TEXT("Конец лога вследствии ошибки"));
    if (log) UnregisterMessageOutput(log.Get(), false);
    return 1;
  }
  // "Конец лога." stays the file's last line.
  if (log) UnregisterMessageOutput(log.Get(), false);
  SDL_Quit();
  return 0;
}

}  // namespace klx
