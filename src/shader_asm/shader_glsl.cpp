#include "shader_asm/shader_glsl.h"

#include <cstdio>
#include <set>
#include <sstream>

#include "device/d3d_types.h"

namespace klx::d3d {
namespace {

const char kComponents[] = "xyzw";

std::string Number(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  std::string out(text);
  if (out.find_first_of(".eEni") == std::string::npos) out += ".0";
  if (out == "inf") return "(1.0/0.0)";
  if (out == "-inf") return "(-1.0/0.0)";
  if (out == "nan" || out == "-nan") return "0.0";
  return out;
}

std::string MaskText(uint8_t mask) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if ((mask & (1 << i)) != 0) text += kComponents[i];
  }
  return text;
}

// Helpers the instructions call, emitted once at the top.
const char kHelpers[] = R"(vec4 klx_lit(vec4 s) {
  vec4 d = vec4(1.0, 0.0, 0.0, 1.0);
  float power = clamp(s.w, -127.9961, 127.9961);
  if (s.x > 0.0) {
    d.y = s.x;
    if (s.y > 0.0) d.z = exp2(power * log2(s.y));
  }
  return d;
}
float klx_pow(float x, float y) {
  float a = abs(x);
  if (a == 0.0) return y == 0.0 ? 1.0 : (y > 0.0 ? 0.0 : 1.0 / 0.0);
  return exp2(y * log2(a));
}
vec4 klx_logp(float x) {
  float a = abs(x);
  if (a == 0.0) return vec4(-1.0 / 0.0, 1.0, -1.0 / 0.0, 1.0);
  float e = floor(log2(a));
  return vec4(e, a / exp2(e), log2(a), 1.0);
}
vec4 klx_cmp(vec4 a, vec4 b, vec4 c) {
  return vec4(a.x >= 0.0 ? b.x : c.x, a.y >= 0.0 ? b.y : c.y, a.z >= 0.0 ? b.z : c.z, a.w >= 0.0 ? b.w : c.w);
}
vec4 klx_cnd(vec4 a, vec4 b, vec4 c) {
  return vec4(a.x > 0.5 ? b.x : c.x, a.y > 0.5 ? b.y : c.y, a.z > 0.5 ? b.z : c.z, a.w > 0.5 ? b.w : c.w);
}
)";

class Generator {
 public:
  Generator(const ShaderProgram& program, const GlslOptions& options)
      : program_(program), options_(options), ps1_(program.pixel && program.major == 1) {
    for (const DefinedConstant& constant : program.constants) defined_.insert(constant.index);
  }

  std::string Run() {
    std::ostringstream body;
    for (const Instruction& instruction : program_.instructions) Emit(instruction, body);
    std::ostringstream out;
    out << "#version 120\n";
    out << kHelpers;
    return program_.pixel ? Pixel(out, body.str()) : Vertex(out, body.str());
  }

 private:
  std::string Register(RegisterFile file, uint32_t index) const {
    switch (file) {
      case RegisterFile::kTemp: return "r" + std::to_string(index);
      case RegisterFile::kInput: return "v" + std::to_string(index);
      case RegisterFile::kConstant:
        return defined_.count(index) != 0 ? "k" + std::to_string(index)
                                          : ConstantArray() + "[" + std::to_string(index) + "]";
      case RegisterFile::kAddress: return "a0";
      case RegisterFile::kTexture: return "t" + std::to_string(index);
      case RegisterFile::kSampler: return "s" + std::to_string(index);
      case RegisterFile::kOutPosition: return "oPos";
      case RegisterFile::kOutColor: return (program_.pixel ? "oC" : "oD") + std::to_string(index);
      case RegisterFile::kOutTexCoord: return "oT" + std::to_string(index);
      case RegisterFile::kOutFog: return "oFog";
      case RegisterFile::kOutPointSize: return "oPts";
      case RegisterFile::kOutDepth: return "oDepth";
    }
    return "r0";
  }

  // Vertex and pixel constants have arrays of their own names, so a program
  // linking both stages keeps them apart.
  std::string ConstantArray() const { return program_.pixel ? "pc" : "vc"; }

