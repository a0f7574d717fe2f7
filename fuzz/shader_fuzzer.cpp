// Shader assembly from untrusted bytes: the parser and the GLSL generator
// must take any text without crashing, reading out of bounds or looping.

#include <cstddef>
#include <cstdint>
#include <string>

#include "shader_asm/shader_glsl.h"
#include "shader_asm/shader_program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  klx::d3d::ShaderProgram program;
  std::string error;
  if (klx::d3d::ParseShaderAssembly(text, &program, &error)) {
    klx::d3d::GlslOptions options;
    options.shadowSamplers = size > 0 ? data[0] : 0;
    const std::string glsl = klx::d3d::GenerateGlsl(program, options);
    if (glsl.empty()) __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();  // a refusal always says why
  }
  return 0;
}
