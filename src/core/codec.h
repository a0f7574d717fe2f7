#pragma once
// Codecs read and write files of one kind. A codec is named after the module
// that made it and claims files by extension (exact, case-sensitive, no dot).

#include "core/array.h"
#include "core/engine_string.h"
#include "core/module.h"
#include "core/named.h"
#include "core/ref_counted.h"

namespace klx {

class Object;
class VirtualFile;

enum CodecType : int {
  kImageCodecType = 0,
  kSceneCodecType = 1,
  kFileCodecType = 2,
  kBaseCodecType = 3,
};

class Codec : public RefCounted, public Named {
 public:
  explicit Codec(const String& name) : Named(name) {}

  virtual int GetCodecType() const { return kBaseCodecType; }
  // Reads `file` into `target` (an Image for image codecs, the scene root
  // for scene codecs). The base reads nothing and fails.
  virtual int Load(VirtualFile* file, Object* target);
  // Writes `source` into `file`. The base writes nothing and fails.
  virtual int Save(VirtualFile* file, Object* source);

  int AddExtension(const String& extension) { return extensions_.Append(extension); }
  const Array<String>& GetExtensions() const { return extensions_; }

  // 0 when the extension of the file's own name (after its last '.', with
  // any directories stripped) is in the list, 1 when not.
  int HandlesFileName(const String& fileName) const;

  Module* GetModule() const { return module_.Get(); }
  void SetModule(Module* module) { module_ = module; }

 private:
  Array<String> extensions_{1, 1};
  // Keeps the module's code alive while the codec lives.
  Ref<Module> module_;
};

class ImageCodec : public Codec {
 public:
  using Codec::Codec;
  int GetCodecType() const override { return kImageCodecType; }
};

class SceneCodec : public Codec {
 public:
  using Codec::Codec;
  int GetCodecType() const override { return kSceneCodecType; }
};

class FileCodec : public Codec {
 public:
  using Codec::Codec;
  int GetCodecType() const override { return kFileCodecType; }
};

// The extension of a file's own name: the text after the last '.' of the
// part after the last '/' or '\'; empty when that part has no '.'.
String FileNameExtension(const String& fileName);

}  // namespace klx
