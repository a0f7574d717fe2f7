#pragma once
// Fonts by name. The engine keeps the table so that a renderer module could
// register fonts; this program never fills it. `Font` is known to the class
// registry by name only: nothing creates one from a stream.

#include "core/object.h"

namespace klx {

class Font : public Object {
  KLX_DECLARE_CLASS(Font)

 public:
  explicit Font(const String& name) : Object(name) {}
};

class FontManager {
 public:
  // Start-up and shut-down, entered into the engine's lifecycle lists once.
  static int Startup();
  static int Shutdown();
  static bool IsStarted();

  // kOk with one reference taken; kFailed without a table or for a name in
  // use.
  static int RegisterFont(Font* font);
  // The font of that name, or null (no reference added).
  static Font* FindFont(const String& name);

  static void RegisterLifecycleFunctions();
};

}  // namespace klx
