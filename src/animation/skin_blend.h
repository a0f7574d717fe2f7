#pragma once
// Blending a skinned mesh's bind-pose positions by its bones on the
// processor: each vertex moves by up to four bone matrices with its
// weights. Two routines that agree: a plain one, and one that blends the
// four matrices with SSE2 first (x86-64 always has it; elsewhere it is the
// plain routine).

#include <cstdint>

#include "core/math_types.h"

namespace klx {

struct SkinBlendInput {
  const Vector3* positions = nullptr;  // bind pose, model space
  const Vector4* weights = nullptr;    // w0..w3 per vertex
  const Vector4* indices = nullptr;    // bone indices as floats, truncated
  int32_t vertexCount = 0;
  const Matrix4* bones = nullptr;      // model space to world space
  int32_t boneCount = 0;
};

// p = w0 (v M[i0]) + the sum of wk (v M[ik]) over k = 1..3 with wk > 0.
// A vertex that names a bone outside the palette, or whose weights are not
// numbers, keeps its bind-pose position. `out` holds vertexCount positions.
void BlendSkinPlain(const SkinBlendInput& input, Vector3* out);
void BlendSkinSimd(const SkinBlendInput& input, Vector3* out);

}  // namespace klx
