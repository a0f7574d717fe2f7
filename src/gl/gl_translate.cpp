#include "gl/gl_translate.h"

#include <cstring>

namespace klx::d3d {

GLenum GlBlendFactor(uint32_t blend) {
  switch (blend) {
    case kBlendZero: return GL_ZERO;
    case kBlendOne: return GL_ONE;
    case kBlendSrcColor: return GL_SRC_COLOR;
    case kBlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case kBlendSrcAlpha: return GL_SRC_ALPHA;
    case kBlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case kBlendDestAlpha: return GL_DST_ALPHA;
    case kBlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case kBlendDestColor: return GL_DST_COLOR;
    case kBlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
    case kBlendSrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
  }
}

GLenum GlBlendEquation(uint32_t op) {
  switch (op) {
    case kBlendOpSubtract: return GL_FUNC_SUBTRACT;
    case kBlendOpRevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case kBlendOpMin: return GL_MIN;
    case kBlendOpMax: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLenum GlCompare(uint32_t compare) {
  switch (compare) {
    case kCmpNever: return GL_NEVER;
    case kCmpLess: return GL_LESS;
    case kCmpEqual: return GL_EQUAL;
    case kCmpLessEqual: return GL_LEQUAL;
    case kCmpGreater: return GL_GREATER;
    case kCmpNotEqual: return GL_NOTEQUAL;
    case kCmpGreaterEqual: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum GlStencilOp(uint32_t op) {
  switch (op) {
    case kStencilZero: return GL_ZERO;
    case kStencilReplace: return GL_REPLACE;
    case kStencilIncrSat: return GL_INCR;
    case kStencilDecrSat: return GL_DECR;
    case kStencilInvert: return GL_INVERT;
    case kStencilIncr: return GL_INCR_WRAP;
    case kStencilDecr: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

GLenum GlPrimitive(PrimitiveType type) {
  switch (type) {
    case kPtPointList: return GL_POINTS;
    case kPtLineList: return GL_LINES;
    case kPtLineStrip: return GL_LINE_STRIP;
    case kPtTriangleList: return GL_TRIANGLES;
    case kPtTriangleStrip: return GL_TRIANGLE_STRIP;
    case kPtTriangleFan: return GL_TRIANGLE_FAN;
  }
  return GL_POINTS;
}

uint32_t VertexCountOf(PrimitiveType type, uint32_t count) {
  if (count == 0) return 0;
  switch (type) {
    case kPtPointList: return count;
    case kPtLineList: return count * 2;
    case kPtLineStrip: return count + 1;
    case kPtTriangleList: return count * 3;
    case kPtTriangleStrip:
    case kPtTriangleFan: return count + 2;
  }
  return 0;
}

GLint GlAddress(uint32_t address) {
  switch (address) {
    case kTaddressMirror: return GL_MIRRORED_REPEAT;
    case kTaddressClamp: return GL_CLAMP_TO_EDGE;
    case kTaddressBorder: return GL_CLAMP_TO_BORDER;
    case kTaddressMirrorOnce: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
  }
}

bool IsSoftwareRasterizer(const std::string& renderer) {
  for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer"})
    if (renderer.find(name) != std::string::npos) return true;
  return false;
}

GLint GlMinFilter(uint32_t minFilter, uint32_t mipFilter) {
  const bool linear = minFilter == kTexfLinear || minFilter == kTexfAnisotropic;
  switch (mipFilter) {
    case kTexfPoint: return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    case kTexfLinear:
    case kTexfAnisotropic: return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    default: return linear ? GL_LINEAR : GL_NEAREST;
  }
}

GLint GlMagFilter(uint32_t magFilter) {
  return magFilter == kTexfLinear || magFilter == kTexfAnisotropic ? GL_LINEAR : GL_NEAREST;
}

void ToGl(const Matrix& matrix, float out[16]) { std::memcpy(out, matrix.m, sizeof matrix.m); }

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix result;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a.m[row][k] * b.m[k][column];
      result.m[row][column] = sum;
    }
  }
  return result;
}

Matrix ClipSpaceCorrection(uint32_t targetWidth, uint32_t targetHeight) {
  // Row-vector form: (x, y, z, w) * C = (x + w/W, -y + w/H, 2z - w, w).
  Matrix c;
  c.m[0][0] = 1;
  c.m[1][1] = -1;
  c.m[2][2] = 2;
  c.m[3][0] = 1.0f / static_cast<float>(targetWidth == 0 ? 1 : targetWidth);
  c.m[3][1] = 1.0f / static_cast<float>(targetHeight == 0 ? 1 : targetHeight);
  c.m[3][2] = -1;
  c.m[3][3] = 1;
  return c;
}

Matrix GlTextureMatrix(const Matrix& d3d, uint32_t inputCount, uint32_t flags) {
  Matrix m = d3d;
  // Input padding: Direct3D's (u, 1, 0, 0) or (u, v, 1, 0) against GL's
  // (u, 0, 0, 1) or (u, v, 0, 1): the row the 1 meets moves to the last.
  if (inputCount == 1 || inputCount == 2) {
    for (int column = 0; column < 4; ++column) {
      m.m[3][column] = d3d.m[inputCount][column];
      m.m[inputCount][column] = 0;
    }
  }
  const uint32_t count = flags & 0xFF;
  const bool projected = (flags & kTtffProjected) != 0;
  // GL divides s, t, r by q: q becomes the last used output when
  // projected, else a constant 1.
  for (int row = 0; row < 4; ++row) {
    if (projected && count >= 2) {
      m.m[row][3] = m.m[row][count - 1];
    } else {
      m.m[row][3] = row == 3 ? 1.0f : 0.0f;
    }
  }
  return m;
}

}  // namespace klx::d3d
