#include "platform/tick_clock.h"

#include <ctime>

namespace klx {

uint64_t GetTickCountMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace klx
