#pragma once
// "RAR2FileCodec": unpacks a RAR 2.0 archive into a tree of virtual
// directories and memory files. The whole archive is decoded in one pass
// when it is mounted; afterwards every memory file owns its bytes and the
// archive itself is no longer needed.

#include "core/codec.h"

namespace klx {

class VirtualDirectory;

class RAR2FileCodec : public FileCodec {
 public:
  RAR2FileCodec();

  // kInvalidArg for a null argument; kFailed when the archive cannot be
  // opened or closed; kOutOfMemory. An entry whose data cannot be extracted
  // (unsupported unpack version, CRC mismatch, damaged or truncated data) is
  // still listed, as a memory file without content. Encrypted entries are
  // decrypted with a non-empty key.
  int Load(VirtualFile* archive, VirtualDirectory** directory, const String& key) override;

  // The codec does not write archives: always kFailed, and the file is left
  // as it is.
  int Save(VirtualFile* archive, VirtualDirectory* source);
};

// Creates the codec object (the module's "CreateCodec").
int CreateRAR2FileCodec(Codec** out);

}  // namespace klx
