#pragma once
// The video configurations a renderer offers: the first display's 32-bit
// modes, each size once, full screen, for every back-buffer format, depth
// format and sample count, each group followed by its windowed
// configuration.

#include <cstdint>

#include "core/array.h"
#include "render/renderer.h"

namespace klx {

// Fills `configurations` (appending) and sets `defaultConfiguration` to the
// first full-screen one with the desktop's size (left as it is when no
// mode has it). The video system must be started.
void ProbeDisplayConfigurations(Array<DisplayConfiguration>& configurations, int32_t& defaultConfiguration);

}  // namespace klx
