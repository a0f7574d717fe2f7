#pragma once
// A controller is attached to an owner object and run once per frame from
// the owner's update. The owner pointer is a plain back pointer (the owner
// holds the counted reference).

#include "core/object.h"

namespace klx {

class Controller : public Object {
  KLX_DECLARE_CLASS(Controller)

 public:
  explicit Controller(const String& name);

  // Writes the active flag after the object data.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  // One frame's work with the elapsed seconds; nothing in the base.
  virtual void Update(double elapsed);
  // Back to the initial state; nothing in the base.
  virtual void Reset();

  bool IsActive() const { return active_; }
  void SetActive(bool active) { active_ = active; }
  Object* GetOwner() const { return owner_; }
  void SetOwner(Object* owner) { owner_ = owner; }

 private:
  bool active_ = true;
  Object* owner_ = nullptr;
};

}  // namespace klx
