#pragma once
// The shader texts of the colour and texture effects: Direct3D 9 assembly
// assembled by the renderer. Registers follow the effects' common layout:
// c0-c3 world-view-projection and c4-c7 world-view (as columns, so m4x4
// and dp4 give row-vector products), c8 the colour, c9 (fog density, fog
// exponent, wind amplitude, wind speed), c10 (amplitude, speed, time, flag)
// with wind. Fog is 1 / e^((density * depth)^exponent), made with two lit
// instructions.

namespace klx::shaders {

extern const char* const kColorVertex;
extern const char* const kColorWindVertex;
extern const char* const kColorPixel;
extern const char* const kTextureVertex;
extern const char* const kTextureWindVertex;
extern const char* const kTexturePixel;

extern const char* const kLightmapVertex;
extern const char* const kLightmapWindVertex;
extern const char* const kLightmapPixel;

extern const char* const kGrassVertex;
extern const char* const kGrassColoredVertex;

extern const char* const kLitVertex;
extern const char* const kLitWindVertex;
extern const char* const kLitPixel;
extern const char* const kLitPerPixelVertex;
extern const char* const kLitPerPixelPixel;

// Skinned (vs 2.0): c0-c3 view-projection, c4-c7 view, the bone palette
// from c8, colour c208, fog c209; the lit ones have their material and
// light in c210-c219.
inline constexpr int kSkinPaletteRegister = 8;
inline constexpr int kSkinColorRegister = 208;
inline constexpr int kSkinFogRegister = 209;
inline constexpr int kSkinLitRegister = 210;
extern const char* const kTextureSkinnedVertex;
extern const char* const kLitSkinnedVertex;
extern const char* const kLitSkinnedPerPixelVertex;

// The water: vs 2.0 and ps 2.0 (registers in the texts' comments).
extern const char* const kWaterVertex;
extern const char* const kWaterPixel;

// The shadow test over the receivers: plain, wind and grass (vs 1.1: c0-c3
// world*view*projection, c4-c7 world*shadow-map matrix, c8 the shadow
// colour), skinned (vs 2.0: c0-c3 view*projection, palette from c4,
// c204-c207 the shadow-map matrix, c208 the colour); the hard test (ps 1.1,
// map on stage 1) and the soft one (ps 2.0, map on stage 0, c0 the texel).
inline constexpr int kShadowPaletteRegister = 4;
inline constexpr int kShadowSkinMatrixRegister = 204;
inline constexpr int kShadowSkinColorRegister = 208;
extern const char* const kShadowVertex;
extern const char* const kShadowWindVertex;
extern const char* const kShadowGrassVertex;
extern const char* const kShadowSkinnedVertex;
extern const char* const kShadowPixel;
extern const char* const kShadowSoftPixel;

// Every text above, for the tests and the start-up measure.
extern const char* const kAllTexts[];
extern const int kAllTextCount;

}  // namespace klx::shaders
