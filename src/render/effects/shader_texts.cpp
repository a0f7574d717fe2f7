#include "render/effects/shader_texts.h"

namespace klx::shaders {

// The fog of a view-space depth in r0.x, into oFog. Uses r1-r3 and c12.
#define KLX_FOG_FROM_DEPTH                                         \
  "mul r0.y, r0.x, c9.x\n"      /* density * depth */              \
  "mov r0.x, c12.x\n"                                              \
  "mov r0.w, c9.y\n"            /* exponent */                     \
  "lit r1, r0\n"                /* r1.z = (density*depth)^exp */   \
  "mov r2.x, c12.x\n"                                              \
  "mov r2.y, c12.y\n"           /* 1/e */                          \
  "mov r2.w, r1.z\n"                                               \
  "lit r3, r2\n"                /* r3.z = e^-(...) */              \
  "mov oFog, r3.z\n"

// sin of r4.x into r4.x (range-reduced to -pi..pi, then a seventh-order
// series). Uses r5 and c13, c14.
#define KLX_SINE                                                   \
  "mad r4.x, r4.x, c13.x, c13.y\n" /* x / 2pi + 1/2 */             \
  "frc r4.x, r4.x\n"                                               \
  "mad r4.x, r4.x, c13.z, c13.w\n" /* back to -pi..pi */           \
  "mul r5.x, r4.x, r4.x\n"         /* x^2 */                       \
  "mad r5.y, r5.x, c14.w, c14.z\n" /* -1/5040 x^2 + 1/120 */       \
  "mad r5.y, r5.y, r5.x, c14.y\n"  /* ... x^2 - 1/6 */             \
  "mad r5.y, r5.y, r5.x, c14.x\n"  /* ... x^2 + 1 */               \
  "mul r4.x, r5.y, r4.x\n"

#define KLX_CONSTANTS                                               \
  "def c12, 1.0, 0.36787944, 0.0, 0.0\n"                            \
  "def c13, 0.15915494, 0.5, 6.2831853, -3.1415927\n"               \
  "def c14, 1.0, -0.16666667, 0.0083333333, -0.00019841270\n"       \
  "def c15, 0.5077, -0.421, 1.31415, 0.3\n"                         \
  "def c16, -0.6, 0.0, 0.0, 0.0\n"

// The wind: x += amplitude sin(0.5077 x + speed time - 0.421 z) y and
// z += amplitude sin(1.31415 speed time + 0.3 y - 0.6 z) y, into r6.
#define KLX_WIND_POSITION                                               \
  "mov r6, v0\n"                                                        \
  "mul r7.x, c10.y, c10.z\n"             /* speed * time */             \
  "mad r4.x, v0.x, c15.x, r7.x\n"                                       \
  "mad r4.x, v0.z, c15.y, r4.x\n" KLX_SINE                              \
  "mul r4.x, r4.x, c10.x\n"                                             \
  "mad r6.x, r4.x, v0.y, v0.x\n"                                        \
  "mul r4.x, r7.x, c15.z\n"                                             \
  "mad r4.x, v0.y, c15.w, r4.x\n"                                       \
  "mad r4.x, v0.z, c16.x, r4.x\n" KLX_SINE                              \
  "mul r4.x, r4.x, c10.x\n"                                             \
  "mad r6.z, r4.x, v0.y, v0.z\n"

const char* const kColorVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n"
    "m4x4 oPos, v0, c0\n"
    "dp4 r0.x, v0, c6\n" KLX_FOG_FROM_DEPTH
    "mov oD0, c8\n";

const char* const kColorWindVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n" KLX_WIND_POSITION
    "m4x4 oPos, r6, c0\n"
    "dp4 r0.x, r6, c6\n" KLX_FOG_FROM_DEPTH
    "mov oD0, c8\n";

const char* const kColorPixel =
    "ps_1_1\n"
    "mov r0, v0\n";

const char* const kTextureVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n"
    "dcl_texcoord v1\n"
    "m4x4 oPos, v0, c0\n"
    "dp4 r0.x, v0, c6\n" KLX_FOG_FROM_DEPTH
    "mov oT0, v1\n"
    "mov oD0, c8\n";

const char* const kTextureWindVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n"
    "dcl_texcoord v1\n" KLX_WIND_POSITION
    "m4x4 oPos, r6, c0\n"
    "dp4 r0.x, r6, c6\n" KLX_FOG_FROM_DEPTH
    "mov oT0, v1\n"
    "mov oD0, c8\n";

const char* const kTexturePixel =
    "ps_1_1\n"
    "tex t0\n"
    "mul r0, t0, v0\n";

// Texture times light map times colour: the texture's coordinates in v1,
// the light map's in v2.
const char* const kLightmapVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_texcoord1 v2\n"
    "m4x4 oPos, v0, c0\n"
    "dp4 r0.x, v0, c6\n" KLX_FOG_FROM_DEPTH
    "mov oT0, v1\n"
    "mov oT1, v2\n"
    "mov oD0, c8\n";

const char* const kLightmapWindVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_texcoord1 v2\n" KLX_WIND_POSITION
    "m4x4 oPos, r6, c0\n"
    "dp4 r0.x, r6, c6\n" KLX_FOG_FROM_DEPTH
    "mov oT0, v1\n"
    "mov oT1, v2\n"
    "mov oD0, c8\n";

const char* const kLightmapPixel =
    "ps_1_1\n"
    "tex t0\n"
    "tex t1\n"
    "mul r0, t0, v0\n"
    "mul r0, r0, t1\n";

// Grass swaying in the wind: the wind's displacement weighted by
// 1 - (second coordinate set).y, so vertices with y = 1 there (the roots)
// stay where they are. c10 = (amplitude, speed, time).
#define KLX_GRASS_SWAY                                                  \
  "sub r8.x, c12.x, v2.y\n"              /* the sway weight */          \
  "mov r6, v0\n"                                                        \
  "mul r7.x, c10.y, c10.z\n"             /* speed * time */             \
  "mad r4.x, v0.x, c15.x, r7.x\n"                                       \
  "mad r4.x, v0.z, c15.y, r4.x\n" KLX_SINE                              \
  "mul r4.x, r4.x, c10.x\n"                                             \
  "mad r6.x, r4.x, r8.x, v0.x\n"                                        \
  "mul r4.x, r7.x, c15.z\n"                                             \
  "mad r4.x, v0.y, c15.w, r4.x\n"                                       \
  "mad r4.x, v0.z, c16.x, r4.x\n" KLX_SINE                              \
  "mul r4.x, r4.x, c10.x\n"                                             \
  "mad r6.z, r4.x, r8.x, v0.z\n"

const char* const kGrassVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_texcoord1 v2\n" KLX_GRASS_SWAY
    "m4x4 oPos, r6, c0\n"
    "dp4 r0.x, r6, c6\n" KLX_FOG_FROM_DEPTH
    "mov oT0, v1\n"
    "mov oD0, c8\n";

// The same with the geometry's own vertex colours times the effect's.
const char* const kGrassColoredVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n"
    "dcl_texcoord0 v1\n"
    "dcl_texcoord1 v2\n"
    "dcl_color v3\n" KLX_GRASS_SWAY
    "m4x4 oPos, r6, c0\n"
    "dp4 r0.x, r6, c6\n" KLX_FOG_FROM_DEPTH
    "mov oT0, v1\n"
    "mul oD0, v3, c8\n";

}  // namespace klx::shaders