  std::string ConstantAt(const SourceOperand& source, uint32_t offset) const {
    if (!source.relative) {
      if (source.file != RegisterFile::kConstant) return Register(source.file, source.index + offset);
      return Register(RegisterFile::kConstant, source.index + offset);
    }
    const uint32_t limit = ConstantRegisterCount(program_) - 1;
    return ConstantArray() + "[int(clamp(a0." + std::string(1, kComponents[source.relativeComponent]) + " + " +
           Number(static_cast<float>(source.index + offset)) + ", 0.0, " + Number(static_cast<float>(limit)) + "))]";
  }

  // A source as a vec4 expression: register, swizzle, modifier, negation.
  std::string Source(const SourceOperand& source) const {
    std::string text = ConstantAt(source, 0);
    const bool identity = source.swizzle[0] == 0 && source.swizzle[1] == 1 && source.swizzle[2] == 2 &&
                          source.swizzle[3] == 3;
    if (!identity) {
      text += ".";
      for (uint8_t component : source.swizzle) text += kComponents[component];
    }
    switch (source.modifier) {
      case SourceModifier::kBias: text = "(" + text + " - 0.5)"; break;
      case SourceModifier::kSignedScale: text = "(2.0 * " + text + " - 1.0)"; break;
      case SourceModifier::kScale2: text = "(2.0 * " + text + ")"; break;
      case SourceModifier::kComplement: text = "(1.0 - " + text + ")"; break;
      case SourceModifier::kNone: break;
    }
    if (source.negate) text = "(-" + text + ")";
    return text;
  }

  // The scalar a scalar instruction reads: its replicate component, or w
  // when none was given.
  std::string Scalar(const SourceOperand& source) const {
    const bool identity = source.swizzle[0] == 0 && source.swizzle[1] == 1 && source.swizzle[2] == 2 &&
                          source.swizzle[3] == 3;
    return "(" + Source(source) + ")." + (identity ? "w" : "x");
  }

  std::string MatrixProduct(const Instruction& in, int rows, bool four) const {
    const std::string vector = Source(in.sources[0]);
    std::string parts[4] = {"0.0", "0.0", "0.0", "0.0"};
    for (int row = 0; row < rows; ++row) {
      const std::string matrixRow = ConstantAt(in.sources[1], static_cast<uint32_t>(row));
      parts[row] = four ? "dot(" + vector + ", " + matrixRow + ")"
                        : "dot((" + vector + ").xyz, (" + matrixRow + ").xyz)";
    }
    return "vec4(" + parts[0] + ", " + parts[1] + ", " + parts[2] + ", " + parts[3] + ")";
  }

  std::string Sample(uint32_t sampler, const std::string& coordinates, bool projected) const {
    const std::string name = "s" + std::to_string(sampler);
    const bool shadow = (options_.shadowSamplers & (1u << sampler)) != 0;
    switch (SamplerOf(sampler)) {
      case SamplerKind::kCube:
        return projected ? "textureCube(" + name + ", (" + coordinates + ").xyz / (" + coordinates + ").w)"
                         : "textureCube(" + name + ", (" + coordinates + ").xyz)";
      case SamplerKind::kVolume:
        return projected ? "texture3DProj(" + name + ", " + coordinates + ")"
                         : "texture3D(" + name + ", (" + coordinates + ").xyz)";
      case SamplerKind::k2D:
        if (shadow) {
          return projected || ps1_ ? "shadow2DProj(" + name + ", " + coordinates + ")"
                                   : "shadow2D(" + name + ", (" + coordinates + ").xyz)";
        }
        return projected ? "texture2DProj(" + name + ", " + coordinates + ")"
                         : "texture2D(" + name + ", (" + coordinates + ").xy)";
    }
    return "vec4(0.0)";
  }

  SamplerKind SamplerOf(uint32_t sampler) const {
    if (options_.samplersFromOptions || ps1_) return options_.samplers[sampler];
    for (const Declaration& declaration : program_.declarations) {
      if (declaration.file == RegisterFile::kSampler && declaration.index == sampler) return declaration.sampler;
    }
    return options_.samplers[sampler];
  }

