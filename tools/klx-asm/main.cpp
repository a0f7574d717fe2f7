// klx-asm FILE: prints the GLSL the device makes of a Direct3D 9 shader
// assembly text (vs_1_1, vs_2_0, ps_1_1 to ps_1_3, ps_2_0), or the error
// with its line number and exit status 1. Pixel shaders are shown with 2D
// samplers; ps 1.x takes the kind from the bound texture at draw time.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "shader_asm/shader_glsl.h"
#include "shader_asm/shader_program.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: klx-asm FILE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "klx-asm: cannot read %s\n", argv[1]);
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  klx::d3d::ShaderProgram program;
  std::string error;
  if (!klx::d3d::ParseShaderAssembly(text.str(), &program, &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::fputs(klx::d3d::GenerateGlsl(program, klx::d3d::GlslOptions{}).c_str(), stdout);
  return 0;
}
