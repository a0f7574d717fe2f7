#include "app/overlay.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "assets/image.h"
#include "core/log.h"
#include "core/result.h"
#include "render/effects/material_effects.h"
#include "render/renderer.h"
#include "render/texture.h"
#include "scene/bounding_volume.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"
#include "vfs/file_manager.h"

namespace klx {
namespace {

// The unit square onto the viewport, (0, 0) at the bottom left.
Matrix4 UnitSquareProjection() {
  Matrix4 p = Matrix4::Identity();
  p.m[0][0] = 2.0f;
  p.m[1][1] = 2.0f;
  p.m[3][0] = -1.0f;
  p.m[3][1] = -1.0f;
  return p;
}

constexpr float kCharacterWidth = 0.0375f;
constexpr float kCharacterHeight = 0.075f;

const char* const kCornerFiles[4] = {"4loader_ld.tga", "4loader_rd.tga", "4loader_lu.tga", "4loader_ru.tga"};

struct CharacterFile {
  char character;
  const char* file;
};
constexpr CharacterFile kCharacterFiles[] = {
    {'0', "digit_0.tga"}, {'1', "digit_1.tga"}, {'2', "digit_2.tga"}, {'3', "digit_3.tga"},
    {'4', "digit_4.tga"}, {'5', "digit_5.tga"}, {'6', "digit_6.tga"}, {'7', "digit_7.tga"},
    {'8', "digit_8.tga"}, {'9', "digit_9.tga"}, {'a', "digit_a.tga"}, {'p', "digit_p.tga"},
    {'m', "digit_m.tga"}, {'.', "digit_dot.tga"}, {':', "digit_ddot.tga"},
};

// A texture over the picture of that name, or null when there is none.
Ref<Texture> PictureTexture(const char* name) {
  VirtualFile* file = FileManager::FindFile(String(name));
  if (file == nullptr) {
    LogWarning(KLX_TEXT("Невозможно найти файл [%s]."), name);
    return Ref<Texture>();
  }
  Ref<Texture> texture(new Texture(String(name)));
  texture->SetImage(Ref<Image>(new Image(file, String(name))).Get());
  return texture;
}

std::string TwoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, value > 9 ? "%d" : "0%d", value);
  return text;
}

}  // namespace

std::string FrameRateText(double framesPerSecond) {
  char text[32];
  const double rounded = std::ceil(framesPerSecond);
  std::snprintf(text, sizeof text, "%d", std::isfinite(rounded) && std::fabs(rounded) < 1e9 ? static_cast<int>(rounded) : 0);
  return text;
}

std::string ClockText(const std::tm& time, bool hour24) {
  int hour = time.tm_hour;
  std::string suffix;
  if (!hour24) {
    suffix = hour > 11 ? " pm " : " am ";
    if (hour > 12) hour -= 12;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%d", hour);
  return std::string(text) + ":" + TwoDigits(time.tm_min) + ":" + TwoDigits(time.tm_sec) + suffix;
}

Overlay::Overlay() = default;
Overlay::~Overlay() = default;

void Overlay::Create() {
  const Vector3 positions[6] = {{0, 0, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  const Vector2 uvs[6] = {{0, 1}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}};
  const int32_t indices[6] = {0, 1, 2, 3, 4, 5};
  effect_ = new TextureEffect(String("OverlayEffect"));
  effect_->SetColor(Color{1, 1, 1, 1});
  effect_->cull = false;
  // Over everything drawn before, and the tiles' clear parts let the
  // picture below show through.
  effect_->depthEnable = false;
  effect_->depthWrite = false;
  effect_->blend = true;  // source alpha, inverse source alpha
  quad_ = new Triangles(String("OverlayQuad"));
  quad_->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 6, positions)).Get());
  quad_->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), 6, uvs)).Get());
  quad_->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
  quad_->UpdateModelBound();
  // Never culled, wherever the quad is put.
  if (auto* bound = DynamicCast<SphereBoundingVolume>(quad_->GetModelBound())) bound->Set({0, 0, 0}, FLT_MAX);
  quad_->SetEffect(effect_.Get());
  camera_ = new Camera(String("OverlayCamera"));
  camera_->SetMatrices(Matrix4::Identity(), UnitSquareProjection());

  background_ = PictureTexture("loader.jpg");
  LogInfo("LoadingTexture Loaded");
  for (int i = 0; i < 4; ++i) corners_[i] = PictureTexture(kCornerFiles[i]);
  for (const CharacterFile& entry : kCharacterFiles) characters_[entry.character] = PictureTexture(entry.file);
}

