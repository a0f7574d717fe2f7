#pragma once
// Controllers that run once more after the whole scene has been updated,
// just before drawing: while active, each update registers the controller
// with the renderer as a frame listener, and the renderer's BeginFrame calls
// PostUpdate.

#include "animation/controller.h"

namespace klx {

class PostUpdateController : public Controller {
  KLX_DECLARE_CLASS(PostUpdateController)

 public:
  explicit PostUpdateController(const String& name) : Controller(name) {}
  // Slot 8: registers with the current renderer when active.
  void Update(double elapsed) override;
  // Slot 10: the work after the update; nothing in the base.
  virtual void PostUpdate() {}
};

}  // namespace klx
