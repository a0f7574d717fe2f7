#pragma once
// A skinned mesh's controller: its vertices follow a set of bone nodes.
// Every update makes one matrix per bone (the bone's world transform
// composed with its bind offset) and fits the mesh's world bound around the
// bones. When active it also moves the mesh's positions on the processor
// into world space; when inactive it leaves them to a skinning vertex
// shader, which reads the bind pose, the weights, the indices and the
// matrices from here.

#include <cstdint>
#include <vector>

#include "core/controller.h"
#include "core/math_types.h"
#include "core/ref_counted.h"
#include "scene/data_buffer.h"

namespace klx {

class Node;

class SkinController : public Controller {
  KLX_DECLARE_CLASS(SkinController)

 public:
  // A bone palette in shader constants holds this many matrices (c8-c207
  // under the colour and fog registers); larger skins blend on the processor.
  static constexpr int32_t kMaxShaderBones = 50;

  explicit SkinController(const String& name);

  // After the controller data: the bone count, the bones, their bind
  // offsets, then the weights, indices, vertices, normals and tangents.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  // The bone matrices and bound; on the processor path also the positions.
  void Update(double elapsed) override;

  // Appends a bone with the transform from mesh space into the bone's space.
  void AddBone(Node* bone, const Transform& bindOffset);
  void SetWeights(Vector4Buffer* weights) { weights_ = weights; }
  void SetIndices(Vector4Buffer* indices) { indices_ = indices; }
  void SetVertices(Vector3Buffer* vertices) { vertices_ = vertices; }
  void SetNormals(Buffer* normals) { normals_ = normals; }
  void SetTangents(Buffer* tangents) { tangents_ = tangents; }

  int32_t GetBoneCount() const { return static_cast<int32_t>(bones_.size()); }
  Node* GetBone(int32_t index) const;
  const Transform* GetBindOffset(int32_t index) const;
  // Model space to world space per bone, as of the last update.
  const std::vector<Matrix4>& GetBoneMatrices() const { return boneMatrices_; }
  Vector4Buffer* GetWeights() const { return weights_.Get(); }
  Vector4Buffer* GetIndices() const { return indices_.Get(); }
  Vector3Buffer* GetVertices() const { return vertices_.Get(); }
  Buffer* GetNormals() const { return normals_.Get(); }
  Buffer* GetTangents() const { return tangents_.Get(); }

  // True when a skinning vertex shader can draw this skin: one to
  // kMaxShaderBones bones, weights and indices for every bind-pose vertex
  // and as many vertices as the mesh has,
  // every used index inside the palette and no weight that is not a
  // number. The streams are read once for each set of buffers and bone
  // count.
  bool FitsShaderPalette();

  // The processor's blending routine, chosen once: the SSE2 one where the
  // processor has it, else the plain one.
  static const char* BlendRoutineName();

 private:
  void ComputeBoneMatrices();
  // The sphere around the bones, radius × 1.5, into the owner's world
  // bound; with fewer than two bones a sphere that is never culled (one
  // bone's sphere would have no size, whatever the mesh's).
  void FitOwnerBound(Node& owner);
  // True when weights, indices and bind pose are there for `count` vertices.
  bool HasStreamsFor(int32_t count) const;

  std::vector<Ref<Node>> bones_;
  Ref<Vector3Buffer> bonePositions_;
  std::vector<Transform> bindOffsets_;
  std::vector<Matrix4> boneMatrices_;
  Ref<Vector4Buffer> weights_;
  Ref<Vector4Buffer> indices_;
  Ref<Vector3Buffer> vertices_;
  Ref<Buffer> normals_;
  Ref<Buffer> tangents_;
  // What the palette check last looked at, and its answer.
  struct PaletteCheck {
    const void* weights = nullptr;
    const void* indices = nullptr;
    int32_t bones = -1;
    int32_t vertices = -1;
    bool fits = false;
  } paletteCheck_;
};

}  // namespace klx
