#pragma once
// Geometry made in code: vertices with one set of texture coordinates and
// triangles wound clockwise as seen from their front, turned into a
// Triangles node. A palette texture of flat colour cells lets simple
// objects be painted face by face with the evening light baked in.

#include <cstdint>
#include <vector>

#include "canvas.h"
#include "core/math_types.h"
#include "core/ref_counted.h"

namespace klx {
class GeometryNodeEffect;
class Triangles;
}  // namespace klx

namespace klx::scenebuild {

class MeshBuilder {
 public:
  // A mesh lit by a light in the scene: its faces take their plain colours
  // and carry normals, instead of the evening light painted into the
  // palette.
  explicit MeshBuilder(bool litByLight = false) : litByLight_(litByLight) {}
  bool LitByLight() const { return litByLight_; }

  int32_t Vertex(const Vector3& position, const Vector2& uv);
  int32_t Vertex(const Vector3& position, const Vector2& uv, const Vector3& normal);
  // Clockwise as seen from the front.
  void Triangle(int32_t a, int32_t b, int32_t c) { indices_.insert(indices_.end(), {a, b, c}); }
  void Quad(int32_t a, int32_t b, int32_t c, int32_t d) {
    Triangle(a, b, c);
    Triangle(a, c, d);
  }
  bool Empty() const { return indices_.empty(); }
  int32_t VertexCount() const { return static_cast<int32_t>(positions_.size()); }
  Ref<Triangles> Build(const char* name, GeometryNodeEffect* effect) const;

 private:
  bool litByLight_ = false;
  std::vector<Vector3> positions_;
  std::vector<Vector2> uvs_;
  std::vector<Vector3> normals_;
  std::vector<int32_t> indices_;
};

// Flat colour cells of 8×8 pixels in a 128×128 picture; each distinct
// colour gets a cell.
class Palette {
 public:
  Palette();
  // The texture coordinates of a cell of this colour (the cell's centre).
  Vector2 Cell(const content::Rgba& color);
  const content::Canvas& Picture() const { return canvas_; }

 private:
  content::Canvas canvas_;
  std::vector<content::Rgba> colors_;
};

// A box (centre, half sizes, turned by `yaw` about +y) with each face in
// its base colour lit for the face's direction.
void AddBox(MeshBuilder& mesh, Palette& palette, const Vector3& centre, const Vector3& half, float yaw,
            const content::Rgba& base);
// A wheel: a cylinder along the local x axis.
void AddWheel(MeshBuilder& mesh, Palette& palette, const Vector3& centre, float radius, float halfWidth, float yaw,
              const content::Rgba& base);
// A flat polygon, star-shaped about the mean of its points (given in order
// round its edge, either way), facing along `normal`.
void AddPolygon(MeshBuilder& mesh, Palette& palette, const std::vector<Vector3>& outline, const Vector3& normal,
                const content::Rgba& base);
// Two quads crossed at right angles, standing on `base`, textured with the
// whole picture (v = 0 at the top).
void AddCrossedQuads(MeshBuilder& mesh, const Vector3& base, float width, float height, float turn);

Vector3 RotateY(const Vector3& v, float yaw);

}  // namespace klx::scenebuild
