#pragma once
// Scene files ("STR"): a version triple, then one object link, the root, in
// the object stream's format. Files written here carry the engine version
// 0.1.2; a file is read when its version value (major * 10000 + minor * 100
// + build) is at least the engine's.

#include "core/codec.h"
#include "core/object.h"

namespace klx {

class VirtualFile;

class STRSceneCodec : public SceneCodec {
 public:
  STRSceneCodec();

  // 3 for a null argument; 1 when the file cannot be opened, is older than
  // the engine, or its graph fails to load. *root is untouched on failure.
  int Load(VirtualFile* file, Ref<Object>* root) override;
  // Writes the version and the graph reachable from the root; 1 when the
  // file cannot be opened, written or closed.
  int Save(VirtualFile* file, Object* root) override;
};

// The version value a scene file must reach to be read.
inline constexpr int32_t kSceneVersionValue = 102;

// Loads a scene through the codec chosen by the file's extension. The file
// must not be open. On success *root holds the root (null for a null link).
[[nodiscard]] int LoadScene(VirtualFile* file, Ref<Object>* root);

// Saves a scene through the codec chosen by the file's extension.
[[nodiscard]] int SaveScene(VirtualFile* file, Object* root);

}  // namespace klx
