#include "vfs/virtual_file.h"

#include <limits>
#include <new>

#include "core/log.h"
#include "vfs/virtual_directory.h"

namespace klx {

VirtualFile::VirtualFile(const String& name) : MemoryStream(0, kGrowthStep), Named(name) {}

VirtualFile::~VirtualFile() {
  LogInfo(KLX_TEXT("Удаляется файл [%s]."), name_.CStr());
  if (open_) Close();
  if (parent_ != nullptr && parent_->RemoveFile(this) != kOk) {
    LogWarning(KLX_TEXT("Невозможно отсоединить файл [%s] от родительской директории."),
               name_.CStr());
  }
}

String VirtualFile::GetFullPath() const {
  return parent_ != nullptr ? parent_->GetPath() + name_ : name_;
}

String VirtualFile::GetExtension() const {
  const int32_t dot = name_.FindLast('.');
  return dot < 0 ? String() : name_.Substring(dot + 1, name_.Length() - dot - 1);
}

void VirtualFile::CloseContent() {
  ClearContent();
  open_ = false;
}

int VirtualFile::Open(int mode) {
  if (open_ && Close() != kOk) LogWarning(KLX_TEXT("Невозможно закрыть файл [%s]."), name_.CStr());
  mode_ = mode;
  const char* fopenMode = mode == kWrite ? "wb" : mode == kAppend ? "ab" : "rb";
  const String path = GetFullPath();
  std::FILE* handle = std::fopen(path.CStr(), fopenMode);
  if (handle == nullptr) {
    LogWarning(KLX_TEXT("Невозможно открыть файл [%s]."), name_.CStr());
    return kFailed;
  }
  ClearContent();
  if (mode != kWrite && mode != kAppend) {
    // Read the whole content; a stream holds at most 2 GiB.
    long length = -1;
    if (std::fseek(handle, 0, SEEK_END) == 0) length = std::ftell(handle);
    std::rewind(handle);
    uint8_t* buffer = nullptr;
    if (length > 0 && length <= std::numeric_limits<int32_t>::max()) {
      buffer = new (std::nothrow) uint8_t[static_cast<std::size_t>(length)];
    }
    if (length < 0 || length > std::numeric_limits<int32_t>::max() ||
        (length > 0 && (buffer == nullptr ||
                        std::fread(buffer, 1, static_cast<std::size_t>(length), handle) !=
                            static_cast<std::size_t>(length)))) {
      delete[] buffer;
      std::fclose(handle);
      LogWarning(KLX_TEXT("Невозможно открыть файл [%s]."), name_.CStr());
      return kFailed;
    }
    AdoptBuffer(buffer, static_cast<int32_t>(length));
  }
  handle_ = handle;
  open_ = true;
  return kOk;
}

int VirtualFile::Close() {
  if (!open_) return kOk;
  if (handle_ != nullptr && (mode_ == kWrite || mode_ == kAppend)) {
    const std::size_t count = static_cast<std::size_t>(GetPosition());
    if (count > 0 && (std::fwrite(GetBuffer(), 1, count, handle_) != count ||
                      std::fflush(handle_) != 0)) {
      LogWarning(KLX_TEXT("В файл [%s] записаны не все данные."), name_.CStr());
      return kFailed;
    }
  }
  if (handle_ != nullptr) {
    std::fclose(handle_);
    handle_ = nullptr;
  }
  CloseContent();
  return kOk;
}

int VirtualFile::Read(void* bytes, int32_t count) {
  if (!open_) {
    LogWarning(KLX_TEXT("Чтение из закрытого файла [%s]."), name_.CStr());
    return kFailed;
  }
  if (mode_ == kWrite || mode_ == kAppend) {
    LogWarning(KLX_TEXT("Чтение из файла [%s], открытого для записи."), name_.CStr());
    return kFailed;
  }
  return MemoryStream::Read(bytes, count);
}

int VirtualFile::Write(const void* bytes, int32_t count) {
  if (!open_) {
    LogWarning(KLX_TEXT("Запись в закрытый файл [%s]."), name_.CStr());
    return kFailed;
  }
  if (mode_ != kWrite && mode_ != kAppend) {
    LogWarning(KLX_TEXT("Запись в файл [%s], открытый для чтения."), name_.CStr());
    return kFailed;
  }
  return MemoryStream::Write(bytes, count);
}

int32_t VirtualFile::GetSize() {
  if (open_) {
    return mode_ == kWrite || mode_ == kAppend ? GetPosition() : MemoryStream::GetSize();
  }
  if (Open(kRead) != kOk) {
    LogWarning(KLX_TEXT("Файл [%s] не может быть открыть для чтения."), name_.CStr());
    return 0;
  }
  const int32_t size = MemoryStream::GetSize();
  if (Close() != kOk) {
    LogWarning(KLX_TEXT("Файл [%s] не может быть закрыт."), name_.CStr());
    return 0;
  }
  return size;
}

}  // namespace klx
