#pragma once
// GLSL 1.20 from a parsed Direct3D shader, keeping Direct3D's register
// model: constants are vec4 uniform arrays ("vc" in vertex, "pc" in pixel
// shaders) set by register number,
// vertex inputs are attributes "a_v#" at fixed locations by declared usage,
// vertex outputs go to GL's built-in varyings (so either stage may run with
// GL's fixed-function counterpart), and the pixel stage ends with the fog
// Direct3D applies after a pixel shader.

#include <cstdint>
#include <string>

#include "shader_asm/shader_program.h"

namespace klx::d3d {

inline constexpr uint32_t kMaxSamplers = 16;

struct GlslOptions {
  // What each sampler (ps 2.0) or texture stage (ps 1.x) samples; a depth
  // texture compares (shadow samplers).
  SamplerKind samplers[kMaxSamplers] = {};
  uint32_t shadowSamplers = 0;  // bit per sampler
  // ps 1.x reads the kind from the bound texture; ps 2.0 from its dcl
  // unless the options say otherwise.
  bool samplersFromOptions = false;
};

// Uniforms the generated code reads besides the constants: vertex shaders
// "klx_posFixup" (1/width, 1/height of the target) and "klx_fogFromDepth"
// (1 for table fog: the fog coordinate is the depth, else 1 - oFog);
// pixel shaders "klx_fogColor" and "klx_fog" (start, end, density, mode:
// 0 none, 1 exp, 2 exp2, 3 linear) and "s0".."s15".
std::string GenerateGlsl(const ShaderProgram& program, const GlslOptions& options);

// Whether a vertex shader writes oPts (GL then takes its point size).
bool WritesPointSize(const ShaderProgram& program);

// The generic attribute location of a vertex input by Direct3D usage and
// index; -1 for one without a location.
int ShaderAttributeLocation(uint8_t usage, uint8_t usageIndex);

}  // namespace klx::d3d
