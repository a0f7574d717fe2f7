// Codec lookups that take a virtual file: the codec sees only the file's own
// name, never its directory.

#include "core/codec.h"
#include "core/codec_manager.h"
#include "core/log.h"
#include "vfs/virtual_file.h"

namespace klx {

int Codec::HandlesFile(const VirtualFile* file) const {
  if (file == nullptr) {
    LogWarning(KLX_TEXT("Указатель на файл равен 0 при проверке кодеком [%s]."), name_.CStr());
    return kInvalidArg;
  }
  return HandlesFileName(file->GetName());
}

Codec* CodecManager::FindCodecForFile(const VirtualFile* file) {
  return file != nullptr ? FindCodecForFileName(file->GetName()) : nullptr;
}

}  // namespace klx
