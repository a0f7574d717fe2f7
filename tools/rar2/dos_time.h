#pragma once
// MS-DOS date and time as file headers store them.

#include <cstdint>

namespace klx::rar2tool {

// Seconds since 1970-01-01 UTC to a DOS time stamp (UTC, two-second
// resolution); clamped to 1980-01-01 .. 2107-12-31 23:59:58.
uint32_t UnixToDosTime(int64_t seconds);

}  // namespace klx::rar2tool
