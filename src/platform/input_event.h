#pragma once
// One input event: what the window code queues and the input manager hands
// to every handler once per frame.

#include <cstdint>

namespace klx {

enum InputDevice : int32_t {
  kInputKeyboard = 0,
  kInputMouse = 1,
  kInputSystem = 2,
};

enum InputAction : int32_t {
  kInputPress = 1,        // key down or button down
  kInputRelease = 2,      // key up or button up
  kInputMove = 3,         // mouse move: code is x, value is y
  kInputWindowClosed = 4,
};

enum MouseButton : int32_t {
  kMouseLeft = 0,
  kMouseRight = 1,
  kMouseMiddle = 2,
};

struct InputEvent {
  int32_t device = 0;
  int32_t action = 0;
  int32_t code = 0;   // key code, mouse button, or x of a move
  int32_t value = 0;  // y of a move, else 0

  bool operator==(const InputEvent&) const = default;
};

}  // namespace klx
