#pragma once
// Look-at controllers: each frame they turn their owner (a camera or a
// light) so that its +z axis points at a target node, +y as near up as it
// goes.

#include "core/controller.h"
#include "core/math_types.h"
#include "core/ref_counted.h"

namespace klx {

class Node;

// Turns `node` so its local +z points along `direction` with +y up. A
// direction that is zero or straight up or down has no sideways axis: the
// node keeps the rotation it had.
void SetDirection(Node& node, const Vector3& direction);

// The shared part: the target, stored as an object link after the
// controller data. Not a stored class of its own: files name the camera or
// the light controller, each a direct kind of Controller.
class TargetController : public Controller {
 public:
  explicit TargetController(const String& name) : Controller(name) {}

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  Node* GetTarget() const { return target_.Get(); }
  void SetTarget(Node* target) { target_ = target; }

 protected:
  // Faces `owner` at the target: its world position brought up to date
  // first, the new rotation copied into its world rotation (the parent's
  // rotation is not applied) and left there for the rest of the frame.
  void Aim(Node& owner);
  // The messages of the derived class ("camera target", "light target").
  virtual const char* SaveMessage() const = 0;
  virtual const char* LoadMessage() const = 0;

 private:
  Ref<Node> target_;
};

class TargetCameraController : public TargetController {
  KLX_DECLARE_CLASS(TargetCameraController)

 public:
  explicit TargetCameraController(const String& name) : TargetController(name) {}
  // Aims the owner camera; nothing for another owner.
  void Update(double elapsed) override;

 protected:
  const char* SaveMessage() const override;
  const char* LoadMessage() const override;
};

class TargetLightController : public TargetController {
  KLX_DECLARE_CLASS(TargetLightController)

 public:
  explicit TargetLightController(const String& name) : TargetController(name) {}
  // Aims the owner light; nothing for another owner.
  void Update(double elapsed) override;

 protected:
  const char* SaveMessage() const override;
  const char* LoadMessage() const override;
};

}  // namespace klx
