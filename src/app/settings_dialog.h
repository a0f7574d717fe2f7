#pragma once
// The settings dialog as the application sees it: its control numbers, the
// view the saver's hooks may draw into, and the runner that a window-system
// layer above registers to show the dialog.

#include <cstdint>

namespace klx {

class Image;
class SaverApplication;

// The controls of the settings dialog (113) and the about dialog (106) by
// their numbers.
namespace dialog_control {
inline constexpr int32_t kOk = 1;
inline constexpr int32_t kCancel = 2;
inline constexpr int32_t kModeList = 1011;
inline constexpr int32_t kUseDesktop = 11012;
inline constexpr int32_t kVolume = 1020;
inline constexpr int32_t kVolumeLabel = 11023;
inline constexpr int32_t kMusic = 1021;
inline constexpr int32_t kSfx = 11022;
inline constexpr int32_t kShowFps = 1044;
inline constexpr int32_t kExitOnMouseMove = 1045;
inline constexpr int32_t kGamma = 1046;
inline constexpr int32_t kGammaCaption = 11106;
inline constexpr int32_t kGammaLabel = 11118;
inline constexpr int32_t kShowTime = 1119;
inline constexpr int32_t kHour12 = 1111;
inline constexpr int32_t kHour24 = 1112;
inline constexpr int32_t kProducts = 1025;
inline constexpr int32_t kPicture = 1036;
inline constexpr int32_t kVisit = 1061;
inline constexpr int32_t kAbout = 1062;
inline constexpr int32_t kRestoreDefaults = 1063;
inline constexpr int32_t kBoxMode = 1016;
inline constexpr int32_t kBoxSound = 11017;
inline constexpr int32_t kBoxGraphics = 21018;
inline constexpr int32_t kBoxMisc = 11019;
inline constexpr int32_t kBoxProducts = 1022;
inline constexpr int32_t kAboutPicture = 1037;
inline constexpr int32_t kAboutFirstLine = 1040;  // 1040 to 1047
inline constexpr int32_t kAboutLines = 8;
}  // namespace dialog_control

// What happens to the settings dialog that the saver may answer.
enum class SettingsDialogEvent {
  kOpened,   // built and filled, not yet on screen
  kRefreshed,  // the controls were set again from the settings
};

// The dialog on screen, as the saver's hooks reach it.
class SettingsDialogView {
 public:
  virtual ~SettingsDialogView() = default;
  // Shows an 8-bit RGB or RGBA picture (rows bottom first, as images are
  // kept) scaled into the picture frame `control`; false when there is no
  // such frame or the picture cannot be shown.
  virtual bool ShowPicture(int32_t control, const Image& image) = 0;
};

// Shows the settings dialog; a layer above the application registers one.
class SettingsDialogRunner {
 public:
  virtual ~SettingsDialogRunner() = default;
  // Runs the settings dialog of `saver` until it is closed, over the window
  // `parent` (an X11 window id; 0 for none). 1 after OK, 2 after Cancel or
  // closing the window, 0 when no dialog could be shown (logged).
  virtual int RunSettingsDialog(SaverApplication& saver, uint64_t parent) = 0;
};

void SetSettingsDialogRunner(SettingsDialogRunner* runner);
SettingsDialogRunner* GetSettingsDialogRunner();

}  // namespace klx
