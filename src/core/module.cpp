#include "core/module.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/log.h"

namespace klx {

namespace {

bool WriteAll(int fd, const void* bytes, std::size_t size) {
  const char* data = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

void Module::RunShutdownEntry() {
  ShutdownEntry shutdown = nullptr;
  if (FindEntry(&shutdown, "Shutdown") != kOk || shutdown == nullptr) {
    LogWarning(KLX_TEXT("В модуле не найдена функция завершения работы модуля [%s]."),
               name_.CStr());
    return;
  }
  if (shutdown() != kOk) LogError(KLX_TEXT("Неудачно завершение работы модуля."));
}

StaticModule::~StaticModule() { RunShutdownEntry(); }

int StaticModule::AddSymbol(const String& name, ModuleSymbol function) {
  return symbols_.Insert(name, function);
}

int StaticModule::FindSymbol(ModuleSymbol* out, const String& name) {
  if (out == nullptr) {
    LogWarning(KLX_TEXT("Указатель на символ [%s] равен 0."), name.CStr());
    return kInvalidArg;
  }
  ModuleSymbol* symbol = symbols_.Find(name);
  if (symbol == nullptr) {
    LogWarning(KLX_TEXT("Невозможно найти символ [%s] в модуле [%s]."), name.CStr(), name_.CStr());
    return kFailed;
  }
  *out = *symbol;
  return kOk;
}

DynamicModule::~DynamicModule() {
  if (handle_ == nullptr) return;
  RunShutdownEntry();
  if (Unload() != kOk) {
    LogError(KLX_TEXT("Невозможно выгрузить динамический модуль [%s]."), name_.CStr());
  }
}

int DynamicModule::LoadFromFile(const String& path) {
  if (handle_ != nullptr) Unload();
  handle_ = ::dlopen(path.CStr(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr ? kOk : kFailed;
}

int DynamicModule::LoadFromMemory(const void* bytes, std::size_t size) {
  if (bytes == nullptr || size == 0) return kInvalidArg;
  // An anonymous memory file needs no disk and vanishes with its last user.
  // The descriptor stays open while the library is loaded: the loader knows
  // a library by its path, and a reused descriptor number would make a later
  // module's path equal to this one's and hand back this library.
  const int fd = ::memfd_create(name_.CStr(), MFD_CLOEXEC);
  if (fd >= 0) {
    if (WriteAll(fd, bytes, size)) {
      const std::string path = "/proc/self/fd/" + std::to_string(fd);
      if (LoadFromFile(String(path.c_str())) == kOk) {
        memoryFd_ = fd;
        return kOk;
      }
    }
    ::close(fd);
  }
  // Fallback: a temporary file, removed as soon as the library is mapped.
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/klxmodXXXXXX";
  const int tmpFd = ::mkstemp(pattern.data());
  if (tmpFd < 0) return kFailed;
  const bool written = WriteAll(tmpFd, bytes, size);
  ::close(tmpFd);
  const int result = written ? LoadFromFile(String(pattern.c_str())) : kFailed;
  ::unlink(pattern.c_str());
  return result;
}

int DynamicModule::Unload() {
  if (handle_ == nullptr) {
    LogWarning(KLX_TEXT("Указатель на модуль [%s] равен 0."), name_.CStr());
    return kInvalidArg;
  }
  LogInfo(KLX_TEXT("Выгружается модуль [%s]."), name_.CStr());
  if (::dlclose(handle_) != 0) {
    LogWarning(KLX_TEXT("Выгрузка модуля [%s] неудачна."), name_.CStr());
    return kFailed;
  }
  handle_ = nullptr;
  if (memoryFd_ >= 0) {
    ::close(memoryFd_);
    memoryFd_ = -1;
  }
  return kOk;
}

int DynamicModule::FindSymbol(ModuleSymbol* out, const String& name) {
  if (out == nullptr || handle_ == nullptr) {
    LogWarning(KLX_TEXT("Указатель при поиске символа [%s] равен 0."), name.CStr());
    return kInvalidArg;
  }
  void* symbol = ::dlsym(handle_, name.CStr());
  if (symbol == nullptr) {
    LogWarning(KLX_TEXT("Символ [%s] не найден в модуле [%s]."), name.CStr(), name_.CStr());
    return kFailed;
  }
  *out = reinterpret_cast<ModuleSymbol>(symbol);
  return kOk;
}

}  // namespace klx
