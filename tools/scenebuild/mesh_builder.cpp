#include "mesh_builder.h"

#include <cmath>

#include "render/effect.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"
#include "world.h"

namespace klx::scenebuild {

int32_t MeshBuilder::Vertex(const Vector3& position, const Vector2& uv) {
  positions_.push_back(position);
  uvs_.push_back(uv);
  return static_cast<int32_t>(positions_.size()) - 1;
}

int32_t MeshBuilder::Vertex(const Vector3& position, const Vector2& uv, const Vector3& normal) {
  normals_.resize(positions_.size());
  normals_.push_back(normal);
  return Vertex(position, uv);
}

Ref<Triangles> MeshBuilder::Build(const char* name, GeometryNodeEffect* effect) const {
  Ref<Triangles> node(new Triangles(String(name)));
  const int32_t count = static_cast<int32_t>(positions_.size());
  node->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), count, positions_.data())).Get());
  node->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), count, uvs_.data())).Get());
  if (litByLight_) {
    std::vector<Vector3> normals = normals_;
    normals.resize(positions_.size(), Vector3{0, 1, 0});
    node->SetNormalBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), count, normals.data())).Get());
  }
  node->SetIndexBuffer(
      Ref<IntBuffer>(new IntBuffer(String(), static_cast<int32_t>(indices_.size()), indices_.data())).Get());
  node->UpdateModelBound();
  node->SetEffect(effect);
  return node;
}

Palette::Palette() : canvas_(128, 128, content::Rgba{1, 0, 1, 1}) {}

Vector2 Palette::Cell(const content::Rgba& color) {
  size_t index = 0;
  for (; index < colors_.size(); ++index) {
    const content::Rgba& c = colors_[index];
    if (std::fabs(c.r - color.r) < 0.004f && std::fabs(c.g - color.g) < 0.004f && std::fabs(c.b - color.b) < 0.004f) break;
  }
  if (index == colors_.size()) {
    if (colors_.size() == 256) index = 255;  // full: the last cell is reused
    else colors_.push_back(color);
    const int cx = static_cast<int>(index % 16) * 8, cy = static_cast<int>(index / 16) * 8;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) canvas_.At(cx + x, cy + y) = color;
    }
  }
  return Vector2{(static_cast<float>(index % 16) * 8.0f + 4.0f) / 128.0f,
                 (static_cast<float>(index / 16) * 8.0f + 4.0f) / 128.0f};
}

Vector3 RotateY(const Vector3& v, float yaw) {
  const float c = std::cos(yaw), s = std::sin(yaw);
  return {v.x * c + v.z * s, v.y, -v.x * s + v.z * c};
}

namespace {

// One flat face: four corners clockwise as seen from outside.
void Face(MeshBuilder& mesh, Palette& palette, const Vector3 (&corners)[4], const Vector3& normal,
          const content::Rgba& base) {
  const Vector2 uv = palette.Cell(mesh.LitByLight() ? base : Lit(base, normal));
  const int32_t a = mesh.Vertex(corners[0], uv, normal), b = mesh.Vertex(corners[1], uv, normal);
  const int32_t c = mesh.Vertex(corners[2], uv, normal), d = mesh.Vertex(corners[3], uv, normal);
  mesh.Quad(a, b, c, d);
}

}  // namespace

void AddBox(MeshBuilder& mesh, Palette& palette, const Vector3& centre, const Vector3& half, float yaw,
            const content::Rgba& base) {
  auto corner = [&](float sx, float sy, float sz) {
    return centre + RotateY(Vector3{sx * half.x, sy * half.y, sz * half.z}, yaw);
  };
  struct Side {
    Vector3 normal;
    float c[4][3];
  };
  // Each face's corners go clockwise seen from outside (left-handed, +z forward).
  const Side sides[6] = {
      {{0, 1, 0}, {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}}},
      {{0, -1, 0}, {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}},
      {{0, 0, 1}, {{1, -1, 1}, {1, 1, 1}, {-1, 1, 1}, {-1, -1, 1}}},
      {{0, 0, -1}, {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}}},
      {{1, 0, 0}, {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}}},
      {{-1, 0, 0}, {{-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}}},
  };
  for (const Side& side : sides) {
    Vector3 corners[4];
    for (int i = 0; i < 4; ++i) corners[i] = corner(side.c[i][0], side.c[i][1], side.c[i][2]);
    Face(mesh, palette, corners, RotateY(side.normal, yaw), base);
  }
}

