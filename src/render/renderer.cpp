#include "render/renderer.h"

#include <algorithm>

#include "render/post_update_controller.h"
#include "core/log.h"
#include "core/module.h"
#include "core/module_manager.h"
#include "sound/sound_manager.h"
#include "platform/system_window.h"
#include "render/pass.h"
#include "render/render_state_block.h"
#include "render/shader.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/light.h"
#include "scene/screen_context.h"

namespace klx {
namespace {
Ref<Renderer> g_renderer;
Ref<Module> g_rendererModule;
}  // namespace

Renderer::Renderer() {
  for (Matrix4& matrix : textureMatrices_) matrix = Matrix4::Identity();
}

Renderer::~Renderer() {
  if (GetScreenContext() == this) SetScreenContext(nullptr);
  // A device implementation closes the window in its own destructor, while
  // its device operations still exist; this only removes a window left over.
  if (window_ != nullptr && DestroySystemWindow(window_) != kOk) {
    LogError(KLX_TEXT("Невозможно закрыть окно рендеринга."));
  }
}

int Renderer::OpenWindow(int32_t configuration, const String& title, uint64_t parentWindow,
                         int32_t x, int32_t y, int32_t width, int32_t height) {
  if (window_ != nullptr && CloseWindow() != kOk) {
    LogError(KLX_TEXT("Закрытие окна неудачно."));
    return kFailed;
  }
  if (configuration < 0 || configuration >= configurations_.Count()) return kInvalidArg;
  const DisplayConfiguration& chosen = configurations_[configuration];
  if (chosen.fullScreen) {
    x = 0;
    y = 0;
    width = chosen.width;
    height = chosen.height;
  }
  SystemWindow* window = nullptr;
  if (CreateSystemWindow(&window, title, parentWindow, chosen.fullScreen, chosen.colorBits, x, y,
                         width, height) != kOk) {
    LogError(KLX_TEXT("Создание окна неудачно."));
    return kFailed;
  }
  window_ = window;
  currentConfiguration_ = configuration;
  return CreateDevice(configuration, title, parentWindow, x, y, width, height);
}

int Renderer::CloseWindow() {
  activeCamera_ = nullptr;
  currentGeometry_ = nullptr;
  if (ReleaseDevice() != kOk) return kFailed;
  if (window_ == nullptr) return kInvalidArg;
  if (DestroySystemWindow(window_) != kOk) {
    LogError(KLX_TEXT("Закрытие окна неудачно."));
    return kFailed;
  }
  window_ = nullptr;
  currentConfiguration_ = -1;
  return kOk;
}

void Renderer::ReleaseCopyOf(Object* resource) {
  if (auto* buffer = DynamicCast<Buffer>(resource)) {
    ReleaseBuffer(buffer);
  } else if (auto* texture = DynamicCast<BaseTexture>(resource)) {
    ReleaseTexture(texture);
  } else if (auto* shader = DynamicCast<Shader>(resource)) {
    ReleaseShader(shader);
  } else if (auto* pass = DynamicCast<Pass>(resource)) {
    ReleasePass(pass);
  } else if (auto* query = DynamicCast<OcclusionQuery>(resource)) {
    ReleaseQuery(query);
  } else if (auto* block = DynamicCast<RenderStateBlock>(resource)) {
    ReleaseRenderStateBlock(block);
  }
}

void Renderer::ReleaseBuffer(Buffer* buffer) {
  if (buffer != nullptr) buffer->Handle().Clear();
}

void Renderer::ReleaseQuery(OcclusionQuery* query) {
  if (query != nullptr) query->Handle().Clear();
}

void Renderer::ReleaseTexture(BaseTexture* texture) {
  if (texture != nullptr) texture->Handle().Clear();
}

void Renderer::ReleaseShader(Shader* shader) {
  if (shader != nullptr) shader->Handle().Clear();
}

void Renderer::ReleasePass(Pass* pass) {
  if (pass == nullptr) return;
  if (pass->GetRenderStateBlock() != nullptr) ReleaseRenderStateBlock(pass->GetRenderStateBlock());
  pass->Handle().Clear();
}

void Renderer::ReleaseRenderStateBlock(RenderStateBlock* block) {
  if (block != nullptr) block->Handle().Clear();
}

void Renderer::SetCamera(Camera* camera) {
  activeCamera_ = camera;
  if (camera == nullptr) return;
  camera->SetPlaneMask(0xFFFFFFFFu);
  camera->SetAspect(screenAspect_);
}

void Renderer::SetViewport(const Vector2& origin, const Vector2& size) {
  (void)origin;
  viewportWidth_ = static_cast<int32_t>(size.x);
  viewportHeight_ = static_cast<int32_t>(size.y);
  if (!RendersToTexture()) SetScreenAspect(viewportWidth_, viewportHeight_);
}

void Renderer::SetScreenAspect(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return;
  screenAspect_ = static_cast<float>(width) / static_cast<float>(height);
  if (activeCamera_) activeCamera_->SetAspect(screenAspect_);
}

Camera* Renderer::GetCamera() const { return activeCamera_.Get(); }

CullingFrustum* Renderer::GetActiveFrustum() { return activeCamera_ ? &activeCamera_->Frustum() : nullptr; }

Object* Renderer::GetCurrentGeometry() const { return currentGeometry_.Get(); }
void Renderer::SetCurrentGeometry(Object* geometry) { currentGeometry_ = geometry; }

int Renderer::BeginFrame() {
  if (!activeCamera_) activeCamera_ = new Camera(String());
  activeCamera_->UpdateGeometricState(0.0, true);
  activeCamera_->SetPlaneMask(0xFFFFFFFFu);
  const int result = BeginScene();
  // The listeners run once, then the list starts over; one that registers
  // again from its PostUpdate runs next frame.
  Array<ListenerEntry> listeners(std::move(frameListeners_));
  frameListeners_ = Array<ListenerEntry>(8, 8);
  for (ListenerEntry& entry : listeners) entry.listener->PostUpdate();
  return result;
}

int32_t Renderer::AddFrameListener(FrameListener* listener) {
  if (listener == nullptr) return -1;
  for (int32_t i = 0; i < frameListeners_.Count(); ++i) {
    if (frameListeners_[i].listener == listener) return i;
  }
  frameListeners_.Append(ListenerEntry{listener, Ref<RefCounted>(listener->GetListenerObject())});
  return frameListeners_.Count() - 1;
}

void Renderer::QueueSorted(Drawable* drawable, float key) {
  if (drawable != nullptr) sortedQueue_.Append(SortedEntry{drawable, key});
}

void Renderer::QueueFinal(Drawable* drawable) {
  if (drawable != nullptr) finalQueue_.Append(drawable);
}

void Renderer::FlushQueues() {
  // Farthest first; equal keys keep the order they were queued in.
  std::stable_sort(sortedQueue_.begin(), sortedQueue_.end(),
                   [](const SortedEntry& a, const SortedEntry& b) { return a.key > b.key; });
  Array<SortedEntry> sorted(std::move(sortedQueue_));
  sortedQueue_ = Array<SortedEntry>(64, 64);
  for (const SortedEntry& entry : sorted) entry.drawable->DrawQueued(this);
  Array<Drawable*> final(std::move(finalQueue_));
  finalQueue_ = Array<Drawable*>(64, 64);
  for (Drawable* drawable : final) drawable->DrawQueued(this);
}

void Renderer::EndFrame() {
  FlushQueues();
  currentGeometry_ = nullptr;
  EndScene();
}

void Renderer::PushLight(Light* light) { lightStack_.Append(Ref<Light>(light)); }

void Renderer::PopLight() {
  if (lightStack_.Count() > 0) lightStack_.RemoveAt(lightStack_.Count() - 1);
}

void Renderer::RemovePassLights() {
  while (GetLightCount() > 0) {
    PopLight();
    RemoveLight();
  }
}

Light* Renderer::GetLight(int32_t index) const {
  return index >= 0 && index < lightStack_.Count() ? lightStack_[index].Get() : nullptr;
}

void Renderer::SetTextureMatrix(int32_t stage, const Matrix4& matrix) {
  textureMatrices_[stage & 7] = matrix;
}

void Renderer::BuildGammaRamp(int32_t gamma, uint16_t ramp[256]) {
  for (int32_t i = 0; i < 256; ++i) {
    const int64_t value = 200 * static_cast<int64_t>(gamma) + 256 * static_cast<int64_t>(i);
    ramp[i] = static_cast<uint16_t>(std::clamp<int64_t>(value, 0, 65535));
  }
}

Renderer* GetRenderer() { return g_renderer.Get(); }

int LoadRenderer(const String& moduleName) {
  Module* module = nullptr;
  if (ModuleManager::LoadModule(moduleName, &module) != kOk || module == nullptr) {
    LogError(KLX_TEXT("Невозможно загрузить библиотеку рендерера [%s]."), moduleName.CStr());
    return kInvalidArg;
  }
  CreateRendererEntry createRenderer = nullptr;
  if (module->FindEntry(&createRenderer, "CreateRenderer") != kOk) {
    LogError(KLX_TEXT("В модуле не найдена функция создания рендерера [%s]."), moduleName.CStr());
    return kInvalidArg;
  }
  Renderer* renderer = nullptr;
  if (createRenderer(&renderer) != kOk || renderer == nullptr) {
    LogError(KLX_TEXT("Создание рендерера [%s] неудачно."), moduleName.CStr());
    return kFailed;
  }
  g_renderer = renderer;
  g_rendererModule = module;
  SetScreenContext(renderer);
  return kOk;
}

void ReleaseRenderer() {
  SetScreenContext(nullptr);
  // The camera may hold the scene through its look-at target, and the
  // scene's resources hold the renderer that made their device copies: the
  // camera goes first, so neither keeps the other.
  if (g_renderer) g_renderer->SetCamera(nullptr);
  g_renderer = nullptr;
  g_rendererModule = nullptr;
}

}  // namespace klx
