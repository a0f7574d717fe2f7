#include "dialogs/gtk_settings_dialog.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <string>

#include "app/saver_application.h"
#include "app/stop_signal.h"
#include "assets/image.h"
#include "core/cp1251.h"
#include "core/log.h"
#include "core/result.h"
#include "platform/resources.h"
#include "render/renderer.h"
#include "vfs/file_manager.h"

namespace klx {

namespace {

// How often the open dialog looks for a stop signal: a quarter second to
// close is quick enough, and an open dialog costs next to no processor time.
constexpr guint kStopCheckMs = 250;

// Every kStopCheckMs while the dialog runs: a stop signal closes it as Cancel.
gboolean CancelOnStopSignal(gpointer dialog) {
  if (!StopRequested()) return G_SOURCE_CONTINUE;
  gtk_dialog_response(GTK_DIALOG(dialog), dialog_control::kCancel);
  return G_SOURCE_CONTINUE;
}

constexpr int32_t kSettingsTemplate = 113;
constexpr int32_t kAboutTemplate = 106;

// Control texts from the local strings, as the template's texts are
// replaced at start.
struct ControlText {
  int32_t control;
  const char* key;
};
constexpr ControlText kSettingsTexts[] = {
    {dialog_control::kOk, "Mes_Button_OK"},
    {dialog_control::kCancel, "Mes_Button_Cancel"},
    {dialog_control::kUseDesktop, "Mes_Settings_UseDesktop"},
    {dialog_control::kBoxMode, "Mes_Settings_Box_Mode"},
    {dialog_control::kBoxSound, "Mes_Settings_Box_Sound"},
    {dialog_control::kBoxGraphics, "Mes_Settings_Box_Graphics"},
    {dialog_control::kBoxProducts, "Mes_Settings_Box_Products"},
    {dialog_control::kBoxMisc, "Mes_Settings_Box_Misc"},
    {1026, "Mes_Settings_Box_Quality"},  // no such control in the template
    {dialog_control::kVolumeLabel, "Mes_Settings_MusicVolume"},
    {dialog_control::kMusic, "Mes_Settings_EnableMusic"},
    {dialog_control::kSfx, "Mes_Settings_EnableSound"},
    {dialog_control::kExitOnMouseMove, "Mes_Settings_ExitOnMouse"},
    {dialog_control::kShowFps, "Mes_Settings_ShowFPS"},
    {dialog_control::kGammaCaption, "Mes_Settings_Gamma"},
    {dialog_control::kShowTime, "Mes_Settings_ShowTime"},
    {dialog_control::kHour24, "Mes_Settings_24h"},
    {dialog_control::kHour12, "Mes_Settings_12h"},
    {dialog_control::kProducts, "Mes_Settings_Products"},
    {dialog_control::kAbout, "Mes_Settings_Button_About"},
    {dialog_control::kRestoreDefaults, "Mes_Settings_Button_RestoreDefs"},
    {dialog_control::kVisit, "Mes_Settings_Button_Visit"},
};

constexpr int32_t kToggles[] = {dialog_control::kUseDesktop, dialog_control::kMusic,    dialog_control::kSfx,
                                dialog_control::kShowFps,    dialog_control::kExitOnMouseMove,
                                dialog_control::kShowTime,   dialog_control::kHour12,   dialog_control::kHour24};

// The biggest picture a frame takes; larger files are refused.
constexpr uint32_t kMaxPictureSide = 8192;

// The local string of `key` as UTF-8, or empty when there is none.
std::string LocalText(const SaverApplication& saver, const char* key) {
  const String* text = saver.GetLocalString(String(key));
  return text != nullptr ? Cp1251ToUtf8(text->CStr()) : std::string();
}

GtkBuilder* BuildTemplate(int32_t id) {
  const uint8_t* bytes = nullptr;
  int32_t size = 0;
  if (!FindResource("DIALOG", id, &bytes, &size) || size <= 0) {
    LogError(KLX_TEXT("Невозможно загрузить ресурс ID[%d]."), id);
    return nullptr;
  }
  GtkBuilder* builder = gtk_builder_new();
  GError* error = nullptr;
  if (gtk_builder_add_from_string(builder, reinterpret_cast<const char*>(bytes), static_cast<gsize>(size), &error) ==
      0) {
    LogError(KLX_TEXT("Невозможно построить диалог ID[%d]: %s"), id, error != nullptr ? error->message : "");
    if (error != nullptr) g_error_free(error);
    g_object_unref(builder);
    return nullptr;
  }
  return builder;
}

GtkWidget* FindControl(GtkBuilder* builder, int32_t id) {
  if (builder == nullptr) return nullptr;
  GObject* object = gtk_builder_get_object(builder, std::to_string(id).c_str());
  return object != nullptr && GTK_IS_WIDGET(object) ? GTK_WIDGET(object) : nullptr;
}

// Sets the text a control shows, whatever kind of control it is.
void SetControlText(GtkWidget* control, const std::string& text) {
  if (control == nullptr || text.empty()) return;
  if (GTK_IS_BUTTON(control)) {
    gtk_button_set_label(GTK_BUTTON(control), text.c_str());
  } else if (GTK_IS_LABEL(control)) {
    gtk_label_set_text(GTK_LABEL(control), text.c_str());
  } else if (GTK_IS_FRAME(control)) {
    gtk_frame_set_label(GTK_FRAME(control), text.c_str());
  } else if (GTK_IS_WINDOW(control)) {
    gtk_window_set_title(GTK_WINDOW(control), text.c_str());
  }
}

int32_t ControlNumber(gpointer widget) {
  const char* name = gtk_buildable_get_name(GTK_BUILDABLE(widget));
  return name != nullptr ? static_cast<int32_t>(std::strtol(name, nullptr, 10)) : 0;
}

void SetActive(GtkWidget* toggle, bool active) {
  if (toggle != nullptr) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(toggle), active);
}

// Puts an engine image (rows bottom first) into a GtkImage, scaled to the
// frame's requested size at the screen's scale factor.
bool SetPicture(GtkWidget* frame, const Image& image) {
  if (frame == nullptr || !GTK_IS_IMAGE(frame)) return false;
  const uint32_t format = image.GetFormat();
  const uint32_t width = image.GetWidth();
  const uint32_t height = image.GetHeight();
  if ((format != kImageRGB8 && format != kImageRGBA8) || image.GetPixels() == nullptr || width == 0 ||
      height == 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
    return false;
  }
  const bool alpha = format == kImageRGBA8;
  const uint32_t bytes = BytesPerPixel(format);
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, static_cast<int>(width), static_cast<int>(height));
  if (pixbuf == nullptr) return false;
  guchar* out = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = image.GetPixels() + static_cast<size_t>(height - 1 - y) * width * bytes;
    std::memcpy(out + static_cast<size_t>(y) * stride, row, static_cast<size_t>(width) * bytes);
  }
  int frameWidth = 0, frameHeight = 0;
  gtk_widget_get_size_request(frame, &frameWidth, &frameHeight);
  if (frameWidth <= 0) frameWidth = static_cast<int>(width);
  if (frameHeight <= 0) frameHeight = static_cast<int>(height);
  const int scale = std::max(1, gtk_widget_get_scale_factor(frame));
  GdkPixbuf* scaled =
      gdk_pixbuf_scale_simple(pixbuf, frameWidth * scale, frameHeight * scale, GDK_INTERP_BILINEAR);
  g_object_unref(pixbuf);
  if (scaled == nullptr) return false;
  cairo_surface_t* surface = gdk_cairo_surface_create_from_pixbuf(scaled, scale, nullptr);
  g_object_unref(scaled);
  if (surface == nullptr) return false;
  gtk_image_set_from_surface(GTK_IMAGE(frame), surface);
  cairo_surface_destroy(surface);
  return true;
}

