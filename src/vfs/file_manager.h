#pragma once
// The process's file system: a root directory under which archives are
// mounted as directory trees. Files are found by name or path across every
// mounted tree, in the root's order.

#include <cstdint>

#include "core/engine_string.h"

namespace klx {

class VirtualDirectory;
class VirtualFile;

class FileManager {
 public:
  static int Startup();
  static int Shutdown();
  // The root (unnamed), or null outside start-up and shut-down.
  static VirtualDirectory* GetRoot();

  // The first hit of FindFile over the directories attached to the root, in
  // their order. Files attached to the root itself are not searched.
  static VirtualFile* FindFile(const String& path);
  // Unpacks an archive through the codec for its extension and attaches the
  // resulting tree to the root.
  [[nodiscard]] static int AttachArchive(VirtualFile* archive, const String& key);
  // The same for an archive carried as resource ("MEDIADATA", identifier),
  // mounted under `name`.
  [[nodiscard]] static int AttachResourceArchive(int32_t identifier, const String& name, const String& key);
  // The bytes of resource ("MEDIADATA", identifier), valid for the life of
  // the process.
  [[nodiscard]] static int LoadResource(int32_t identifier, const uint8_t** bytes, int32_t* size);

  static void RegisterLifecycleFunctions();
};

}  // namespace klx
