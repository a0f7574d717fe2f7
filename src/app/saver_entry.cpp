#include "app/saver_entry.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

namespace {

// Several runs at once (a host starts one per monitor) keep a log each:
// the first run's is "KLXLog.txt", the others "KLXLog 2.txt" and on. A run
// holds a lock on its log until the process ends; a log whose lock is free
// belongs to no running saver and is written afresh.
std::string ClaimSaverLogPath(int* lockFd) {
  *lockFd = -1;
  const std::string first = GetSaverLogPath();
  if (first.empty()) return first;
  const std::string stem = first.substr(0, first.size() - 4);  // without ".txt"
  for (int number = 1; number <= 16; ++number) {
    const std::string path = number == 1 ? first : stem + " " + std::to_string(number) + ".txt";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return first;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      *lockFd = fd;
      return path;
    }
    close(fd);
  }
  return first;
}

}  // namespace

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
  int logLock = -1;
  const std::string logPath = ClaimSaverLogPath(&logLock);
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
    const bool started = RunSaverPhases(*saver);
    // A host shows what a hack writes to its error output, and a script
    // that starts the saver reads the exit status.
    if (!started && !saver->GetCommandLineError().empty()) {
      std::fprintf(stderr, "klx-saver: %s\n", saver->GetCommandLineError().c_str());
      status = 1;
    } else if (!started && saver->IsHosted()) {
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
    if (logLock >= 0) close(logLock);
    return 1;
  }
  // "Конец лога." stays the file's last line.
  if (log) UnregisterMessageOutput(log.Get(), false);
  if (logLock >= 0) close(logLock);
  SDL_Quit();
  return status;
}

}  // namespace klx
