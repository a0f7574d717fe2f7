#pragma once
// The process-wide table of codecs by name. A codec is made by the
// "CreateCodec" entry of the module of the same name, and chosen for a file
// by the file name's extension.

#include <cstdint>
#include <initializer_list>

#include "core/codec.h"
#include "core/engine_string.h"

namespace klx {

class CodecManager {
 public:
  static int Startup();
  static int Shutdown();
  static bool IsStarted();

  // kOk; kInvalidArg for null; kFailed for a name already registered.
  static int RegisterCodec(Codec* codec);
  // The registered codec of that name, or null (no reference added).
  static Codec* FindCodec(const String& name);
  // Finds the codec or creates it through its (already loaded) module;
  // `out` may be null.
  [[nodiscard]] static int LoadCodec(const String& name, Codec** out);
  // Loads the module of each name, then each codec. A missing one is not
  // fatal here: it shows later as a failed file load.
  static void LoadCodecModules(std::initializer_list<const char*> names);
  // The first codec, in table order, that claims the file name's extension.
  static Codec* FindCodecForFileName(const String& fileName);
  // The same for a virtual file (its own name, not its path); null for null.
  static Codec* FindCodecForFile(const VirtualFile* file);
  static int32_t GetCodecCount();

  static void RegisterLifecycleFunctions();
};

}  // namespace klx
