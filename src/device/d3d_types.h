#pragma once
// The Direct3D 9 vocabulary the device layer speaks: state names, enumerated
// values and structures with the numbers Direct3D gives them, so that the
// renderer's tables translate to them directly and an adapter over the real
// Direct3D 9 would pass them through unchanged.

#include <cstdint>

namespace klx::d3d {

// Render states (D3DRENDERSTATETYPE).
enum RenderState : uint32_t {
  kRsZEnable = 7,
  kRsFillMode = 8,
  kRsShadeMode = 9,
  kRsZWriteEnable = 14,
  kRsAlphaTestEnable = 15,
  kRsSrcBlend = 19,
  kRsDestBlend = 20,
  kRsCullMode = 22,
  kRsZFunc = 23,
  kRsAlphaRef = 24,
  kRsAlphaFunc = 25,
  kRsAlphaBlendEnable = 27,
  kRsFogEnable = 28,
  kRsSpecularEnable = 29,
  kRsFogColor = 34,
  kRsFogTableMode = 35,
  kRsFogStart = 36,
  kRsFogEnd = 37,
  kRsFogDensity = 38,
  kRsStencilEnable = 52,
  kRsStencilFail = 53,
  kRsStencilZFail = 54,
  kRsStencilPass = 55,
  kRsStencilFunc = 56,
  kRsStencilRef = 57,
  kRsStencilMask = 58,
  kRsStencilWriteMask = 59,
  kRsTextureFactor = 60,
  kRsLighting = 137,
  kRsAmbient = 139,
  kRsFogVertexMode = 140,
  kRsColorVertex = 141,
  kRsLocalViewer = 142,
  kRsNormalizeNormals = 143,
  kRsDiffuseMaterialSource = 145,
  kRsSpecularMaterialSource = 146,
  kRsAmbientMaterialSource = 147,
  kRsEmissiveMaterialSource = 148,
  kRsPointSize = 154,
  kRsPointSizeMin = 155,
  kRsPointSpriteEnable = 156,
  kRsPointScaleEnable = 157,
  kRsPointScaleA = 158,
  kRsPointScaleB = 159,
  kRsPointScaleC = 160,
  kRsPointSizeMax = 166,
  kRsColorWriteEnable = 168,
  kRsBlendOp = 171,
  kRsScissorTestEnable = 174,
  kRsSlopeScaleDepthBias = 175,
  kRsTwoSidedStencilMode = 185,
  kRsCcwStencilFail = 186,
  kRsCcwStencilZFail = 187,
  kRsCcwStencilPass = 188,
  kRsCcwStencilFunc = 189,
  kRsDepthBias = 195,
  kRsSeparateAlphaBlendEnable = 206,
  kRsSrcBlendAlpha = 207,
  kRsDestBlendAlpha = 208,
  kRsBlendOpAlpha = 209,
  kRenderStateCount = 210,
};

enum Blend : uint32_t {
  kBlendZero = 1,
  kBlendOne = 2,
  kBlendSrcColor = 3,
  kBlendInvSrcColor = 4,
  kBlendSrcAlpha = 5,
  kBlendInvSrcAlpha = 6,
  kBlendDestAlpha = 7,
  kBlendInvDestAlpha = 8,
  kBlendDestColor = 9,
  kBlendInvDestColor = 10,
  kBlendSrcAlphaSat = 11,
};

enum BlendOp : uint32_t {
  kBlendOpAdd = 1,
  kBlendOpSubtract = 2,
  kBlendOpRevSubtract = 3,
  kBlendOpMin = 4,
  kBlendOpMax = 5,
};

enum Compare : uint32_t {
  kCmpNever = 1,
  kCmpLess = 2,
  kCmpEqual = 3,
  kCmpLessEqual = 4,
  kCmpGreater = 5,
  kCmpNotEqual = 6,
  kCmpGreaterEqual = 7,
  kCmpAlways = 8,
};

enum Cull : uint32_t {
  kCullNone = 1,
  kCullCw = 2,   // culls triangles that wind clockwise on screen
  kCullCcw = 3,
};

enum FogMode : uint32_t {
  kFogNone = 0,
  kFogExp = 1,
  kFogExp2 = 2,
  kFogLinear = 3,
};

enum ShadeMode : uint32_t {
  kShadeFlat = 1,
  kShadeGouraud = 2,
};

enum FillMode : uint32_t {
  kFillPoint = 1,
  kFillWireframe = 2,
  kFillSolid = 3,
};

enum StencilOp : uint32_t {
  kStencilKeep = 1,
  kStencilZero = 2,
  kStencilReplace = 3,
  kStencilIncrSat = 4,
  kStencilDecrSat = 5,
  kStencilInvert = 6,
  kStencilIncr = 7,
  kStencilDecr = 8,
};

enum MaterialColorSource : uint32_t {
  kMcsMaterial = 0,
  kMcsColor1 = 1,
  kMcsColor2 = 2,
};

// Texture-stage states (D3DTEXTURESTAGESTATETYPE).
enum TextureStageState : uint32_t {
  kTssColorOp = 1,
  kTssColorArg1 = 2,
  kTssColorArg2 = 3,
  kTssAlphaOp = 4,
  kTssAlphaArg1 = 5,
  kTssAlphaArg2 = 6,
  kTssTexCoordIndex = 11,
  kTssTextureTransformFlags = 24,
  kTssColorArg0 = 26,
  kTssAlphaArg0 = 27,
  kTssResultArg = 28,
  kTextureStageStateCount = 33,
};

enum TextureOp : uint32_t {
  kTopDisable = 1,
  kTopSelectArg1 = 2,
  kTopSelectArg2 = 3,
  kTopModulate = 4,
  kTopModulate2x = 5,
  kTopModulate4x = 6,
  kTopAdd = 7,
  kTopAddSigned = 8,
  kTopAddSigned2x = 9,
  kTopSubtract = 10,
  kTopAddSmooth = 11,
  kTopBlendDiffuseAlpha = 12,
  kTopBlendTextureAlpha = 13,
  kTopBlendFactorAlpha = 14,
  kTopBlendTextureAlphaPm = 15,
  kTopBlendCurrentAlpha = 16,
  kTopPremodulate = 17,
  kTopModulateAlphaAddColor = 18,
  kTopModulateColorAddAlpha = 19,
  kTopModulateInvAlphaAddColor = 20,
  kTopModulateInvColorAddAlpha = 21,
  kTopBumpEnvMap = 22,
  kTopBumpEnvMapLuminance = 23,
  kTopDotProduct3 = 24,
  kTopMultiplyAdd = 25,
  kTopLerp = 26,
};

// Texture-stage argument: a source in the low bits plus modifier flags.
enum TextureArgument : uint32_t {
  kTaSelectMask = 0x0F,
  kTaDiffuse = 0,
  kTaCurrent = 1,
  kTaTexture = 2,
  kTaTFactor = 3,
  kTaSpecular = 4,
  kTaTemp = 5,
  kTaConstant = 6,
  kTaComplement = 0x10,
  kTaAlphaReplicate = 0x20,
};

// Coordinate generation, in the high half of the texture-coordinate index.
enum TexCoordGeneration : uint32_t {
  kTciPassThru = 0x00000,
  kTciCameraSpaceNormal = 0x10000,
  kTciCameraSpacePosition = 0x20000,
  kTciCameraSpaceReflectionVector = 0x30000,
  kTciSphereMap = 0x40000,
};

enum TextureTransformFlags : uint32_t {
  kTtffDisable = 0,
  kTtffCount1 = 1,
  kTtffCount2 = 2,
  kTtffCount3 = 3,
  kTtffCount4 = 4,
  kTtffProjected = 256,
};

// Sampler states (D3DSAMPLERSTATETYPE).
enum SamplerState : uint32_t {
  kSampAddressU = 1,
  kSampAddressV = 2,
  kSampAddressW = 3,
  kSampBorderColor = 4,
  kSampMagFilter = 5,
  kSampMinFilter = 6,
  kSampMipFilter = 7,
  kSampMipMapLodBias = 8,
  kSampMaxMipLevel = 9,
  kSampMaxAnisotropy = 10,
  kSamplerStateCount = 14,
};

enum TextureAddress : uint32_t {
  kTaddressWrap = 1,
  kTaddressMirror = 2,
  kTaddressClamp = 3,
  kTaddressBorder = 4,
  kTaddressMirrorOnce = 5,
};

enum TextureFilter : uint32_t {
  kTexfNone = 0,
  kTexfPoint = 1,
  kTexfLinear = 2,
  kTexfAnisotropic = 3,
};

enum TransformState : uint32_t {
  kTsView = 2,
  kTsProjection = 3,
  kTsTexture0 = 16,  // .. kTsTexture0 + 7
  kTsWorld = 256,
};

enum PrimitiveType : uint32_t {
  kPtPointList = 1,
  kPtLineList = 2,
  kPtLineStrip = 3,
  kPtTriangleList = 4,
  kPtTriangleStrip = 5,
  kPtTriangleFan = 6,
};

enum Format : uint32_t {
  kFmtUnknown = 0,
  kFmtA8R8G8B8 = 21,
  kFmtX8R8G8B8 = 22,
  kFmtR5G6B5 = 23,
  kFmtA8 = 28,
  kFmtD32 = 71,
  kFmtD24S8 = 75,
  kFmtD24X8 = 77,
  kFmtD16 = 80,
  kFmtIndex16 = 101,
  kFmtIndex32 = 102,
  kFmtA16B16G16R16F = 113,
};

enum DeclType : uint8_t {
  kDeclFloat1 = 0,
  kDeclFloat2 = 1,
  kDeclFloat3 = 2,
  kDeclFloat4 = 3,
  kDeclColor = 4,   // 8-bit B, G, R, A in memory order
  kDeclUByte4 = 5,
  kDeclUnused = 17,
};

enum DeclUsage : uint8_t {
  kUsagePosition = 0,
  kUsageBlendWeight = 1,
  kUsageBlendIndices = 2,
  kUsageNormal = 3,
  kUsagePSize = 4,
  kUsageTexCoord = 5,
  kUsageTangent = 6,
  kUsageBinormal = 7,
  kUsageColor = 10,
  kUsageFog = 11,
};

enum ClearFlag : uint32_t {
  kClearTarget = 1,
  kClearZBuffer = 2,
  kClearStencil = 4,
};

enum CubeFace : uint32_t {
  kCubePositiveX = 0,
  kCubeNegativeX = 1,
  kCubePositiveY = 2,
  kCubeNegativeY = 3,
  kCubePositiveZ = 4,
  kCubeNegativeZ = 5,
};

enum LightType : uint32_t {
  kLightPoint = 1,
  kLightSpot = 2,
  kLightDirectional = 3,
};

struct ColorValue {
  float r = 0, g = 0, b = 0, a = 0;
};

struct Vector3 {
  float x = 0, y = 0, z = 0;
};

// Row-major, for row vectors (v' = v * M), as Direct3D's matrices.
struct Matrix {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

struct Light {
  uint32_t type = kLightDirectional;
  ColorValue diffuse;
  ColorValue specular;
  ColorValue ambient;
  Vector3 position;
  Vector3 direction;
  float range = 0;
  float falloff = 0;
  float attenuation0 = 0;
  float attenuation1 = 0;
  float attenuation2 = 0;
  float theta = 0;  // inner cone angle, radians
  float phi = 0;    // outer cone angle, radians
};

struct Material {
  ColorValue diffuse;
  ColorValue ambient;
  ColorValue specular;
  ColorValue emissive;
  float power = 0;
};

struct Viewport {
  uint32_t x = 0, y = 0, width = 0, height = 0;
  float minZ = 0, maxZ = 1;
};

struct VertexElement {
  uint16_t stream = 0;
  uint16_t offset = 0;
  uint8_t type = kDeclFloat3;
  uint8_t usage = kUsagePosition;
  uint8_t usageIndex = 0;
};

// Packs a colour as Direct3D's 8-bit ARGB.
constexpr uint32_t ColorArgb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}

// Float states travel as their bits, as in Direct3D.
uint32_t FloatBits(float value);
float BitsFloat(uint32_t bits);

}  // namespace klx::d3d
