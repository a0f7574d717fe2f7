#pragma once
// A pass: one way of drawing geometry, with its own render-state block.
// Its device handle holds the vertex declaration recorded for it; the
// renderer records the pass's device state at its first use and replays it
// afterwards, until the pass is invalidated.

#include "core/object.h"
#include "scene/device_handle.h"
#include "render/render_state_block.h"

namespace klx {

class Pass : public Object {
  KLX_DECLARE_CLASS(Pass)

 public:
  explicit Pass(const String& name);
  ~Pass() override;

  // 0 when drawn, non-zero to skip the pass for this draw.
  virtual int Apply() = 0;
  // Asks for the pass to be recorded again at its next use.
  virtual void Invalidate() { handle_.changed = true; }

  DeviceHandle& Handle() { return handle_; }
  RenderStateBlock* GetRenderStateBlock() const { return stateBlock_.Get(); }

 private:
  DeviceHandle handle_;
  Ref<RenderStateBlock> stateBlock_;
};

}  // namespace klx
