#include "render/effects/effect_support.h"

#include <algorithm>
#include <new>

#include "render/effect.h"
#include "render/renderer.h"
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

}  // namespace klx::effects
