#include "core/random15.h"

#include <cstdlib>

namespace klx {

int32_t Random15() { return std::rand() & kRandom15Max; }

}  // namespace klx
