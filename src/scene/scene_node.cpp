#include "scene/scene_node.h"

#include <algorithm>
#include <new>
#include <vector>

#include "core/log.h"
#include "core/memory_stream.h"

namespace klx {

KLX_IMPLEMENT_CLASS(SceneNode, Node)

namespace {

// Trees come from files, and a damaged one may link a node below itself:
// the recursive walks stop this deep, far beyond any real scene and well
// within the stack.
constexpr int kMaxWalkDepth = 1024;
thread_local int g_walkDepth = 0;

// The scene nodes whose Load is running, innermost last. A child link to one
// of them would close a loop of counted references (a node below itself).
thread_local std::vector<SceneNode*> g_loading;

class LoadingScope {
 public:
  explicit LoadingScope(SceneNode* node) { g_loading.push_back(node); }
  ~LoadingScope() { g_loading.pop_back(); }
  static bool IsLoading(const Node* node) {
    return std::find(g_loading.begin(), g_loading.end(), node) != g_loading.end();
  }
};

class WalkDepth {
 public:
  WalkDepth() { ++g_walkDepth; }
  ~WalkDepth() { --g_walkDepth; }
  bool TooDeep() const { return g_walkDepth > kMaxWalkDepth; }
};

}  // namespace

SceneNode::SceneNode(const String& name) : SceneNode(name, 1, 2) {}

SceneNode::SceneNode(const String& name, int32_t initialSize, int32_t increment)
    : Node(name), children_(initialSize, increment) {
  for (int32_t i = 0; i < initialSize; ++i) children_.Append(Ref<Node>());
}

SceneNode::~SceneNode() {
  ReleaseEffects();
  for (Ref<Node>& child : children_) {
    if (child && child->GetParent() == this) child->SetParent(nullptr);
    child = nullptr;
  }
}

void SceneNode::ReleaseEffects() {
  while (effects_ != nullptr) {
    EffectCell* cell = effects_;
    effects_ = cell->next;
    delete cell;
  }
}

void SceneNode::AddEffect(Object* object) {
  if (object == nullptr) return;
  auto* effect = dynamic_cast<SceneNodeEffectInterface*>(object);
  if (effect == nullptr) return;
  for (EffectCell* cell = effects_; cell != nullptr; cell = cell->next)
    if (cell->object.Get() == object) return;
  auto* cell = new (std::nothrow) EffectCell{Ref<Object>(object), effect, effects_};
  if (cell == nullptr) {
    LogError(KLX_TEXT("Недостаточно памяти для добавления эффекта. Имя[%s] ID[%d]."), GetName().CStr(), GetID());
    return;
  }
  effects_ = cell;
  effect->SetEffectOwner(this);
}

void SceneNode::RemoveEffect(Object* object) {
  for (EffectCell** link = &effects_; *link != nullptr; link = &(*link)->next) {
    if ((*link)->object.Get() == object) {
      EffectCell* cell = *link;
      *link = cell->next;
      delete cell;
      return;
    }
  }
}

int32_t SceneNode::GetEffectCount() const {
  int32_t count = 0;
  for (EffectCell* cell = effects_; cell != nullptr; cell = cell->next) ++count;
  return count;
}

Object* SceneNode::GetEffect(int32_t index) const {
  for (EffectCell* cell = effects_; cell != nullptr; cell = cell->next, --index)
    if (index == 0) return cell->object.Get();
  return nullptr;
}

int SceneNode::AttachChild(Node* child) {
  // A node cannot hang below itself.
  int steps = 0;
  for (Node* ancestor = this; ancestor != nullptr && steps < kMaxWalkDepth; ancestor = ancestor->GetParent(), ++steps)
    if (ancestor == child) return kInvalidArg;
  if (child != nullptr && child->Reaches(this)) return kInvalidArg;
  const int result = children_.Append(Ref<Node>(child));
  if (result == kOk && child != nullptr) child->SetParent(this);
  return result;
}

int SceneNode::Save(MemoryStream& stream) {
  if (Node::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteInt32(GetEffectCount()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить количество эффектов. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  for (EffectCell* cell = effects_; cell != nullptr; cell = cell->next) {
    if (stream.WriteObject(cell->object.Get()) != kOk) {
      LogError(KLX_TEXT("Невозможно сохранить эффект. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
      return kFailed;
    }
  }
  if (stream.WriteInt32(children_.Count()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить количество дочерних узлов. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteInt32(children_.Increment()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить приращение. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  for (const Ref<Node>& child : children_) {
    if (stream.WriteObject(child.Get()) != kOk) {
      LogError(KLX_TEXT("Невозможно сохранить дочерний узел. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
      return kFailed;
    }
  }
  return kOk;
}

bool SceneNode::IsLoading(const Node* node) { return LoadingScope::IsLoading(node); }

int SceneNode::Load(MemoryStream& stream) {
  LoadingScope loading(this);
  if (Node::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  // Every link takes at least four bytes: a count beyond what is left is a
  // damaged file, refused before anything is allocated.
  const int32_t room = (stream.GetSize() - stream.GetPosition()) / 4;
  int32_t effectCount = 0;
  if (stream.ReadInt32(effectCount) != kOk || effectCount < 0 || effectCount > room) {
    LogError(KLX_TEXT("Невозможно загрузить количество эффектов. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  ReleaseEffects();
  for (int32_t i = 0; i < effectCount; ++i) {
    Object* effect = nullptr;
    if (stream.ReadObject(effect) != kOk ||
        (effect != nullptr && dynamic_cast<SceneNodeEffectInterface*>(effect) == nullptr) || ClosesLoop(this, effect)) {
      LogError(KLX_TEXT("Невозможно загрузить эффект. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
      return kFailed;
    }
    AddEffect(effect);
  }
  int32_t childCount = 0;
  if (stream.ReadInt32(childCount) != kOk || childCount < 0 ||
      childCount > (stream.GetSize() - stream.GetPosition()) / 4) {
    LogError(KLX_TEXT("Невозможно загрузить количество дочерних узлов. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  int32_t increment = 0;
  if (stream.ReadInt32(increment) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить приращение. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  children_.SetIncrement(increment);
  if (children_.Resize(childCount, false) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить количество дочерних узлов. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  for (int32_t i = 0; i < childCount; ++i) children_.Append(Ref<Node>());
  for (int32_t i = 0; i < childCount; ++i) {
    Node* child = nullptr;
    // A node cannot be its own child, nor the child of its descendants, nor
    // hold through its links the node that holds it. A node still being
    // read only because it is reading its parent (this node) is fine: the
    // parent link is not counted.
    if (stream.ReadObjectOf(child) != kOk || stream.IsReading(child) ||
        (child != nullptr && child->Reaches(this))) {
      LogError(KLX_TEXT("Невозможно загрузить дочерний узел. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
      return kFailed;
    }
    children_[i] = child;
    if (child != nullptr) child->SetParent(this);
  }
  return kOk;
}

void SceneNode::VisitLinks(const LinkVisitor& visit) const {
  Node::VisitLinks(visit);
  for (EffectCell* cell = effects_; cell != nullptr; cell = cell->next) visit(cell->object.Get());
  for (const Ref<Node>& child : children_) visit(child.Get());
}

Object* SceneNode::FindByName(const String& name) {
  if (Object* found = Node::FindByName(name); found != nullptr) return found;
  WalkDepth depth;
  if (depth.TooDeep()) return nullptr;
  for (EffectCell* cell = effects_; cell != nullptr; cell = cell->next)
    if (Object* found = cell->object->FindByName(name); found != nullptr) return found;
  for (const Ref<Node>& child : children_)
    if (child)
      if (Object* found = child->FindByName(name); found != nullptr) return found;
  return nullptr;
}

void SceneNode::CollectByType(const RTTI& type, Array<Object*>& found) {
  Node::CollectByType(type, found);
  WalkDepth depth;
  if (depth.TooDeep()) return;
  for (EffectCell* cell = effects_; cell != nullptr; cell = cell->next) cell->object->CollectByType(type, found);
  for (const Ref<Node>& child : children_)
    if (child) child->CollectByType(type, found);
}

void SceneNode::Update(double elapsed) {
  Node::Update(elapsed);
  WalkDepth depth;
  if (depth.TooDeep()) return;
  for (EffectCell* cell = effects_; cell != nullptr; cell = cell->next) cell->effect->UpdateEffect(elapsed);
  for (const Ref<Node>& child : children_)
    if (child) child->UpdateGeometricState(elapsed, false);
}

void SceneNode::DrawSelf(DrawContext* context) {
  WalkDepth depth;
  if (depth.TooDeep()) return;
  if (effects_ == nullptr) {
    for (const Ref<Node>& child : children_)
      if (child) child->Draw(context);
    return;
  }
  // Each enabled effect draws the children once per pass.
  for (EffectCell* cell = effects_; cell != nullptr; cell = cell->next) {
    if (!cell->effect->IsEnabled()) continue;
    const int passes = cell->effect->GetPassCount();
    for (int pass = 0; pass < passes; ++pass) {
      if (cell->effect->ApplyPass(pass, context) != kOk) continue;
      for (const Ref<Node>& child : children_)
        if (child) child->Draw(context);
      if (context != nullptr) context->FlushQueues();
    }
  }
}

void SceneNode::UpdateWorldBound() {
  if (!worldBoundUpdate_ || !worldBound_) return;
  bool first = true;
  for (const Ref<Node>& child : children_) {
    if (!child) continue;
    BoundingVolume* bound = child->GetWorldBound();
    const bool usable = bound != nullptr && bound->GetType() == kSphereVolumeType;
    if (first) {
      if (usable) worldBound_->CopyFrom(bound);
      first = false;
    } else if (usable) {
      worldBound_->Merge(bound);
    }
  }
}

}  // namespace klx
