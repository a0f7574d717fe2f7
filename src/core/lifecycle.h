#pragma once
// The engine's lifecycle: three ordered lists of functions that subsystems
// and classes fill from static initialisation. EngineStart runs the
// initialization list, then the post-initialization list; EngineStop runs the
// de-initialization list in the same (registration) order.

#include <cstdint>

namespace klx {

inline constexpr int32_t kEngineVersionMajor = 0;
inline constexpr int32_t kEngineVersionMinor = 1;
inline constexpr int32_t kEngineVersionBuild = 2;

// A lifecycle function: 0 on success, non-zero on failure.
using LifecycleFunction = int (*)();

void AddInitFunction(LifecycleFunction function);
void AddPostInitFunction(LifecycleFunction function);
void AddShutdownFunction(LifecycleFunction function);

// 0, or 1 at the first failing function (the rest are not called).
[[nodiscard]] int EngineStart();
int EngineStop();

// Number of functions in each list (for diagnostics and tests).
struct LifecycleCounts {
  int32_t init = 0;
  int32_t postInit = 0;
  int32_t shutdown = 0;
};
LifecycleCounts GetLifecycleCounts();

// Sets the three lists aside and starts with empty ones until the scope
// ends; lets a test run the engine's start and stop over lists of its own.
class ScopedEmptyLifecycle {
 public:
  ScopedEmptyLifecycle();
  ~ScopedEmptyLifecycle();
  ScopedEmptyLifecycle(const ScopedEmptyLifecycle&) = delete;
  ScopedEmptyLifecycle& operator=(const ScopedEmptyLifecycle&) = delete;

 private:
  struct Saved;
  Saved* saved_;
};

}  // namespace klx
