#include "vfs/memory_file.h"

#include <cstring>
#include <new>

#include "core/log.h"

namespace klx {

MemoryFile::~MemoryFile() {
  // The base destructor cannot reach this class's Close.
  Close();
  FreeContent();
}

void MemoryFile::FreeContent() {
  if (ownsContent_) delete[] content_;
  content_ = nullptr;
  contentSize_ = 0;
  ownsContent_ = false;
  permanent_ = false;
}

void MemoryFile::SetContent(uint8_t* bytes, int32_t size) {
  FreeContent();
  content_ = bytes;
  contentSize_ = bytes != nullptr && size > 0 ? size : 0;
  ownsContent_ = bytes != nullptr;
}

void MemoryFile::BorrowContent(const uint8_t* bytes, int32_t size) {
  FreeContent();
  content_ = bytes;
  contentSize_ = bytes != nullptr && size > 0 ? size : 0;
}

void MemoryFile::DetachContent() {
  content_ = nullptr;
  contentSize_ = 0;
  ownsContent_ = false;
  permanent_ = false;
}

int MemoryFile::Open(int mode) {
  if (IsOpen() && Close() != kOk) {
    LogWarning(KLX_TEXT("Невозможно закрыть файл [%s]."), name_.CStr());
    return kFailed;
  }
  if (mode != kRead || content_ == nullptr) {
    SetOpenState(false, mode);
    return kFailed;
  }
  uint8_t* copy = nullptr;
  if (contentSize_ > 0) {
    copy = new (std::nothrow) uint8_t[static_cast<std::size_t>(contentSize_)];
    if (copy == nullptr) {
      LogWarning(KLX_TEXT("Недостаточно памяти для открытия файла [%s]."), name_.CStr());
      return kOutOfMemory;
    }
    std::memcpy(copy, content_, static_cast<std::size_t>(contentSize_));
  }
  ClearContent();
  AdoptBuffer(copy, contentSize_);
  SetOpenState(true, mode);
  return kOk;
}

int MemoryFile::Close() {
  if (IsOpen()) CloseContent();
  return kOk;
}

}  // namespace klx
