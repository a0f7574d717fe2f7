#include "scene/point_bounds.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace klx {

static_assert(sizeof(Vector3) == 12, "points are three packed floats");

namespace {

// Widens the box [low, high] to hold p.
inline void Extend(Vector3& low, Vector3& high, const Vector3& p) {
  low.x = std::min(low.x, p.x);
  low.y = std::min(low.y, p.y);
  low.z = std::min(low.z, p.z);
  high.x = std::max(high.x, p.x);
  high.y = std::max(high.y, p.y);
  high.z = std::max(high.z, p.z);
}

}  // namespace

void PointBoundsPlain(const Vector3* points, int32_t count, Vector3* minimum, Vector3* maximum) {
  Vector3 low = points[0];
  Vector3 high = points[0];
  auto take = [&low, &high](const Vector3& p) { Extend(low, high, p); };
  int32_t i = 1;
  for (; i + 4 <= count; i += 4) {
    take(points[i]);
    take(points[i + 1]);
    take(points[i + 2]);
    take(points[i + 3]);
  }
  for (; i < count; ++i) take(points[i]);
  *minimum = low;
  *maximum = high;
}

#if defined(__SSE2__)

void PointBoundsSimd(const Vector3* points, int32_t count, Vector3* minimum, Vector3* maximum) {
  // Four points are 12 floats: three 4-lane loads hold x0 y0 z0 x1 | y1 z1
  // x2 y2 | z2 x3 y3 z3. Keeping three running min/max registers in that
  // layout, lanes line up with components; the lanes fold together at the
  // end. The loads stay inside every whole group of four points.
  const float* data = &points[0].x;
  __m128 low0, low1, low2, high0, high1, high2;
  // Seed every lane with the first point's matching component.
  const float seed[12] = {points[0].x, points[0].y, points[0].z, points[0].x, points[0].y, points[0].z,
                          points[0].x, points[0].y, points[0].z, points[0].x, points[0].y, points[0].z};
  low0 = high0 = _mm_loadu_ps(seed);
  low1 = high1 = _mm_loadu_ps(seed + 4);
  low2 = high2 = _mm_loadu_ps(seed + 8);
  int32_t i = 0;
  for (; i + 4 <= count; i += 4, data += 12) {
    const __m128 a = _mm_loadu_ps(data);
    const __m128 b = _mm_loadu_ps(data + 4);
    const __m128 c = _mm_loadu_ps(data + 8);
    low0 = _mm_min_ps(low0, a);
    low1 = _mm_min_ps(low1, b);
    low2 = _mm_min_ps(low2, c);
    high0 = _mm_max_ps(high0, a);
    high1 = _mm_max_ps(high1, b);
    high2 = _mm_max_ps(high2, c);
  }
  float lows[12];
  float highs[12];
  _mm_storeu_ps(lows, low0);
  _mm_storeu_ps(lows + 4, low1);
  _mm_storeu_ps(lows + 8, low2);
  _mm_storeu_ps(highs, high0);
  _mm_storeu_ps(highs + 4, high1);
  _mm_storeu_ps(highs + 8, high2);
  Vector3 low = points[0];
  Vector3 high = points[0];
  for (int lane = 0; lane < 12; lane += 3) {
    Extend(low, high, {lows[lane], lows[lane + 1], lows[lane + 2]});
    Extend(low, high, {highs[lane], highs[lane + 1], highs[lane + 2]});
  }
  // The last points that do not fill a group of four.
  for (; i < count; ++i) Extend(low, high, points[i]);
  *minimum = low;
  *maximum = high;
}

bool PointBoundsHasSimd() { return true; }

#else

void PointBoundsSimd(const Vector3* points, int32_t count, Vector3* minimum, Vector3* maximum) {
  PointBoundsPlain(points, count, minimum, maximum);
}

bool PointBoundsHasSimd() { return false; }

#endif

void PointBounds(const Vector3* points, int32_t count, Vector3* minimum, Vector3* maximum) {
  PointBoundsSimd(points, count, minimum, maximum);
}

}  // namespace klx
