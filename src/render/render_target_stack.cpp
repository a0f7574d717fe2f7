#include "render/render_target_stack.h"

#include "core/result.h"
#include "render/device_resource_cache.h"
#include "render/texture.h"

namespace klx {

void RenderTargetStack::SetDevice(d3d::Device* device) {
  device_ = device;
  current_ = Target{};
}

void RenderTargetStack::Clear() {
  stack_.clear();
  ownDepth_.clear();
}

bool RenderTargetStack::IsBeingDrawn(const BaseTexture* texture) const {
  for (const Entry& entry : stack_) {
    if (entry.texture == texture) return true;
  }
  return false;
}

void RenderTargetStack::Bind(const Target& target) {
  current_ = target;
  device_->SetRenderTarget(target.color, target.face);
  if (target.depthTexture != nullptr) {
    device_->SetDepthStencilTexture(target.depthTexture);
  } else {
    device_->SetDepthStencil(target.depth);
  }
}

int RenderTargetStack::Pop() {
  if (stack_.empty()) return kFailed;
  const Entry entry = stack_.back();
  stack_.pop_back();
  Bind(entry.saved);
  return kOk;
}

d3d::BaseTexture* RenderTargetStack::CopyWithUsage(BaseTexture* texture, uint32_t usage) {
  auto* copy = static_cast<d3d::BaseTexture*>(texture->Handle().handle);
  if (copy != nullptr && (copy->GetUsage() & usage) == 0) {
    // A sampled copy cannot be drawn into: it is made again as a target.
    ForgetDepth(texture->GetID());
    cache_.Drop(texture, texture->Handle());
    copy = nullptr;
  }
  return copy;
}

d3d::BaseTexture* RenderTargetStack::RenderTargetOf(BaseTexture* texture, bool cube, uint32_t edge, uint32_t width,
                                                    uint32_t height, d3d::Format format) {
  d3d::BaseTexture* copy = CopyWithUsage(texture, d3d::kUsageRenderTarget);
  if (copy == nullptr) {
    std::unique_ptr<d3d::BaseTexture> made;
    for (int attempt = 0; attempt < 2 && !made; ++attempt) {  // a second try after a failed one
      made = cube ? device_->CreateCubeTexture(edge, 1, d3d::kUsageRenderTarget, format)
                  : device_->CreateTexture(width, height, 1, d3d::kUsageRenderTarget, format);
    }
    if (!made) return nullptr;
    copy = made.release();
    cache_.Keep(texture, texture->Handle(), copy);
    texture->Handle().changed = false;
    texture->SetMipMapCount(1);
  }
  return copy;
}

d3d::DepthStencilSurface* RenderTargetStack::OwnDepth(const BaseTexture* texture, uint32_t width, uint32_t height) {
  auto& depth = ownDepth_[texture->GetID()];
  if (!depth) depth = device_->CreateDepthStencilSurface(width, height, device_->GetDepthStencilFormat());
  return depth.get();
}

int RenderTargetStack::PushTexture(Texture* texture) {
  const Image* image = texture->GetImage();
  if (image == nullptr) return kFailed;
  d3d::BaseTexture* copy =
      RenderTargetOf(texture, false, 0, image->GetWidth(), image->GetHeight(), DeviceFormatOf(image->GetFormat()));
  if (copy == nullptr) return kFailed;
  Target next;
  next.color = copy;
  next.depth = current_.depth;
  next.depthTexture = current_.depthTexture;
  if (texture->HasOwnDepthBuffer()) {
    next.depth = OwnDepth(texture, copy->GetWidth(), copy->GetHeight());
    next.depthTexture = nullptr;
  }
  stack_.push_back(Entry{texture, current_});
  Bind(next);
  return kOk;
}

int RenderTargetStack::PushCubeFace(int32_t face, CubeTexture* texture) {
  const Image* image = texture->GetImage();
  if (image == nullptr || face < 0 || face > 5) return kFailed;
  d3d::BaseTexture* copy = RenderTargetOf(texture, true, image->GetWidth(), 0, 0, DeviceFormatOf(image->GetFormat()));
  if (copy == nullptr) return kFailed;
  d3d::DepthStencilSurface* depth = OwnDepth(texture, copy->GetWidth(), copy->GetWidth());
  stack_.push_back(Entry{texture, current_});
  Bind(Target{copy, static_cast<uint32_t>(face), depth, nullptr});
  return kOk;
}

int RenderTargetStack::PushShadowMap(Texture* texture) {
  const Image* image = texture->GetImage();
  if (image == nullptr) return kFailed;
  d3d::BaseTexture* copy = CopyWithUsage(texture, d3d::kUsageDepthStencil);
  if (copy == nullptr) {
    auto made = device_->CreateTexture(image->GetWidth(), image->GetHeight(), 1, d3d::kUsageDepthStencil,
                                       device_->GetDepthStencilFormat());
    if (!made) return kFailed;
    copy = made.release();
    cache_.Keep(texture, texture->Handle(), copy);
    texture->Handle().changed = false;
  }
  stack_.push_back(Entry{texture, current_});
  Target next = current_;
  next.depthTexture = copy;
  next.depth = nullptr;
  const d3d::Viewport viewport = device_->GetViewport();
  Bind(next);
  device_->SetViewport(viewport);
  return kOk;
}

}  // namespace klx
