#include "app/saver_entry.h"

#include <SDL.h>

#include <cstdio>
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

bool RunSaverPhases(SaverApplication& saver) {
  const bool started = saver.Initialize() == kOk;
  if (!started) {
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
  return started;
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

  int status = 0;
  try {
    Ref<SceneSaver> saver(new SceneSaver());
    saver->SetCommandLine(commandLine);
    if (!RunSaverPhases(*saver) && saver->IsHosted()) {
      // A host shows what a hack writes to its error output, and a script
      // that starts it reads the exit status: the run could not start.
      std::fprintf(stderr, "klx-saver: cannot run in the host's window 0x%llx; see %s\n",
                   static_cast<unsigned long long>(saver->GetParentWindow()),
                   logPath.empty() ? "the log" : logPath.c_str());
      status = 1;
    }
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
  return status;
}

}  // namespace klx
