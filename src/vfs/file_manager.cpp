#include "vfs/file_manager.h"

#include <memory>
#include <new>
#include <vector>

#include "core/codec_manager.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "core/module_manager.h"
#include "platform/resources.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace klx {

namespace {

std::unique_ptr<VirtualDirectory> g_root;

// Dynamic modules are found among the mounted trees like any other file.
bool FindLibraryFile(const String& fileName, std::vector<uint8_t>* bytes) {
  VirtualFile* file = FileManager::FindFile(fileName);
  if (file == nullptr || file->Open(VirtualFile::kRead) != kOk) return false;
  const uint8_t* content = file->GetBuffer();
  bytes->assign(content, content + file->GetSize());
  file->Close();
  return true;
}

}  // namespace

int FileManager::Startup() {
  LogInfo(KLX_TEXT("Инициализация менеджера файлов."));
  if (!g_root) {
    g_root.reset(new (std::nothrow) VirtualDirectory(String()));
    if (!g_root) {
      LogError(KLX_TEXT("Недостаточно памяти для инициализации менеджера файлов."));
      return kFailed;
    }
  }
  ModuleManager::SetLibraryFinder(&FindLibraryFile);
  LogInfo(KLX_TEXT("Менеджер файлов инициализирован."));
  return kOk;
}

int FileManager::Shutdown() {
  LogInfo(KLX_TEXT("Завершение работы менеджера файлов."));
  ModuleManager::SetLibraryFinder(nullptr);
  g_root.reset();
  LogInfo(KLX_TEXT("Менеджер файлов завершил работу."));
  return kOk;
}

VirtualDirectory* FileManager::GetRoot() { return g_root.get(); }

VirtualFile* FileManager::FindFile(const String& path) {
  if (!g_root) return nullptr;
  for (int32_t i = 0; i < g_root->GetDirectoryCount(); ++i) {
    if (VirtualFile* file = g_root->GetDirectory(i)->FindFile(path)) return file;
  }
  return nullptr;
}

int FileManager::AttachArchive(VirtualFile* archive, const String& key) {
  if (archive == nullptr) {
    LogWarning(KLX_TEXT("Указатель на архив равен 0."));
    return kInvalidArg;
  }
  Codec* codec = CodecManager::FindCodecForFile(archive);
  if (codec == nullptr || codec->GetCodecType() != kFileCodecType) {
    LogWarning(KLX_TEXT("Не найден кодек для архива [%s]."), archive->GetName().CStr());
    return kInvalidArg;
  }
  VirtualDirectory* directory = nullptr;
  const int result = static_cast<FileCodec*>(codec)->Load(archive, &directory, key);
  if (result != kOk || directory == nullptr) {
    LogError(KLX_TEXT("Невозможно загрузить директорию из архива [%s]."), archive->GetName().CStr());
    delete directory;
    return result != kOk ? result : kFailed;
  }
  if (!g_root || g_root->AddDirectory(directory) != kOk) {
    LogError(KLX_TEXT("Невозможно подсоединить директорию [%s] к корню."),
             directory->GetName().CStr());
    delete directory;
    return kFailed;
  }
  return kOk;
}

int FileManager::AttachResourceArchive(int32_t identifier, const String& name, const String& key) {
  const uint8_t* bytes = nullptr;
  int32_t size = 0;
  const int loaded = LoadResource(identifier, &bytes, &size);
  if (loaded != kOk) {
    LogWarning(KLX_TEXT("Невозможно прочитать ресурс ID[%d] Имя[%s]."), identifier, name.CStr());
    return loaded;
  }
  std::unique_ptr<MemoryFile> file(new (std::nothrow) MemoryFile(name));
  if (!file) {
    LogError(KLX_TEXT("Недостаточно памяти для создания виртуального файла."));
    return kOutOfMemory;
  }
  // The bytes belong to the executable: borrowed, never freed, so its
  // members can be decoded when they are read rather than all at once.
  file->BorrowContent(bytes, size);
  file->MarkContentPermanent();
  return AttachArchive(file.get(), key);
}

int FileManager::LoadResource(int32_t identifier, const uint8_t** bytes, int32_t* size) {
  if (bytes == nullptr || size == nullptr) {
    LogError(KLX_TEXT("Указатель на данные ресурса равен 0."));
    return kInvalidArg;
  }
  if (!FindResource("MEDIADATA", identifier, bytes, size)) {
    LogError(KLX_TEXT("Невозможно найти ресурс ID[%d]."), identifier);
    return kFailed;
  }
  return kOk;
}

void FileManager::RegisterLifecycleFunctions() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  CodecManager::RegisterLifecycleFunctions();  // codecs come up first
  AddInitFunction(&FileManager::Startup);
  AddShutdownFunction(&FileManager::Shutdown);
}

[[maybe_unused]] static const bool kFileManagerRegistered =
    (FileManager::RegisterLifecycleFunctions(), true);

}  // namespace klx
