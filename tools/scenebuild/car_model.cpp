#include "car_model.h"

#include <cmath>
#include <vector>

namespace klx::scenebuild {
namespace {

using content::Rgba;

// A point of a side outline: along the car (z) and up (y).
struct OutlinePoint {
  float z;
  float y;
};

// One span of an outline's skin and its colour.
struct Span {
  OutlinePoint from;
  OutlinePoint to;
  Rgba color;
};

Vector3 Normalized(const Vector3& v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return length > 0 ? v * (1.0f / length) : v;
}

// A solid of the outline drawn `halfWidth` out to each side: the two sides
// flat in `sideColor`, the spans between them in their own colours. The
// outline goes round clockwise as seen from +x (up the front, back over
// the top), and the spans follow it.
void Extrude(MeshBuilder& mesh, Palette& palette, const std::vector<Span>& spans, float halfWidth,
             const Rgba& sideColor) {
  for (float side : {-1.0f, 1.0f}) {
    std::vector<Vector3> outline;
    for (const Span& span : spans) outline.push_back(Vector3{side * halfWidth, span.from.y, span.from.z});
    AddPolygon(mesh, palette, outline, Vector3{side, 0, 0}, sideColor);
  }
  OutlinePoint centre{0, 0};
  for (const Span& span : spans) {
    centre.z += span.from.z / static_cast<float>(spans.size());
    centre.y += span.from.y / static_cast<float>(spans.size());
  }
  for (const Span& span : spans) {
    // Out of the solid: across the span, away from the outline's middle.
    Vector3 normal = Normalized(Vector3{0, span.to.z - span.from.z, -(span.to.y - span.from.y)});
    const float midZ = 0.5f * (span.from.z + span.to.z) - centre.z, midY = 0.5f * (span.from.y + span.to.y) - centre.y;
    if (normal.y * midY + normal.z * midZ < 0) normal = -normal;
    const std::vector<Vector3> quad = {{-halfWidth, span.from.y, span.from.z}, {halfWidth, span.from.y, span.from.z},
                                       {halfWidth, span.to.y, span.to.z}, {-halfWidth, span.to.y, span.to.z}};
    AddPolygon(mesh, palette, quad, normal, span.color);
  }
}

}  // namespace

void AddCarBody(MeshBuilder& mesh, Palette& palette) {
  const Rgba paint{0.62f, 0.08f, 0.06f, 1}, glass{0.07f, 0.09f, 0.13f, 1}, trim{0.09f, 0.09f, 0.10f, 1};
  const Rgba tyre{0.05f, 0.05f, 0.05f, 1}, lamp{1.6f, 1.5f, 1.1f, 1}, tail{0.9f, 0.1f, 0.08f, 1};
  const Rgba chrome{0.55f, 0.56f, 0.58f, 1};

  // The lower body, bumper to bumper, up to the waist line.
  const OutlinePoint rearBottom{-2.12f, 0.28f}, rearBumper{-2.2f, 0.52f}, deck{-2.14f, 0.92f}, deckFront{-1.4f, 0.98f};
  const OutlinePoint scuttle{1.05f, 0.96f}, hoodFront{2.06f, 0.84f}, nose{2.2f, 0.56f}, frontBottom{2.12f, 0.28f};
  Extrude(mesh, palette,
          {{rearBottom, rearBumper, paint}, {rearBumper, deck, paint}, {deck, deckFront, paint},
           {deckFront, scuttle, paint}, {scuttle, hoodFront, paint}, {hoodFront, nose, paint},
           {nose, frontBottom, paint}, {frontBottom, rearBottom, trim}},
          0.88f, paint);

  // The cabin: glass all round under a painted roof, a little narrower.
  const OutlinePoint cabinRear{-1.38f, 0.97f}, roofRear{-0.72f, 1.4f}, roofFront{0.42f, 1.42f};
  const OutlinePoint cabinFront{1.02f, 0.95f};
  Extrude(mesh, palette,
          {{cabinRear, roofRear, glass}, {roofRear, roofFront, paint}, {roofFront, cabinFront, glass},
           {cabinFront, cabinRear, paint}},
          0.76f, glass);
  // The pillars between the side windows, and the roof's edges.
  for (float side : {-1.0f, 1.0f}) {
    AddBox(mesh, palette, {side * 0.765f, 1.18f, -0.12f}, {0.012f, 0.22f, 0.05f}, 0, paint);
    AddBox(mesh, palette, {side * 0.93f, 1.03f, 0.98f}, {0.06f, 0.05f, 0.09f}, 0, paint);  // mirror
  }

  // Bumpers, grille and number plates.
  AddBox(mesh, palette, {0, 0.44f, 2.2f}, {0.9f, 0.09f, 0.06f}, 0, trim);
  AddBox(mesh, palette, {0, 0.44f, -2.2f}, {0.9f, 0.09f, 0.06f}, 0, trim);
  AddBox(mesh, palette, {0, 0.68f, 2.17f}, {0.34f, 0.08f, 0.04f}, 0, trim);
  AddBox(mesh, palette, {0, 0.44f, 2.265f}, {0.22f, 0.05f, 0.01f}, 0, chrome);
  AddBox(mesh, palette, {0, 0.44f, -2.265f}, {0.22f, 0.05f, 0.01f}, 0, chrome);
  // Head lamps (where the head-light flares shine) and tail lamps.
  for (float side : {-1.0f, 1.0f}) {
    AddBox(mesh, palette, {side * 0.6f, 0.7f, 2.15f}, {0.2f, 0.065f, 0.06f}, 0, lamp);
    AddBox(mesh, palette, {side * 0.64f, 0.8f, -2.16f}, {0.18f, 0.06f, 0.03f}, 0, tail);
  }
  // Wheels in dark arches cut into the body's sides.
  const Rgba arch{0.03f, 0.03f, 0.03f, 1};
  for (float side : {-1.0f, 1.0f}) {
    for (float along : {-1.36f, 1.32f}) {
      AddWheel(mesh, palette, {side * 0.83f, 0.34f, along}, 0.34f, 0.11f, 0, tyre);
      std::vector<Vector3> outline;
      for (int step = 0; step <= 8; ++step) {
        const float angle = 3.14159265f * static_cast<float>(step) / 8.0f;
        outline.push_back(Vector3{side * 0.885f, 0.27f + 0.45f * std::sin(angle), along + 0.42f * std::cos(angle)});
      }
      AddPolygon(mesh, palette, outline, Vector3{side, 0, 0}, arch);
    }
  }
}

}  // namespace klx::scenebuild
