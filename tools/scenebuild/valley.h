#pragma once
// The demo scene: a valley with a lake at the end of the day. Writes its
// textures and sounds into the media folder and returns the scene's root.

#include "core/ref_counted.h"

namespace klx {
class SceneNode;
}

namespace klx::scenebuild {

class MediaFolder;

// Null (after a message on stderr) when a texture or sound cannot be made.
Ref<SceneNode> BuildValley(MediaFolder& media);

}  // namespace klx::scenebuild
