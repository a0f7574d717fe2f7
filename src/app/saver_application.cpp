#include "app/saver_application.h"

#include <SDL.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "app/settings_store.h"
#include "app/settings_text.h"
#include "app/stop_signal.h"
#include "core/codec_manager.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "core/module_manager.h"
#include "assets/image.h"
#include "sound/sound_manager.h"
#include "platform/message_box.h"
#include "platform/system_window.h"
#include "platform/resources.h"
#include "platform/user_folders.h"
#include "render/renderer.h"
#include "scene/camera.h"
#include "vfs/file_manager.h"
#include "vfs/virtual_file.h"

namespace klx {
namespace {

// The scene is heard from where it is seen: the active camera's position
// and facing become the sound listener's.
void HearFromCamera(const Camera* camera) {
  if (camera != nullptr) SoundManager::SetListenerPose(camera->GetPosition(), camera->GetDirection(), camera->GetUp());
}

SaverApplication* g_application = nullptr;
int32_t g_mouseMoveAllowance = 10;

constexpr int32_t kDefaultSettingsResource = 239;
constexpr int32_t kLocalStringsResource = 229;
constexpr int32_t kCustomDataResource = 134;
constexpr int32_t kMediaResource = 227;

bool IsFullScreenMode(SaverMode mode) { return mode == kSaverModeSaver || mode == kSaverModeTest; }

const char* BoolText(bool value) { return value ? "true" : "false"; }

std::string ConfigHome() {
  const std::string folder = GetUserConfigFolder();
  return folder.empty() ? SettingsStore::DefaultConfigHome() : folder;
}

}  // namespace

int LoadResourceCopy(int32_t id, std::vector<uint8_t>* bytes) {
  bytes->clear();
  const uint8_t* data = nullptr;
  int32_t size = 0;
  if (!FindResource("MEDIADATA", id, &data, &size)) {
    LogError(KLX_TEXT("Невозможно загрузить ресурс ID[%d]."), id);
    return kFailed;
  }
  bytes->assign(data, data + size);
  return kOk;
}

SaverApplication::SaverApplication() : rendererModuleName_("OpenGL") { g_application = this; }

SaverApplication::~SaverApplication() {
  if (g_application == this) g_application = nullptr;
}

SaverApplication* SaverApplication::GetInstance() { return g_application; }

int32_t SaverApplication::GetMouseMoveAllowance() { return g_mouseMoveAllowance; }
void SaverApplication::SetMouseMoveAllowance(int32_t allowance) { g_mouseMoveAllowance = allowance; }

void SaverApplication::ChooseMode() {
  // The host's options go first, so that what remains is read for the
  // mode switch alone.
  const HostOptions host = TakeHostOptions(commandLine_, std::getenv("XSCREENSAVER_WINDOW"));
  const SaverCommand command = ParseSaverCommandLine(host.rest);
  mode_ = command.mode;
  parentWindow_ = command.parentWindow;
  hosted_ = host.hosted;
  if (hosted_) {
    mode_ = kSaverModeSaver;
    parentWindow_ = host.window;
  }
  overrides_ = host.overrides;
  hostOptionsError_ = host.error;
}

// ---------------------------------------------------------------------------
// Settings and local strings

int SaverApplication::LoadDefaults() {
  std::vector<uint8_t> bytes;
  if (LoadResourceCopy(kDefaultSettingsResource, &bytes) != kOk) {
    LogInfo(KLX_TEXT("Ресурс настроек не загружен."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Ресурс настроек загружен."));
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const bool complete = ForEachSettingsLine(text, [this](const SettingsLine& line) {
    defaults_.ApplyLine(line);
    if (ParseExtraDefaults(line.key, line.value) != kOk) {
      const std::string whole(line.line);
      LogError(KLX_TEXT("Неудачна обработка параметра [%s]."), whole.c_str());
      return false;
    }
    return true;
  });
  return complete ? kOk : kFailed;
}

int SaverApplication::ApplyDefaults() {
  settings_ = static_cast<const SaverSettings&>(defaults_);
  return AfterSettingsApplied();
}

int SaverApplication::ReadRegistrySettings() {
  const SettingsStore store(defaults_.registryPath, ConfigHome());
  if (!store.Exists()) {
    LogInfo(KLX_TEXT("Первый запуск скринсейвера. Запись параметров по-умолчанию в реестр..."));
    if (WriteRegistrySettings() != kOk) {
      LogError(KLX_TEXT("Невозможно записать в реестр значения по-умолчанию."));
      return kFailed;
    }
    LogInfo(KLX_TEXT("Значения параметров по-умолчанию записаны в реестр."));
    return kOk;
  }
  std::map<std::string, int32_t> stored;
  if (!store.Read(&stored)) {
    const int error = errno;
    LogError(KLX_TEXT("Неудачна попытка открытия пути реестра [%s]."), defaults_.registryPath.c_str());
    ShowMessageBox("Error", std::strerror(error));
    return kFailed;
  }
  // A value missing from the store keeps the current setting.
  for (const auto& [name, value] : stored) settings_.SetValue(name, value);
  return ReadExtraRegistryValues(stored) == kOk ? kOk : kFailed;
}

int SaverApplication::WriteRegistrySettings() {
  const SettingsStore store(defaults_.registryPath, ConfigHome());
  std::vector<std::pair<std::string, int32_t>> values = settings_.ToValues();
  WriteExtraRegistryValues(&values);
  if (!store.Write(values)) {
    LogError(KLX_TEXT("Неудачна попытка открытия пути реестра [%s]."), defaults_.registryPath.c_str());
    return kFailed;
  }
  return kOk;
}

int SaverApplication::LogSettings() {
  LogInfo("ShowFPS: %s", BoolText(settings_.showFps));
  LogInfo("ExitOnMouseMove: %s", BoolText(settings_.exitOnMouseMove));
  LogInfo("ShowTime: %s", BoolText(settings_.showTime));
  LogInfo("UseDesktopSettings: %s", BoolText(settings_.useDesktopSettings));
  LogInfo("Music: %s", BoolText(settings_.music));
  LogInfo("SFX: %s", BoolText(settings_.sfx));
  LogInfo("Hour24: %s", BoolText(settings_.hour24));
  LogInfo("Volume: %d", settings_.volume);
  LogInfo("Width: %d", settings_.width);
  LogInfo("Height: %d", settings_.height);
  LogInfo("ColorDepth: %d", settings_.colorDepth);
  LogInfo("AntiAliasing: %d", settings_.antiAliasing);
  LogInfo("Gamma: %d", settings_.gamma);
  return AfterSettingsLogged();
}

int SaverApplication::LoadLocalStrings() {
  std::vector<uint8_t> bytes;
  if (LoadResourceCopy(kLocalStringsResource, &bytes) != kOk) {
    LogInfo(KLX_TEXT("Ресурс локальных данных не загружен."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Ресурс локальных данных загружен."));
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  ForEachSettingsLine(text, [this](const SettingsLine& line) {
    const std::string key(line.key);
    const std::string value(line.value);
    localStrings_.Insert(String(key.c_str()), String(value.c_str()));  // the first one wins
    return true;
  });
  return kOk;
}

const String* SaverApplication::GetLocalString(const String& key) const {
  return localStrings_.Find(key);
}

// ---------------------------------------------------------------------------
// Engine start and stop

int SaverApplication::StartEngine() {
  if (mode_ != kSaverModePassword) {
    // Only the saver itself plays sound. An open device mixes silence in a
    // thread of its own all the while, so the preview and the settings
    // dialog, which can stay open for hours, start without one.
    SoundManager::SetOpenDeviceAtStartup(IsFullScreenMode(mode_));
    if (EngineStart() != kOk) {
      LogError(KLX_TEXT("Невозможно инициализировать движок."));
      return kFailed;
    }
    if (LoadRenderer(rendererModuleName_) != kOk) {
      LogError(KLX_TEXT("Невозможно создать рендерер DirectX."));
      return kFailed;
    }
    if (IsFullScreenMode(mode_)) {
      // Every codec a scene may use.
      CodecManager::LoadCodecModules(
          {"BMPImageCodec", "JPGImageCodec", "TGAImageCodec", "CUBEImageCodec", "STRSceneCodec", "RAR2FileCodec"});
    } else {
      // The preview and dialog pictures, and the archive they come in.
      CodecManager::LoadCodecModules({"BMPImageCodec", "JPGImageCodec", "RAR2FileCodec"});
    }
    if (FileManager::AttachResourceArchive(kCustomDataResource, String("CustomData.rar2"),
                                           String()) != kOk) {
      LogError(KLX_TEXT("Невозможно подсоединить директорию CustomData."));
      return kFailed;
    }
    if (IsFullScreenMode(mode_)) {
      if (FileManager::AttachResourceArchive(kMediaResource, String("Media.rar2"), String()) !=
          kOk) {
        LogError(KLX_TEXT("Невозможно подсоединить директорию Media."));
        return kFailed;
      }
      if (InputManager::RegisterInputHandler(this) != kOk) {
        LogError(KLX_TEXT("Невозможно зарегистрировать обработчик событий."));
        return kFailed;
      }
    }
  }
  return AfterEngineStart() == kOk ? kOk : kFailed;
}

int SaverApplication::StopEngine() {
  if (BeforeEngineStop() != kOk) return kFailed;
  if (mode_ == kSaverModePassword) return kOk;
  ReleaseRenderer();
  if (EngineStop() != kOk) {
    LogError(KLX_TEXT("Невозможно завершить работу движка."));
    return kFailed;
  }
  return kOk;
}

// ---------------------------------------------------------------------------
// Windows

String SaverApplication::GetWindowTitle() const {
  const String* name = GetLocalString(String("AppName"));
  return name != nullptr ? *name : String("3D SCREENSAVER");
}

String SaverApplication::GetPreviewClassName() const {
  const String* name = GetLocalString(String("AppName"));
  return name != nullptr ? *name : String("VELMORASTUDIO 3D SCREENSAVER APPLICATION");
}

bool SaverApplication::LoadPreviewPicture() {
  VirtualFile* file = FileManager::FindFile(String("preview.bmp"));
  if (file == nullptr) return false;
  Ref<Image> image(new Image(file, String()));
  const uint32_t format = image->GetFormat();
  if (image->GetPixels() == nullptr || (format != kImageRGB8 && format != kImageRGBA8)) return false;
  previewWidth_ = static_cast<int32_t>(image->GetWidth());
  previewHeight_ = static_cast<int32_t>(image->GetHeight());
  const uint32_t bytes = BytesPerPixel(format);
  previewPixels_.resize(static_cast<size_t>(previewWidth_) * previewHeight_);
  for (int32_t y = 0; y < previewHeight_; ++y) {
    // Image rows are stored bottom first.
    const uint8_t* row = image->GetPixels() + static_cast<size_t>(previewHeight_ - 1 - y) * previewWidth_ * bytes;
    for (int32_t x = 0; x < previewWidth_; ++x, row += bytes) {
      previewPixels_[static_cast<size_t>(y) * previewWidth_ + x] =
          0xFF000000u | (uint32_t{row[0]} << 16) | (uint32_t{row[1]} << 8) | row[2];
    }
  }
  return true;
}

void SaverApplication::PaintPreview() {
  if (previewWindow_ != nullptr && !previewPixels_.empty()) {
    PaintSystemWindow(previewWindow_, previewPixels_.data(), previewWidth_, previewHeight_);
  }
}

int SaverApplication::RunPreview() {
  // The preview runs in the background of the host's dialog. It waits for
  // the window system instead of polling it: a busy loop would keep a
  // processor core busy for as long as the dialog is open.
  setpriority(PRIO_PROCESS, 0, 19);
  PaintPreview();
  while (running_) {
    bool exposed = false;
    bool closed = false;
    // Four wake-ups a second notice a stop signal or a host that closed
    // the preview soon enough, at next to no processor time.
    WaitForWindowEvents(250, &exposed, &closed);
    if (closed || StopRequested() || !IsSystemWindowAlive(previewWindow_)) {
      running_ = false;
    } else if (exposed) {
      PaintPreview();
    }
  }
  return kOk;
}

int SaverApplication::CreateWindows() {
  if (mode_ == kSaverModePreview) {
    // A child filling the host's window, or a small window of its own.
    const String name = GetPreviewClassName();
    if (CreateSystemWindow(&previewWindow_, name, parentWindow_, false, 32, 100, 100, 50, 50) != kOk ||
        previewWindow_ == nullptr) {
      return kFailed;
    }
    LoadPreviewPicture();  // without a picture the window stays black
    return kOk;
  }
  if (!IsFullScreenMode(mode_)) return kOk;

  Renderer* renderer = GetRenderer();
  if (renderer == nullptr) return kFailed;
  int32_t chosen = -1;
  if (settings_.useDesktopSettings) {
    chosen = renderer->GetDefaultConfiguration();
  } else {
    for (int32_t i = 0; i < renderer->GetConfigurationCount(); ++i) {
      const DisplayConfiguration& mode = renderer->GetConfiguration(i);
      if (mode.fullScreen && mode.width >= 640 && mode.height >= 480 &&
          mode.width == settings_.width && mode.height == settings_.height &&
          mode.colorBits == settings_.colorDepth) {
        chosen = i;
        break;
      }
    }
    if (chosen < 0) chosen = renderer->GetDefaultConfiguration();
  }
  if (chosen < 0) {
    LogError(KLX_TEXT("Невозможно найти подходящий видео режим."));
    return kFailed;
  }
  if (renderer->OpenWindow(chosen, GetWindowTitle(), parentWindow_, 0, 0, 640, 480) != kOk) {
    LogError(KLX_TEXT("Невозможно создать окно выбранного режима."));
    return kFailed;
  }
  windowsOpen_ = true;
  // Sound starts with the render window; without a device the saver runs
  // silent. The cursor stays hidden over the saver.
  SoundManager::OpenDevice(renderer->GetWindow());
  if (const AudioFunctions* audio = SoundManager::Audio()) {
    audio->Set3DFactors(1.0f, 10.0f, 1.0f);
    audio->Apply3D();
  }
  SDL_ShowCursor(SDL_DISABLE);
  return kOk;
}

int SaverApplication::DestroyWindows() {
  // The render window goes with the renderer; only the preview window is
  // the application's own.
  windowsOpen_ = false;
  if (mode_ == kSaverModePreview && previewWindow_ != nullptr) {
    DestroySystemWindow(previewWindow_);
    previewWindow_ = nullptr;
    SDL_ShowCursor(SDL_ENABLE);
  }
  return kOk;
}

// ---------------------------------------------------------------------------
// Overlay: the loading screen, the frame rate and the clock.

int SaverApplication::CreateOverlayRenderData() {
  overlay_ = std::make_unique<Overlay>();
  overlay_->Create();
  return CreateRenderData();
}

int SaverApplication::ShowLoadingScreen() {
  Renderer* renderer = GetRenderer();
  if (renderer == nullptr || !overlay_) return kOk;
  return overlay_->DrawLoadingScreen(*renderer);
}

void SaverApplication::DrawOverlay() {
  Renderer* renderer = GetRenderer();
  if (renderer == nullptr || !overlay_) return;
  overlay_->Draw(*renderer, settings_.showFps, GetFrameRate(), settings_.showTime, settings_.hour24);
}

int SaverApplication::ReleaseOverlayRenderData() {
  overlay_.reset();
  return kOk;
}

// ---------------------------------------------------------------------------
// The three phases

int SaverApplication::Initialize() {
  ChooseMode();
  LogInfo(KLX_TEXT("Режим скринсейвера %d."), static_cast<int>(mode_));
  if (!hostOptionsError_.empty()) {
    LogError(KLX_TEXT("Неверные параметры командной строки: %s."), hostOptionsError_.c_str());
    return kFailed;
  }
  if (hosted_) {
    if (parentWindow_ == 0) parentWindow_ = GetRootWindowId();
    LogInfo(KLX_TEXT("Вывод в окно хоста 0x%llx."), static_cast<unsigned long long>(parentWindow_));
  }

  if (LoadDefaults() != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить значения параметров по-умолчанию."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Значения параметров по-умолчанию загружены."));
  if (ApplyDefaults() != kOk) {
    LogError(KLX_TEXT("Невозможно установить значения параметров по-умолчанию."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Значения параметров по-умолчанию установлены."));
  if (ReadRegistrySettings() != kOk) {
    LogError(KLX_TEXT("Невозможно прочитать значения параметров из реестра."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Значения параметров прочитаны из реестра."));
  // Settings from the command line hold for this run and are never
  // written back; the settings dialog shows the stored ones.
  if (IsFullScreenMode(mode_) && !overrides_.Empty()) {
    overrides_.ApplyTo(&settings_);
    LogInfo(KLX_TEXT("Параметры командной строки применены."));
  }
  if (LogSettings() != kOk) LogError(KLX_TEXT("Невозможно вывести значения параметров."));
  if (LoadLocalStrings() != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить значения локальных данных."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Значения локальных данных загружены."));

  if (StartEngine() != kOk) {
    LogError(KLX_TEXT("Невозможно инициализировать скринсейвер."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Скринсейвер инициализирован."));
  if (CreateWindows() != kOk) {
    LogError(KLX_TEXT("Невозможно создать окна скринсейвера."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Окна скринсейвера созданы."));

  if (Renderer* renderer = GetRenderer(); renderer != nullptr) {
    const int32_t current = renderer->GetCurrentConfiguration();
    if (hosted_ && renderer->GetViewportWidth() > 0) {
      // The host's window, not the display, gives the size.
      displayWidth_ = renderer->GetViewportWidth();
      displayHeight_ = renderer->GetViewportHeight();
    } else if (current >= 0) {
      displayWidth_ = renderer->GetConfiguration(current).width;
      displayHeight_ = renderer->GetConfiguration(current).height;
    }
  }

  if (IsFullScreenMode(mode_)) {
    // A host fades the display with the gamma ramp itself.
    Renderer* renderer = GetRenderer();
    if (renderer != nullptr && !hosted_) renderer->SetGamma(settings_.gamma);
    SoundManager::SetMasterVolume(
        settings_.music || settings_.sfx ? static_cast<uint32_t>(std::max<int32_t>(settings_.volume, 0)) : 0u);
    if (CreateOverlayRenderData() != kOk) {
      LogError(KLX_TEXT("Невозможно создать данные визуализации."));
      return kFailed;
    }
    // The loading picture is a courtesy: a device that refuses the frame
    // (lost, as the frame loop also meets it) is logged and the start goes
    // on, the frame loop skips such frames until the device is back.
    if (ShowLoadingScreen() != kOk) LogError(KLX_TEXT("Невозможно вывести загрузочный экран."));
    if (StopBeforePlaying()) return kOk;
    if (CreateSaverData() != kOk) {
      LogError(KLX_TEXT("Невозможно создать данные скринсейвера."));
      return kFailed;
    }
    if (StopBeforePlaying()) return kOk;
    if (CacheSaverData() != kOk) {
      LogError(KLX_TEXT("Невозможно закэшировать данные скринсейвера."));
      return kFailed;
    }
    if (StopBeforePlaying()) return kOk;
  }
  running_ = !StopRequested();
  return kOk;
}

bool SaverApplication::HostWindowGone() {
  // Drawing into a window that has gone only makes errors (and some GL
  // drivers then allocate without bound): the first failed X request ends
  // the run at once. Asking the server costs a round trip, so that is done
  // twice a second.
  if (ForeignWindowFailed()) return true;
  if (totalTime_ - lastHostCheck_ < 0.5) return false;
  lastHostCheck_ = totalTime_;
  Renderer* renderer = GetRenderer();
  return renderer == nullptr || !IsSystemWindowAlive(renderer->GetWindow());
}

bool SaverApplication::StopBeforePlaying() {
  if (!StopRequested()) return false;
  LogInfo(KLX_TEXT("Получен сигнал остановки."));
  running_ = false;
  return true;
}

int SaverApplication::RunSettingsDialog() {
  if (StopBeforePlaying()) return kOk;
  SettingsDialogRunner* runner = GetSettingsDialogRunner();
  if (runner == nullptr) {
    // A program built without a window-system dialog (tests, tools).
    LogError(KLX_TEXT("Диалог настроек в этой версии отсутствует."));
    return kFailed;
  }
  // 1 after OK, 2 after Cancel; 0 when the dialog could not be shown.
  return runner->RunSettingsDialog(*this, parentWindow_) == 0 ? kFailed : kOk;
}

int SaverApplication::Run() {
  switch (mode_) {
    case kSaverModeConfigure:
      LogInfo(KLX_TEXT("Запущен режим конфигурирования."));
      return RunSettingsDialog();
    case kSaverModePreview:
      return RunPreview();
    case kSaverModePassword:
      return kOk;
    case kSaverModeSaver:
    case kSaverModeTest:
      return RunFrameLoop();
  }
  return kOk;
}

int SaverApplication::RunFrameLoop() {
  Renderer* renderer = GetRenderer();
  if (renderer == nullptr) return kFailed;
  frameTimer_.Reset();
  framePacer_.SetRefreshRate(GetSystemWindowRefreshRate(renderer->GetWindow()));
  LogInfo(KLX_TEXT("Период кадра не менее %.2f мс."), framePacer_.GetPeriod() * 1000.0);
  bool frameRefused = false;
  while (running_) {
    if (StopRequested()) {
      LogInfo(KLX_TEXT("Получен сигнал остановки."));
      running_ = false;
      break;
    }
    if (hosted_ && HostWindowGone()) {
      LogInfo(KLX_TEXT("Окно хоста закрыто."));
      running_ = false;
      break;
    }
    if (InputManager::ProcessInput() != kOk) {
      LogError(KLX_TEXT("Неудачна обработка ввода."));
      return kFailed;
    }
    SoundManager::CheckDevice();
    const double delta = frameTimer_.Delta();
    fpsCounter_.Tick();
    totalTime_ += delta;
    LogMinute(*renderer);
    if (Update(delta) != kOk) {
      LogError(KLX_TEXT("Неудачно обновление сцены."));
      return kFailed;
    }
    renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    const int frameResult = renderer->BeginFrame();
    HearFromCamera(renderer->GetCamera());
    if (frameResult != kOk) {
      // A lost device refuses frames until it comes back: skip them, and
      // say so once rather than every frame.
      if (!frameRefused) LogError(KLX_TEXT("Неудачно начало рендеринга."));
      frameRefused = true;
      WaitForNextFrame();
      continue;
    }
    frameRefused = false;
    if (Render() != kOk) {
      LogError(KLX_TEXT("Неудачен рендеринг."));
      return kFailed;
    }
    DrawOverlay();
    renderer->EndFrame();
    WaitForNextFrame();
  }
  return kOk;
}

void SaverApplication::LogMinute(const Renderer& renderer) {
  // One line a minute: the frame rate over it and the device's copies, so
  // that a long run shows whether either drifts.
  ++minuteFrames_;
  if (totalTime_ - minuteStart_ < 60.0) return;
  ++minutes_;
  LogInfo(KLX_TEXT("Минута %d: %.1f кадров в секунду, объектов устройства %d."), minutes_,
          minuteFrames_ / (totalTime_ - minuteStart_), static_cast<int>(renderer.GetDeviceObjectCount()));
  minuteStart_ = totalTime_;
  minuteFrames_ = 0;
}

void SaverApplication::WaitForNextFrame() {
  const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  const double wait = framePacer_.WaitAfterFrame(now);
  if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
}

void SaverApplication::OnInputEvent(const InputEvent& event) {
  if (hosted_) {
    // The host watches input and ends the run itself.
  } else if (event.device == kInputKeyboard && event.action == kInputPress) {
    running_ = false;
  } else if (event.device == kInputMouse && event.action == kInputPress) {
    running_ = false;
  } else if (event.device == kInputMouse && event.action == kInputMove) {
    if (settings_.exitOnMouseMove && --g_mouseMoveAllowance < 0) running_ = false;
  } else if (event.device == kInputSystem && event.action == kInputWindowClosed && event.code == 0) {
    running_ = false;
  }
  AfterInputEvent(event);
}

int SaverApplication::Shutdown() {
  if (IsFullScreenMode(mode_)) {
    if (ReleaseSaverData() != kOk) {
      LogError(KLX_TEXT("Невозможно удалить данные скринсейвера."));
      return kFailed;
    }
    bool released = true;
    if (ReleaseRenderData() != kOk) {
      LogError(KLX_TEXT("Невозможно удалить данные визуализации дочернего сейвера."));
      released = false;
    } else if (ReleaseOverlayRenderData() != kOk) {
      released = false;
    }
    if (!released) {
      LogError(KLX_TEXT("Невозможно удалить данные визуализации."));
      return kFailed;
    }
  }
  if (DestroyWindows() != kOk) {
    LogError(KLX_TEXT("Невозможно удалить окна скринсейвера."));
  } else {
    LogInfo(KLX_TEXT("Окна скринсейвера удалены."));
  }
  if (StopEngine() != kOk) {
    LogError(KLX_TEXT("Невозможно завершить работу скринсейвера."));
    return kFailed;
  }
  LogInfo(KLX_TEXT("Скринсейвер завершил работу."));
  // A host waits for its hack to end before it starts the next one in the
  // same window: a hosted run leaves at once.
  if (!hosted_) SDL_Delay(shutdownPauseMs_);
  return kOk;
}

}  // namespace klx
