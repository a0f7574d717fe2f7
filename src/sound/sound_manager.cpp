#include "sound/sound_manager.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/lifecycle.h"
#include "core/log.h"
#include "core/result.h"
#include "platform/resources.h"

namespace klx {
namespace {

struct LoadedLibrary {
  void* handle = nullptr;
  std::string fileName;  // the library's copy on disk or in memory
  int memoryFile = -1;   // the anonymous file's descriptor, or -1
  AudioFunctions functions;
};

LoadedLibrary& Library() {
  static LoadedLibrary library;
  return library;
}

bool WriteAll(int fd, const uint8_t* bytes, int32_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, bytes, static_cast<size_t>(size));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<int32_t>(written);
  }
  return true;
}

// Writes the library to an anonymous memory file, or where the system has
// none, to a fresh temporary file "bas…". False when neither works.
bool WriteLibraryCopy(const uint8_t* bytes, int32_t size, LoadedLibrary& library) {
  const int memoryFile = memfd_create("bas", MFD_CLOEXEC);
  if (memoryFile >= 0) {
    if (WriteAll(memoryFile, bytes, size)) {
      library.memoryFile = memoryFile;
      library.fileName = "/proc/self/fd/" + std::to_string(memoryFile);
      return true;
    }
    close(memoryFile);
  }
  const char* folder = std::getenv("TMPDIR");
  std::string path = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/basXXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes, size);
  if (close(fd) != 0 || !written) {
    unlink(path.c_str());
    return false;
  }
  library.fileName = path;
  return true;
}

void RemoveLibraryCopy(LoadedLibrary& library) {
  if (library.memoryFile >= 0) {
    close(library.memoryFile);
  } else if (!library.fileName.empty()) {
    unlink(library.fileName.c_str());
  }
  library.memoryFile = -1;
  library.fileName.clear();
}

template <typename Function>
bool Resolve(void* handle, const char* name, Function& slot) {
  slot = reinterpret_cast<Function>(dlsym(handle, name));
  return slot != nullptr;
}

bool ResolveAll(void* handle, AudioFunctions& f) {
  return Resolve(handle, "BASS_GetVersion", f.GetVersion) && Resolve(handle, "BASS_ErrorGetCode", f.ErrorGetCode) &&
         Resolve(handle, "BASS_Init", f.Init) && Resolve(handle, "BASS_Free", f.Free) &&
         Resolve(handle, "BASS_IsStarted", f.IsStarted) && Resolve(handle, "BASS_GetDevice", f.GetDevice) &&
         Resolve(handle, "BASS_GetDeviceDescription", f.GetDeviceDescription) &&
         Resolve(handle, "BASS_SetConfig", f.SetConfig) && Resolve(handle, "BASS_GetConfig", f.GetConfig) &&
         Resolve(handle, "BASS_Set3DFactors", f.Set3DFactors) &&
         Resolve(handle, "BASS_Set3DPosition", f.Set3DPosition) && Resolve(handle, "BASS_Apply3D", f.Apply3D) &&
         Resolve(handle, "BASS_StreamCreateFile", f.StreamCreateFile) &&
         Resolve(handle, "BASS_StreamFree", f.StreamFree) && Resolve(handle, "BASS_ChannelPlay", f.ChannelPlay) &&
         Resolve(handle, "BASS_ChannelStop", f.ChannelStop) && Resolve(handle, "BASS_ChannelPause", f.ChannelPause) &&
         Resolve(handle, "BASS_ChannelIsActive", f.ChannelIsActive) &&
         Resolve(handle, "BASS_ChannelSetFlags", f.ChannelSetFlags) &&
         Resolve(handle, "BASS_ChannelSetAttributes", f.ChannelSetAttributes) &&
         Resolve(handle, "BASS_ChannelGetAttributes", f.ChannelGetAttributes) &&
         Resolve(handle, "BASS_ChannelSet3DAttributes", f.ChannelSet3DAttributes) &&
         Resolve(handle, "BASS_ChannelSet3DPosition", f.ChannelSet3DPosition);
}

void Unload(LoadedLibrary& library) {
  if (library.handle != nullptr) dlclose(library.handle);
  library.handle = nullptr;
  library.functions = AudioFunctions{};
  RemoveLibraryCopy(library);
}

// Whether a device opened and has not been found lost since.
bool& DevicePlaying() {
  static bool playing = false;
  return playing;
}

bool& OpenDeviceAtStartup() {
  static bool open = true;
  return open;
}

}  // namespace

void SoundManager::SetOpenDeviceAtStartup(bool open) { OpenDeviceAtStartup() = open; }

