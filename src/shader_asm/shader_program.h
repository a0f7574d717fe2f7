#pragma once
// Direct3D 9 shader assembly (vs_1_1, vs_2_0, ps_1_1 to ps_1_3, ps_2_0)
// parsed into a small program form that keeps the Direct3D register model;
// shader_glsl turns it into GLSL 1.20.

#include <cstdint>
#include <string>
#include <vector>

namespace klx::d3d {

enum class RegisterFile : uint8_t {
  kTemp,        // r#
  kInput,       // v#
  kConstant,    // c#
  kAddress,     // a0
  kTexture,     // t# (pixel shaders: texture coordinates / ps 1.x texture results)
  kSampler,     // s#
  kOutPosition, // oPos
  kOutColor,    // oD# (vertex) or oC# (pixel)
  kOutTexCoord, // oT#
  kOutFog,      // oFog
  kOutPointSize,// oPts
  kOutDepth,    // oDepth
};

enum class SourceModifier : uint8_t {
  kNone,
  kBias,        // x - 0.5
  kSignedScale, // 2x - 1 (_bx2)
  kScale2,      // 2x (_x2)
  kComplement,  // 1 - x
};

struct SourceOperand {
  RegisterFile file = RegisterFile::kTemp;
  uint32_t index = 0;
  bool relative = false;  // c[a0.x + index]
  uint8_t relativeComponent = 0;
  uint8_t swizzle[4] = {0, 1, 2, 3};
  bool negate = false;
  SourceModifier modifier = SourceModifier::kNone;
};

struct DestinationOperand {
  RegisterFile file = RegisterFile::kTemp;
  uint32_t index = 0;
  uint8_t writeMask = 0xF;  // bit 0 x .. bit 3 w
};

enum class Opcode : uint8_t {
  kNop, kMov, kAdd, kSub, kMul, kMad, kDp3, kDp4, kRcp, kRsq, kMin, kMax, kSlt, kSge,
  kExp, kExpp, kLog, kLogp, kLit, kDst, kFrc, kPow, kNrm, kAbs, kCrs, kLrp, kCmp, kCnd,
  kM4x4, kM4x3, kM3x3, kM3x2, kM3x4, kMova, kSinCos,
  kTex, kTexCoord, kTexKill, kTexLd, kTexLdp,
};

struct Instruction {
  Opcode opcode = Opcode::kNop;
  DestinationOperand destination;
  std::vector<SourceOperand> sources;
  bool saturate = false;
  float resultScale = 1.0f;  // ps 1.x _x2, _x4, _d2
  uint32_t line = 0;
};

enum class SamplerKind : uint8_t { k2D, kCube, kVolume };

struct Declaration {
  RegisterFile file = RegisterFile::kInput;
  uint32_t index = 0;
  uint8_t usage = 0;       // vertex inputs: Direct3D usage code
  uint8_t usageIndex = 0;
  SamplerKind sampler = SamplerKind::k2D;  // samplers (ps 2.0)
};

struct DefinedConstant {
  uint32_t index = 0;
  float value[4] = {0, 0, 0, 0};
};

struct ShaderProgram {
  bool pixel = false;
  uint32_t major = 1;
  uint32_t minor = 1;
  std::vector<Declaration> declarations;
  std::vector<DefinedConstant> constants;
  std::vector<Instruction> instructions;
};

// Parses shader assembly. False with "line N: what" in *error on any text
// it cannot take; no input crashes it.
bool ParseShaderAssembly(const std::string& text, ShaderProgram* program, std::string* error);

// Register limits of a shader model.
uint32_t ConstantRegisterCount(const ShaderProgram& program);
uint32_t TempRegisterCount(const ShaderProgram& program);

}  // namespace klx::d3d
