#include "vfs/rar2/rar2_member_file.h"

#include "core/log.h"
#include "vfs/rar2/rar2_extractor.h"

namespace klx {

Rar2MemberFile::Rar2MemberFile(const String& name, const uint8_t* archive, const rar2::ArchiveEntry& entry,
                               const std::string& key)
    : MemoryFile(name), archive_(archive), entry_(entry), key_(key) {}

int Rar2MemberFile::Open(int mode) {
  if (IsOpen() && Close() != kOk) {
    LogWarning(KLX_TEXT("Невозможно закрыть файл [%s]."), name_.CStr());
    return kFailed;
  }
  rar2::ExtractedEntry decoded;
  if (mode == kRead && !rar2::ExtractEntry(archive_, entry_, key_, &decoded)) {
    LogWarning(KLX_TEXT("Недостаточно памяти для открытия файла [%s]."), name_.CStr());
    return kOutOfMemory;
  }
  if (mode != kRead || !decoded.ok) {
    SetOpenState(false, mode);
    return kFailed;
  }
  ClearContent();
  AdoptBuffer(decoded.bytes.release(), static_cast<int32_t>(decoded.size));
  SetOpenState(true, mode);
  return kOk;
}

}  // namespace klx