void Overlay::UseCamera(Renderer& renderer) {
  renderer.SetCamera(camera_.Get());
  camera_->SetMatrices(Matrix4::Identity(), UnitSquareProjection());
}

void Overlay::DrawQuad(Renderer& renderer) {
  quad_->UpdateGeometricState(0.0, false);
  quad_->Draw(&renderer);
  renderer.FlushQueues();
}

int Overlay::DrawLoadingScreen(Renderer& renderer) {
  if (!quad_) return kFailed;
  UseCamera(renderer);
  renderer.Clear(kClearTarget | kClearDepth, Color{0, 1, 0, 1}, 1.0f, 0);
  if (renderer.BeginFrame() != kOk) {
    LogError(KLX_TEXT("Неудачно начало рендеринга."));
    ReleaseLoadingPictures(renderer);
    return kFailed;
  }
  Transform& place = quad_->LocalTransform();
  SetScale(place, {1, 1, 1});
  SetTranslation(place, {0, 0, 0});
  if (background_) {
    effect_->SetTexture(background_.Get());
    DrawQuad(renderer);
  }
  // The corner tiles at their pictures' own pixel sizes.
  const float width = static_cast<float>(std::max(renderer.GetViewportWidth(), 1));
  const float height = static_cast<float>(std::max(renderer.GetViewportHeight(), 1));
  for (int corner = 0; corner < 4; ++corner) {
    const Texture* tile = corners_[corner].Get();
    if (tile == nullptr || tile->GetImage() == nullptr) continue;
    const float w = static_cast<float>(tile->GetImage()->GetWidth()) / width;
    const float h = static_cast<float>(tile->GetImage()->GetHeight()) / height;
    const bool right = corner == 1 || corner == 3, top = corner >= 2;
    SetScale(place, {w, h, 1});
    SetTranslation(place, {right ? 1.0f - w : 0.0f, top ? 1.0f - h : 0.0f, 0});
    effect_->SetTexture(corners_[corner].Get());
    DrawQuad(renderer);
  }
  renderer.EndFrame();
  ReleaseLoadingPictures(renderer);
  return kOk;
}

void Overlay::ReleaseLoadingPictures(Renderer& renderer) {
  // Shown once: the loading pictures go.
  effect_->SetTexture(nullptr);
  background_ = nullptr;
  for (Ref<Texture>& corner : corners_) corner = nullptr;
  renderer.SetCamera(nullptr);
}

void Overlay::DrawText(Renderer& renderer, const std::string& text, float x, float y, float w, float h) {
  Transform& place = quad_->LocalTransform();
  SetScale(place, {w, h, 1});
  for (char c : text) {
    SetTranslation(place, {x, y, 0});
    if (c == ' ') {
      x += w * 0.5f;
      continue;
    }
    const auto tile = characters_.find(c);
    if (tile != characters_.end() && tile->second) effect_->SetTexture(tile->second.Get());
    // A character without a tile shows the one drawn last.
    DrawQuad(renderer);
    x += w;
  }
}

void Overlay::Draw(Renderer& renderer, bool showFrameRate, double framesPerSecond, bool showClock, bool hour24) {
  if (!quad_ || (!showFrameRate && !showClock)) return;
  renderer.FlushQueues();
  const Ref<Camera> sceneCamera(renderer.GetCamera());
  UseCamera(renderer);
  effect_->SetColor(Color{1, 1, 1, 1});
  if (showFrameRate) {
    DrawText(renderer, FrameRateText(framesPerSecond), 0.009375f, 0.9f, kCharacterWidth, kCharacterHeight);
  }
  if (showClock) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string text = ClockText(local, hour24);
    const float x = 1.0f - static_cast<float>(text.size()) * kCharacterWidth + (hour24 ? -0.01875f : 0.01875f);
    DrawText(renderer, text, x, 0.025f, kCharacterWidth, kCharacterHeight);
  }
  renderer.SetCamera(sceneCamera.Get());
}

}  // namespace klx
