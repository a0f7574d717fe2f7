#pragma once
// The interior node of the scene tree: an ordered array of children (slots
// may be empty) and a list of effects, newest first, that wrap the drawing
// of the children pass by pass.

#include "core/array.h"
#include "scene/node.h"
#include "scene/scene_node_effect_interface.h"

namespace klx {

class SceneNode : public Node {
  KLX_DECLARE_CLASS(SceneNode)

 public:
  // One empty slot and increment 2, as the class registry makes it.
  explicit SceneNode(const String& name = String());
  // `initialSize` empty slots, growing by `increment`.
  SceneNode(const String& name, int32_t initialSize, int32_t increment);
  ~SceneNode() override;

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  // Controllers, effects and children.
  void VisitLinks(const LinkVisitor& visit) const override;
  void Update(double elapsed) override;
  void DrawSelf(DrawContext* context) override;
  // The union of the children's world bounds.
  void UpdateWorldBound() override;

  // Puts an effect (an Object implementing SceneNodeEffectInterface) at the
  // head of the list; null, an effect already listed, or an object that is
  // no effect is ignored.
  void AddEffect(Object* effect);
  void RemoveEffect(Object* effect);
  int32_t GetEffectCount() const;
  // The effect at a list position (0 = newest), or null.
  Object* GetEffect(int32_t index) const;

  // Appends a child and makes this node its parent (ignored, as any append,
  // when the array is full with increment 0). Null children are allowed.
  // kInvalidArg for this node's ancestors and for a child that holds this
  // node through its links (a look-at target, a hidden-node list): either
  // would close a loop of counted references.
  int AttachChild(Node* child);
  // True while `node` is a scene node whose own load is under way: an
  // ancestor of whatever is being read. Holding it by counted reference
  // from below would close a loop.
  static bool IsLoading(const Node* node);
  void Resize(int32_t capacity, bool keep) { children_.Resize(capacity, keep); }
  int32_t GetChildCount() const { return children_.Count(); }
  Node* GetChild(int32_t index) const { return children_[index].Get(); }
  int32_t GetIncrement() const { return children_.Increment(); }

 private:
  struct EffectCell {
    Ref<Object> object;
    SceneNodeEffectInterface* effect;
    EffectCell* next;
  };

  void ReleaseEffects();

  Array<Ref<Node>> children_;
  EffectCell* effects_ = nullptr;
};

}  // namespace klx
