#include "render/effects/effect_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "animation/skin_controller.h"
#include "core/log.h"
#include "core/memory_stream.h"
#include "render/effect.h"
#include "render/effects/shader_texts.h"
#include "render/renderer.h"
#include "render/shader.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"

namespace klx::effects {

bool HasShaders(const Renderer& renderer) {
  return renderer.GetCaps().vertexShaderLevel != kShaderLevelNone &&
         renderer.GetCaps().pixelShaderLevel != kShaderLevelNone;
}

void SetMatrixConstants(Renderer& renderer, int32_t start, const Matrix4& m) {
  float columns[16];
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 4; ++row) columns[column * 4 + row] = m.m[row][column];
  }
  renderer.SetVertexShaderConstants(start, columns, 4);
}

GeometryNode* CurrentGeometry(Renderer& renderer) { return DynamicCast<GeometryNode>(renderer.GetCurrentGeometry()); }

void SetCommonConstants(Renderer& renderer, const GeometryNodeEffect& effect, const Matrix4& world,
                        const Camera& camera, const Color& color, bool windClock) {
  SetMatrixConstants(renderer, 0, world * camera.GetViewProjection());
  SetMatrixConstants(renderer, 4, world * camera.GetView());
  const float c8[4] = {color.r, color.g, color.b, color.a};
  const float c9[4] = {effect.fogDensity, effect.fogExponent, effect.windAmplitude, effect.windSpeed};
  renderer.SetVertexShaderConstants(8, c8, 1);
  renderer.SetVertexShaderConstants(9, c9, 1);
  if (effect.GetWindEnable() || windClock) {
    const float c10[4] = {effect.windAmplitude, effect.windSpeed, static_cast<float>(effect.windTime), 1.0f};
    renderer.SetVertexShaderConstants(10, c10, 1);
  }
}

bool ShaderSkinningAvailable() {
  const Renderer* renderer = GetRenderer();
  const int32_t level = renderer != nullptr ? renderer->GetCaps().vertexShaderLevel : kShaderLevelNone;
  return level == 1 || level == 2;
}

SkinController* ShaderSkin(const GeometryNodeEffect& effect) {
  return DynamicCast<SkinController>(effect.GetSkinController());
}

void SetPaletteConstants(Renderer& renderer, const SkinController& skin, int32_t start) {
  const std::vector<Matrix4>& bones = skin.GetBoneMatrices();
  // The whole palette in one upload: each bone's four columns.
  const size_t count = std::min(bones.size(), static_cast<size_t>(SkinController::kMaxShaderBones));
  float palette[SkinController::kMaxShaderBones * 16];
  for (size_t i = 0; i < count; ++i) {
    for (int column = 0; column < 4; ++column) {
      for (int row = 0; row < 4; ++row) palette[i * 16 + column * 4 + row] = bones[i].m[row][column];
    }
  }
  if (count > 0) {
    renderer.SetVertexShaderConstants(start, palette, 4 * static_cast<int32_t>(count));
  }
}

void SetSkinStreamsAndConstants(Renderer& renderer, const GeometryNodeEffect& effect, SkinController& skin,
                                const Camera& camera, const Color& color) {
  renderer.SetPositions(skin.GetVertices());
  renderer.SetBlendWeights(skin.GetWeights());
  renderer.SetBlendIndices(skin.GetIndices());
  SetMatrixConstants(renderer, 0, camera.GetViewProjection());
  SetMatrixConstants(renderer, 4, camera.GetView());
  SetPaletteConstants(renderer, skin, shaders::kSkinPaletteRegister);
  const float colour[4] = {color.r, color.g, color.b, color.a};
  const float fog[4] = {effect.fogDensity, effect.fogExponent, 0.0f, 0.0f};
  renderer.SetVertexShaderConstants(shaders::kSkinColorRegister, colour, 1);
  renderer.SetVertexShaderConstants(shaders::kSkinFogRegister, fog, 1);
}

void SetUniformColors(Renderer& renderer, Ref<ColorBuffer>& buffer, int32_t count, const Color& color) {
  if (!buffer || buffer->GetCount() != count) buffer = new (std::nothrow) ColorBuffer(String(), count);
  if (!buffer) return;
  std::fill(buffer->Elements(), buffer->Elements() + buffer->GetCount(), color);
  buffer->MarkChanged();
  renderer.SetColors(buffer.Get());
}

void SetFixedMatrices(Renderer& renderer, const Camera& camera, const Matrix4& world) {
  renderer.SetProjectionMatrix(camera.GetProjection());
  renderer.SetViewMatrix(camera.GetView());
  renderer.SetWorldMatrix(world);
}

void SetShaderText(Shader* shader, const char* text) {
  if (shader != nullptr) shader->SetText(text, static_cast<int32_t>(std::strlen(text)));
}

Ref<Texture> MakeNamedTarget(const char* pattern, uint32_t format, uint32_t width, uint32_t height) {
  Ref<Texture> texture(new (std::nothrow) Texture(String()));
  if (!texture) return texture;
  char name[64];
  std::snprintf(name, sizeof name, pattern, static_cast<int>(texture->GetID()));
  texture->SetName(String(name));
  texture->SetImage(Ref<Image>(new (std::nothrow) Image(String(), format, width, height)).Get());
  return texture;
}

int SaveTextureLink(MemoryStream& stream, Object& owner, BaseTexture* texture, const int32_t* set) {
  if (stream.WriteObject(texture) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить текстуру. Имя[%s] ID[%d]"), owner.GetName().CStr(), owner.GetID());
    return kFailed;
  }
  if (set != nullptr && stream.WriteInt32(*set) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить номер набора текстурных координат. Имя[%s] ID[%d]"),
             owner.GetName().CStr(), owner.GetID());
    return kFailed;
  }
  return kOk;
}

int LoadTextureLink(MemoryStream& stream, Object& owner, Ref<BaseTexture>* texture, int32_t* set) {
  BaseTexture* loaded = nullptr;
  if (stream.ReadObjectOf(loaded) != kOk || ClosesLoop(&owner, loaded)) {
    LogError(KLX_TEXT("Невозможно загрузить текстуру. ID[%d] Имя[%s]"), owner.GetID(), owner.GetName().CStr());
    return kFailed;
  }
  *texture = loaded;
  if (set == nullptr) return kOk;
  int32_t value = 0;
  if (stream.ReadInt32(value) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить номер набора текстурных координат. ID[%d] Имя[%s]"), owner.GetID(),
             owner.GetName().CStr());
    return kFailed;
  }
  *set = std::clamp(value, 0, 7);
  return kOk;
}

}  // namespace klx::effects
