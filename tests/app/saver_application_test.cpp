// The saver application: the stop rules, frame timing, the settings and
// local strings from the resources and the per-user store, the modes that
// start nothing or fail to find a renderer, and the frame loop over the
// stand-in renderer on the offscreen video driver.

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "app/frame_timer.h"
#include "app/saver_entry.h"
#include "app/scene_saver.h"
#include "app/settings_dialog.h"
#include "assets/scene_codec.h"
#include "scene/scene_node.h"
#include "vfs/file_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"
#include "app/settings_store.h"
#include "sound/sound_manager.h"
#include "platform/key_table.h"
#include "platform/resources.h"
#include "render/renderer.h"
#include "support/image_test_support.h"
#include "support/log_capture.h"
#include "support/recording_saver.h"
#include "support/test_renderer.h"

namespace klx {
namespace {

using test::RecordingSaver;
using test::Text;

// Points the user's folders at a scratch folder for one test.
class UserFolders {
 public:
  UserFolders() {
    setenv("XDG_CONFIG_HOME", (scratch_.path() + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (scratch_.path() + "/data").c_str(), 1);
  }
  ~UserFolders() {
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
  }
  // The store file for the test resource's registry path.
  std::string StoreFile() const { return scratch_.path() + "/config/KLX Tests/Saver/settings"; }

 private:
  test::ScratchFolder scratch_;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// -- stop rules --------------------------------------------------------------

TEST(StopRules, AnyKeyOrButtonOrClosedWindowStops) {
  const InputEvent stoppers[] = {
      {kInputKeyboard, kInputPress, kKeyUnknown, 0},
      {kInputKeyboard, kInputPress, kKeyEscape, 0},
      {kInputMouse, kInputPress, kMouseLeft, 0},
      {kInputMouse, kInputPress, kMouseMiddle, 0},
      {kInputSystem, kInputWindowClosed, 0, 0},
  };
  for (const InputEvent& event : stoppers) {
    Ref<RecordingSaver> saver(new RecordingSaver());
    saver->GetSettings().exitOnMouseMove = false;
    saver->SetRunning(true);
    saver->OnInputEvent(event);
    EXPECT_FALSE(saver->IsRunning()) << event.device << "/" << event.action;
    ASSERT_EQ(saver->events.size(), 1u);  // the hook follows every event
  }
  const InputEvent ignored[] = {
      {kInputKeyboard, kInputRelease, kKeyQ, 0},
      {kInputMouse, kInputRelease, kMouseRight, 0},
      {kInputSystem, kInputWindowClosed, 1, 0},
      {7, 1, 0, 0},
  };
  for (const InputEvent& event : ignored) {
    Ref<RecordingSaver> saver(new RecordingSaver());
    saver->SetRunning(true);
    saver->OnInputEvent(event);
    EXPECT_TRUE(saver->IsRunning()) << event.device << "/" << event.action;
    EXPECT_EQ(saver->events.size(), 1u);
  }
}

TEST(StopRules, TheEleventhMouseMoveStopsOnlyWhenAllowed) {
  SaverApplication::SetMouseMoveAllowance(10);
  Ref<RecordingSaver> saver(new RecordingSaver());
  saver->GetSettings().exitOnMouseMove = false;
  saver->SetRunning(true);
  for (int i = 0; i < 50; ++i) saver->OnInputEvent(InputEvent{kInputMouse, kInputMove, i, i});
  EXPECT_TRUE(saver->IsRunning());
  EXPECT_EQ(SaverApplication::GetMouseMoveAllowance(), 10);  // untouched while off

  saver->GetSettings().exitOnMouseMove = true;
  for (int i = 0; i < 10; ++i) saver->OnInputEvent(InputEvent{kInputMouse, kInputMove, 640, 480});
  EXPECT_TRUE(saver->IsRunning());
  saver->OnInputEvent(InputEvent{kInputMouse, kInputMove, 640, 480});
  EXPECT_FALSE(saver->IsRunning());

  // The allowance belongs to the process: a later application has none left.
  Ref<RecordingSaver> later(new RecordingSaver());
  later->GetSettings().exitOnMouseMove = true;
  later->SetRunning(true);
  later->OnInputEvent(InputEvent{kInputMouse, kInputMove, 1, 1});
  EXPECT_FALSE(later->IsRunning());
  SaverApplication::SetMouseMoveAllowance(10);
}

// -- frame timing ------------------------------------------------------------

uint64_t g_fakeNow = 0;
uint64_t FakeClock() { return g_fakeNow; }

TEST(FrameTiming, DeltaResetAndRate) {
  g_fakeNow = 1000;
  FrameTimer timer(&FakeClock);
  g_fakeNow = 1016;
  EXPECT_DOUBLE_EQ(timer.Delta(), 0.016);
  EXPECT_DOUBLE_EQ(timer.Delta(), 0.0);
  g_fakeNow = 5000;
  timer.Reset();
  g_fakeNow = 5040;
  EXPECT_DOUBLE_EQ(timer.Delta(), 0.04);

  g_fakeNow = 0;
  FpsCounter fps(&FakeClock);
  for (int i = 0; i < 100; ++i) {  // 100 frames of 20 ms: 2 seconds at 50 per second
    g_fakeNow += 20;
    fps.Tick();
  }
  EXPECT_NEAR(fps.GetRate(), 50.0, 0.5);
  EXPECT_EQ(FpsCounter(&FakeClock).GetRate(), 0.0);  // no rate before a second has passed
}

// -- settings and local strings ----------------------------------------------

TEST(SaverSettingsResources, DefaultsFromTheResourceAndTheHooks) {
  test::ScopedLogCapture log;
  Ref<RecordingSaver> saver(new RecordingSaver());
  ASSERT_EQ(saver->LoadDefaults(), kOk);
  EXPECT_TRUE(log->Has(kLogInfo, Text("Ресурс настроек загружен.")));
  const DefaultSettings& defaults = saver->GetDefaults();
  EXPECT_EQ(defaults.volume, 50);
  EXPECT_EQ(defaults.width, 800);  // "Width=1024" has no " = ": ignored
  EXPECT_TRUE(defaults.showFps);
  EXPECT_FALSE(defaults.hour24);
  EXPECT_EQ(defaults.gamma, -20);
  EXPECT_EQ(defaults.registryPath, "Software\\KLX Tests\\Saver");
  EXPECT_EQ(defaults.webSiteUrl, "https://example.org/saver");
  // Effective settings change only when the defaults are applied.
  EXPECT_EQ(saver->GetSettings().volume, 80);
  ASSERT_EQ(saver->ApplyDefaults(), kOk);
  EXPECT_EQ(saver->GetSettings().volume, 50);
  EXPECT_EQ(saver->calls, (std::vector<std::string>{"AfterSettingsApplied"}));

  // A line the extra parser refuses ends the load with the whole line named.
  Ref<RecordingSaver> refusing(new RecordingSaver());
  refusing->failHook = "ParseExtraDefaults";
  EXPECT_EQ(refusing->LoadDefaults(), kFailed);
  EXPECT_TRUE(log->Has(kLogError, Text("Неудачна обработка параметра [Fail = 1].")));
  refusing->failHook = "AfterSettingsApplied";
  EXPECT_NE(refusing->ApplyDefaults(), kOk);
}

TEST(SaverSettingsResources, LocalStringsFirstKeyWinsAndTheLogLines) {
  test::ScopedLogCapture log;
  Ref<RecordingSaver> saver(new RecordingSaver());
  ASSERT_EQ(saver->LoadLocalStrings(), kOk);
  EXPECT_TRUE(log->Has(kLogInfo, Text("Ресурс локальных данных загружен.")));
  ASSERT_NE(saver->GetLocalString(String("AppName")), nullptr);
  EXPECT_STREQ(saver->GetLocalString(String("AppName"))->CStr(), "Test Saver");
  EXPECT_STREQ(saver->GetLocalString(String("Greeting"))->CStr(), "first");
  EXPECT_EQ(saver->GetLocalString(String("Missing")), nullptr);

  saver->GetSettings().showFps = true;
  saver->GetSettings().gamma = -7;
  ASSERT_EQ(saver->LogSettings(), kOk);
  EXPECT_TRUE(log->Has(kLogInfo, "ShowFPS: true"));
  EXPECT_TRUE(log->Has(kLogInfo, "Hour24: true"));
  EXPECT_TRUE(log->Has(kLogInfo, "Gamma: -7"));
  EXPECT_TRUE(log->Has(kLogInfo, "ColorDepth: 32"));
  EXPECT_EQ(saver->calls.back(), "AfterSettingsLogged");
}

TEST(SaverSettingsResources, FirstRunWritesDefaultsLaterRunsReadTheStore) {
  UserFolders folders;
  test::ScopedLogCapture log;
  {
    Ref<RecordingSaver> first(new RecordingSaver());
    ASSERT_EQ(first->LoadDefaults(), kOk);
    ASSERT_EQ(first->ApplyDefaults(), kOk);
    ASSERT_EQ(first->ReadRegistrySettings(), kOk);
  }
  EXPECT_TRUE(log->Has(kLogInfo, Text("Первый запуск скринсейвера. Запись параметров по-умолчанию в реестр...")));
  EXPECT_TRUE(log->Has(kLogInfo, Text("Значения параметров по-умолчанию записаны в реестр.")));
  const std::string stored = ReadText(folders.StoreFile());
  EXPECT_NE(stored.find("Volume=50\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("Gamma=-20\n"), std::string::npos) << stored;

  // The user edits the store: a changed value wins, a deleted one keeps the
  // resource default, junk is ignored.
  std::map<std::string, int32_t> values = SettingsStore::ParseStoreText(stored);
  values["Volume"] = 17;
  values.erase("Gamma");
  {
    std::ofstream out(folders.StoreFile(), std::ios::trunc);
    for (const auto& [name, value] : values) out << name << '=' << value << '\n';
    out << "garbage line\nWidth=12abc\n\xff\xfe=3\n";
  }
  log->lines.clear();
  Ref<RecordingSaver> later(new RecordingSaver());
  ASSERT_EQ(later->LoadDefaults(), kOk);
  ASSERT_EQ(later->ApplyDefaults(), kOk);
  ASSERT_EQ(later->ReadRegistrySettings(), kOk);
  EXPECT_EQ(later->GetSettings().volume, 17);
  EXPECT_EQ(later->GetSettings().gamma, -20);
  EXPECT_EQ(later->GetSettings().width, 800);
  EXPECT_FALSE(log->Has(kLogInfo, Text("Значения параметров по-умолчанию записаны в реестр.")));

  // A file of random bytes neither crashes nor changes anything.
  {
    std::ofstream out(folders.StoreFile(), std::ios::binary | std::ios::trunc);
    for (int i = 0; i < 4096; ++i) out.put(static_cast<char>((i * 7919) & 0xFF));
  }
  Ref<RecordingSaver> damaged(new RecordingSaver());
  ASSERT_EQ(damaged->LoadDefaults(), kOk);
  ASSERT_EQ(damaged->ApplyDefaults(), kOk);
  ASSERT_EQ(damaged->ReadRegistrySettings(), kOk);
  EXPECT_EQ(damaged->GetSettings().volume, 50);
}

TEST(SaverSettingsResources, AStoreThatCannotBeWrittenFailsTheFirstRun) {
  test::ScratchFolder scratch;
  // The configuration home is a file, so no folder can be made below it.
  const std::string blocker = scratch.File("not-a-folder");
  std::ofstream(blocker) << "x";
  setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
  test::ScopedLogCapture log;
  Ref<RecordingSaver> saver(new RecordingSaver());
  ASSERT_EQ(saver->LoadDefaults(), kOk);
  EXPECT_EQ(saver->ReadRegistrySettings(), kFailed);
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_TRUE(log->Has(kLogError, Text("Неудачна попытка открытия пути реестра [Software\\KLX Tests\\Saver].")));
  EXPECT_TRUE(log->Has(kLogError, Text("Невозможно записать в реестр значения по-умолчанию.")));
}

TEST(SaverResources, AMissingResourceIsNamed) {
  test::ScopedLogCapture log;
  std::vector<uint8_t> bytes{1, 2, 3};
  EXPECT_EQ(LoadResourceCopy(4711, &bytes), kFailed);
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(log->Has(kLogError, Text("Невозможно загрузить ресурс ID[4711].")));
  ASSERT_EQ(LoadResourceCopy(239, &bytes), kOk);
  EXPECT_FALSE(bytes.empty());
}

// -- whole runs --------------------------------------------------------------

TEST(SaverRun, PasswordModeStartsNothingAndSucceeds) {
  UserFolders folders;
  test::ScopedLogCapture log;
  Ref<RecordingSaver> saver(new RecordingSaver());
  saver->SetCommandLine("klx-saver /a 1234");
  saver->SetShutdownPause(0);
  ASSERT_EQ(saver->Initialize(), kOk);
  EXPECT_EQ(saver->GetMode(), kSaverModePassword);
  EXPECT_EQ(saver->GetParentWindow(), 1234u);
  EXPECT_EQ(saver->Run(), kOk);
  EXPECT_EQ(saver->Shutdown(), kOk);
  for (const char* line : {"Режим скринсейвера 4.", "Значения параметров по-умолчанию загружены.",
                           "Значения параметров прочитаны из реестра.", "Значения локальных данных загружены.",
                           "Скринсейвер инициализирован.", "Окна скринсейвера созданы.",
                           "Окна скринсейвера удалены.", "Скринсейвер завершил работу."}) {
    EXPECT_TRUE(log->Has(kLogInfo, Text(line))) << line;
  }
  EXPECT_FALSE(log->Has(kLogInfo, Text("Инициализация менеджера ввода.")));  // no engine
  EXPECT_EQ(saver->calls, (std::vector<std::string>{"AfterSettingsApplied", "AfterSettingsLogged",
                                                    "AfterEngineStart", "BeforeEngineStop"}));
}

TEST(SaverRun, WithoutARendererEveryModeLogsTheChainAndShutsDown) {
  UserFolders folders;
  for (const char* commandLine : {"klx-saver /s", "klx-saver /c", "klx-saver /p 77"}) {
    test::ScopedLogCapture log;
    Ref<RecordingSaver> saver(new RecordingSaver());
    saver->SetCommandLine(commandLine);
    saver->SetRendererModuleName(String("NoSuchRenderer"));
    saver->SetShutdownPause(0);
    EXPECT_EQ(saver->Initialize(), kFailed) << commandLine;
    EXPECT_EQ(saver->Shutdown(), kOk) << commandLine;
    for (const char* line : {"Невозможно загрузить библиотеку рендерера [NoSuchRenderer].",
                             "Невозможно создать рендерер DirectX.",
                             "Невозможно инициализировать скринсейвер."}) {
      EXPECT_TRUE(log->Has(kLogError, Text(line))) << commandLine << ": " << line;
    }
    EXPECT_TRUE(log->Has(kLogInfo, Text("Скринсейвер завершил работу.")));
    EXPECT_EQ(GetRenderer(), nullptr);
  }
}

// The frame loop on the offscreen video driver: the stand-in renderer opens
// a real (invisible) window, and a key pressed through the host's event
// queue ends the loop.
class OffscreenVideo {
 public:
  OffscreenVideo() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    saved_ = driver != nullptr ? driver : "";
    hadDriver_ = driver != nullptr;
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
  }
  ~OffscreenVideo() {
    if (hadDriver_) {
      setenv("SDL_VIDEODRIVER", saved_.c_str(), 1);
    } else {
      unsetenv("SDL_VIDEODRIVER");
    }
  }

 private:
  std::string saved_;
  bool hadDriver_ = false;
};

void PushKey(SDL_Scancode scancode) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.keysym.scancode = scancode;
  event.key.state = SDL_PRESSED;
  SDL_PushEvent(&event);
}

// A recording saver for the command line that draws through the stand-in
// renderer and ends without the shutdown pause.
Ref<RecordingSaver> StandInSaver(const char* commandLine) {
  Ref<RecordingSaver> saver(new RecordingSaver());
  saver->SetCommandLine(commandLine);
  saver->SetRendererModuleName(String("TestRenderer"));
  saver->SetShutdownPause(0);
  return saver;
}

TEST(SaverRun, FrameLoopRunsUntilAKeyArrives) {
  UserFolders folders;
  OffscreenVideo video;
  test::ScopedLogCapture log;
  Ref<RecordingSaver> saver = StandInSaver("klx-saver /s");
  test::TestRenderer::onPresent = [](test::TestRenderer& renderer) {
    if (renderer.presents == 5) PushKey(SDL_SCANCODE_F10);
  };
  test::TestRenderer::lostFrames = 3;  // a lost device skips frames; the loop goes on
  ASSERT_EQ(saver->Initialize(), kOk);
  ASSERT_NE(test::TestRenderer::current, nullptr);
  test::TestRenderer& renderer = *test::TestRenderer::current;
  EXPECT_EQ(renderer.devicesCreated, 1);
  EXPECT_EQ(renderer.gamma, -20);
  EXPECT_TRUE(saver->IsRunning());
  EXPECT_EQ(saver->Run(), kOk);
  test::TestRenderer::onPresent = nullptr;

  // Three lost frames: the loading screen's (logged, and the start goes
  // on) and the loop's first two; then five presented. The key arrives with
  // the eighth loop frame's input, that frame still completes, and the loop
  // ends at its next test.
  EXPECT_EQ(renderer.presents, 6);
  EXPECT_EQ(renderer.scenesBegun, 9);
  EXPECT_EQ(renderer.clears, 9);
  EXPECT_EQ(renderer.lastClearFlags, kClearTarget | kClearDepth);
  EXPECT_EQ(renderer.GetClearColor(), (Color{0, 0, 0, 1}));
  EXPECT_EQ(saver->updates, 8);
  EXPECT_EQ(log->Count(kLogError, Text("Невозможно вывести загрузочный экран.")), 1);
  // Once for the loading screen, once for the loop's run of lost frames.
  EXPECT_EQ(log->Count(kLogError, Text("Неудачно начало рендеринга.")), 2);
  ASSERT_FALSE(saver->events.empty());
  EXPECT_EQ(saver->events.back(), (InputEvent{kInputKeyboard, kInputPress, 59, 0}));  // F10
  EXPECT_GE(saver->GetTotalTime(), 0.0);

  // Sound started with the engine and again with the window (the second
  // start keeps the open device, or fails the same way without one); the
  // master volume is the settings' Volume, music and SFX being on.
  const AudioFunctions* audio = SoundManager::Audio();
  ASSERT_NE(audio, nullptr);
  const char* device = audio->GetDeviceDescription(audio->GetDevice());
  const int started = log->Count(kLogInfo, Text("Звук инициализирован. Устройство [%d] [%s]", 1, device ? device : ""));
  EXPECT_TRUE(started == 2 || log->Count(kLogError, Text("Невозможно инициализировать звук. Причина [%d]. Устройство [%s]",
                                                         BASS_ERROR_DRIVER, device ? device : "")) == 2);
  EXPECT_EQ(audio->GetConfig(BASS_CONFIG_GVOL_STREAM), 50u);

  EXPECT_EQ(saver->Shutdown(), kOk);
  EXPECT_EQ(GetRenderer(), nullptr);
  EXPECT_EQ(test::TestRenderer::current, nullptr);
  EXPECT_EQ(saver->calls,
            (std::vector<std::string>{"AfterSettingsApplied", "AfterSettingsLogged", "AfterEngineStart",
                                      "CreateRenderData", "CreateSaverData", "CacheSaverData",
                                      "ReleaseSaverData", "ReleaseRenderData", "BeforeEngineStop"}));
  for (const char* line : {"Скринсейвер инициализирован.", "Окна скринсейвера созданы.",
                           "Скринсейвер завершил работу."}) {
    EXPECT_TRUE(log->Has(kLogInfo, Text(line))) << line;
  }
}

// Presents that return at once (a driver that ignores the swap interval):
// the loop still keeps to the display's refresh, 60 Hz when unknown.
TEST(SaverRun, TheFrameLoopKeepsToTheRefreshPeriodWhenPresentsDoNotWait) {
  UserFolders folders;
  OffscreenVideo video;
  test::ScopedLogCapture log;
  Ref<RecordingSaver> saver = StandInSaver("klx-saver /s");
  static std::chrono::steady_clock::time_point first, last;
  test::TestRenderer::onPresent = [](test::TestRenderer& renderer) {
    // The loading screen is present 1; the loop's first frame, 2, starts
    // the schedule.
    if (renderer.presents == 3) first = std::chrono::steady_clock::now();
    if (renderer.presents == 33) {
      last = std::chrono::steady_clock::now();
      PushKey(SDL_SCANCODE_F10);
    }
  };
  ASSERT_EQ(saver->Initialize(), kOk);
  EXPECT_EQ(saver->Run(), kOk);
  test::TestRenderer::onPresent = nullptr;
  // Thirty periods of 1/60 s less the 2 % margin: 0.49 s, not a few
  // milliseconds; and not so slow that a frame was lost either.
  const double seconds = std::chrono::duration<double>(last - first).count();
  EXPECT_GE(seconds, 30 * 0.98 / 60 - 0.002);
  EXPECT_LT(seconds, 1.0);
  EXPECT_TRUE(log->Has(kLogInfo, Text("Период кадра не менее %.2f мс.", 0.98 / 60 * 1000)));
  EXPECT_EQ(saver->Shutdown(), kOk);
}

TEST(SaverRun, AFailingUpdateEndsTheLoopAndAFailingReleaseStopsShutdown) {
  UserFolders folders;
  OffscreenVideo video;
  test::ScopedLogCapture log;
  Ref<RecordingSaver> saver = StandInSaver("klx-saver /t");
  ASSERT_EQ(saver->Initialize(), kOk);
  EXPECT_EQ(saver->GetMode(), kSaverModeTest);
  saver->failHook = "Update";
  EXPECT_EQ(saver->Run(), kFailed);
  EXPECT_TRUE(log->Has(kLogError, Text("Неудачно обновление сцены.")));
  saver->failHook = "ReleaseRenderData";
  EXPECT_EQ(saver->Shutdown(), kFailed);
  EXPECT_TRUE(log->Has(kLogError, Text("Невозможно удалить данные визуализации дочернего сейвера.")));
  EXPECT_TRUE(log->Has(kLogError, Text("Невозможно удалить данные визуализации.")));
  // The engine is still up, as the shut-down stopped early: finish it here.
  saver->failHook.clear();
  EXPECT_EQ(saver->Shutdown(), kOk);
}

// The configuration mode hands the dialog to the registered runner with the
// host's window, and succeeds unless no dialog could be shown.
class StandInDialogs : public SettingsDialogRunner {
 public:
  int RunSettingsDialog(SaverApplication&, uint64_t parent) override {
    parents.push_back(parent);
    return result;
  }
  int result = 1;
  std::vector<uint64_t> parents;
};

TEST(SaverRun, TheConfigurationModeRunsTheDialogAndFailsOnlyWithoutOne) {
  UserFolders folders;
  OffscreenVideo video;
  StandInDialogs dialogs;
  for (const char* commandLine : {"klx-saver /c 4242", "klx-saver /c"}) {
    for (int result : {0, 1, 2}) {
      test::ScopedLogCapture log;
      Ref<RecordingSaver> saver = StandInSaver(commandLine);
      ASSERT_EQ(saver->Initialize(), kOk);
      dialogs.result = result;
      SetSettingsDialogRunner(&dialogs);
      EXPECT_EQ(saver->Run(), result == 0 ? kFailed : kOk) << commandLine << " " << result;
      SetSettingsDialogRunner(nullptr);
      // Without a runner, the run says so and fails.
      EXPECT_EQ(saver->Run(), kFailed);
      EXPECT_TRUE(log->Has(kLogError, Text("Диалог настроек в этой версии отсутствует.")));
      EXPECT_EQ(saver->Shutdown(), kOk);
    }
  }
  EXPECT_EQ(dialogs.parents, (std::vector<uint64_t>{4242, 4242, 4242, 0, 0, 0}));
}

// -- the scene saver through the program's phases --------------------------

// A scene saver whose "Main.STR" is taken away or replaced once the media
// archive is mounted, before the scene is looked for.
class MediaSwappingSaver : public SceneSaver {
 public:
  enum class Swap { kNone, kRemove, kDamage, kSetless };
  explicit MediaSwappingSaver(Swap swap) : swap_(swap) {
    SetRendererModuleName(String("TestRenderer"));
    SetShutdownPause(0);
    SetCachePause(0);
  }
  int AfterEngineStart() override {
    if (SceneSaver::AfterEngineStart() != kOk) return kFailed;
    if (swap_ == Swap::kNone) return kOk;
    VirtualFile* original = FileManager::FindFile(String("Main.STR"));
    if (original == nullptr || original->GetParent() == nullptr) return kFailed;
    VirtualDirectory* directory = original->GetParent();
    if (directory->RemoveFile(original) != kOk) return kFailed;
    delete original;
    std::vector<uint8_t> bytes;
    if (swap_ == Swap::kDamage) {
      bytes.assign(64, 0xA5);
    } else if (swap_ == Swap::kSetless) {
      bytes = SetlessScene();
      if (bytes.empty()) return kFailed;
    } else {
      return kOk;
    }
    auto* content = new uint8_t[bytes.size()];
    std::memcpy(content, bytes.data(), bytes.size());
    auto* file = new MemoryFile(String("Main.STR"));
    file->SetContent(content, static_cast<int32_t>(bytes.size()));
    return directory->AddFile(file);
  }

 private:
  // A plain node stored as a scene file: it loads, and has no camera sets.
  static std::vector<uint8_t> SetlessScene() {
    Ref<SceneNode> plain(new SceneNode(String("plain")));
    test::ScratchFolder scratch;
    const std::string path = scratch.path() + "/Main.STR";
    {
      VirtualFile saved{String(path.c_str())};
      if (SaveScene(&saved, plain.Get()) != kOk) return {};
    }
    const std::string text = ReadText(path);
    return std::vector<uint8_t>(text.begin(), text.end());
  }

  Swap swap_;
};

TEST(SceneSaverRun, AMissingDamagedOrSetlessSceneEndsTheRunNormally) {
  using Swap = MediaSwappingSaver::Swap;
  UserFolders folders;
  OffscreenVideo video;
  const std::pair<Swap, const char*> cases[] = {
      {Swap::kRemove, "Невозможно найти файл данных скринсейвера."},
      {Swap::kDamage, "Невозможно загрузить данные скринсейвера из файла."},
      {Swap::kSetless, "В сцене нет контроллера скринсейвера."},
  };
  for (const auto& [swap, reason] : cases) {
    test::ScopedLogCapture log;
    Ref<MediaSwappingSaver> saver(new MediaSwappingSaver(swap));
    saver->SetCommandLine("klx-saver /s");
    RunSaverPhases(*saver);
    // The reason, then the chain up to the program, and a normal shutdown;
    // no frame was run.
    std::vector<std::string> errors;
    for (const test::LoggedLine& line : log->lines) {
      if (line.level == kLogError) errors.push_back(line.text);
    }
    const std::vector<std::string> expected{
        Text(reason), Text("Невозможно создать данные скринсейвера."), Text("Невозможно создать скринсейвер.")};
    // The stand-in renderer loses the loading screen's frame; that line
    // comes before the chain.
    ASSERT_GE(errors.size(), expected.size()) << reason;
    EXPECT_EQ(std::vector<std::string>(errors.end() - expected.size(), errors.end()), expected) << reason;
    EXPECT_FALSE(log->Has(kLogInfo, Text("Сейвер создан."))) << reason;
    EXPECT_TRUE(log->Has(kLogInfo, Text("Скринсейвер завершил работу."))) << reason;
    EXPECT_EQ(GetRenderer(), nullptr) << reason;
  }
}

// One of the program's archives replaced for a test, as a damaged or
// emptied executable would carry it; the real one is found again after.
class ShadowedArchive {
 public:
  ShadowedArchive(int32_t identifier, std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    entry_ = {"MEDIADATA", identifier, kResourceNeutral, bytes_.data(), bytes_.data() + bytes_.size()};
    RegisterResources(&entry_, 1);
  }
  ~ShadowedArchive() { UnregisterResources(&entry_, 1); }
  ShadowedArchive(const ShadowedArchive&) = delete;
  ShadowedArchive& operator=(const ShadowedArchive&) = delete;

 private:
  std::vector<uint8_t> bytes_;
  ResourceEntry entry_{};
};

std::vector<uint8_t> ResourceBytes(int32_t identifier) {
  const uint8_t* bytes = nullptr;
  int32_t size = 0;
  if (!FindResource("MEDIADATA", identifier, &bytes, &size)) return {};
  return std::vector<uint8_t>(bytes, bytes + size);
}

// The media archive with one byte of the scene file's packed data changed:
// the archive mounts, and the scene fails its check when it is read.
std::vector<uint8_t> MediaWithADamagedScene() {
  std::vector<uint8_t> bytes = ResourceBytes(227);
  const std::string name = "Main.STR";
  const auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
  if (at == bytes.end()) return {};
  const size_t inData = static_cast<size_t>(at - bytes.begin()) + name.size() + 200;
  if (inData >= bytes.size()) return {};
  bytes[inData] ^= 0x5A;
  return bytes;
}

// An archive that is not one mounts as an empty folder; an empty resource
// cannot be mounted at all. Either way the run ends with its chain of
// errors and a normal shutdown, or plays on without what it lost.
TEST(SceneSaverRun, ADamagedOrEmptyArchiveEndsTheRunWithItsChainOrPlaysWithout) {
  UserFolders folders;
  OffscreenVideo video;
  const std::vector<uint8_t> garbage(4096, 0xA5);
  const std::vector<uint8_t> damagedScene = MediaWithADamagedScene();
  ASSERT_FALSE(damagedScene.empty());
  const std::vector<const char*> noScene{"Невозможно найти файл данных скринсейвера.",
                                         "Невозможно создать данные скринсейвера.", "Невозможно создать скринсейвер."};
  struct Case {
    const char* what;
    int32_t identifier;
    std::vector<uint8_t> bytes;
    std::vector<const char*> chain;  // the last error lines, in order; none: the scene plays
  };
  const Case cases[] = {
      {"damaged Media", 227, garbage, noScene},
      {"damaged Main.STR in Media", 227, damagedScene,
       {"Неудачна загрузка сцены из файла [Media.rar2/Main.STR].", "Невозможно загрузить данные скринсейвера из файла.",
        "Невозможно создать данные скринсейвера.", "Невозможно создать скринсейвер."}},
      {"empty Media", 227, {},
       {"Невозможно загрузить директорию из архива [Media.rar2].", "Невозможно подсоединить директорию Media.",
        "Невозможно инициализировать скринсейвер.", "Невозможно создать скринсейвер."}},
      {"empty CustomData", 134, {},
       {"Невозможно загрузить директорию из архива [CustomData.rar2].",
        "Невозможно подсоединить директорию CustomData.", "Невозможно инициализировать скринсейвер.",
        "Невозможно создать скринсейвер."}},
      {"damaged CustomData", 134, garbage, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShadowedArchive archive(c.identifier, c.bytes);
    test::ScopedLogCapture log;
    Ref<MediaSwappingSaver> saver(new MediaSwappingSaver(MediaSwappingSaver::Swap::kNone));
    saver->SetCommandLine("klx-saver /s");
    int presents = 0;
    test::TestRenderer::onPresent = [&presents](test::TestRenderer&) {
      if (++presents == 10) PushKey(SDL_SCANCODE_ESCAPE);
    };
    const bool played = RunSaverPhases(*saver);
    test::TestRenderer::onPresent = nullptr;
    std::vector<std::string> errors;
    for (const test::LoggedLine& line : log->lines) {
      if (line.level == kLogError) errors.push_back(line.text);
    }
    std::vector<std::string> expected;
    for (const char* line : c.chain) expected.push_back(Text(line));
    if (expected.empty()) {
      EXPECT_TRUE(played);
      EXPECT_GE(presents, 10);
      EXPECT_TRUE(log->Has(kLogInfo, Text("Работа скринсейвера завершена корректно.")));
      EXPECT_TRUE(log->Has(kLogWarning, Text("Невозможно найти файл [digit_0.tga].")));
    } else {
      EXPECT_FALSE(played);
      ASSERT_GE(errors.size(), expected.size());
      EXPECT_EQ(std::vector<std::string>(errors.end() - expected.size(), errors.end()), expected);
    }
    EXPECT_TRUE(log->Has(kLogInfo, Text("Скринсейвер завершил работу.")));
    EXPECT_EQ(GetRenderer(), nullptr);
    EXPECT_EQ(FileManager::GetRoot(), nullptr);  // the engine stopped
  }
}

TEST(SceneSaverRun, TheDemoPlaysFramesUntilAKey) {
  UserFolders folders;
  OffscreenVideo video;
  test::ScopedLogCapture log;
  Ref<MediaSwappingSaver> saver(new MediaSwappingSaver(MediaSwappingSaver::Swap::kNone));
  saver->SetCommandLine("klx-saver /s");
  int presents = 0;
  test::TestRenderer::onPresent = [&presents](test::TestRenderer&) {
    if (++presents == 30) PushKey(SDL_SCANCODE_ESCAPE);
  };
  RunSaverPhases(*saver);
  test::TestRenderer::onPresent = nullptr;
  EXPECT_GE(presents, 30);
  EXPECT_TRUE(log->Has(kLogInfo, Text("Сейвер создан.")));
  EXPECT_TRUE(log->Has(kLogInfo, Text("Кеширование закончено.")));
  EXPECT_TRUE(log->Has(kLogInfo, Text("Работа скринсейвера завершена корректно.")));
  EXPECT_TRUE(log->Has(kLogInfo, Text("Скринсейвер завершил работу.")));
  // No error but a missing sound device's.
  const std::string noSound = Text("Невозможно инициализировать звук.");
  for (const test::LoggedLine& line : log->lines) {
    if (line.level == kLogError && line.text.rfind(noSound, 0) != 0) ADD_FAILURE() << line.text;
  }
  EXPECT_EQ(saver->GetRoot(), nullptr);  // released with the run
}

}  // namespace
}  // namespace klx
