#pragma once
// The process-wide table of modules by name. Built-in modules register
// themselves at post-initialization; LoadModule finds a registered module or
// loads "<name>.so" found through the virtual file system.

#include <cstdint>
#include <vector>

#include "core/engine_string.h"
#include "core/module.h"

namespace klx {

class ModuleManager {
 public:
  // Start-up and shut-down, entered into the engine's lifecycle lists once.
  static int Startup();
  static int Shutdown();
  static bool IsStarted();

  // kOk; kInvalidArg for null; kFailed for a name already registered or a
  // failed insertion (the caller then still owns the module).
  static int RegisterModule(Module* module);
  // The registered module of that name, or null (no reference added).
  static Module* FindModule(const String& name);
  // Finds or loads a module; `out` may be null.
  [[nodiscard]] static int LoadModule(const String& name, Module** out);
  static int32_t GetModuleCount();

  // Finds a library file by name among the mounted directories and copies
  // its bytes out; false when there is none. The file manager provides it.
  using LibraryFinder = bool (*)(const String& fileName, std::vector<uint8_t>* bytes);
  static void SetLibraryFinder(LibraryFinder finder);

  // The suffix of a dynamic module's file name.
  static constexpr const char* kLibrarySuffix = ".so";

  static void RegisterLifecycleFunctions();
};

}  // namespace klx