int SoundManager::Startup() {
  LogInfo(KLX_TEXT("Инициализация менеджера звука."));
  LoadedLibrary& library = Library();
  if (library.handle != nullptr) return kOk;

  const uint8_t* bytes = nullptr;
  int32_t size = 0;
  if (!FindResource(kResourceType, kResourceId, &bytes, &size)) {
    LogError(KLX_TEXT("Инициализация менеджера звука. Невозможно найти ресурс [bass.dll]."));
    return kFailed;
  }
  if (size == 0) {
    LogError(KLX_TEXT("Инициализация менеджера звука. Размер ресурса [bass.dll] равен 0."));
    return kFailed;
  }
  if (!WriteLibraryCopy(bytes, size, library)) {
    LogError(KLX_TEXT("Инициализация менеджера звука. Невозможно создать временный файл [bass.dll]."));
    return kFailed;
  }
  library.handle = dlopen(library.fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  // A library without every entry point is as unusable as one that did not
  // load at all.
  if (library.handle == nullptr || !ResolveAll(library.handle, library.functions)) {
    LogError(KLX_TEXT("Инициализация менеджера звука. Невозможно загрузить библиотеку [bass.dll]."));
    Unload(library);
    return kFailed;
  }
  if (library.functions.GetVersion() != kAudioLibraryVersion) {
    LogError(KLX_TEXT("Версия библиотеки BASS не совпадает."));
    return kFailed;
  }
  if (OpenDeviceAtStartup()) OpenDevice(nullptr);
  library.functions.Set3DFactors(1.0f, 7.0f, 1.0f);
  library.functions.Apply3D();
  LogInfo(KLX_TEXT("Менеджер звука инициализирован."));
  return kOk;
}

int SoundManager::Shutdown() {
  LogInfo(KLX_TEXT("Завершение работы менеджера звука."));
  LoadedLibrary& library = Library();
  DevicePlaying() = false;
  if (library.handle != nullptr) {
    library.functions.Free();
    Unload(library);
    LogInfo(KLX_TEXT("Менеджер звука завершил работу."));
  }
  return kOk;
}

void SoundManager::RegisterLifecycleFunctions() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  AddInitFunction(&SoundManager::Startup);
  AddShutdownFunction(&SoundManager::Shutdown);
}

const AudioFunctions* SoundManager::Audio() {
  const LoadedLibrary& library = Library();
  return library.handle != nullptr ? &library.functions : nullptr;
}

void SoundManager::SetMasterVolume(uint32_t volume) {
  if (const AudioFunctions* audio = Audio()) audio->SetConfig(BASS_CONFIG_GVOL_STREAM, volume < 100 ? volume : 100);
}

bool SoundManager::OpenDevice(void* window) {
  const AudioFunctions* audio = Audio();
  if (audio == nullptr) return false;
  if (audio->Init(-1, 44100, BASS_DEVICE_3D, window, nullptr)) {
    const AUDIO_DWORD device = audio->GetDevice();
    const char* description = audio->GetDeviceDescription(device);
    LogInfo(KLX_TEXT("Звук инициализирован. Устройство [%d] [%s]"), static_cast<int>(device),
            description != nullptr ? description : "");
    DevicePlaying() = true;
    return true;
  }
  const int error = audio->ErrorGetCode();
  const char* description = audio->GetDeviceDescription(audio->GetDevice());
  LogError(KLX_TEXT("Невозможно инициализировать звук. Причина [%d]. Устройство [%s]"), error,
           description != nullptr ? description : "");
  return false;
}

void SoundManager::CheckDevice() {
  if (!DevicePlaying()) return;
  const AudioFunctions* audio = Audio();
  if (audio == nullptr || audio->IsStarted() != 0) return;
  DevicePlaying() = false;
  LogWarning(KLX_TEXT("Звуковое устройство потеряно. Работа продолжается без звука."));
}

void SoundManager::SetListenerOrientation(const Vector3& front, const Vector3& up) {
  const AudioFunctions* audio = Audio();
  if (audio == nullptr) return;
  const BASS_3DVECTOR facing{front.x, front.y, front.z};
  const BASS_3DVECTOR top{up.x, up.y, up.z};
  audio->Set3DPosition(nullptr, nullptr, &facing, &top);
  audio->Apply3D();
}

namespace {
Vector3 g_listenerPosition{0.0f, 0.0f, 0.0f};
}  // namespace

void SoundManager::SetListenerPose(const Vector3& position, const Vector3& front, const Vector3& up) {
  g_listenerPosition = position;
  SetListenerOrientation(front, up);
}

Vector3 SoundManager::GetListenerPosition() { return g_listenerPosition; }

[[maybe_unused]] static const bool kSoundManagerRegistered = (SoundManager::RegisterLifecycleFunctions(), true);

}  // namespace klx
