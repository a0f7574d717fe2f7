#pragma once
// Codecs read and write files of one kind. A codec is named after the module
// that made it and claims files by extension (exact, case-sensitive, no dot).

#include "core/array.h"
#include "core/engine_string.h"
#include "core/module.h"
#include "core/named.h"
#include "core/ref_counted.h"

namespace klx {

class Image;
class Object;
class VirtualDirectory;
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

  // Each kind has its own Load and Save; callers check the kind before
  // handing a codec their target.
  virtual int GetCodecType() const { return kBaseCodecType; }

  int AddExtension(const String& extension) { return extensions_.Append(extension); }
  const Array<String>& GetExtensions() const { return extensions_; }

  // 0 when the extension of the file's own name (after its last '.', with
  // any directories stripped) is in the list, 1 when not.
  int HandlesFileName(const String& fileName) const;
  // The same for a virtual file's name; 3 (with a warning) for null.
  int HandlesFile(const VirtualFile* file) const;

  Module* GetModule() const { return module_.Get(); }
  void SetModule(Module* module) { module_ = module; }

 private:
  Array<String> extensions_{1, 1};
  // Keeps the module's code alive while the codec lives.
  Ref<Module> module_;
};

// Reads and writes images.
class ImageCodec : public Codec {
 public:
  using Codec::Codec;
  int GetCodecType() const override { return kImageCodecType; }
  virtual int Load(VirtualFile* file, Image* image) = 0;
  virtual int Save(VirtualFile* file, Image* image) = 0;
};

// Reads and writes scene files: an object graph behind a version header.
class SceneCodec : public Codec {
 public:
  using Codec::Codec;
  int GetCodecType() const override { return kSceneCodecType; }
  // On success *root holds the loaded root (null for a null root link).
  virtual int Load(VirtualFile* file, Ref<Object>* root) = 0;
  virtual int Save(VirtualFile* file, Object* root) = 0;
};

// Unpacks archives into a detached directory tree named after the archive.
class FileCodec : public Codec {
 public:
  using Codec::Codec;
  int GetCodecType() const override { return kFileCodecType; }
  virtual int Load(VirtualFile* archive, VirtualDirectory** directory, const String& key) = 0;
};

// The extension of a file's own name: the text after the last '.' of the
// part after the last '/' or '\'; empty when that part has no '.'.
String FileNameExtension(const String& fileName);

}  // namespace klx
