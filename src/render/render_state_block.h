#pragma once
// The fixed-function state a pass draws with: blending, alpha test,
// culling, fog, material, shading, stencil, depth, eight texture stages and
// point sprites. Effects fill it in code (it is never saved); the renderer
// records it once into a device state block and replays it afterwards.

#include <cstdint>

#include "core/math_types.h"
#include "core/object.h"
#include "scene/device_handle.h"

namespace klx {

namespace d3d {
class Device;
}

struct TextureStage {
  int32_t magnificationFilter = 1;  // 0 point, 1 linear
  int32_t minificationFilter = 5;   // 0..5: (min, mip) pairs
  int32_t addressU = 1, addressV = 1, addressW = 1;  // 0 clamp, 1 wrap, 2 border
  Color borderColor{0, 1, 0, 1};
  int32_t mode = 2;  // 0 replace, 1 decal, 2 modulate, 3 blend with factor, 4 add, 5 custom
  Color textureFactor{1, 1, 1, 1};
  int32_t colorOperation = 1, alphaOperation = 1;  // custom mode
  int32_t colorArgument1 = 0, colorArgument2 = 3, colorArgument0 = 2;
  int32_t alphaArgument1 = 0, alphaArgument2 = 3, alphaArgument0 = 2;
  int32_t colorModifier1 = 0, colorModifier2 = 0, colorModifier0 = 0;
  int32_t alphaModifier1 = 2, alphaModifier2 = 2, alphaModifier0 = 2;
  int32_t coordinateGeneration = 0;  // 0 none .. 5 projected
};

class RenderStateBlock : public Object {
  KLX_DECLARE_CLASS(RenderStateBlock)

 public:
  static constexpr int32_t kStageCount = 8;

  explicit RenderStateBlock(const String& name) : Object(name) {}
  ~RenderStateBlock() override;

  DeviceHandle& Handle() { return handle_; }

  bool blendEnable = false;
  int32_t sourceBlend = 4, destinationBlend = 5;
  bool alphaTestEnable = false;
  int32_t alphaFunction = 7;
  int32_t alphaReference = 1;
  bool cullEnable = true;
  int32_t cullMode = 1;
  bool fogEnable = false;
  float fogStart = 0.0f, fogEnd = 1000.0f;
  float fogDensity = 1.0f;
  Color fogColor{0.5f, 0.5f, 0.5f, 1};
  int32_t fogMode = 0;  // 0 linear, 1 exp, 2 exp2
  bool pixelFog = false;
  Color diffuse{0.8f, 0.8f, 0.8f, 1}, ambient{0.2f, 0.2f, 0.2f, 1}, specular{0, 0, 0, 1}, emissive{0, 0, 0, 1};
  float specularPower = 1.0f;
  int32_t shadeMode = 1;
  bool wireframe = false;
  bool depthEnable = true;
  bool depthWrite = true;
  int32_t depthFunction = 2;
  bool stencilEnable = false;
  int32_t stencilFunction = 7;
  int32_t stencilReference = 0;
  int32_t stencilFail = 0, stencilDepthFail = 0, stencilPass = 0;
  bool twoSidedStencil = false;
  int32_t backStencilFunction = 7;
  int32_t backStencilFail = 0, backStencilDepthFail = 0, backStencilPass = 0;
  TextureStage stages[kStageCount];
  bool pointSprites = false;

 private:
  DeviceHandle handle_;
};

// Sets every state of the block on the device, in the order the renderer
// records them. `noShaders` is the renderer's "shader level 4" (no usable
// shaders): the material then has no specular and its diffuse alpha is the
// sum of the four alphas.
void TranslateRenderStates(const RenderStateBlock& block, d3d::Device& device, bool noShaders);

}  // namespace klx