// The desktop's size, from the renderer's desktop mode or else from GDK.
void DesktopSize(int32_t* width, int32_t* height) {
  Renderer* renderer = GetRenderer();
  if (renderer != nullptr && renderer->GetDefaultConfiguration() >= 0) {
    const DisplayConfiguration& mode = renderer->GetConfiguration(renderer->GetDefaultConfiguration());
    if (mode.width > 0 && mode.height > 0) {
      *width = mode.width;
      *height = mode.height;
      return;
    }
  }
  GdkRectangle area{0, 0, 1024, 768};
  if (GdkMonitor* monitor = gdk_display_get_primary_monitor(gdk_display_get_default())) {
    gdk_monitor_get_geometry(monitor, &area);
  }
  *width = area.width;
  *height = area.height;
}

bool g_placedOnce = false;

}  // namespace

bool StartGtk() {
  static int started = -1;
  if (started < 0) started = gtk_init_check(nullptr, nullptr) ? 1 : 0;
  if (started == 0) LogError(KLX_TEXT("Невозможно открыть диалог: оконная система недоступна."));
  return started == 1;
}

GtkSettingsDialog::GtkSettingsDialog(SaverApplication& saver, uint64_t parent) : saver_(saver), parent_(parent) {
  builder_ = BuildTemplate(kSettingsTemplate);
  GtkWidget* dialog = FindControl(builder_, kSettingsTemplate);
  if (dialog == nullptr || !GTK_IS_DIALOG(dialog)) return;
  dialog_ = dialog;
  ApplyLocalStrings();
  Refresh();
  Connect();
  saver_.SettingsDialogMessage(*this, SettingsDialogEvent::kOpened);
}

