#include "app/scene_saver.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "animation/screensaver_controller.h"
#include "app/stop_signal.h"
#include "assets/image.h"
#include "assets/scene_codec.h"
#include "core/log.h"
#include "core/result.h"
#include "render/effects/material_effects.h"
#include "render/effects/shadowmap_effect.h"
#include "render/renderer.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/node.h"
#include "scene/scene_node.h"
#include "scene/transform.h"
#include "sound/sound_manager.h"
#include "sound/sound_node.h"
#include "sound/sound_node2.h"
#include "vfs/file_manager.h"
#include "vfs/virtual_file.h"

namespace klx {

double FadeAlpha(double elapsed, double duration, double fadeInStart) {
  if (duration - elapsed <= 1.0) return 1.0 - (duration - elapsed);
  if (elapsed - fadeInStart <= 1.0) return 1.0 - (elapsed - fadeInStart);
  return 0.0;
}

bool IsFarView(const char* cameraName) {
  static const char* const kFarViews[] = {"Camera03", "Camera04", "Camera06", "Camera11", "Camera17", "Camera18"};
  for (const char* name : kFarViews) {
    if (std::strcmp(cameraName, name) == 0) return true;
  }
  return false;
}

SceneSaver::SceneSaver() = default;
SceneSaver::~SceneSaver() = default;

int SceneSaver::AfterInputEvent(const InputEvent&) { return kOk; }
int SceneSaver::AfterSettingsApplied() { return kOk; }
int SceneSaver::AfterSettingsLogged() { return kOk; }
int SceneSaver::ParseExtraDefaults(std::string_view, std::string_view) { return kOk; }
int SceneSaver::ReadExtraRegistryValues(const std::map<std::string, int32_t>&) { return kOk; }
int SceneSaver::WriteExtraRegistryValues(std::vector<std::pair<std::string, int32_t>>*) { return kOk; }
int SceneSaver::SettingsDialogMessage(SettingsDialogView& dialog, SettingsDialogEvent event) {
  if (event != SettingsDialogEvent::kOpened) return kOk;
  // "settings.bmp" is read once per process; the dialog keeps its own copy.
  if (!settingsPicture_) {
    VirtualFile* file = FileManager::FindFile(String("settings.bmp"));
    if (file == nullptr) return kOk;  // the frame stays empty
    settingsPicture_ = new Image(file, String());
  }
  if (settingsPicture_->GetPixels() != nullptr) dialog.ShowPicture(dialog_control::kPicture, *settingsPicture_);
  return kOk;
}

void SceneSaver::AfterVideoModesListed(SettingsDialogView&) {}
int SceneSaver::AfterEngineStart() { return kOk; }
int SceneSaver::BeforeEngineStop() { return kOk; }
int SceneSaver::UpdateSettingsDialog(SettingsDialogView&) { return kOk; }

// ---------------------------------------------------------------------------
// The scene

void SceneSaver::SilenceSounds() {
  const SaverSettings& settings = GetSettings();
  const AudioFunctions* audio = SoundManager::Audio();
  if (!settings.sfx) {
    Array<Object*> nodes(8, 8);
    root_->CollectByType(SoundNode::TYPE, nodes);
    for (Object* object : nodes) {
      auto* node = static_cast<SoundNode*>(object);
      if (node->GetName() == "Music") continue;
      node->SetVolume(0);
      node->SetPlaying(false);
      if (audio != nullptr && node->GetChannel() != 0) audio->ChannelStop(node->GetChannel());
    }
    Array<Object*> pairs(8, 8);
    root_->CollectByType(SoundNode2::TYPE, pairs);
    for (Object* object : pairs) {
      if (object->GetName() != "Music") static_cast<SoundNode2*>(object)->SetVolume(0);
    }
  }
  if (!settings.music) {
    if (auto* music = DynamicCast<SoundNodeBase>(root_->FindByName(String("Music")))) music->SetVolume(0);
  }
}

void SceneSaver::RemoveShadowsWithoutShadowMaps() {
  const Renderer* renderer = GetRenderer();
  if (!root_ || renderer == nullptr || renderer->GetCaps().hardwareShadowMaps) return;
  // Without depth textures there is no shadow test: each shadow effect
  // comes off its node, which then draws its children plainly.
  (void)RemoveShadowmapEffects(*root_);
}

int SceneSaver::CreateSaverData() {
  VirtualFile* file = FileManager::FindFile(String("Main.STR"));
  if (file == nullptr) {
    LogError(KLX_TEXT("Невозможно найти файл данных скринсейвера."));
    return kFailed;
  }
  Ref<Object> loaded;
  if (LoadScene(file, &loaded) != kOk || !loaded) {
    LogError(KLX_TEXT("Невозможно загрузить данные скринсейвера из файла."));
    return kFailed;
  }
  root_ = loaded;
  RemoveShadowsWithoutShadowMaps();
  SilenceSounds();
  Array<Object*> savers(1, 1);
  root_->CollectByType(ScreensaverController::TYPE, savers);
  // The saver cuts between the scene's camera sets: without them there is
  // nothing to show.
  if (savers.Count() == 0) {
    LogError(KLX_TEXT("В сцене нет контроллера скринсейвера."));
    root_ = nullptr;
    return kFailed;
  }
  screensaver_ = static_cast<ScreensaverController*>(savers[0]);
  car_ = DynamicCast<SoundNode>(root_->FindByName(String("Car")));
  return kOk;
}

int SceneSaver::CacheSaverData() {
  LogInfo(KLX_TEXT("Кеширование..."));
  Renderer* renderer = GetRenderer();
  std::vector<Texture*> textures;
  if (root_) {
    Array<Object*> found(16, 16);
    root_->CollectByType(Texture::TYPE, found);
    for (Object* object : found) {
      auto* texture = static_cast<Texture*>(object);
      if (std::find(textures.begin(), textures.end(), texture) == textures.end()) textures.push_back(texture);
    }
  }
  // Depth targets first, then the rest, each in the order found.
  auto isDepthTarget = [](const Texture* texture) {
    return texture->GetImage() != nullptr && texture->GetImage()->GetFormat() == kImageDepthTarget;
  };
  for (bool depthTargets : {true, false}) {
    for (Texture* texture : textures) {
      if (StopRequested()) break;  // the run ends: no more to cache
      if (isDepthTarget(texture) != depthTargets) continue;
      if (renderer != nullptr) renderer->SetTexture(texture, 0);
      LogInfo("%s", texture->GetName().CStr());
    }
  }
  if (renderer != nullptr) renderer->SetTexture(nullptr, 0);
  LogInfo(KLX_TEXT("Кеширование закончено."));
  // The pause after caching, cut short by a request to stop.
  for (uint32_t waited = 0; waited < cachePauseMs_ && !StopRequested(); waited += 10) {
    SDL_Delay(std::min<uint32_t>(10, cachePauseMs_ - waited));
  }
  return kOk;
}

int SceneSaver::ReleaseSaverData() {
  screensaver_ = nullptr;
  car_ = nullptr;
  root_ = nullptr;
  return kOk;
}

int SceneSaver::CreateRenderData() {
  fade_ = new ColorEffect(String());
  fade_->cull = false;
  fade_->depthEnable = false;
  fade_->depthWrite = false;
  fade_->blend = true;
  fade_->InvalidateEffectPasses();
  return kOk;
}

int SceneSaver::ReleaseRenderData() {
  fade_ = nullptr;
  return kOk;
}

// ---------------------------------------------------------------------------
// Each frame

int SceneSaver::Update(double deltaSeconds) {
  auto* root = DynamicCast<Node>(root_.Get());
  if (root != nullptr) root->UpdateGeometricState(deltaSeconds, true);
  Renderer* renderer = GetRenderer();
  if (car_ != nullptr && renderer != nullptr) {
    const Camera* camera = renderer->GetCamera();
    car_->SetVolume(camera != nullptr && IsFarView(camera->GetName().CStr()) ? 0 : 100);
  }
  return kOk;
}

int SceneSaver::Render() {
  Renderer* renderer = GetRenderer();
  auto* root = DynamicCast<Node>(root_.Get());
  if (renderer == nullptr || root == nullptr) return kOk;
  root->Draw(renderer);
  renderer->FlushQueues();
  Overlay* overlay = GetOverlay();
  const CameraSet* set = screensaver_ != nullptr ? screensaver_->GetCurrentSet() : nullptr;
  if (overlay == nullptr || !fade_ || set == nullptr) return kOk;
  const double alpha = FadeAlpha(screensaver_->GetElapsed(), set->duration, set->fadeInStart);
  if (alpha <= 0.0) return kOk;
  // Black over the whole screen, as opaque as the fade says.
  const Ref<Camera> sceneCamera(renderer->GetCamera());
  overlay->UseCamera(*renderer);
  Triangles* quad = overlay->GetQuad();
  SetScale(quad->LocalTransform(), {1, 1, 1});
  SetTranslation(quad->LocalTransform(), {0, 0, 0});
  quad->UpdateGeometricState(0.0, false);
  fade_->SetColor(Color{0, 0, 0, static_cast<float>(alpha)});
  quad->SetEffect(fade_.Get());
  quad->Draw(renderer);
  renderer->FlushQueues();
  quad->SetEffect(overlay->GetEffect());
  renderer->SetCamera(sceneCamera.Get());
  return kOk;
}

}  // namespace klx
