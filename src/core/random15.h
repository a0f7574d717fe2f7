#pragma once
// The engine's random integers: 0 to 32767, the range its arithmetic was
// written for (the C library's rand() goes far higher here). Seeded at
// engine start.

#include <cstdint>

namespace klx {

inline constexpr int32_t kRandom15Max = 0x7FFF;

int32_t Random15();

}  // namespace klx