GtkSettingsDialog::~GtkSettingsDialog() {
  if (dialog_ != nullptr) gtk_widget_destroy(dialog_);
  if (builder_ != nullptr) g_object_unref(builder_);
  // Lets the window go from the screen now, not at the next main loop.
  while (gtk_events_pending()) gtk_main_iteration();
}

GtkWidget* GtkSettingsDialog::GetControl(int32_t id) const { return FindControl(builder_, id); }

void GtkSettingsDialog::SetText(int32_t control, const char* key) {
  SetControlText(GetControl(control), LocalText(saver_, key));
}

void GtkSettingsDialog::ApplyLocalStrings() {
  SetControlText(dialog_, LocalText(saver_, "Mes_Settings_Title"));
  for (const ControlText& text : kSettingsTexts) SetText(text.control, text.key);
}

void GtkSettingsDialog::Refresh() {
  SaverSettings& settings = saver_.GetSettings();
  // A store edited by hand may hold values the bars cannot show.
  ClampToControls(&settings);
  refreshing_ = true;
  gtk_range_set_value(GTK_RANGE(GetControl(dialog_control::kGamma)), settings.gamma);
  gtk_label_set_text(GTK_LABEL(GetControl(dialog_control::kGammaLabel)), GammaLabel(settings.gamma).c_str());
  gtk_range_set_value(GTK_RANGE(GetControl(dialog_control::kVolume)), settings.volume);
  SetActive(GetControl(settings.hour24 ? dialog_control::kHour24 : dialog_control::kHour12), true);
  SetActive(GetControl(dialog_control::kShowTime), settings.showTime);
  SetActive(GetControl(dialog_control::kMusic), settings.music);
  SetActive(GetControl(dialog_control::kSfx), settings.sfx);
  SetActive(GetControl(dialog_control::kShowFps), settings.showFps);
  SetActive(GetControl(dialog_control::kExitOnMouseMove), settings.exitOnMouseMove);
  SetActive(GetControl(dialog_control::kUseDesktop), settings.useDesktopSettings);
  FillModes();
  UpdateEnabling();
  refreshing_ = false;
  saver_.AfterVideoModesListed(*this);
}

void GtkSettingsDialog::FillModes() {
  std::vector<DisplayConfiguration> configurations;
  const DisplayConfiguration* desktop = nullptr;
  if (Renderer* renderer = GetRenderer()) {
    for (int32_t i = 0; i < renderer->GetConfigurationCount(); ++i) {
      configurations.push_back(renderer->GetConfiguration(i));
    }
    const int32_t chosen = renderer->GetDefaultConfiguration();
    if (chosen >= 0 && chosen < renderer->GetConfigurationCount()) desktop = &renderer->GetConfiguration(chosen);
  }
  modes_ = ListModes(configurations);
  auto* list = GTK_COMBO_BOX_TEXT(GetControl(dialog_control::kModeList));
  gtk_combo_box_text_remove_all(list);
  for (const ModeEntry& mode : modes_) gtk_combo_box_text_append_text(list, mode.text.c_str());
  gtk_combo_box_set_active(GTK_COMBO_BOX(list), ChooseMode(modes_, saver_.GetSettings(), desktop));
}

void GtkSettingsDialog::UpdateEnabling() {
  const EnabledControls enabled = EnabledFor(saver_.GetSettings());
  gtk_widget_set_sensitive(GetControl(dialog_control::kVolume), enabled.volume);
  gtk_widget_set_sensitive(GetControl(dialog_control::kVolumeLabel), enabled.volume);
  gtk_widget_set_sensitive(GetControl(dialog_control::kHour12), enabled.hourFormat);
  gtk_widget_set_sensitive(GetControl(dialog_control::kHour24), enabled.hourFormat);
  gtk_widget_set_sensitive(GetControl(dialog_control::kModeList), enabled.modeList);
}

