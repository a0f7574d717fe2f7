#pragma once
// A node of the scene tree: a local transform relative to its parent, the
// world transform derived from it, a world bounding volume and a hidden
// flag. Abstract: scene nodes, geometry, cameras, lights and the rest derive
// from it. The parent is a plain back pointer; the parent's children array
// holds the counted reference.

#include "core/object.h"
#include "scene/bounding_volume.h"
#include "scene/draw_context.h"
#include "scene/transform.h"

namespace klx {

class Node : public Object {
  KLX_DECLARE_CLASS(Node)

 public:
  explicit Node(const String& name);

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;

  // Controllers, then the world transform.
  virtual void Update(double elapsed);
  // The node's own drawing; nothing here.
  virtual void DrawSelf(DrawContext* context);
  // Hidden test and culling, then DrawSelf.
  virtual void Draw(DrawContext* context);
  // Recomputes the world bound; nothing here.
  virtual void UpdateWorldBound();

  // Update, then this node's bound; with propagateUp, every ancestor's bound
  // up to the root.
  void UpdateGeometricState(double elapsed, bool propagateUp);
  // The world transform from the parent's and the local one; nothing when
  // worldTransformUpdate is off (a controller owns the world transform).
  void UpdateWorldTransform();

  Transform& LocalTransform() { return localTransform_; }
  const Transform& GetLocalTransform() const { return localTransform_; }
  Transform& WorldTransform() { return worldTransform_; }
  const Transform& GetWorldTransform() const { return worldTransform_; }
  bool GetWorldTransformUpdate() const { return worldTransformUpdate_; }
  void SetWorldTransformUpdate(bool update) { worldTransformUpdate_ = update; }
  BoundingVolume* GetWorldBound() const { return worldBound_.Get(); }
  bool GetWorldBoundUpdate() const { return worldBoundUpdate_; }
  void SetWorldBoundUpdate(bool update) { worldBoundUpdate_ = update; }
  bool IsHidden() const { return hidden_; }
  void SetHidden(bool hidden) { hidden_ = hidden; }
  Node* GetParent() const { return parent_; }
  void SetParent(Node* parent) { parent_ = parent; }

 protected:
  Transform localTransform_;
  Transform worldTransform_;
  bool worldTransformUpdate_ = true;
  Ref<BoundingVolume> worldBound_;
  bool worldBoundUpdate_ = true;
  bool hidden_ = false;
  Node* parent_ = nullptr;
};

}  // namespace klx
