#pragma once
// The input manager: the window code queues events while the system's
// messages are pumped, and ProcessInput hands them, once per frame, to every
// registered handler (newest first), then empties the queue.

#include <cstdint>

#include "core/named.h"
#include "core/ref_counted.h"
#include "platform/input_event.h"

namespace klx {

// Receives input events; the base ignores them.
class InputHandler : public RefCounted, public Named {
 public:
  explicit InputHandler(const String& name = String()) : Named(name) {}
  virtual void OnInputEvent(const InputEvent& event) { (void)event; }
};

class InputManager {
 public:
  // Start-up and shut-down, entered into the engine's lifecycle lists once.
  static int Startup();
  static int Shutdown();

  // kOk (also for a handler already registered, with a warning),
  // kInvalidArg for null, kOutOfMemory.
  static int RegisterInputHandler(InputHandler* handler);
  // Stores a copy of the event until the next ProcessInput.
  static void QueueInputEvent(const InputEvent& event);
  // Pumps the system's pending messages, then delivers the queue: kOk, or
  // kFailed when pumping fails.
  static int ProcessInput();

  // The queue's slot count (it keeps its largest size) and fill count.
  static int32_t GetQueueCapacity();
  static int32_t GetQueuedCount();
  static int32_t GetHandlerCount();

  static void RegisterLifecycleFunctions();
};

}  // namespace klx
