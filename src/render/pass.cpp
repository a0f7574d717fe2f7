#include "render/pass.h"

#include <new>

#include "render/renderer.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(Pass, Object)

Pass::Pass(const String& name) : Object(name), stateBlock_(new (std::nothrow) RenderStateBlock(String())) {}

Pass::~Pass() {
  if (handle_.owner) handle_.owner->ReleaseCopyOf(this);
}

}  // namespace klx