void AddWheel(MeshBuilder& mesh, Palette& palette, const Vector3& centre, float radius, float halfWidth, float yaw,
              const content::Rgba& base) {
  const int segments = 12;
  for (int i = 0; i < segments; ++i) {
    const float a0 = 2.0f * 3.14159265f * i / segments, a1 = 2.0f * 3.14159265f * (i + 1) / segments;
    auto at = [&](float x, float a) {
      return centre + RotateY(Vector3{x, radius * std::cos(a), radius * std::sin(a)}, yaw);
    };
    // The tread, facing out.
    const Vector3 tread[4] = {at(-halfWidth, a0), at(halfWidth, a0), at(halfWidth, a1), at(-halfWidth, a1)};
    const float mid = 0.5f * (a0 + a1);
    Face(mesh, palette, tread, RotateY(Vector3{0, std::cos(mid), std::sin(mid)}, yaw), base);
    // The two sides, as fans of triangles.
    for (float side : {-1.0f, 1.0f}) {
      const Vector3 normal = RotateY(Vector3{side, 0, 0}, yaw);
      const content::Rgba hub = content::Scale(base, 1.3f);
      const Vector2 uv = palette.Cell(mesh.LitByLight() ? hub : Lit(hub, normal));
      const int32_t c = mesh.Vertex(centre + RotateY(Vector3{side * halfWidth, 0, 0}, yaw), uv, normal);
      const int32_t p0 = mesh.Vertex(at(side * halfWidth, a0), uv, normal);
      const int32_t p1 = mesh.Vertex(at(side * halfWidth, a1), uv, normal);
      if (side > 0) mesh.Triangle(c, p1, p0);
      else mesh.Triangle(c, p0, p1);
    }
  }
}

void AddCrossedQuads(MeshBuilder& mesh, const Vector3& base, float width, float height, float turn) {
  for (int k = 0; k < 2; ++k) {
    const float angle = turn + k * 1.5707963f;
    const Vector3 side = RotateY(Vector3{width * 0.5f, 0, 0}, angle);
    const Vector3 up{0, height, 0};
    const int32_t a = mesh.Vertex(base - side, Vector2{0, 1});
    const int32_t b = mesh.Vertex(base - side + up, Vector2{0, 0});
    const int32_t c = mesh.Vertex(base + side + up, Vector2{1, 0});
    const int32_t d = mesh.Vertex(base + side, Vector2{1, 1});
    mesh.Quad(a, b, c, d);
  }
}

void AddPolygon(MeshBuilder& mesh, Palette& palette, const std::vector<Vector3>& outline, const Vector3& normal,
                const content::Rgba& base) {
  if (outline.size() < 3) return;
  const Vector2 uv = palette.Cell(mesh.LitByLight() ? base : Lit(base, normal));
  Vector3 centre{0, 0, 0};
  for (const Vector3& point : outline) centre = centre + point;
  centre = centre * (1.0f / static_cast<float>(outline.size()));
  const int32_t middle = mesh.Vertex(centre, uv, normal);
  std::vector<int32_t> ring;
  for (const Vector3& point : outline) ring.push_back(mesh.Vertex(point, uv, normal));
  // Clockwise from the front: the cross product of the first two edges
  // points along the normal.
  const Vector3 e1 = outline[0] - centre, e2 = outline[1] - centre;
  const Vector3 turn{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
  const bool forward = turn.x * normal.x + turn.y * normal.y + turn.z * normal.z > 0;
  for (size_t i = 0; i < ring.size(); ++i) {
    const int32_t a = ring[i], b = ring[(i + 1) % ring.size()];
    if (forward) mesh.Triangle(middle, a, b);
    else mesh.Triangle(middle, b, a);
  }
}

}  // namespace klx::scenebuild
