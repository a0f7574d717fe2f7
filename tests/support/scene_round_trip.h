#pragma once
// A scene through the scene codec and back: saved under a name in a
// scratch folder (and kept as a fuzz seed when KLX_SEED_OUT asks), then
// loaded. The codec must be loaded.

#include "core/object.h"
#include "core/ref_counted.h"

namespace klx::test {

// The loaded root, or null after a test failure (saving or loading did not
// succeed).
Ref<Object> SaveAndLoadScene(Object* root, const char* fileName);

}  // namespace klx::test
