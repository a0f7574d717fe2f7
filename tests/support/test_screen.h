#pragma once
// A stand-in for the renderer as the scene's screen: it only remembers the
// camera put on it and counts the cuts. Registered for its lifetime.

#include "core/ref_counted.h"
#include "scene/camera.h"
#include "scene/draw_context.h"
#include "scene/screen_context.h"

namespace klx::test {

class TestScreen : public DrawContext {
 public:
  TestScreen() { SetScreenContext(this); }
  ~TestScreen() override { SetScreenContext(nullptr); }
  CullingFrustum* GetActiveFrustum() override { return nullptr; }
  void FlushQueues() override {}
  Camera* GetCamera() const override { return camera_.Get(); }
  void SetCamera(Camera* camera) override {
    camera_ = camera;
    ++cuts;
  }

  int cuts = 0;

 private:
  Ref<Camera> camera_;
};

}  // namespace klx::test
