#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>

namespace klx {
namespace {
bool g_allowed = false;
}  // namespace

void SetMessageBoxesAllowed(bool allowed) { g_allowed = allowed; }
bool AreMessageBoxesAllowed() { return g_allowed; }

void ShowMessageBox(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  if (g_allowed) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr);
}

}  // namespace klx