  void Emit(const Instruction& in, std::ostringstream& out) {
    const auto& s = in.sources;
    std::string value;
    switch (in.opcode) {
      case Opcode::kNop: return;
      case Opcode::kMov: value = Source(s[0]); break;
      case Opcode::kAdd: value = Source(s[0]) + " + " + Source(s[1]); break;
      case Opcode::kSub: value = Source(s[0]) + " - " + Source(s[1]); break;
      case Opcode::kMul: value = Source(s[0]) + " * " + Source(s[1]); break;
      case Opcode::kMad: value = Source(s[0]) + " * " + Source(s[1]) + " + " + Source(s[2]); break;
      case Opcode::kDp3: value = "vec4(dot((" + Source(s[0]) + ").xyz, (" + Source(s[1]) + ").xyz))"; break;
      case Opcode::kDp4: value = "vec4(dot(" + Source(s[0]) + ", " + Source(s[1]) + "))"; break;
      case Opcode::kRcp: value = "vec4(1.0 / " + Scalar(s[0]) + ")"; break;
      case Opcode::kRsq: value = "vec4(1.0 / sqrt(abs(" + Scalar(s[0]) + ")))"; break;
      case Opcode::kMin: value = "min(" + Source(s[0]) + ", " + Source(s[1]) + ")"; break;
      case Opcode::kMax: value = "max(" + Source(s[0]) + ", " + Source(s[1]) + ")"; break;
      case Opcode::kSlt: value = "vec4(lessThan(" + Source(s[0]) + ", " + Source(s[1]) + "))"; break;
      case Opcode::kSge: value = "vec4(greaterThanEqual(" + Source(s[0]) + ", " + Source(s[1]) + "))"; break;
      case Opcode::kExp: value = "vec4(exp2(" + Scalar(s[0]) + "))"; break;
      case Opcode::kExpp:
        if (program_.major == 1) {
          const std::string x = Scalar(s[0]);
          value = "vec4(exp2(floor(" + x + ")), fract(" + x + "), exp2(" + x + "), 1.0)";
        } else {
          value = "vec4(exp2(" + Scalar(s[0]) + "))";
        }
        break;
      case Opcode::kLog: value = "vec4(log2(abs(" + Scalar(s[0]) + ")))"; break;
      case Opcode::kLogp:
        value = program_.major == 1 ? "klx_logp(" + Scalar(s[0]) + ")" : "vec4(log2(abs(" + Scalar(s[0]) + ")))";
        break;
      case Opcode::kLit: value = "klx_lit(" + Source(s[0]) + ")"; break;
      case Opcode::kDst: {
        const std::string a = Source(s[0]), b = Source(s[1]);
        value = "vec4(1.0, (" + a + ").y * (" + b + ").y, (" + a + ").z, (" + b + ").w)";
        break;
      }
      case Opcode::kFrc: value = "fract(" + Source(s[0]) + ")"; break;
      case Opcode::kPow: value = "vec4(klx_pow(" + Scalar(s[0]) + ", " + Scalar(s[1]) + "))"; break;
      case Opcode::kNrm: {
        const std::string a = Source(s[0]);
        value = "(" + a + " / sqrt(dot((" + a + ").xyz, (" + a + ").xyz)))";
        break;
      }
      case Opcode::kAbs: value = "abs(" + Source(s[0]) + ")"; break;
      case Opcode::kCrs:
        value = "vec4(cross((" + Source(s[0]) + ").xyz, (" + Source(s[1]) + ").xyz), 0.0)";
        break;
      case Opcode::kLrp: value = "mix(" + Source(s[2]) + ", " + Source(s[1]) + ", " + Source(s[0]) + ")"; break;
      case Opcode::kCmp: value = "klx_cmp(" + Source(s[0]) + ", " + Source(s[1]) + ", " + Source(s[2]) + ")"; break;
      case Opcode::kCnd: value = "klx_cnd(" + Source(s[0]) + ", " + Source(s[1]) + ", " + Source(s[2]) + ")"; break;
      case Opcode::kM4x4: value = MatrixProduct(in, 4, true); break;
      case Opcode::kM4x3: value = MatrixProduct(in, 3, true); break;
      case Opcode::kM3x3: value = MatrixProduct(in, 3, false); break;
      case Opcode::kM3x2: value = MatrixProduct(in, 2, false); break;
      case Opcode::kM3x4: value = MatrixProduct(in, 4, false); break;
      case Opcode::kMova: value = "floor(" + Source(s[0]) + " + 0.5)"; break;
      case Opcode::kSinCos: {
        const std::string x = Scalar(s[0]);
        value = "vec4(cos(" + x + "), sin(" + x + "), 0.0, 0.0)";
        break;
      }
      case Opcode::kTex: {
        const uint32_t stage = in.destination.index;
        value = Sample(stage, "gl_TexCoord[" + std::to_string(stage) + "]", false);
        break;
      }
      case Opcode::kTexCoord:
        value = "vec4(clamp(gl_TexCoord[" + std::to_string(in.destination.index) + "].xyz, 0.0, 1.0), 1.0)";
        break;
      case Opcode::kTexKill: {
        // ps 1.x tests the stage's texture coordinates, whatever t# holds.
        const std::string a = ps1_ && s[0].file == RegisterFile::kTexture
                                  ? "gl_TexCoord[" + std::to_string(s[0].index) + "]"
                                  : Source(s[0]);
        out << "  if (any(lessThan(" << (ps1_ ? "(" + a + ").xyz, vec3(0.0)" : a + ", vec4(0.0)")
            << "))) discard;\n";
        return;
      }
      case Opcode::kTexLd:
      case Opcode::kTexLdp:
        value = Sample(s[1].index, Source(s[0]), in.opcode == Opcode::kTexLdp);
        break;
    }
    // vs_1_1 writes a0 with mov, which rounds down.
    if (in.destination.file == RegisterFile::kAddress && in.opcode == Opcode::kMov) value = "floor(" + value + ")";
    if (in.resultScale != 1.0f) value = "(" + value + ") * " + Number(in.resultScale);
    if (in.saturate) {
      value = "clamp(" + value + ", 0.0, 1.0)";
    } else if (ps1_ && in.opcode != Opcode::kTexCoord) {
      value = "clamp(" + value + ", -1.0, 1.0)";  // the ps 1.x register range
    }
    const std::string mask = MaskText(in.destination.writeMask);
    const std::string target = Register(in.destination.file, in.destination.index);
    written_.insert(target);
    out << "  " << target << "." << mask << " = (" << value << ")." << mask << ";\n";
  }