void GtkSettingsDialog::Connect() {
  for (int32_t id : kToggles) {
    if (GtkWidget* toggle = GetControl(id)) g_signal_connect(toggle, "toggled", G_CALLBACK(OnToggled), this);
  }
  for (int32_t id : {dialog_control::kVolume, dialog_control::kGamma}) {
    if (GtkWidget* bar = GetControl(id)) g_signal_connect(bar, "value-changed", G_CALLBACK(OnScaleMoved), this);
  }
  for (int32_t id : {dialog_control::kVisit, dialog_control::kAbout, dialog_control::kRestoreDefaults}) {
    if (GtkWidget* button = GetControl(id)) g_signal_connect(button, "clicked", G_CALLBACK(OnClicked), this);
  }
}

void GtkSettingsDialog::OnToggled(GtkToggleButton* button, gpointer self) {
  auto* dialog = static_cast<GtkSettingsDialog*>(self);
  if (dialog->refreshing_) return;
  SaverSettings& settings = dialog->saver_.GetSettings();
  const bool active = gtk_toggle_button_get_active(button);
  switch (ControlNumber(button)) {
    case dialog_control::kUseDesktop: settings.useDesktopSettings = active; break;
    case dialog_control::kMusic: settings.music = active; break;
    case dialog_control::kSfx: settings.sfx = active; break;
    case dialog_control::kShowFps: settings.showFps = active; break;
    case dialog_control::kExitOnMouseMove: settings.exitOnMouseMove = active; break;
    case dialog_control::kShowTime: settings.showTime = active; break;
    case dialog_control::kHour12: settings.hour24 = !active; break;
    case dialog_control::kHour24: settings.hour24 = active; break;
    default: return;
  }
  dialog->UpdateEnabling();
}

void GtkSettingsDialog::OnScaleMoved(GtkRange* range, gpointer self) {
  auto* dialog = static_cast<GtkSettingsDialog*>(self);
  if (dialog->refreshing_) return;
  SaverSettings& settings = dialog->saver_.GetSettings();
  const auto position = static_cast<int32_t>(std::lround(gtk_range_get_value(range)));
  if (ControlNumber(range) == dialog_control::kVolume) {
    settings.volume = position;
  } else {
    settings.gamma = position;
    gtk_label_set_text(GTK_LABEL(dialog->GetControl(dialog_control::kGammaLabel)), GammaLabel(position).c_str());
  }
}

void GtkSettingsDialog::OnClicked(GtkButton* button, gpointer self) {
  auto* dialog = static_cast<GtkSettingsDialog*>(self);
  switch (ControlNumber(button)) {
    case dialog_control::kVisit: dialog->OpenWebSite(); break;
    case dialog_control::kAbout: dialog->ShowAbout(); break;
    case dialog_control::kRestoreDefaults:
      dialog->saver_.ApplyDefaults();
      dialog->Refresh();
      break;
    default: break;
  }
}

int GtkSettingsDialog::Run() {
  if (dialog_ == nullptr) return 0;
  gtk_widget_realize(dialog_);
  GdkDisplay* display = gtk_widget_get_display(dialog_);
  GdkWindow* owner = nullptr;
  if (parent_ != 0 && GDK_IS_X11_DISPLAY(display)) {
    owner = gdk_x11_window_foreign_new_for_display(display, static_cast<Window>(parent_));
  }
  if (owner != nullptr) {
    // Over the window that asked for the settings, as its own dialog.
    gdk_window_set_transient_for(gtk_widget_get_window(dialog_), owner);
    gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_CENTER_ON_PARENT);
  } else if (!g_placedOnce) {
    int32_t width = 0, height = 0;
    DesktopSize(&width, &height);
    // GTK places windows in its own units: device pixels over the scale.
    const int32_t scale = std::max(1, gtk_widget_get_scale_factor(dialog_));
    const DialogPlace place = FirstDialogPlace(width / scale, height / scale);
    gtk_window_move(GTK_WINDOW(dialog_), place.x, place.y);
  }
  g_placedOnce = true;
  // A stop signal cancels the dialog: nothing is written. One that came
  // while the dialog was being built ends it before it shows.
  if (StopRequested()) {
    if (owner != nullptr) g_object_unref(owner);
    return dialog_control::kCancel;
  }
  const guint watch = g_timeout_add(kStopCheckMs, CancelOnStopSignal, dialog_);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog_));
  g_source_remove(watch);
  if (owner != nullptr) g_object_unref(owner);
  return Respond(response == dialog_control::kOk ? dialog_control::kOk : dialog_control::kCancel);
}

