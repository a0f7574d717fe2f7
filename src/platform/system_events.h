#pragma once
// The event pump: takes every pending event of the host without waiting and
// queues the input events the engine knows (key down and up, mouse moves and
// buttons, a window closed or the process asked to quit).

#include <cstdint>

namespace klx {

// False when the host's event system fails; true otherwise, also when no
// window exists.
bool PumpSystemEvents();

// The Windows virtual-key code of a host key by its position (an SDL
// scancode), as virtual keys stay put under any keyboard layout; 0 for a key
// without one. Shift, Control and Alt give the generic codes.
int32_t VirtualKeyFromScancode(int32_t scancode);

}  // namespace klx