  void Declarations(std::ostringstream& out, uint32_t temps) const {
    for (uint32_t i = 0; i < temps; ++i) out << "  vec4 r" << i << " = vec4(0.0);\n";
    for (const DefinedConstant& constant : program_.constants) {
      out << "  const vec4 k" << constant.index << " = vec4(" << Number(constant.value[0]) << ", "
          << Number(constant.value[1]) << ", " << Number(constant.value[2]) << ", " << Number(constant.value[3])
          << ");\n";
    }
  }

  std::string Vertex(std::ostringstream& out, const std::string& body) const {
    out << "uniform vec4 vc[256];\nuniform vec4 klx_posFixup;\nuniform float klx_fogFromDepth;\n";
    std::set<uint32_t> inputs;
    for (const Declaration& declaration : program_.declarations) {
      if (declaration.file != RegisterFile::kInput || inputs.count(declaration.index) != 0) continue;
      if (ShaderAttributeLocation(declaration.usage, declaration.usageIndex) < 0) continue;
      inputs.insert(declaration.index);
      out << "attribute vec4 a_v" << declaration.index << ";\n";
    }
    out << "void main() {\n";
    Declarations(out, 12);
    for (uint32_t i = 0; i < 16; ++i) {
      if (inputs.count(i) != 0) {
        out << "  vec4 v" << i << " = a_v" << i << ";\n";
      } else {
        out << "  vec4 v" << i << " = vec4(0.0, 0.0, 0.0, 1.0);\n";
      }
    }
    out << "  vec4 a0 = vec4(0.0);\n"
           "  vec4 oPos = vec4(0.0, 0.0, 0.0, 1.0);\n"
           "  vec4 oD0 = vec4(1.0);\n  vec4 oD1 = vec4(0.0);\n"
           "  vec4 oFog = vec4(1.0);\n  vec4 oPts = vec4(1.0);\n";
    for (int i = 0; i < 8; ++i) out << "  vec4 oT" << i << " = vec4(0.0, 0.0, 0.0, 1.0);\n";
    out << body;
    out << "  gl_Position = vec4(oPos.x + oPos.w * klx_posFixup.x, -oPos.y + oPos.w * klx_posFixup.y,\n"
           "                     2.0 * oPos.z - oPos.w, oPos.w);\n"
           "  gl_FrontColor = oD0;\n  gl_BackColor = oD0;\n"
           "  gl_FrontSecondaryColor = oD1;\n  gl_BackSecondaryColor = oD1;\n";
    for (int i = 0; i < 8; ++i) out << "  gl_TexCoord[" << i << "] = oT" << i << ";\n";
    out << "  gl_FogFragCoord = mix(1.0 - oFog.x, oPos.w, klx_fogFromDepth);\n";
    if (WritesPointSize(program_)) out << "  gl_PointSize = oPts.x;\n";
    out << "}\n";
    return out.str();
  }

