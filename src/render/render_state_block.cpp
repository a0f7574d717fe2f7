#include "render/render_state_block.h"

#include <algorithm>

#include "device/device.h"
#include "render/renderer.h"

namespace klx {

KLX_IMPLEMENT_CLASS(RenderStateBlock, Object)

RenderStateBlock::~RenderStateBlock() {
  if (handle_.owner) handle_.owner->ReleaseCopyOf(this);
}

namespace {

// The engine's enumerations by index to Direct3D's values.
constexpr uint32_t kBlends[] = {d3d::kBlendZero,      d3d::kBlendOne,         d3d::kBlendSrcColor,
                                d3d::kBlendInvSrcColor, d3d::kBlendSrcAlpha,  d3d::kBlendInvSrcAlpha,
                                d3d::kBlendDestColor, d3d::kBlendInvDestColor, d3d::kBlendDestAlpha,
                                d3d::kBlendInvDestAlpha};
constexpr uint32_t kCompares[] = {d3d::kCmpNever,   d3d::kCmpLess,     d3d::kCmpLessEqual,    d3d::kCmpEqual,
                                  d3d::kCmpNotEqual, d3d::kCmpGreater, d3d::kCmpGreaterEqual, d3d::kCmpAlways};
constexpr uint32_t kCulls[] = {d3d::kCullCw, d3d::kCullCcw};
constexpr uint32_t kFogModes[] = {d3d::kFogLinear, d3d::kFogExp, d3d::kFogExp2};
constexpr uint32_t kAddresses[] = {d3d::kTaddressClamp, d3d::kTaddressWrap, d3d::kTaddressBorder};
constexpr uint32_t kOperations[] = {d3d::kTopSelectArg1, d3d::kTopModulate, d3d::kTopAdd,
                                    d3d::kTopSubtract,   d3d::kTopAddSigned, d3d::kTopLerp};
constexpr int kOperationArguments[] = {1, 2, 2, 2, 2, 3};
constexpr uint32_t kSources[] = {d3d::kTaTexture, d3d::kTaDiffuse, d3d::kTaTFactor, d3d::kTaCurrent};
constexpr uint32_t kModifiers[] = {0, d3d::kTaComplement, d3d::kTaAlphaReplicate,
                                   d3d::kTaComplement | d3d::kTaAlphaReplicate};
constexpr uint32_t kGenerations[] = {d3d::kTciPassThru, d3d::kTciCameraSpaceReflectionVector,
                                     d3d::kTciCameraSpaceNormal, d3d::kTciCameraSpacePosition,
                                     d3d::kTciSphereMap, d3d::kTciPassThru};
constexpr uint32_t kStencilOps[] = {d3d::kStencilKeep, d3d::kStencilZero, d3d::kStencilIncrSat};

// An index looked up in a table; out of range gives the table's first
// value (files and effects cannot push the device off its enumerations).
template <size_t N>
uint32_t Pick(const uint32_t (&table)[N], int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < N ? table[index] : table[0];
}

uint32_t Argb(const Color& color) { return color.ToARGB(); }

d3d::ColorValue Value(const Color& color) { return {color.r, color.g, color.b, color.a}; }

void SetMinification(d3d::Device& device, uint32_t stage, int32_t filter) {
  static constexpr uint32_t kMin[] = {d3d::kTexfPoint, d3d::kTexfLinear, d3d::kTexfPoint,
                                      d3d::kTexfPoint, d3d::kTexfLinear, d3d::kTexfLinear};
  static constexpr uint32_t kMip[] = {d3d::kTexfNone,  d3d::kTexfNone,  d3d::kTexfPoint,
                                      d3d::kTexfLinear, d3d::kTexfPoint, d3d::kTexfLinear};
  device.SetSamplerState(stage, d3d::kSampMinFilter, Pick(kMin, filter));
  device.SetSamplerState(stage, d3d::kSampMipFilter, Pick(kMip, filter));
}

void SetStageOperations(d3d::Device& device, uint32_t stage, const TextureStage& ts) {
  using d3d::kTssAlphaArg0, d3d::kTssAlphaArg1, d3d::kTssAlphaArg2, d3d::kTssAlphaOp;
  using d3d::kTssColorArg0, d3d::kTssColorArg1, d3d::kTssColorArg2, d3d::kTssColorOp;
  auto both = [&](uint32_t colorOp, uint32_t c1, uint32_t c2, uint32_t alphaOp, uint32_t a1, uint32_t a2) {
    device.SetTextureStageState(stage, kTssColorOp, colorOp);
    device.SetTextureStageState(stage, kTssColorArg1, c1);
    device.SetTextureStageState(stage, kTssColorArg2, c2);
    device.SetTextureStageState(stage, kTssAlphaOp, alphaOp);
    device.SetTextureStageState(stage, kTssAlphaArg1, a1);
    device.SetTextureStageState(stage, kTssAlphaArg2, a2);
  };
  switch (ts.mode) {
    case 0:  // replace
      both(d3d::kTopSelectArg1, d3d::kTaTexture, d3d::kTaCurrent, d3d::kTopSelectArg1, d3d::kTaTexture,
           d3d::kTaCurrent);
      break;
    case 1:  // decal: the texture over the current colour by its alpha
      both(d3d::kTopBlendTextureAlpha, d3d::kTaTexture, d3d::kTaCurrent, d3d::kTopSelectArg1, d3d::kTaCurrent,
           d3d::kTaCurrent);
      break;
    case 3:  // blend with the factor, by the texture
      both(d3d::kTopLerp, d3d::kTaTFactor, d3d::kTaCurrent, d3d::kTopModulate, d3d::kTaTexture, d3d::kTaCurrent);
      device.SetTextureStageState(stage, kTssColorArg0, d3d::kTaTexture);
      break;
    case 4:  // add
      both(d3d::kTopAdd, d3d::kTaTexture, d3d::kTaCurrent, d3d::kTopAdd, d3d::kTaTexture, d3d::kTaCurrent);
      break;
    case 5: {  // custom
      const int32_t colorOp = std::clamp(ts.colorOperation, 0, 5);
      const int32_t alphaOp = std::clamp(ts.alphaOperation, 0, 5);
      auto argument = [](int32_t source, int32_t modifier) { return Pick(kSources, source) | Pick(kModifiers, modifier); };
      device.SetTextureStageState(stage, kTssColorOp, kOperations[colorOp]);
      device.SetTextureStageState(stage, kTssColorArg1, argument(ts.colorArgument1, ts.colorModifier1));
      if (kOperationArguments[colorOp] >= 2) {
        device.SetTextureStageState(stage, kTssColorArg2, argument(ts.colorArgument2, ts.colorModifier2));
      }
      if (kOperationArguments[colorOp] >= 3) {
        device.SetTextureStageState(stage, kTssColorArg0, argument(ts.colorArgument0, ts.colorModifier0));
      }
      device.SetTextureStageState(stage, kTssAlphaOp, kOperations[alphaOp]);
      device.SetTextureStageState(stage, kTssAlphaArg1, argument(ts.alphaArgument1, ts.alphaModifier1));
      if (kOperationArguments[alphaOp] >= 2) {
        device.SetTextureStageState(stage, kTssAlphaArg2, argument(ts.alphaArgument2, ts.alphaModifier2));
      }
      if (kOperationArguments[alphaOp] >= 3) {
        device.SetTextureStageState(stage, kTssAlphaArg0, argument(ts.alphaArgument0, ts.alphaModifier0));
      }
      break;
    }
    default:  // modulate
      both(d3d::kTopModulate, d3d::kTaTexture, d3d::kTaCurrent, d3d::kTopModulate, d3d::kTaTexture,
           d3d::kTaCurrent);
      break;
  }
}

}  // namespace

void TranslateRenderStates(const RenderStateBlock& b, d3d::Device& device, bool noShaders) {
  // Blending: colour and the separate alpha factors alike.
  device.SetRenderState(d3d::kRsAlphaBlendEnable, b.blendEnable ? 1 : 0);
  if (b.blendEnable) {
    device.SetRenderState(d3d::kRsSrcBlend, Pick(kBlends, b.sourceBlend));
    device.SetRenderState(d3d::kRsDestBlend, Pick(kBlends, b.destinationBlend));
    device.SetRenderState(d3d::kRsSrcBlendAlpha, Pick(kBlends, b.sourceBlend));
    device.SetRenderState(d3d::kRsDestBlendAlpha, Pick(kBlends, b.destinationBlend));
  }
  device.SetRenderState(d3d::kRsAlphaTestEnable, b.alphaTestEnable ? 1 : 0);
  if (b.alphaTestEnable) {
    device.SetRenderState(d3d::kRsAlphaRef, static_cast<uint32_t>(std::clamp(b.alphaReference, 0, 255)));
    device.SetRenderState(d3d::kRsAlphaFunc, Pick(kCompares, b.alphaFunction));
  }
  device.SetRenderState(d3d::kRsCullMode, b.cullEnable ? Pick(kCulls, b.cullMode) : d3d::kCullNone);
  device.SetRenderState(d3d::kRsFogEnable, b.fogEnable ? 1 : 0);
  if (b.fogEnable) {
    device.SetRenderState(d3d::kRsFogColor, Argb(b.fogColor));
    const d3d::RenderState modeState = b.pixelFog ? d3d::kRsFogTableMode : d3d::kRsFogVertexMode;
    device.SetRenderState(modeState, Pick(kFogModes, b.fogMode));
    if (b.fogMode == 1 || b.fogMode == 2) {
      device.SetRenderState(d3d::kRsFogDensity, d3d::FloatBits(b.fogDensity));
    } else {
      device.SetRenderState(d3d::kRsFogStart, d3d::FloatBits(b.fogStart));
      device.SetRenderState(d3d::kRsFogEnd, d3d::FloatBits(b.fogEnd));
    }
  }
  d3d::Material material;
  material.diffuse = Value(b.diffuse);
  material.ambient = Value(b.ambient);
  material.specular = Value(b.specular);
  material.emissive = Value(b.emissive);
  material.power = b.specularPower;
  if (noShaders) {
    material.specular = {0, 0, 0, 0};
    material.diffuse.a = b.diffuse.a + b.ambient.a + b.specular.a + b.emissive.a;
  }
  device.SetMaterial(material);
  device.SetRenderState(d3d::kRsShadeMode, b.shadeMode == 0 ? d3d::kShadeFlat : d3d::kShadeGouraud);
  device.SetRenderState(d3d::kRsStencilEnable, b.stencilEnable ? 1 : 0);
  device.SetRenderState(d3d::kRsStencilFunc, Pick(kCompares, b.stencilFunction));
  device.SetRenderState(d3d::kRsStencilRef, static_cast<uint32_t>(b.stencilReference));
  device.SetRenderState(d3d::kRsStencilFail, Pick(kStencilOps, b.stencilFail));
  device.SetRenderState(d3d::kRsStencilPass, Pick(kStencilOps, b.stencilPass));
  device.SetRenderState(d3d::kRsStencilZFail, Pick(kStencilOps, b.stencilDepthFail));
  device.SetRenderState(d3d::kRsTwoSidedStencilMode, b.twoSidedStencil ? 1 : 0);
  device.SetRenderState(d3d::kRsCcwStencilFunc, Pick(kCompares, b.backStencilFunction));
  device.SetRenderState(d3d::kRsCcwStencilFail, Pick(kStencilOps, b.backStencilFail));
  device.SetRenderState(d3d::kRsCcwStencilPass, Pick(kStencilOps, b.backStencilPass));
  device.SetRenderState(d3d::kRsCcwStencilZFail, Pick(kStencilOps, b.backStencilDepthFail));
  device.SetRenderState(d3d::kRsFillMode, b.wireframe ? d3d::kFillWireframe : d3d::kFillSolid);
  device.SetRenderState(d3d::kRsZEnable, b.depthEnable ? 1 : 0);
  if (b.depthEnable) {
    device.SetRenderState(d3d::kRsZWriteEnable, b.depthWrite ? 1 : 0);
    device.SetRenderState(d3d::kRsZFunc, Pick(kCompares, b.depthFunction));
  }
  for (uint32_t stage = 0; stage < RenderStateBlock::kStageCount; ++stage) {
    const TextureStage& ts = b.stages[stage];
    SetStageOperations(device, stage, ts);
    // The device has one texture factor: the last stage's wins.
    device.SetRenderState(d3d::kRsTextureFactor, Argb(ts.textureFactor));
    SetMinification(device, stage, ts.minificationFilter);
    device.SetSamplerState(stage, d3d::kSampMagFilter, ts.magnificationFilter == 0 ? d3d::kTexfPoint : d3d::kTexfLinear);
    device.SetSamplerState(stage, d3d::kSampAddressU, Pick(kAddresses, ts.addressU));
    device.SetSamplerState(stage, d3d::kSampAddressV, Pick(kAddresses, ts.addressV));
    device.SetSamplerState(stage, d3d::kSampAddressW, Pick(kAddresses, ts.addressW));
    device.SetSamplerState(stage, d3d::kSampBorderColor, Argb(ts.borderColor));
    device.SetTextureStageState(stage, d3d::kTssTexCoordIndex, stage + Pick(kGenerations, ts.coordinateGeneration));
    if (ts.coordinateGeneration != 0) {
      device.SetTextureStageState(stage, d3d::kTssTextureTransformFlags,
                                  ts.coordinateGeneration == 5 ? (d3d::kTtffCount3 | d3d::kTtffProjected)
                                                               : d3d::kTtffCount3);
      device.SetRenderState(d3d::kRsNormalizeNormals, 1);
    }
  }
  if (b.pointSprites) {
    device.SetRenderState(d3d::kRsPointSpriteEnable, 1);
    device.SetRenderState(d3d::kRsPointScaleEnable, 1);
    device.SetRenderState(d3d::kRsPointSize, d3d::FloatBits(0.1f));
    device.SetRenderState(d3d::kRsPointSizeMin, d3d::FloatBits(0.0f));
    device.SetRenderState(d3d::kRsPointScaleA, d3d::FloatBits(0.0f));
    device.SetRenderState(d3d::kRsPointScaleB, d3d::FloatBits(0.0f));
    device.SetRenderState(d3d::kRsPointScaleC, d3d::FloatBits(1.0f));
  } else {
    device.SetRenderState(d3d::kRsPointSpriteEnable, 0);
  }
}

}  // namespace klx
