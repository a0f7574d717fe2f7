#include "shader_asm/shader_program.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "device/d3d_types.h"

namespace klx::d3d {
namespace {

constexpr size_t kMaxTextSize = 1 << 20;
constexpr size_t kMaxInstructions = 4096;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A decimal number made of digits only, within `limit`.
bool ParseIndex(std::string_view text, uint32_t limit, uint32_t* out) {
  if (text.empty() || text.size() > 4) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value >= limit) return false;
  *out = value;
  return true;
}

int ComponentOf(char c) {
  switch (c) {
    case 'x': case 'r': return 0;
    case 'y': case 'g': return 1;
    case 'z': case 'b': return 2;
    case 'w': case 'a': return 3;
    default: return -1;
  }
}

struct OpcodeInfo {
  const char* name;
  Opcode opcode;
  int sources;  // -1: no destination, one source (texkill)
  bool pixelOnly;
  bool vertexOnly;
};

constexpr OpcodeInfo kOpcodes[] = {
    {"nop", Opcode::kNop, 0, false, false},      {"mov", Opcode::kMov, 1, false, false},
    {"add", Opcode::kAdd, 2, false, false},      {"sub", Opcode::kSub, 2, false, false},
    {"mul", Opcode::kMul, 2, false, false},      {"mad", Opcode::kMad, 3, false, false},
    {"dp3", Opcode::kDp3, 2, false, false},      {"dp4", Opcode::kDp4, 2, false, false},
    {"rcp", Opcode::kRcp, 1, false, false},      {"rsq", Opcode::kRsq, 1, false, false},
    {"min", Opcode::kMin, 2, false, false},      {"max", Opcode::kMax, 2, false, false},
    {"slt", Opcode::kSlt, 2, false, true},       {"sge", Opcode::kSge, 2, false, true},
    {"exp", Opcode::kExp, 1, false, false},      {"expp", Opcode::kExpp, 1, false, true},
    {"log", Opcode::kLog, 1, false, false},      {"logp", Opcode::kLogp, 1, false, true},
    {"lit", Opcode::kLit, 1, false, true},       {"dst", Opcode::kDst, 2, false, true},
    {"frc", Opcode::kFrc, 1, false, false},      {"pow", Opcode::kPow, 2, false, false},
    {"nrm", Opcode::kNrm, 1, false, false},      {"abs", Opcode::kAbs, 1, false, false},
    {"crs", Opcode::kCrs, 2, false, false},      {"lrp", Opcode::kLrp, 3, false, false},
    {"cmp", Opcode::kCmp, 3, true, false},       {"cnd", Opcode::kCnd, 3, true, false},
    {"m4x4", Opcode::kM4x4, 2, false, false},    {"m4x3", Opcode::kM4x3, 2, false, false},
    {"m3x3", Opcode::kM3x3, 2, false, false},    {"m3x2", Opcode::kM3x2, 2, false, false},
    {"m3x4", Opcode::kM3x4, 2, false, false},    {"mova", Opcode::kMova, 1, false, true},
    {"sincos", Opcode::kSinCos, 1, false, false}, {"tex", Opcode::kTex, 0, true, false},
    {"texcoord", Opcode::kTexCoord, 0, true, false}, {"texkill", Opcode::kTexKill, -1, true, false},
    {"texld", Opcode::kTexLd, 2, true, false},   {"texldp", Opcode::kTexLdp, 2, true, false},
};

class Parser {
 public:
  Parser(ShaderProgram* program, std::string* error) : program_(program), error_(error) {}

  bool Parse(const std::string& text) {
    if (text.size() > kMaxTextSize) return Fail("the text is too long");
    size_t start = 0;
    bool versionSeen = false;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      ++line_;
      std::string_view lineText(text.data() + start, end - start);
      start = end + 1;
      // Comments run to the end of the line.
      for (std::string_view marker : {"//", ";"}) {
        const size_t at = lineText.find(marker);
        if (at != std::string_view::npos) lineText = lineText.substr(0, at);
      }
      lineText = Trim(lineText);
      if (lineText.empty()) continue;
      if (lineText.front() == '+') lineText = Trim(lineText.substr(1));  // co-issue
      if (!versionSeen) {
        if (!ParseVersion(lineText)) return false;
        versionSeen = true;
        continue;
      }
      if (!ParseStatement(lineText)) return false;
      if (program_->instructions.size() > kMaxInstructions) return Fail("too many instructions");
      if (end == text.size()) break;
    }
    if (!versionSeen) return Fail("no shader version (vs_1_1, vs_2_0, ps_1_1 .. ps_1_3, ps_2_0)");
    return true;
  }

