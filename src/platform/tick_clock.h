#pragma once
// The system tick count: milliseconds from a monotonic clock, unaffected by
// changes of the wall-clock time.

#include <cstdint>

namespace klx {

uint64_t GetTickCountMs();

}  // namespace klx
