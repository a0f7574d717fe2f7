#pragma once
// Shaders on the device: a parsed Direct3D shader per object, and GL
// programs linked on demand for each pairing of vertex shader, pixel shader
// and the kinds of textures the pixel shader samples, kept until one of
// them goes.

#include <epoxy/gl.h>

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "device/device.h"
#include "gl/gl_objects.h"
#include "shader_asm/shader_glsl.h"
#include "shader_asm/shader_program.h"

namespace klx::d3d {

// Shaders of the same text share one source number, so their programs are
// linked once however many effects carry a copy of the text.
class GlShader final : public Shader, public GlObjectBase {
 public:
  GlShader(GlDevice* device, ShaderProgram program, uint64_t source)
      : GlObjectBase(device), program_(std::move(program)), source_(source) {}
  ~GlShader() override;
  ShaderKind GetKind() const override { return program_.pixel ? kPixelShader : kVertexShader; }
  const ShaderProgram& GetProgram() const { return program_; }
  uint64_t GetSource() const { return source_; }

 private:
  ShaderProgram program_;
  uint64_t source_;
};

// A linked program and where its uniforms are.
struct GlLinkedProgram {
  GLuint name = 0;
  GLint vertexConstants = -1;
  GLint pixelConstants = -1;
  GLint posFixup = -1;
  GLint fogFromDepth = -1;
  GLint fogColor = -1;
  GLint fog = -1;
  GLint samplers[kMaxSamplers] = {};
  bool pointSize = false;
};

class GlProgramCache {
 public:
  ~GlProgramCache();
  // The program for the pair (either may be null: GL's fixed function runs
  // that stage); null with the compiler's or linker's message on failure.
  const GlLinkedProgram* Get(const GlShader* vertex, const GlShader* pixel, const GlslOptions& options,
                             std::string* error);
  // Drops every program made from the shader source.
  void Forget(uint64_t source);
  size_t GetCount() const { return programs_.size(); }
  void Clear();

 private:
  using Key = std::tuple<uint64_t, uint64_t, std::string>;
  std::map<Key, GlLinkedProgram> programs_;
};

}  // namespace klx::d3d
