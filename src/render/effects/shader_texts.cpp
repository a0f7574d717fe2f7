#include "render/effects/shader_texts.h"

namespace klx::shaders {

// The fog of a view-space depth in r0.x, into oFog, with the density and
// exponent in FOG.x and FOG.y. Uses r1-r3 and c12.
#define KLX_FOG_FROM_DEPTH_IN(FOG)                                 \
  "mul r0.y, r0.x, " FOG ".x\n"  /* density * depth */             \
  "mov r0.x, c12.x\n"                                              \
  "mov r0.w, " FOG ".y\n"        /* exponent */                    \
  "lit r1, r0\n"                /* r1.z = (density*depth)^exp */   \
  "mov r2.x, c12.x\n"                                              \
  "mov r2.y, c12.y\n"           /* 1/e */                          \
  "mov r2.w, r1.z\n"                                               \
  "lit r3, r2\n"                /* r3.z = e^-(...) */              \
  "mov oFog, r3.z\n"

// The fog from the common constants' c9.
#define KLX_FOG_FROM_DEPTH KLX_FOG_FROM_DEPTH_IN("c9")

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

// Lit by one directional light: c8-c11 the material's ambient, diffuse,
// specular and emissive colours, c12.x its specular power, c13-c15 the
// light's ambient, diffuse and specular colours, c16 the direction towards
// the light and c17 the camera, both in object space, c18 (fog density,
// fog exponent). Fog as in the other texts, with its constants in c20.
#define KLX_LIT_FOG                                                \
  "dp4 r0.x, v0, c6\n"                                             \
  "mul r0.y, r0.x, c18.x\n"                                        \
  "mov r0.x, c20.x\n"                                              \
  "mov r0.w, c18.y\n"                                              \
  "lit r1, r0\n"                                                   \
  "mov r2.x, c20.x\n"                                              \
  "mov r2.y, c20.y\n"                                              \
  "mov r2.w, r1.z\n"                                               \
  "lit r3, r2\n"                                                   \
  "mov oFog, r3.z\n"

// The half vector H = normalize(normalize(camera - position) + L) in r5.
#define KLX_HALF_VECTOR                                             \
  "add r5, c17, -v0\n"                                             \
  "dp3 r5.w, r5, r5\n"                                             \
  "rsq r5.w, r5.w\n"                                               \
  "mul r5.xyz, r5, r5.w\n"                                         \
  "add r5.xyz, r5, c16\n"                                          \
  "dp3 r5.w, r5, r5\n"                                             \
  "rsq r5.w, r5.w\n"                                               \
  "mul r5.xyz, r5, r5.w\n"

// Per vertex: diffuse colour ambient * lightAmbient + diffuse * lightDiffuse
// * max(N.L, 0) in oD0 (alpha the material's), specular colour specular *
// lightSpecular * (N.H)^power + emissive in oD1 (alpha 0), through lit.
const char* const kLitVertex =
    "vs_1_1\n"
    "def c20, 1.0, 0.36787944, 0.0, 0.0\n"
    "dcl_position v0\n"
    "dcl_normal v1\n"
    "dcl_texcoord v2\n"
    "m4x4 oPos, v0, c0\n" KLX_LIT_FOG KLX_HALF_VECTOR
    "dp3 r4.x, v1, c16\n"
    "dp3 r4.y, v1, r5\n"
    "mov r4.w, c12.x\n"
    "lit r6, r4\n"
    "mul r7, c8, c13\n"
    "mul r8, c9, c14\n"
    "mad r10, r8, r6.y, r7\n"
    "mov r10.w, c9.w\n"
    "mov oD0, r10\n"
    "mul r9, c10, c15\n"
    "mad r11, r9, r6.z, c11\n"
    "mov r11.w, c20.z\n"
    "mov oD1, r11\n"
    "mov oT0, v2\n";

// The lit text with the wind: its clock in c19 (amplitude, speed, time),
// the wind's constants in c21-c24, the displaced position in r6.
#define KLX_LIT_SINE                                               \
  "mad r4.x, r4.x, c21.x, c21.y\n"                                 \
  "frc r4.x, r4.x\n"                                               \
  "mad r4.x, r4.x, c21.z, c21.w\n"                                 \
  "mul r5.x, r4.x, r4.x\n"                                         \
  "mad r5.y, r5.x, c22.w, c22.z\n"                                 \
  "mad r5.y, r5.y, r5.x, c22.y\n"                                  \
  "mad r5.y, r5.y, r5.x, c22.x\n"                                  \
  "mul r4.x, r5.y, r4.x\n"

const char* const kLitWindVertex =
    "vs_1_1\n"
    "def c20, 1.0, 0.36787944, 0.0, 0.0\n"
    "def c21, 0.15915494, 0.5, 6.2831853, -3.1415927\n"
    "def c22, 1.0, -0.16666667, 0.0083333333, -0.00019841270\n"
    "def c23, 0.5077, -0.421, 1.31415, 0.3\n"
    "def c24, -0.6, 0.0, 0.0, 0.0\n"
    "dcl_position v0\n"
    "dcl_normal v1\n"
    "dcl_texcoord v2\n"
    "mov r6, v0\n"
    "mul r7.x, c19.y, c19.z\n"
    "mad r4.x, v0.x, c23.x, r7.x\n"
    "mad r4.x, v0.z, c23.y, r4.x\n" KLX_LIT_SINE
    "mul r4.x, r4.x, c19.x\n"
    "mad r6.x, r4.x, v0.y, v0.x\n"
    "mul r4.x, r7.x, c23.z\n"
    "mad r4.x, v0.y, c23.w, r4.x\n"
    "mad r4.x, v0.z, c24.x, r4.x\n" KLX_LIT_SINE
    "mul r4.x, r4.x, c19.x\n"
    "mad r6.z, r4.x, v0.y, v0.z\n"
    "m4x4 oPos, r6, c0\n"
    "dp4 r0.x, r6, c6\n"
    "mul r0.y, r0.x, c18.x\n"
    "mov r0.x, c20.x\n"
    "mov r0.w, c18.y\n"
    "lit r1, r0\n"
    "mov r2.x, c20.x\n"
    "mov r2.y, c20.y\n"
    "mov r2.w, r1.z\n"
    "lit r3, r2\n"
    "mov oFog, r3.z\n"
    "add r5, c17, -r6\n"
    "dp3 r5.w, r5, r5\n"
    "rsq r5.w, r5.w\n"
    "mul r5.xyz, r5, r5.w\n"
    "add r5.xyz, r5, c16\n"
    "dp3 r5.w, r5, r5\n"
    "rsq r5.w, r5.w\n"
    "mul r5.xyz, r5, r5.w\n"
    "dp3 r4.x, v1, c16\n"
    "dp3 r4.y, v1, r5\n"
    "mov r4.w, c12.x\n"
    "lit r8, r4\n"
    "mul r7, c8, c13\n"
    "mul r9, c9, c14\n"
    "mad r10, r9, r8.y, r7\n"
    "mov r10.w, c9.w\n"
    "mov oD0, r10\n"
    "mul r9, c10, c15\n"
    "mad r11, r9, r8.z, c11\n"
    "mov r11.w, c20.z\n"
    "mov oD1, r11\n"
    "mov oT0, v2\n";

const char* const kLitPixel =
    "ps_1_1\n"
    "tex t0\n"
    "mad r0, t0, v0, v1\n";

// Per pixel: the normal in t1 and the half vector in t2 for the pixel
// shader, which evaluates the same terms with pow.
const char* const kLitPerPixelVertex =
    "vs_2_0\n"
    "def c20, 1.0, 0.36787944, 0.0, 0.0\n"
    "dcl_position v0\n"
    "dcl_normal v1\n"
    "dcl_texcoord v2\n"
    "m4x4 oPos, v0, c0\n" KLX_LIT_FOG KLX_HALF_VECTOR
    "mov oT0, v2\n"
    "mov oT1, v1\n"
    "mov oT2, r5\n";

// c0 ambient * lightAmbient, c1 diffuse * lightDiffuse, c2 specular *
// lightSpecular, c3 emissive, c4.x the power, c5 the direction towards the
// light, c7.w the material's alpha.
const char* const kLitPerPixelPixel =
    "ps_2_0\n"
    "def c6, 0.0, 1.0, 0.0, 0.0\n"
    "dcl t0.xy\n"
    "dcl t1.xyz\n"
    "dcl t2.xyz\n"
    "dcl_2d s0\n"
    "texld r0, t0, s0\n"
    "nrm r1.xyz, t1\n"
    "nrm r2.xyz, t2\n"
    "dp3 r3.x, r1, c5\n"
    "max r3.x, r3.x, c6.x\n"
    "dp3 r3.y, r1, r2\n"
    "max r3.y, r3.y, c6.x\n"
    "pow r3.z, r3.y, c4.x\n"
    "cmp r3.z, -r3.x, c6.x, r3.z\n"
    "mad r4, c1, r3.x, c0\n"
    "mul r4, r4, r0\n"
    "mad r4.xyz, c2, r3.z, r4\n"
    "add r4.xyz, r4, c3\n"
    "mul r4.w, r0.w, c7.w\n"
    "mov oC0, r4\n";

// Skinned texts (vs 2.0). c0-c3 view-projection and c4-c7 view (the
// blended positions are in world space), the bone palette from c8 (bone i
// in c(8 + 4i) to c(10 + 4i), its columns), c208 the colour, c209 (fog
// density, fog exponent). c220 holds the texts' own numbers. Streams:
// position v0, blend weights v1, blend indices v2.
#define KLX_SKIN_CONSTANTS "def c220, 1.0, 0.36787944, 0.0, 4.0\n"

// One bone's share of the position into r1: its index (component k of r0,
// floored and times four) addresses the palette.
#define KLX_SKIN_BONE_POSITION_AT(k, R0, R1, R2)                   \
  "mova a0.x, r0." k "\n"                                          \
  "dp4 r1.x, v0, c[a0.x + " R0 "]\n"                               \
  "dp4 r1.y, v0, c[a0.x + " R1 "]\n"                               \
  "dp4 r1.z, v0, c[a0.x + " R2 "]\n"
#define KLX_SKIN_BONE_POSITION(k) KLX_SKIN_BONE_POSITION_AT(k, "8", "9", "10")

// The blended world position into r6 (w = 1), the palette's rows at R0,
// R1 and R2 past four times the bone index.
#define KLX_SKIN_POSITION_AT(R0, R1, R2)                                    \
  "frc r0, v2\n"                                                           \
  "add r0, v2, -r0\n"                                                      \
  "mul r0, r0, c220.w\n" KLX_SKIN_BONE_POSITION_AT("x", R0, R1, R2)        \
  "mul r6.xyz, r1, v1.x\n" KLX_SKIN_BONE_POSITION_AT("y", R0, R1, R2)      \
  "mad r6.xyz, r1, v1.y, r6\n" KLX_SKIN_BONE_POSITION_AT("z", R0, R1, R2)  \
  "mad r6.xyz, r1, v1.z, r6\n" KLX_SKIN_BONE_POSITION_AT("w", R0, R1, R2)  \
  "mad r6.xyz, r1, v1.w, r6\n"                                             \
  "mov r6.w, c220.x\n"
#define KLX_SKIN_POSITION KLX_SKIN_POSITION_AT("8", "9", "10")

// The same with the normal in v3, blended by the bones' rotations into r7
// and normalised. The indices stay in r0.
#define KLX_SKIN_BONE_NORMAL(k)                                    \
  KLX_SKIN_BONE_POSITION(k)                                        \
  "dp3 r2.x, v3, c[a0.x + 8]\n"                                    \
  "dp3 r2.y, v3, c[a0.x + 9]\n"                                    \
  "dp3 r2.z, v3, c[a0.x + 10]\n"

#define KLX_SKIN_POSITION_AND_NORMAL                                \
  "frc r0, v2\n"                                                   \
  "add r0, v2, -r0\n"                                              \
  "mul r0, r0, c220.w\n" KLX_SKIN_BONE_NORMAL("x")                 \
  "mul r6.xyz, r1, v1.x\n"                                         \
  "mul r7.xyz, r2, v1.x\n" KLX_SKIN_BONE_NORMAL("y")               \
  "mad r6.xyz, r1, v1.y, r6\n"                                     \
  "mad r7.xyz, r2, v1.y, r7\n" KLX_SKIN_BONE_NORMAL("z")           \
  "mad r6.xyz, r1, v1.z, r6\n"                                     \
  "mad r7.xyz, r2, v1.z, r7\n" KLX_SKIN_BONE_NORMAL("w")           \
  "mad r6.xyz, r1, v1.w, r6\n"                                     \
  "mad r7.xyz, r2, v1.w, r7\n"                                     \
  "mov r6.w, c220.x\n"                                             \
  "dp3 r7.w, r7, r7\n"                                             \
  "rsq r7.w, r7.w\n"                                               \
  "mul r7.xyz, r7, r7.w\n"

// Fog of the view depth of r6, with c209 and c220.
#define KLX_SKIN_FOG                                               \
  "dp4 r0.x, r6, c6\n"                                             \
  "mul r0.y, r0.x, c209.x\n"                                       \
  "mov r0.x, c220.x\n"                                             \
  "mov r0.w, c209.y\n"                                             \
  "lit r1, r0\n"                                                   \
  "mov r2.x, c220.x\n"                                             \
  "mov r2.y, c220.y\n"                                             \
  "mov r2.w, r1.z\n"                                               \
  "lit r3, r2\n"                                                   \
  "mov oFog, r3.z\n"

const char* const kTextureSkinnedVertex =
    "vs_2_0\n" KLX_SKIN_CONSTANTS
    "dcl_position v0\n"
    "dcl_blendweight v1\n"
    "dcl_blendindices v2\n"
    "dcl_texcoord v3\n" KLX_SKIN_POSITION
    "m4x4 oPos, r6, c0\n" KLX_SKIN_FOG
    "mov oT0, v3\n"
    "mov oD0, c208\n";

// The lit skinned texts: the bind-pose normal in v3, coordinates in v4;
// c210-c213 the material's ambient, diffuse, specular and emissive colours,
// c214.x its power, c215-c217 the light's colours, c218 the direction
// towards the light and c219 the camera, both in world space.
#define KLX_SKIN_HALF_VECTOR                                        \
  "add r5, c219, -r6\n"                                            \
  "dp3 r5.w, r5, r5\n"                                             \
  "rsq r5.w, r5.w\n"                                               \
  "mul r5.xyz, r5, r5.w\n"                                         \
  "add r5.xyz, r5, c218\n"                                         \
  "dp3 r5.w, r5, r5\n"                                             \
  "rsq r5.w, r5.w\n"                                               \
  "mul r5.xyz, r5, r5.w\n"

#define KLX_SKIN_LIT_HEAD                                           \
  "vs_2_0\n" KLX_SKIN_CONSTANTS                                    \
  "dcl_position v0\n"                                              \
  "dcl_blendweight v1\n"                                           \
  "dcl_blendindices v2\n"                                          \
  "dcl_normal v3\n"                                                \
  "dcl_texcoord v4\n" KLX_SKIN_POSITION_AND_NORMAL                 \
  "m4x4 oPos, r6, c0\n" KLX_SKIN_FOG KLX_SKIN_HALF_VECTOR

const char* const kLitSkinnedVertex =
    KLX_SKIN_LIT_HEAD
    "dp3 r4.x, r7, c218\n"
    "dp3 r4.y, r7, r5\n"
    "mov r4.w, c214.x\n"
    "lit r8, r4\n"
    "mul r9, c210, c215\n"
    "mul r10, c211, c216\n"
    "mad r10, r10, r8.y, r9\n"
    "mov r10.w, c211.w\n"
    "mov oD0, r10\n"
    "mul r9, c212, c217\n"
    "mad r11, r9, r8.z, c213\n"
    "mov r11.w, c220.z\n"
    "mov oD1, r11\n"
    "mov oT0, v4\n";

// For the per-pixel pixel shader: the normal in t1, the half vector in t2.
const char* const kLitSkinnedPerPixelVertex =
    KLX_SKIN_LIT_HEAD
    "mov oT0, v4\n"
    "mov oT1, r7\n"
    "mov oT2, r5\n";

// The shadow test drawn over the receivers. Each text computes the clip
// position exactly as the receiver's own text does, so the second drawing
// lands on the same depths. Out: oT1 the position in the shadow map's
// texture space, oD0 the shadow colour.
// Plain (vs 1.1): c0-c3 world*view*projection, c4-c7 world*shadow-map
// matrix, c8 the shadow colour.
const char* const kShadowVertex =
    "vs_1_1\n"
    "dcl_position v0\n"
    "m4x4 oPos, v0, c0\n"
    "m4x4 oT1, v0, c4\n"
    "mov oD0, c8\n";

// Swaying in the wind (vs 1.1): as above, with the wind's c9 and c10 as the
// receiver's wind text has them.
const char* const kShadowWindVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n" KLX_WIND_POSITION
    "m4x4 oPos, r6, c0\n"
    "m4x4 oT1, r6, c4\n"
    "mov oD0, c8\n";

// Grass (vs 1.1): the sway weight's set in v2, c10 = (amplitude, speed,
// time).
const char* const kShadowGrassVertex =
    "vs_1_1\n" KLX_CONSTANTS
    "dcl_position v0\n"
    "dcl_texcoord1 v2\n" KLX_GRASS_SWAY
    "m4x4 oPos, r6, c0\n"
    "m4x4 oT1, r6, c4\n"
    "mov oD0, c8\n";

// Skinned (vs 2.0): c0-c3 the camera's view*projection, the bone palette
// from c4, c204-c207 the shadow-map matrix, c208 the shadow colour.
const char* const kShadowSkinnedVertex =
    "vs_2_0\n" KLX_SKIN_CONSTANTS
    "dcl_position v0\n"
    "dcl_blendweight v1\n"
    "dcl_blendindices v2\n" KLX_SKIN_POSITION_AT("4", "5", "6")
    "m4x4 oPos, r6, c0\n"
    "m4x4 oT1, r6, c204\n"
    "mov oD0, c208\n";

// The hard test (ps 1.1): the shadow map on stage 1; the colour, alpha
// too, times 1 - the test's result (1 where lit).
const char* const kShadowPixel =
    "ps_1_1\n"
    "tex t1\n"
    "mul r0, v0, 1-t1.b\n";

// The soft test (ps 2.0): the shadow map on stage 0, c0 = (1/width,
// 1/height). Five projective tests, at t1 and a texel off diagonally each
// way; the colour times 1 - 0.2 x their sum.
const char* const kShadowSoftPixel =
    "ps_2_0\n"
    "def c1, 0.2, 1.0, -1.0, 0.0\n"
    "dcl t1\n"
    "dcl v0\n"
    "dcl_2d s0\n"
    "mul r5.xy, c0, t1.w\n"           /* a texel, before the division */
    "texldp r0, t1, s0\n"
    "add r1.xy, t1, r5\n"
    "mov r1.zw, t1\n"
    "texldp r1, r1, s0\n"
    "mad r2.xy, r5, c1.zy, t1\n"
    "mov r2.zw, t1\n"
    "texldp r2, r2, s0\n"
    "mad r3.xy, r5, c1.yz, t1\n"
    "mov r3.zw, t1\n"
    "texldp r3, r3, s0\n"
    "mad r4.xy, r5, c1.z, t1\n"
    "mov r4.zw, t1\n"
    "texldp r4, r4, s0\n"
    "add r0.x, r0.x, r1.x\n"
    "add r0.x, r0.x, r2.x\n"
    "add r0.x, r0.x, r3.x\n"
    "add r0.x, r0.x, r4.x\n"
    "mad r0.x, r0.x, -c1.x, c1.y\n"
    "mul r0, v0, r0.x\n"
    "mov oC0, r0\n";

// The water (vs 2.0): c0-c7 as usual, c8 colour, c9 the eye in the
// surface's own space, c10 (scale x, scale y, amplitude sin, amplitude cos)
// of the scrolling ripples, c11 the fog. Out: t0 the clip position, t1 and
// t2 two normal-map coordinates scrolling against each other, t3 the eye
// vector, t4 the normal.
const char* const kWaterVertex =
    "vs_2_0\n" KLX_CONSTANTS
    "dcl_position v0\n"
    "dcl_normal v1\n"
    "dcl_texcoord1 v2\n"
    "m4x4 r6, v0, c0\n"
    "mov oPos, r6\n"
    "mov oT0, r6\n"
    "mul r7.xy, v2, c10\n"
    "add oT1.x, r7.x, c10.z\n"
    "sub oT1.y, r7.y, c10.w\n"
    "sub oT2.x, r7.x, c10.z\n"
    "add oT2.y, r7.y, c10.w\n"
    "sub oT3.xyz, c9, v0\n"
    "mov oT4.xyz, v1\n"
    "mov oD0, c8\n"
    "dp4 r0.x, v0, c6\n" KLX_FOG_FROM_DEPTH_IN("c11");

// The water (ps 2.0): stage 0 the normal map, 1 the Fresnel ramp, 2 the
// reflection, 3 the refraction; c0.x the refraction's distortion, c2.x the
// reflection's. The two normal samples' difference in x and z bends the
// screen-space look-ups; the Fresnel term of the angle between the eye and
// the normal mixes them: refraction + F (reflection - refraction).
const char* const kWaterPixel =
    "ps_2_0\n"
    "def c4, 0.5, -0.5, 0.0, 0.0\n"
    "def c5, 0.5, 0.5, 0.0, 0.0\n"
    "dcl t0\n"
    "dcl t1.xy\n"
    "dcl t2.xy\n"
    "dcl t3.xyz\n"
    "dcl t4.xyz\n"
    "dcl v0\n"
    "dcl_2d s0\n"
    "dcl_2d s1\n"
    "dcl_2d s2\n"
    "dcl_2d s3\n"
    "texld r0, t1, s0\n"
    "texld r1, t2, s0\n"
    "sub r0, r0, r1\n"
    "mov r0.y, r0.z\n"          /* d = (dx, dz) */
    "rcp r2.w, t0.w\n"
    "mul r2.xy, t0, r2.w\n"
    "mad r2.xy, r2, c4, c5\n"    /* the screen position, 0..1 down */
    "mad r3.xy, r0, c0.x, r2\n"
    "mad r4.xy, r0, c2.x, r2\n"
    "nrm r5.xyz, t3\n"
    "nrm r6.xyz, t4\n"
    "dp3 r7.x, r5, r6\n"
    "mov r7.y, c4.z\n"
    "texld r3, r3, s3\n"
    "texld r4, r4, s2\n"
    "texld r7, r7, s1\n"
    "mul r3, r3, v0\n"
    "sub r4, r4, r3\n"
    "mad r0, r7.x, r4, r3\n"
    "mov oC0, r0\n";

const char* const kAllTexts[] = {
    kColorVertex,   kColorWindVertex, kColorPixel,    kTextureVertex,      kTextureWindVertex, kTexturePixel,
    kLightmapVertex, kLightmapWindVertex, kLightmapPixel, kGrassVertex,   kGrassColoredVertex, kLitVertex,
    kLitWindVertex, kLitPixel,       kLitPerPixelVertex, kLitPerPixelPixel, kTextureSkinnedVertex,
    kLitSkinnedVertex, kLitSkinnedPerPixelVertex, kWaterVertex, kWaterPixel,
    kShadowVertex, kShadowWindVertex, kShadowGrassVertex, kShadowSkinnedVertex, kShadowPixel, kShadowSoftPixel,
};
const int kAllTextCount = static_cast<int>(sizeof(kAllTexts) / sizeof(kAllTexts[0]));

}  // namespace klx::shaders
