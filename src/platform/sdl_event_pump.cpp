#include <SDL.h>

#include "platform/input_manager.h"
#include "platform/key_table.h"
#include "platform/system_events.h"

namespace klx {
namespace {

// SDL keys to Windows virtual keys. Letters and digits follow the key's
// position (the scancode), as virtual keys do under non-Latin layouts.
int32_t VirtualKeyFromSdlScancode(SDL_Scancode scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
    return 0x41 + (scancode - SDL_SCANCODE_A);
  }
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
    return 0x31 + (scancode - SDL_SCANCODE_1);
  }
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) {
    return 0x70 + (scancode - SDL_SCANCODE_F1);
  }
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) {
    return 0x61 + (scancode - SDL_SCANCODE_KP_1);
  }
  switch (scancode) {
    case SDL_SCANCODE_0: return 0x30;
    case SDL_SCANCODE_KP_0: return 0x60;
    case SDL_SCANCODE_KP_PLUS: return 0x6B;
    case SDL_SCANCODE_KP_MINUS: return 0x6D;
    case SDL_SCANCODE_KP_MULTIPLY: return 0x6A;
    case SDL_SCANCODE_KP_DIVIDE: return 0x6F;
    case SDL_SCANCODE_KP_PERIOD: return 0x6E;
    case SDL_SCANCODE_KP_ENTER: return 0x0D;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    case SDL_SCANCODE_BACKSPACE: return 0x08;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_CAPSLOCK: return 0x14;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_DELETE: return 0x2E;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_DOWN: return 0x28;
    case SDL_SCANCODE_END: return 0x23;
    case SDL_SCANCODE_RETURN: return 0x0D;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_ESCAPE: return 0x1B;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_HOME: return 0x24;
    case SDL_SCANCODE_INSERT: return 0x2D;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_LEFT: return 0x25;
    case SDL_SCANCODE_RIGHT: return 0x27;
    case SDL_SCANCODE_UP: return 0x26;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_PAGEDOWN: return 0x22;
    case SDL_SCANCODE_PAGEUP: return 0x21;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 0x90;
    case SDL_SCANCODE_PAUSE: return 0x13;
    case SDL_SCANCODE_PRINTSCREEN: return 0x2C;
    case SDL_SCANCODE_SCROLLLOCK: return 0x91;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_SPACE: return 0x20;
    case SDL_SCANCODE_TAB: return 0x09;
    // The window messages carry the generic modifier keys.
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return 0x10;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return 0x11;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return 0x12;
    case SDL_SCANCODE_LGUI: return 0x5B;
    case SDL_SCANCODE_RGUI: return 0x5C;
    case SDL_SCANCODE_APPLICATION: return 0x5D;
    default: return 0;
  }
}

int32_t LowWord(int32_t value) { return value & 0xFFFF; }

void QueueKey(const SDL_KeyboardEvent& key, int32_t action) {
  const int32_t virtualKey = VirtualKeyFromScancode(key.keysym.scancode);
  InputManager::QueueInputEvent(
      InputEvent{kInputKeyboard, action, TranslateVirtualKey(virtualKey), 0});
}

void QueueButton(const SDL_MouseButtonEvent& button, int32_t action) {
  int32_t code = -1;
  switch (button.button) {
    case SDL_BUTTON_LEFT: code = kMouseLeft; break;
    case SDL_BUTTON_RIGHT: code = kMouseRight; break;
    case SDL_BUTTON_MIDDLE: code = kMouseMiddle; break;
    default: return;  // the extra buttons have no event
  }
  InputManager::QueueInputEvent(InputEvent{kInputMouse, action, code, 0});
}

}  // namespace

int32_t VirtualKeyFromScancode(int32_t scancode) {
  return VirtualKeyFromSdlScancode(static_cast<SDL_Scancode>(scancode));
}

bool PumpSystemEvents() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return true;  // no window, nothing to pump
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    switch (event.type) {
      case SDL_QUIT:  // the last window closed, or the process was asked to end
        InputManager::QueueInputEvent(InputEvent{kInputSystem, kInputWindowClosed, 0, 0});
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
          InputManager::QueueInputEvent(InputEvent{kInputSystem, kInputWindowClosed, 0, 0});
        } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
          // Windows without a renderer keep their black face.
          SDL_Window* window = SDL_GetWindowFromID(event.window.windowID);
          if (window != nullptr && (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) == 0) {
            SDL_Surface* surface = SDL_GetWindowSurface(window);
            if (surface != nullptr) {
              SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
              SDL_UpdateWindowSurface(window);
            }
          }
        }
        break;
      case SDL_KEYDOWN:
        QueueKey(event.key, kInputPress);
        break;
      case SDL_KEYUP:
        QueueKey(event.key, kInputRelease);
        break;
      case SDL_MOUSEMOTION:
        InputManager::QueueInputEvent(
            InputEvent{kInputMouse, kInputMove, LowWord(event.motion.x), LowWord(event.motion.y)});
        break;
      case SDL_MOUSEBUTTONDOWN:
        QueueButton(event.button, kInputPress);
        break;
      case SDL_MOUSEBUTTONUP:
        QueueButton(event.button, kInputRelease);
        break;
      default:
        break;
    }
  }
  return true;
}

}  // namespace klx
