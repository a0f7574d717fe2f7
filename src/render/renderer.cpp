#include "render/renderer.h"

#include "core/log.h"
#include "core/module.h"
#include "core/module_manager.h"
#include "platform/system_window.h"
#include "scene/data_buffer.h"

namespace klx {
namespace {
Ref<Renderer> g_renderer;
Ref<Module> g_rendererModule;
}  // namespace

Renderer::~Renderer() {
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

void Renderer::ReleaseBuffer(Buffer* buffer) {
  if (buffer != nullptr) buffer->Handle().Clear();
}

void Renderer::ReleaseQuery(OcclusionQuery* query) {
  if (query != nullptr) query->Handle().Clear();
}

int Renderer::BeginFrame() { return BeginScene(); }

void Renderer::EndFrame() { EndScene(); }

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
  return kOk;
}

void ReleaseRenderer() {
  g_renderer = nullptr;
  g_rendererModule = nullptr;
}

}  // namespace klx
