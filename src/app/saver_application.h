#pragma once
// The screensaver application: chooses the mode from the command line,
// loads and applies the settings, starts the engine with what the mode
// needs, opens the windows, runs the frame loop until user input stops it,
// and shuts everything down again. Concrete savers supply the scene through
// the hooks; the process holds exactly one application.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/frame_pacer.h"
#include "app/frame_timer.h"
#include "app/host_options.h"
#include "app/overlay.h"
#include "app/saver_mode.h"
#include "app/saver_settings.h"
#include "app/settings_dialog.h"
#include "core/name_table.h"
#include "platform/input_manager.h"

namespace klx {

class Renderer;
struct SystemWindow;

class SaverApplication : public InputHandler {
 public:
  SaverApplication();
  ~SaverApplication() override;
  SaverApplication(const SaverApplication&) = delete;
  SaverApplication& operator=(const SaverApplication&) = delete;

  // The application of the process, or null.
  static SaverApplication* GetInstance();

  // The command line the mode is chosen from (program name first).
  void SetCommandLine(const std::string& commandLine) { commandLine_ = commandLine; }
  // The renderer module the engine start loads ("OpenGL" unless changed;
  // tests and tools load stand-ins).
  void SetRendererModuleName(const String& name) { rendererModuleName_ = name; }
  // The pause at the end of a successful shut-down (1000 ms; tests shorten
  // it).
  void SetShutdownPause(uint32_t milliseconds) { shutdownPauseMs_ = milliseconds; }

  // The three phases: 0 on success, 1 on failure (logged).
  [[nodiscard]] int Initialize();
  [[nodiscard]] int Run();
  int Shutdown();

  // The stop rules of the full-screen modes, then AfterInputEvent.
  void OnInputEvent(const InputEvent& event) override;

  // Hooks, in the order the saver's life calls on them. Results are kOk for
  // success and anything else for failure.
  virtual int AfterInputEvent(const InputEvent& event) = 0;
  virtual int AfterSettingsApplied() = 0;
  virtual int AfterSettingsLogged() = 0;
  virtual int ParseExtraDefaults(std::string_view key, std::string_view value) = 0;
  virtual int ReadExtraRegistryValues(const std::map<std::string, int32_t>& stored) = 0;
  virtual int WriteExtraRegistryValues(std::vector<std::pair<std::string, int32_t>>* values) = 0;
  // The settings dialog: `event` happened to it (the scene saver shows its
  // picture when it opens), and its mode list was filled.
  virtual int SettingsDialogMessage(SettingsDialogView& dialog, SettingsDialogEvent event) = 0;
  virtual void AfterVideoModesListed(SettingsDialogView& dialog) = 0;
  virtual int AfterEngineStart() = 0;
  virtual int BeforeEngineStop() = 0;
  virtual int Update(double deltaSeconds) = 0;
  virtual int Render() = 0;
  virtual int CreateRenderData() = 0;
  virtual int ReleaseRenderData() = 0;
  virtual int CreateSaverData() = 0;
  virtual int ReleaseSaverData() = 0;
  virtual int CacheSaverData() = 0;
  virtual int UpdateSettingsDialog(SettingsDialogView& dialog) = 0;

  // Settings and local strings.
  int LoadDefaults();
  int ApplyDefaults();
  int ReadRegistrySettings();
  int WriteRegistrySettings();
  int LogSettings();
  int LoadLocalStrings();
  // The local string of that key, or null.
  const String* GetLocalString(const String& key) const;

  SaverMode GetMode() const { return mode_; }
  uint64_t GetParentWindow() const { return parentWindow_; }
  // Drawing into a host's window (XScreenSaver's way): the host ends the
  // run, input does not, and the display's gamma stays the host's.
  bool IsHosted() const { return hosted_; }
  // What is wrong with the command line's options (empty when nothing).
  const std::string& GetCommandLineError() const { return hostOptionsError_; }
  bool IsRunning() const { return running_; }
  // Clears the running flag: the loops end at their next test.
  void RequestStop() { running_ = false; }
  // After a stop signal: logs it and leaves the run without playing.
  bool StopBeforePlaying();
  const SaverSettings& GetSettings() const { return settings_; }
  SaverSettings& GetSettings() { return settings_; }
  const DefaultSettings& GetDefaults() const { return defaults_; }
  int32_t GetDisplayWidth() const { return displayWidth_; }
  int32_t GetDisplayHeight() const { return displayHeight_; }
  double GetTotalTime() const { return totalTime_; }
  double GetFrameRate() const { return fpsCounter_.GetRate(); }
  // The overlay's quad, effect and camera (null before the render data is
  // made); the scene saver draws its fade with them.
  Overlay* GetOverlay() const { return overlay_.get(); }

  // Mouse moves ignored before one stops the saver (10 at start, counted for
  // the whole process and never reset; tests set it).
  static int32_t GetMouseMoveAllowance();
  static void SetMouseMoveAllowance(int32_t allowance);

 protected:
  // Sets or clears the running flag (Initialize sets it once all is ready).
  void SetRunning(bool running) { running_ = running; }
  // The overlay of clock and frame rate and the loading screen; creating it
  // ends with CreateRenderData.
  int CreateOverlayRenderData();
  int ReleaseOverlayRenderData();

 private:
  void ChooseMode();
  int StartEngine();
  int StopEngine();
  int CreateWindows();
  int DestroyWindows();
  int RunFrameLoop();
  // In a hosted run: whether the host's window has gone (checked twice a
  // second).
  bool HostWindowGone();
  // Holds the frame loop to the display's refresh (see FramePacer).
  void WaitForNextFrame();
  // Counts a frame; logs the last minute's frame rate once a minute.
  void LogMinute(const Renderer& renderer);
  int RunSettingsDialog();
  int ShowLoadingScreen();
  void DrawOverlay();
  String GetWindowTitle() const;
  String GetPreviewClassName() const;
  // The preview: "preview.bmp" from the resource archive, painted scaled
  // into the host's window whenever it is exposed.
  bool LoadPreviewPicture();
  void PaintPreview();
  int RunPreview();

  std::string commandLine_;
  String rendererModuleName_;
  SaverMode mode_ = kSaverModeConfigure;
  uint64_t parentWindow_ = 0;
  bool hosted_ = false;
  SettingsOverrides overrides_;
  std::string hostOptionsError_;
  DefaultSettings defaults_;
  SaverSettings settings_;
  NameTable<String> localStrings_;
  bool running_ = false;
  bool windowsOpen_ = false;
  int32_t displayWidth_ = 800;
  int32_t displayHeight_ = 600;
  FrameTimer frameTimer_;
  FramePacer framePacer_;
  FpsCounter fpsCounter_;
  double totalTime_ = 0.0;
  double lastHostCheck_ = 0.0;
  double minuteStart_ = 0.0;
  int32_t minuteFrames_ = 0;
  int32_t minutes_ = 0;
  uint32_t shutdownPauseMs_ = 1000;
  SystemWindow* previewWindow_ = nullptr;
  std::unique_ptr<Overlay> overlay_;
  std::vector<uint32_t> previewPixels_;
  int32_t previewWidth_ = 0;
  int32_t previewHeight_ = 0;
};

// Copies the "MEDIADATA" resource of that number into `bytes`: 0, or 1 with
// the error logged and `bytes` emptied.
int LoadResourceCopy(int32_t id, std::vector<uint8_t>* bytes);

}  // namespace klx
