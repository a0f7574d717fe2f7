#include "platform/input_manager.h"

#include <new>

#include "core/array.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "platform/system_events.h"

namespace klx {
namespace {

constexpr int32_t kQueueStep = 128;

struct HandlerEntry {
  Ref<InputHandler> handler;
  HandlerEntry* next = nullptr;
};

// The queue keeps every slot it ever had; `g_filled` counts the slots of the
// current frame, so later frames overwrite old events instead of appending.
Array<InputEvent>* g_queue = nullptr;
int32_t g_filled = 0;
HandlerEntry* g_handlers = nullptr;

}  // namespace

int InputManager::Startup() {
  LogInfo(KLX_TEXT("Инициализация менеджера ввода."));
  delete g_queue;
  g_queue = new (std::nothrow) Array<InputEvent>(kQueueStep, kQueueStep);
  if (g_queue == nullptr || g_queue->Capacity() != kQueueStep) {
    delete g_queue;
    g_queue = nullptr;
    LogError(KLX_TEXT("Недостаточно памяти для инициализации менеджера ввода."));
    return kFailed;
  }
  g_filled = 0;
  LogInfo(KLX_TEXT("Менеджер ввода инициализирован."));
  return kOk;
}

int InputManager::Shutdown() {
  LogInfo(KLX_TEXT("Завершение работы менеджера ввода."));
  delete g_queue;
  g_queue = nullptr;
  g_filled = 0;
  while (g_handlers != nullptr) {
    HandlerEntry* next = g_handlers->next;
    delete g_handlers;  // drops the handler's reference
    g_handlers = next;
  }
  LogInfo(KLX_TEXT("Менеджер ввода завершил работу."));
  return kOk;
}

int InputManager::RegisterInputHandler(InputHandler* handler) {
  if (handler == nullptr) {
    LogWarning(KLX_TEXT("Указатель на обработчик ввода равен 0."));
    return kInvalidArg;
  }
  for (HandlerEntry* entry = g_handlers; entry != nullptr; entry = entry->next) {
    if (entry->handler.Get() == handler) {
      LogWarning(KLX_TEXT("Обработчик ввода [%s] уже зарегестрирован."), handler->GetName().CStr());
      return kOk;
    }
  }
  HandlerEntry* entry = new (std::nothrow) HandlerEntry{Ref<InputHandler>(handler), g_handlers};
  if (entry == nullptr) {
    LogError(KLX_TEXT("Недостаточно памяти для регистрации обработчика ввода [%s]."),
             handler->GetName().CStr());
    return kOutOfMemory;
  }
  g_handlers = entry;
  return kOk;
}

void InputManager::QueueInputEvent(const InputEvent& event) {
  if (g_queue == nullptr) return;  // not started: nobody would receive it
  if (g_filled == g_queue->Count()) {
    if (g_queue->Append(event) != kOk) return;  // out of memory: the event is dropped
  } else {
    (*g_queue)[g_filled] = event;
  }
  ++g_filled;
}

int InputManager::ProcessInput() {
  if (!PumpSystemEvents()) {
    LogError(KLX_TEXT("Системный ввод неудачен."));
    return kFailed;
  }
  if (g_queue == nullptr) return kOk;
  for (HandlerEntry* entry = g_handlers; entry != nullptr; entry = entry->next) {
    // The fill count is read again after every call: events a handler
    // queues are delivered in the same pass.
    for (int32_t i = 0; i < g_filled; ++i) {
      const InputEvent event = (*g_queue)[i];  // a copy: the array may grow meanwhile
      entry->handler->OnInputEvent(event);
    }
  }
  g_filled = 0;
  return kOk;
}

int32_t InputManager::GetQueueCapacity() { return g_queue != nullptr ? g_queue->Capacity() : 0; }
int32_t InputManager::GetQueuedCount() { return g_filled; }

int32_t InputManager::GetHandlerCount() {
  int32_t count = 0;
  for (HandlerEntry* entry = g_handlers; entry != nullptr; entry = entry->next) ++count;
  return count;
}

void InputManager::RegisterLifecycleFunctions() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  AddInitFunction(&InputManager::Startup);
  AddShutdownFunction(&InputManager::Shutdown);
}

[[maybe_unused]] static const bool kInputManagerRegistered =
    (InputManager::RegisterLifecycleFunctions(), true);

}  // namespace klx
