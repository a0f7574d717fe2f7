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

// Every text above, for the tests and the start-up measure.
extern const char* const kAllTexts[];
extern const int kAllTextCount;

}  // namespace klx::shaders
