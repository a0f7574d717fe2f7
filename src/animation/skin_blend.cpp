#include "animation/skin_blend.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace klx {

namespace {

// The vertex's bones, or false when one it uses is outside the palette or
// a weight is not a number (the vertex then stays in its bind pose).
bool VertexBones(const SkinBlendInput& input, int32_t v, int32_t bones[4], float weights[4]) {
  const float w[4] = {input.weights[v].x, input.weights[v].y, input.weights[v].z, input.weights[v].w};
  const float i[4] = {input.indices[v].x, input.indices[v].y, input.indices[v].z, input.indices[v].w};
  for (int k = 0; k < 4; ++k) {
    if (std::isnan(w[k])) return false;
    weights[k] = w[k];
    bones[k] = -1;
    if (k > 0 && !(w[k] > 0.0f)) continue;  // unused
    if (!(i[k] >= 0.0f && i[k] < static_cast<float>(input.boneCount))) return false;
    bones[k] = static_cast<int32_t>(i[k]);
  }
  return true;
}

}  // namespace

void BlendSkinPlain(const SkinBlendInput& input, Vector3* out) {
  for (int32_t v = 0; v < input.vertexCount; ++v) {
    const Vector3& p = input.positions[v];
    int32_t bones[4];
    float weights[4];
    if (!VertexBones(input, v, bones, weights)) {
      out[v] = p;
      continue;
    }
    Vector3 sum{0, 0, 0};
    for (int k = 0; k < 4; ++k) {
      if (bones[k] < 0) continue;
      const Vector4 moved = input.bones[bones[k]].Transform(Vector4{p.x, p.y, p.z, 1.0f});
      const float w = moved.w != 0.0f ? moved.w : 1.0f;
      sum = sum + Vector3{moved.x / w, moved.y / w, moved.z / w} * weights[k];
    }
    out[v] = sum;
  }
}

void BlendSkinSimd(const SkinBlendInput& input, Vector3* out) {
#if defined(__SSE2__)
  for (int32_t v = 0; v < input.vertexCount; ++v) {
    const Vector3& p = input.positions[v];
    int32_t bones[4];
    float weights[4];
    if (!VertexBones(input, v, bones, weights)) {
      out[v] = p;
      continue;
    }
    // The weighted sum of the rows of the vertex's matrices, then one
    // product (the matrices are affine: no divide).
    __m128 rows[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    for (int k = 0; k < 4; ++k) {
      if (bones[k] < 0) continue;
      const __m128 w = _mm_set1_ps(weights[k]);
      const Matrix4& m = input.bones[bones[k]];
      for (int r = 0; r < 4; ++r) rows[r] = _mm_add_ps(rows[r], _mm_mul_ps(w, _mm_loadu_ps(m.m[r])));
    }
    __m128 result = _mm_mul_ps(_mm_set1_ps(p.x), rows[0]);
    result = _mm_add_ps(result, _mm_mul_ps(_mm_set1_ps(p.y), rows[1]));
    result = _mm_add_ps(result, _mm_mul_ps(_mm_set1_ps(p.z), rows[2]));
    result = _mm_add_ps(result, rows[3]);
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, result);
    out[v] = Vector3{lanes[0], lanes[1], lanes[2]};
  }
#else
  BlendSkinPlain(input, out);
#endif
}

}  // namespace klx