 private:
  bool Fail(const std::string& what) {
    *error_ = "line " + std::to_string(line_) + ": " + what;
    return false;
  }

  bool ParseVersion(std::string_view text) {
    const std::string version = Lower(text);
    const struct {
      const char* name;
      bool pixel;
      uint32_t major, minor;
    } known[] = {{"vs_1_1", false, 1, 1}, {"vs.1.1", false, 1, 1}, {"vs_2_0", false, 2, 0},
                 {"vs.2.0", false, 2, 0}, {"ps_1_1", true, 1, 1},  {"ps.1.1", true, 1, 1},
                 {"ps_1_2", true, 1, 2},  {"ps.1.2", true, 1, 2},  {"ps_1_3", true, 1, 3},
                 {"ps.1.3", true, 1, 3},  {"ps_2_0", true, 2, 0},  {"ps.2.0", true, 2, 0}};
    for (const auto& k : known) {
      if (version == k.name) {
        program_->pixel = k.pixel;
        program_->major = k.major;
        program_->minor = k.minor;
        return true;
      }
    }
    return Fail("unknown shader version \"" + std::string(text.substr(0, 32)) + "\"");
  }

  std::vector<std::string_view> SplitOperands(std::string_view text) {
    std::vector<std::string_view> operands;
    size_t start = 0;
    int depth = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] == '[') ++depth;
      if (i < text.size() && text[i] == ']') --depth;
      if (i == text.size() || (text[i] == ',' && depth == 0)) {
        operands.push_back(Trim(text.substr(start, i - start)));
        start = i + 1;
      }
    }
    return operands;
  }

  bool ParseStatement(std::string_view text) {
    size_t space = 0;
    while (space < text.size() && !std::isspace(static_cast<unsigned char>(text[space]))) ++space;
    const std::string word = Lower(text.substr(0, space));
    const std::string_view rest = Trim(text.substr(space));
    std::vector<std::string_view> operands;
    if (!rest.empty()) operands = SplitOperands(rest);
    for (std::string_view operand : operands) {
      if (operand.empty()) return Fail("an empty operand");
    }
    if (StartsWith(word, "dcl")) return ParseDeclaration(word, operands);
    if (word == "def") return ParseDefinition(operands);

    // The opcode, then its modifiers after underscores.
    const size_t underscore = word.find('_');
    const std::string base = word.substr(0, underscore);
    const OpcodeInfo* info = nullptr;
    for (const OpcodeInfo& candidate : kOpcodes) {
      if (base == candidate.name) info = &candidate;
    }
    if (info == nullptr) return Fail("unknown instruction \"" + base.substr(0, 32) + "\"");
    if (info->pixelOnly && !program_->pixel) return Fail(base + " is a pixel shader instruction");
    if (info->vertexOnly && program_->pixel) return Fail(base + " is a vertex shader instruction");
    const bool ps1 = program_->pixel && program_->major == 1;
    if ((info->opcode == Opcode::kTex || info->opcode == Opcode::kTexCoord) && !ps1) {
      return Fail(base + " needs ps_1_1 to ps_1_3");
    }
    if ((info->opcode == Opcode::kTexLd || info->opcode == Opcode::kTexLdp) && ps1) {
      return Fail(base + " needs ps_2_0");
    }
    Instruction instruction;
    instruction.opcode = info->opcode;
    instruction.line = line_;
    if (underscore != std::string::npos) {
      std::string_view modifiers(word);
      modifiers.remove_prefix(underscore);
      while (!modifiers.empty()) {
        modifiers.remove_prefix(1);  // the underscore
        const size_t next = modifiers.find('_');
        const std::string_view modifier = modifiers.substr(0, next);
        if (modifier == "sat") {
          instruction.saturate = true;
        } else if (modifier == "pp" || modifier == "centroid") {
          // precision and interpolation hints change nothing here
        } else if (ps1 && modifier == "x2") {
          instruction.resultScale = 2.0f;
        } else if (ps1 && modifier == "x4") {
          instruction.resultScale = 4.0f;
        } else if (ps1 && modifier == "d2") {
          instruction.resultScale = 0.5f;
        } else {
          return Fail("unknown instruction modifier \"_" + std::string(modifier.substr(0, 16)) + "\"");
        }
        if (next == std::string_view::npos) break;
        modifiers.remove_prefix(next);
      }
    }

    size_t expected = info->sources < 0 ? 1 : static_cast<size_t>(info->sources) + 1;
    if (info->opcode == Opcode::kNop) expected = 0;
    if (info->opcode == Opcode::kSinCos && operands.size() == 4) expected = 4;  // vs_2_0 form
    if (operands.size() != expected) {
      return Fail(base + " takes " + std::to_string(expected) + " operands, not " +
                  std::to_string(operands.size()));
    }
    if (info->sources < 0) {
      SourceOperand source;
      if (!ParseSource(operands[0], &source)) return false;
      instruction.sources.push_back(source);
    } else if (expected > 0) {
      if (!ParseDestination(operands[0], &instruction.destination)) return false;
      for (size_t i = 1; i < operands.size(); ++i) {
        SourceOperand source;
        if (!ParseSource(operands[i], &source)) return false;
        instruction.sources.push_back(source);
      }
    }
    if (!CheckInstruction(instruction)) return false;
    program_->instructions.push_back(std::move(instruction));
    return true;
  }

  bool CheckInstruction(const Instruction& instruction) {
    const Opcode op = instruction.opcode;
    const bool matrix = op == Opcode::kM4x4 || op == Opcode::kM4x3 || op == Opcode::kM3x3 ||
                        op == Opcode::kM3x2 || op == Opcode::kM3x4;
    if (matrix && instruction.sources[1].file != RegisterFile::kConstant &&
        instruction.sources[1].file != RegisterFile::kTemp) {
      return Fail("the matrix of a matrix instruction must be a constant or temporary register");
    }
    if ((op == Opcode::kTexLd || op == Opcode::kTexLdp) &&
        instruction.sources[1].file != RegisterFile::kSampler) {
      return Fail("texld samples through a sampler register (s#)");
    }
    if ((op == Opcode::kTex || op == Opcode::kTexCoord) &&
        instruction.destination.file != RegisterFile::kTexture) {
      return Fail("the destination must be a texture register (t#)");
    }
    const RegisterFile dest = instruction.destination.file;
    if (op != Opcode::kTexKill && op != Opcode::kNop) {
      const bool writable = dest == RegisterFile::kTemp || dest == RegisterFile::kOutPosition ||
                            dest == RegisterFile::kOutColor || dest == RegisterFile::kOutTexCoord ||
                            dest == RegisterFile::kOutFog || dest == RegisterFile::kOutPointSize ||
                            dest == RegisterFile::kOutDepth || dest == RegisterFile::kAddress ||
                            (dest == RegisterFile::kTexture && program_->pixel && program_->major == 1);
      if (!writable) return Fail("that register cannot be written");
      const bool addressWrite = op == Opcode::kMova || (op == Opcode::kMov && !program_->pixel && program_->major == 1);
      if (dest == RegisterFile::kAddress && !addressWrite) {
        return Fail(program_->major == 1 ? "a0 is written by mov" : "a0 is written by mova");
      }
      if (op == Opcode::kMova && dest != RegisterFile::kAddress) return Fail("mova writes a0");
    }
    return true;
  }

  // Register name and index: "r3", "c[...]", "oPos", "oT2", "a0".
  bool ParseRegister(std::string_view text, RegisterFile* file, uint32_t* index, bool destination) {
    const std::string name = Lower(text);
    const bool pixel = program_->pixel;
    const bool ps1 = pixel && program_->major == 1;
    struct Prefix {
      const char* prefix;
      RegisterFile file;
      uint32_t limit;
      bool numbered;
    };
    const Prefix prefixes[] = {
        {"opos", RegisterFile::kOutPosition, 1, false},
        {"ofog", RegisterFile::kOutFog, 1, false},
        {"opts", RegisterFile::kOutPointSize, 1, false},
        {"odepth", RegisterFile::kOutDepth, 1, false},
        {"od", RegisterFile::kOutColor, 2, true},
        {"oc", RegisterFile::kOutColor, 4, true},
        {"ot", RegisterFile::kOutTexCoord, 8, true},
        {"r", RegisterFile::kTemp, ps1 ? 2u : 12u, true},
        {"v", RegisterFile::kInput, pixel ? 2u : 16u, true},
        {"c", RegisterFile::kConstant, ps1 ? 8u : pixel ? 32u : 256u, true},
        {"a", RegisterFile::kAddress, 1, true},
        {"t", RegisterFile::kTexture, ps1 ? 4u : 8u, true},
        {"s", RegisterFile::kSampler, 16, true},
    };
    for (const Prefix& prefix : prefixes) {
      if (!StartsWith(name, prefix.prefix)) continue;
      const std::string_view digits = std::string_view(name).substr(std::string_view(prefix.prefix).size());
      if (!prefix.numbered) {
        if (!digits.empty()) break;
        *index = 0;
      } else if (!ParseIndex(digits, prefix.limit, index)) {
        return Fail("register \"" + std::string(text.substr(0, 16)) + "\" is out of range or malformed");
      }
      *file = prefix.file;
      // Outputs belong to their kind of shader.
      const bool output = *file == RegisterFile::kOutPosition || *file == RegisterFile::kOutFog ||
                          *file == RegisterFile::kOutPointSize || *file == RegisterFile::kOutTexCoord;
      if (output && pixel) return Fail("vertex shader output in a pixel shader");
      if (*file == RegisterFile::kOutColor && (prefix.prefix[1] == 'c') != pixel) {
        return Fail(pixel ? "pixel shaders write oC#" : "vertex shaders write oD#");
      }
      if (*file == RegisterFile::kOutDepth && (!pixel || program_->major < 2)) return Fail("oDepth needs ps_2_0");
      if ((*file == RegisterFile::kTexture || *file == RegisterFile::kSampler) && !pixel) {
        return Fail("texture and sampler registers belong to pixel shaders");
      }
      if (*file == RegisterFile::kSampler && ps1) return Fail("ps 1.x has no sampler registers");
      if (*file == RegisterFile::kAddress && pixel) return Fail("pixel shaders have no address register");
      if (ps1 && pixel && *file == RegisterFile::kOutColor) return Fail("ps 1.x writes its colour to r0");
      (void)destination;
      return true;
    }
    return Fail("unknown register \"" + std::string(text.substr(0, 16)) + "\"");
  }

  bool ParseDestination(std::string_view text, DestinationOperand* out) {
    std::string_view name = text;
    std::string_view mask;
    const size_t dot = text.find('.');
    if (dot != std::string_view::npos) {
      name = text.substr(0, dot);
      mask = text.substr(dot + 1);
    }
    if (!ParseRegister(Trim(name), &out->file, &out->index, true)) return false;
    if (out->file == RegisterFile::kConstant || out->file == RegisterFile::kInput ||
        out->file == RegisterFile::kSampler) {
      return Fail("register \"" + std::string(name.substr(0, 16)) + "\" cannot be written");
    }
    if (dot != std::string_view::npos) {
      const std::string lower = Lower(mask);
      if (lower.empty() || lower.size() > 4) return Fail("bad write mask");
      uint8_t bits = 0;
      int last = -1;
      for (char c : lower) {
        const int component = ComponentOf(c);
        if (component < 0 || component <= last) return Fail("bad write mask \"" + lower + "\"");
        last = component;
        bits = static_cast<uint8_t>(bits | (1u << component));
      }
      out->writeMask = bits;
    }
    return true;
  }

  bool ParseSwizzle(std::string_view text, SourceOperand* out) {
    const std::string lower = Lower(text);
    if (lower.empty() || lower.size() > 4) return Fail("bad swizzle");
    for (size_t i = 0; i < 4; ++i) {
      const int component = ComponentOf(lower[std::min(i, lower.size() - 1)]);
      if (component < 0) return Fail("bad swizzle \"" + lower + "\"");
      out->swizzle[i] = static_cast<uint8_t>(component);
    }
    return true;
  }

  bool ParseSourceModifier(std::string_view text, SourceOperand* out) {
    const std::string lower = Lower(text);
    const bool ps1 = program_->pixel && program_->major == 1;
    if (lower == "bias" && ps1) {
      out->modifier = SourceModifier::kBias;
    } else if (lower == "bx2" && ps1) {
      out->modifier = SourceModifier::kSignedScale;
    } else if (lower == "x2" && ps1) {
      out->modifier = SourceModifier::kScale2;
    } else {
      return Fail("unknown source modifier \"_" + lower.substr(0, 16) + "\"");
    }
    return true;
  }

  bool ParseSource(std::string_view text, SourceOperand* out) {
    std::string_view rest = text;
    if (StartsWith(rest, "-")) {
      out->negate = true;
      rest = Trim(rest.substr(1));
    }
    if (StartsWith(rest, "1-") || StartsWith(rest, "1 -")) {
      if (!(program_->pixel && program_->major == 1)) return Fail("the complement 1-x needs ps 1.x");
      out->modifier = SourceModifier::kComplement;
      rest = Trim(rest.substr(rest.find('-') + 1));
    }
    // Relative addressing: c[a0.x + n], c[n + a0.x], cN[a0.x].
    const size_t open = rest.find('[');
    std::string_view name = rest;
    std::string_view tail;
    if (open != std::string_view::npos) {
      const size_t close = rest.find(']', open);
      if (close == std::string_view::npos) return Fail("unclosed \"[\"");
      name = Trim(rest.substr(0, open));
      if (!ParseRelative(rest.substr(open + 1, close - open - 1), name, out)) return false;
      tail = rest.substr(close + 1);
    } else {
      size_t end = 0;
      while (end < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[end])))) ++end;
      name = rest.substr(0, end);
      tail = rest.substr(end);
      if (!ParseRegister(name, &out->file, &out->index, false)) return false;
    }
    if (out->file == RegisterFile::kOutPosition || out->file == RegisterFile::kOutColor ||
        out->file == RegisterFile::kOutTexCoord || out->file == RegisterFile::kOutFog ||
        out->file == RegisterFile::kOutPointSize || out->file == RegisterFile::kOutDepth ||
        (out->file == RegisterFile::kAddress && !out->relative)) {
      return Fail("output and address registers cannot be read");
    }
    // Modifiers and swizzle in either order: "_bx2.xyz" or ".xyz_bx2".
    while (!tail.empty()) {
      if (tail.front() == '_') {
        size_t end = 1;
        while (end < tail.size() && std::isalnum(static_cast<unsigned char>(tail[end]))) ++end;
        if (!ParseSourceModifier(tail.substr(1, end - 1), out)) return false;
        tail.remove_prefix(end);
      } else if (tail.front() == '.') {
        size_t end = 1;
        while (end < tail.size() && std::isalpha(static_cast<unsigned char>(tail[end]))) ++end;
        if (!ParseSwizzle(tail.substr(1, end - 1), out)) return false;
        tail.remove_prefix(end);
      } else {
        return Fail("unexpected \"" + std::string(tail.substr(0, 16)) + "\" after a register");
      }
    }
    return true;
  }

  bool ParseRelative(std::string_view inside, std::string_view name, SourceOperand* out) {
    if (program_->pixel) return Fail("pixel shaders have no relative addressing");
    const std::string lowerName = Lower(name);
    uint32_t base = 0;
    if (lowerName != "c" && !(StartsWith(lowerName, "c") && ParseIndex(std::string_view(lowerName).substr(1), 256, &base))) {
      return Fail("only constants can be addressed relatively");
    }
    out->file = RegisterFile::kConstant;
    out->relative = false;
    bool addressSeen = false;
    size_t start = 0;
    while (start <= inside.size()) {
      size_t plus = inside.find('+', start);
      if (plus == std::string_view::npos) plus = inside.size();
      const std::string term = Lower(Trim(inside.substr(start, plus - start)));
      start = plus + 1;
      if (StartsWith(term, "a0")) {
        if (addressSeen) return Fail("a0 twice in one address");
        addressSeen = true;
        out->relative = true;
        if (term.size() == 2) {
          out->relativeComponent = 0;
        } else if (term.size() == 4 && term[2] == '.' && ComponentOf(term[3]) >= 0) {
          out->relativeComponent = static_cast<uint8_t>(ComponentOf(term[3]));
        } else {
          return Fail("bad address component \"" + term.substr(0, 16) + "\"");
        }
      } else {
        uint32_t offset = 0;
        if (!ParseIndex(term, 256, &offset)) return Fail("bad constant offset \"" + term.substr(0, 16) + "\"");
        base += offset;
      }
      if (plus == inside.size()) break;
    }
    if (!addressSeen) return Fail("a relative address needs a0");
    if (base >= 256) return Fail("constant offset out of range");
    out->index = base;
    return true;
  }

  bool ParseDeclaration(const std::string& word, const std::vector<std::string_view>& operands) {
    if (operands.size() != 1) return Fail("dcl takes one register");
    Declaration declaration;
    const std::string usage = word.size() > 3 && word[3] == '_' ? word.substr(4) : std::string();
    std::string_view reg = operands[0];
    const size_t dot = reg.find('.');
    if (dot != std::string_view::npos) reg = reg.substr(0, dot);  // ps 2.0 "dcl t0.xy"
    if (!ParseRegister(Trim(reg), &declaration.file, &declaration.index, false)) return false;
    if (program_->pixel) {
      if (program_->major < 2) return Fail("ps 1.x has no declarations");
      if (declaration.file == RegisterFile::kSampler) {
        if (usage == "2d") {
          declaration.sampler = SamplerKind::k2D;
        } else if (usage == "cube") {
          declaration.sampler = SamplerKind::kCube;
        } else if (usage == "volume") {
          declaration.sampler = SamplerKind::kVolume;
        } else {
          return Fail("samplers are declared dcl_2d, dcl_cube or dcl_volume");
        }
      } else if (declaration.file != RegisterFile::kTexture && declaration.file != RegisterFile::kInput) {
        return Fail("pixel shaders declare t#, v# and s#");
      } else if (!usage.empty()) {
        return Fail("t# and v# take a plain dcl");
      }
    } else {
      if (declaration.file != RegisterFile::kInput) return Fail("vertex shaders declare inputs v#");
      // dcl_<usage>[index]
      size_t digits = usage.size();
      while (digits > 0 && std::isdigit(static_cast<unsigned char>(usage[digits - 1]))) --digits;
      const std::string name = usage.substr(0, digits);
      uint32_t usageIndex = 0;
      if (digits < usage.size() && !ParseIndex(std::string_view(usage).substr(digits), 16, &usageIndex)) {
        return Fail("bad usage index");
      }
      const struct {
        const char* name;
        uint8_t usage;
      } usages[] = {{"position", kUsagePosition}, {"blendweight", kUsageBlendWeight},
                    {"blendindices", kUsageBlendIndices}, {"normal", kUsageNormal},
                    {"psize", kUsagePSize}, {"texcoord", kUsageTexCoord}, {"tangent", kUsageTangent},
                    {"binormal", kUsageBinormal}, {"color", kUsageColor}, {"fog", kUsageFog}};
      bool found = false;
      for (const auto& u : usages) {
        if (name == u.name) {
          declaration.usage = u.usage;
          found = true;
        }
      }
      if (!found) return Fail("unknown input usage \"" + name.substr(0, 16) + "\"");
      declaration.usageIndex = static_cast<uint8_t>(usageIndex);
    }
    program_->declarations.push_back(declaration);
    return true;
  }

  bool ParseDefinition(const std::vector<std::string_view>& operands) {
    if (operands.size() != 5) return Fail("def takes a constant register and four numbers");
    DefinedConstant constant;
    RegisterFile file;
    if (!ParseRegister(operands[0], &file, &constant.index, true) || file != RegisterFile::kConstant) {
      return Fail("def defines a constant register (c#)");
    }
    for (int i = 0; i < 4; ++i) {
      const std::string number(operands[static_cast<size_t>(i) + 1]);
      char* end = nullptr;
      errno = 0;
      const float value = std::strtof(number.c_str(), &end);
      if (end == number.c_str() || *end != '\0' || errno == ERANGE) return Fail("bad number \"" + number.substr(0, 24) + "\"");
      constant.value[i] = value;
    }
    program_->constants.push_back(constant);
    return true;
  }

  ShaderProgram* program_;
  std::string* error_;
  uint32_t line_ = 0;
};

}  // namespace

bool ParseShaderAssembly(const std::string& text, ShaderProgram* program, std::string* error) {
  std::string ignored;
  *program = ShaderProgram();
  Parser parser(program, error != nullptr ? error : &ignored);
  return parser.Parse(text);
}

uint32_t ConstantRegisterCount(const ShaderProgram& program) {
  if (!program.pixel) return 256;
  return program.major == 1 ? 8 : 32;
}

uint32_t TempRegisterCount(const ShaderProgram& program) {
  return program.pixel && program.major == 1 ? 2 : 12;
}

}  // namespace klx::d3d
