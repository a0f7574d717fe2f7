#pragma once
// Geometry: a leaf node binding typed data buffers (positions, point sizes,
// colours, normals, tangents, eight texture-coordinate sets, indices) to one
// geometry effect, with a bounding volume in model space. The four concrete
// classes differ only in the primitive drawn.

#include <cstdint>

#include "scene/data_buffer.h"
#include "scene/draw_context.h"
#include "scene/geometry_effect_interface.h"
#include "scene/node.h"

namespace klx {

enum PrimitiveType : int32_t {
  kPrimitivePoints = 0,
  kPrimitiveLines = 1,
  kPrimitiveLineStrip = 2,
  kPrimitiveTriangles = 3,
  kPrimitiveTriangleStrip = 4,
};

class GeometryNode : public Node, public Drawable {
  KLX_DECLARE_CLASS(GeometryNode)

 public:
  static constexpr int32_t kTexCoordSets = 8;

  explicit GeometryNode(const String& name);

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  // Controllers, the effect and the buffers.
  void VisitLinks(const LinkVisitor& visit) const override;

  // Controllers, the world transform, then the effect's own update.
  void Update(double elapsed) override;
  void DrawSelf(DrawContext* context) override;
  void UpdateWorldBound() override;
  virtual int32_t GetPrimitiveType() const = 0;
  virtual void GenerateNormals() {}
  virtual void GenerateTangents(int32_t set) { (void)set; }
  virtual void UpdateModelBound();
  virtual void UpdateModel(bool withNormals, bool withTangents);
  // Drawing after the sorted queue is flushed: current geometry, then the
  // passes.
  void DrawQueued(DrawContext* context) override;

  // Each setter re-records the effect's passes: the vertex layout follows
  // the buffers present. An effect must implement GeometryEffectInterface;
  // any other object is refused (kInvalidArg) and the node keeps none.
  int SetEffect(Object* effect);
  void SetVertexBuffer(Buffer* buffer);
  void SetPointSizeBuffer(Buffer* buffer);
  void SetColorBuffer(Buffer* buffer);
  void SetNormalBuffer(Buffer* buffer);
  void SetTangentBuffer(Buffer* buffer);
  void SetTexCoordBuffer(int32_t set, Buffer* buffer);
  void SetIndexBuffer(IntBuffer* buffer);

  Object* GetEffect() const { return effectObject_.Get(); }
  Buffer* GetVertexBuffer() const { return vertices_.Get(); }
  Buffer* GetPointSizeBuffer() const { return pointSizes_.Get(); }
  Buffer* GetColorBuffer() const { return colors_.Get(); }
  Buffer* GetNormalBuffer() const { return normals_.Get(); }
  Buffer* GetTangentBuffer() const { return tangents_.Get(); }
  Buffer* GetTexCoordBuffer(int32_t set) const { return set >= 0 && set < kTexCoordSets ? texCoords_[set].Get() : nullptr; }
  IntBuffer* GetIndexBuffer() const { return indices_.Get(); }
  BoundingVolume* GetModelBound() const { return modelBound_.Get(); }

 protected:
  // The passes of the effect (each drawn by DrawPrimitivesOf) and the
  // lights they applied.
  void DrawPasses(DrawContext* context);
  // One pass's draw: the node's primitives through its indices.
  virtual void DrawPrimitivesOf(DrawContext* context, int32_t vertexCount, int32_t indexCount) {
    context->DrawIndexed(GetPrimitiveType(), vertexCount, indexCount);
  }
  // The effect's passes are recorded again after a buffer changes.
  void InvalidateEffect();

  Ref<Object> effectObject_;
  GeometryEffectInterface* effect_ = nullptr;  // the same object
  Ref<Buffer> vertices_;
  Ref<Buffer> pointSizes_;
  Ref<Buffer> colors_;
  Ref<Buffer> normals_;
  Ref<Buffer> tangents_;
  Ref<Buffer> texCoords_[kTexCoordSets];
  Ref<IntBuffer> indices_;
  Ref<BoundingVolume> modelBound_;
};

class Points : public GeometryNode {
  KLX_DECLARE_CLASS(Points)

 public:
  explicit Points(const String& name) : GeometryNode(name) {}
  int32_t GetPrimitiveType() const override { return kPrimitivePoints; }
};

class Lines : public GeometryNode {
  KLX_DECLARE_CLASS(Lines)

 public:
  explicit Lines(const String& name) : GeometryNode(name) {}
  int32_t GetPrimitiveType() const override { return kPrimitiveLines; }
};

class StripLines : public GeometryNode {
  KLX_DECLARE_CLASS(StripLines)

 public:
  explicit StripLines(const String& name) : GeometryNode(name) {}
  int32_t GetPrimitiveType() const override { return kPrimitiveLineStrip; }
};

class Triangles : public GeometryNode {
  KLX_DECLARE_CLASS(Triangles)

 public:
  explicit Triangles(const String& name) : GeometryNode(name) {}
  int32_t GetPrimitiveType() const override { return kPrimitiveTriangles; }
  // Smooth normals: the area-weighted face normals summed per vertex and
  // normalised (unused vertices get zero).
  void GenerateNormals() override;
  // Texture-space tangents from texture set `set` (2, 3 or 4 floats per
  // element; a FloatBuffer set is not supported).
  void GenerateTangents(int32_t set) override;
};

}  // namespace klx