int GtkSettingsDialog::Respond(int32_t response) {
  if (response != dialog_control::kOk) return dialog_control::kCancel;
  const int chosen = gtk_combo_box_get_active(GTK_COMBO_BOX(GetControl(dialog_control::kModeList)));
  if (chosen >= 0 && static_cast<size_t>(chosen) < modes_.size()) {
    SaverSettings& settings = saver_.GetSettings();
    settings.width = modes_[static_cast<size_t>(chosen)].width;
    settings.height = modes_[static_cast<size_t>(chosen)].height;
    settings.colorDepth = modes_[static_cast<size_t>(chosen)].colorBits;
  }
  saver_.WriteRegistrySettings();  // a failure is logged; the dialog ends as OK
  return dialog_control::kOk;
}

void GtkSettingsDialog::OpenWebSite() {
  const std::string& url = saver_.GetDefaults().webSiteUrl;
  // Only a desktop that has a program for the address's scheme is asked:
  // without one, GIO may hand the address on to services that are not
  // there, and the user would see nothing happen.
  gchar* scheme = g_uri_parse_scheme(url.c_str());
  GAppInfo* handler = scheme != nullptr ? g_app_info_get_default_for_uri_scheme(scheme) : nullptr;
  g_free(scheme);
  GError* error = nullptr;
  if (handler != nullptr) {
    g_object_unref(handler);
    if (gtk_show_uri_on_window(GTK_WINDOW(dialog_), url.c_str(), GDK_CURRENT_TIME, &error)) return;
  }
  LogError(KLX_TEXT("Невозможно открыть адрес [%s]."), url.c_str());
  std::string text = LocalText(saver_, "Mes_Settings_VisitFailed");
  if (text.empty()) text = "No program to open web addresses is set up on this desktop.";
  GtkWidget* message = gtk_message_dialog_new(GTK_WINDOW(dialog_), GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                              GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(message), "%s%s%s", url.c_str(),
                                           error != nullptr ? "\n" : "", error != nullptr ? error->message : "");
  if (error != nullptr) g_error_free(error);
  gtk_dialog_run(GTK_DIALOG(message));
  gtk_widget_destroy(message);
}

GtkWidget* GtkSettingsDialog::CreateAboutDialog() {
  GtkBuilder* builder = BuildTemplate(kAboutTemplate);
  GtkWidget* about = FindControl(builder, kAboutTemplate);
  if (about == nullptr || !GTK_IS_DIALOG(about)) {
    if (builder != nullptr) g_object_unref(builder);
    return nullptr;
  }
  SetControlText(about, LocalText(saver_, "Mes_About_Title"));
  SetControlText(FindControl(builder, dialog_control::kOk), LocalText(saver_, "Mes_Button_OK"));
  for (int32_t i = 0; i < dialog_control::kAboutLines; ++i) {
    const std::string key = "Mes_About_String" + std::to_string(i + 1);
    SetControlText(FindControl(builder, dialog_control::kAboutFirstLine + i), LocalText(saver_, key.c_str()));
  }
  if (VirtualFile* file = FileManager::FindFile(String("logo.bmp"))) {
    Ref<Image> logo(new Image(file, String()));
    SetPicture(FindControl(builder, dialog_control::kAboutPicture), *logo);
  }
  if (dialog_ != nullptr) gtk_window_set_transient_for(GTK_WINDOW(about), GTK_WINDOW(dialog_));
  gtk_window_set_position(GTK_WINDOW(about), GTK_WIN_POS_CENTER_ON_PARENT);
  // GTK keeps the window until it is destroyed; the builder can go.
  g_object_unref(builder);
  return about;
}

void GtkSettingsDialog::ShowAbout() {
  GtkWidget* about = CreateAboutDialog();
  if (about == nullptr) return;
  gtk_dialog_run(GTK_DIALOG(about));
  gtk_widget_destroy(about);
}

bool GtkSettingsDialog::ShowPicture(int32_t control, const Image& image) {
  return SetPicture(GetControl(control), image);
}

int GtkDialogRunner::RunSettingsDialog(SaverApplication& saver, uint64_t parent) {
  if (!StartGtk()) return 0;
  GtkSettingsDialog dialog(saver, parent);
  if (!dialog.IsValid()) return 0;
  return dialog.Run();
}

}  // namespace klx