  std::string Pixel(std::ostringstream& out, const std::string& body) const {
    out << "uniform vec4 pc[" << ConstantRegisterCount(program_) << "];\n";
    out << "uniform vec4 klx_fogColor;\nuniform vec4 klx_fog;\n";
    std::set<uint32_t> samplers;
    for (const Instruction& in : program_.instructions) {
      if (in.opcode == Opcode::kTex) samplers.insert(in.destination.index);
      if (in.opcode == Opcode::kTexLd || in.opcode == Opcode::kTexLdp) samplers.insert(in.sources[1].index);
    }
    for (uint32_t sampler : samplers) {
      const bool shadow = (options_.shadowSamplers & (1u << sampler)) != 0;
      const char* type = "sampler2D";
      switch (SamplerOf(sampler)) {
        case SamplerKind::kCube: type = "samplerCube"; break;
        case SamplerKind::kVolume: type = "sampler3D"; break;
        case SamplerKind::k2D: type = shadow ? "sampler2DShadow" : "sampler2D"; break;
      }
      out << "uniform " << type << " s" << sampler << ";\n";
    }
    out << "void main() {\n";
    Declarations(out, TempRegisterCount(program_));
    out << "  vec4 v0 = gl_Color;\n  vec4 v1 = gl_SecondaryColor;\n";
    for (int i = 0; i < (ps1_ ? 4 : 8); ++i) {
      out << "  vec4 t" << i << " = " << (ps1_ ? "vec4(0.0)" : "gl_TexCoord[" + std::to_string(i) + "]") << ";\n";
    }
    out << "  vec4 oC0 = vec4(0.0);\n  vec4 oC1 = vec4(0.0);\n  vec4 oC2 = vec4(0.0);\n  vec4 oC3 = vec4(0.0);\n"
           "  vec4 oDepth = vec4(gl_FragCoord.z);\n";
    out << body;
    out << "  vec4 klx_out = " << (ps1_ ? "r0" : "oC0") << ";\n";
    // Fog after the shader, from the fog states (start, end, density, mode).
    out << "  if (klx_fog.w > 0.5) {\n"
           "    float z = gl_FogFragCoord;\n"
           "    float f = 1.0;\n"
           "    if (klx_fog.w < 1.5) f = exp(-klx_fog.z * z);\n"
           "    else if (klx_fog.w < 2.5) f = exp(-(klx_fog.z * z) * (klx_fog.z * z));\n"
           "    else f = (klx_fog.y - z) / (klx_fog.y - klx_fog.x);\n"
           "    klx_out.rgb = mix(klx_fogColor.rgb, klx_out.rgb, clamp(f, 0.0, 1.0));\n"
           "  }\n"
           "  gl_FragColor = klx_out;\n";
    if (written_.count("oDepth") != 0) out << "  gl_FragDepth = oDepth.x;\n";
    out << "}\n";
    return out.str();
  }

  const ShaderProgram& program_;
  const GlslOptions& options_;
  bool ps1_;
  std::set<uint32_t> defined_;
  std::set<std::string> written_;
};

}  // namespace

std::string GenerateGlsl(const ShaderProgram& program, const GlslOptions& options) {
  Generator generator(program, options);
  return generator.Run();
}

bool WritesPointSize(const ShaderProgram& program) {
  for (const Instruction& in : program.instructions) {
    if (in.destination.file == RegisterFile::kOutPointSize && in.opcode != Opcode::kTexKill) return true;
  }
  return false;
}

int ShaderAttributeLocation(uint8_t usage, uint8_t usageIndex) {
  switch (usage) {
    case kUsagePosition: return usageIndex == 0 ? 0 : -1;
    case kUsageBlendWeight: return usageIndex == 0 ? 1 : -1;
    case kUsageBlendIndices: return usageIndex == 0 ? 2 : -1;
    case kUsageNormal: return usageIndex == 0 ? 3 : -1;
    case kUsageColor: return usageIndex < 2 ? 4 + usageIndex : -1;
    case kUsagePSize: return usageIndex == 0 ? 6 : -1;
    case kUsageTangent: return usageIndex == 0 ? 7 : -1;
    case kUsageTexCoord: return usageIndex < 8 ? 8 + usageIndex : -1;
    default: return -1;
  }
}

}  // namespace klx::d3d
