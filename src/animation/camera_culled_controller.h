#pragma once
// Hides a list of nodes while its owner camera is the one on screen (a
// tree in front of a view, say) and shows them again when another camera
// takes over or the controller goes.

#include "core/array.h"
#include "core/controller.h"
#include "core/ref_counted.h"

namespace klx {

class CameraCulledController : public Controller {
  KLX_DECLARE_CLASS(CameraCulledController)

 public:
  explicit CameraCulledController(const String& name) : Controller(name) {}
  ~CameraCulledController() override;

  // After the controller data: the listed objects (count, then links).
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  // Hides the listed nodes while the owner is the screen's camera; shows
  // them in the update after it stops being so.
  void Update(double elapsed) override;

  void AddNode(Object* node) { (void)nodes_.Append(Ref<Object>(node)); }
  int32_t GetNodeCount() const { return nodes_.Count(); }
  Object* GetNode(int32_t index) const { return index >= 0 && index < nodes_.Count() ? nodes_[index].Get() : nullptr; }
  bool WasActive() const { return wasActive_; }

 private:
  void SetHidden(bool hidden);

  Array<Ref<Object>> nodes_{4, 4};
  bool wasActive_ = false;
};

}  // namespace klx
