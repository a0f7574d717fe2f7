#include "render/shader.h"

#include "render/renderer.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(Shader, Object)
KLX_IMPLEMENT_CLASS(VertexShader, Shader)
KLX_IMPLEMENT_CLASS(PixelShader, Shader)

Shader::~Shader() {
  if (handle_.owner) handle_.owner->ReleaseCopyOf(this);
}

void Shader::SetText(const char* text, int32_t length) {
  if (text == text_ && length == length_) return;
  text_ = text;
  length_ = text != nullptr && length > 0 ? length : 0;
  if (handle_.owner) handle_.owner->ReleaseCopyOf(this);
  handle_.changed = true;
}

}  // namespace klx
