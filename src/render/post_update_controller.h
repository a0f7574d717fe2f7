#pragma once
// Controllers that run once more after the whole scene has been updated,
// just before drawing: while active, each update registers the controller
// with the renderer as a frame listener, and the renderer's BeginFrame calls
// PostUpdate.

#include "core/controller.h"
#include "render/frame_listener.h"

namespace klx {

class PostUpdateController : public Controller, public FrameListener {
  KLX_DECLARE_CLASS(PostUpdateController)

 public:
  explicit PostUpdateController(const String& name) : Controller(name) {}
  // Registers with the current renderer when active.
  void Update(double elapsed) override;
  // The work after the update; nothing in the base.
  void PostUpdate() override {}
  RefCounted* GetListenerObject() override { return this; }
};

}  // namespace klx
