#include "gl/gl_shaders.h"

#include "gl/gl_device.h"

#include <vector>

namespace klx::d3d {

GlShader::~GlShader() {
  if (!IsOrphaned()) device_->ReleaseShaderSource(source_);
}

namespace {

GLuint Compile(GLenum stage, const std::string& source, std::string* error) {
  const GLuint shader = glCreateShader(stage);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_FALSE) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<size_t>(std::max(length, 1)));
    glGetShaderInfoLog(shader, length, nullptr, log.data());
    *error = std::string("GLSL: ") + log.data();
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

// The key part that depends on the sampled kinds.
std::string OptionsKey(const GlslOptions& options) {
  std::string key;
  for (SamplerKind kind : options.samplers) key += static_cast<char>('0' + static_cast<int>(kind));
  key += ":" + std::to_string(options.shadowSamplers);
  return key;
}

}  // namespace

GlProgramCache::~GlProgramCache() { Clear(); }

void GlProgramCache::Clear() {
  for (auto& [key, program] : programs_) {
    if (program.name != 0) glDeleteProgram(program.name);
  }
  programs_.clear();
}

const GlLinkedProgram* GlProgramCache::Get(const GlShader* vertex, const GlShader* pixel,
                                           const GlslOptions& options, std::string* error) {
  const Key key{vertex != nullptr ? vertex->GetSource() : 0, pixel != nullptr ? pixel->GetSource() : 0,
                pixel != nullptr ? OptionsKey(options) : std::string()};
  auto found = programs_.find(key);
  if (found != programs_.end()) return found->second.name != 0 ? &found->second : nullptr;

  GlLinkedProgram linked;
  const GLuint program = glCreateProgram();
  GLuint stages[2] = {0, 0};
  bool ok = true;
  if (vertex != nullptr) {
    stages[0] = Compile(GL_VERTEX_SHADER, GenerateGlsl(vertex->GetProgram(), options), error);
    ok = stages[0] != 0;
    if (ok) {
      glAttachShader(program, stages[0]);
      for (const Declaration& declaration : vertex->GetProgram().declarations) {
        const int location = ShaderAttributeLocation(declaration.usage, declaration.usageIndex);
        if (declaration.file != RegisterFile::kInput || location < 0) continue;
        const std::string name = "a_v" + std::to_string(declaration.index);
        glBindAttribLocation(program, static_cast<GLuint>(location), name.c_str());
      }
      linked.pointSize = WritesPointSize(vertex->GetProgram());
    }
  }
  if (ok && pixel != nullptr) {
    stages[1] = Compile(GL_FRAGMENT_SHADER, GenerateGlsl(pixel->GetProgram(), options), error);
    ok = stages[1] != 0;
    if (ok) glAttachShader(program, stages[1]);
  }
  if (ok) {
    glLinkProgram(program);
    GLint linkedOk = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linkedOk);
    if (linkedOk == GL_FALSE) {
      GLint length = 0;
      glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
      std::vector<char> log(static_cast<size_t>(std::max(length, 1)));
      glGetProgramInfoLog(program, length, nullptr, log.data());
      *error = std::string("GLSL link: ") + log.data();
      ok = false;
    }
  }
  for (GLuint stage : stages) {
    if (stage != 0) glDeleteShader(stage);
  }
  if (!ok) {
    glDeleteProgram(program);
    programs_[key] = GlLinkedProgram{};  // remembered, so a broken pair is not retried each draw
    return nullptr;
  }
  linked.name = program;
  if (vertex != nullptr) {
    linked.vertexConstants = glGetUniformLocation(program, "vc");
    linked.posFixup = glGetUniformLocation(program, "klx_posFixup");
    linked.fogFromDepth = glGetUniformLocation(program, "klx_fogFromDepth");
  }
  if (pixel != nullptr) {
    linked.pixelConstants = glGetUniformLocation(program, "pc");
    linked.fogColor = glGetUniformLocation(program, "klx_fogColor");
    linked.fog = glGetUniformLocation(program, "klx_fog");
    for (uint32_t i = 0; i < kMaxSamplers; ++i) {
      const std::string name = "s" + std::to_string(i);
      linked.samplers[i] = glGetUniformLocation(program, name.c_str());
    }
  }
  auto [entry, inserted] = programs_.emplace(key, linked);
  (void)inserted;
  return &entry->second;
}

void GlProgramCache::Forget(uint64_t source) {
  for (auto it = programs_.begin(); it != programs_.end();) {
    if (std::get<0>(it->first) == source || std::get<1>(it->first) == source) {
      if (it->second.name != 0) glDeleteProgram(it->second.name);
      it = programs_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace klx::d3d
