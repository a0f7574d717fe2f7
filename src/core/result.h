#pragma once

namespace klx {

// Result codes returned by every engine operation.
enum Result : int {
  kOk = 0,           // success
  kFailed = 1,       // failure
  kOutOfMemory = 2,  // an allocation failed
  kInvalidArg = 3,   // null pointer, unknown item or index out of range
};

}  // namespace klx
