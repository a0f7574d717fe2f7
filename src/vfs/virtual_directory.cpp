#include "vfs/virtual_directory.h"

#include "core/log.h"
#include "vfs/virtual_file.h"

namespace klx {

namespace {

// Sort key of a name: its first byte as a signed 8-bit value; an empty name
// sorts below every other.
int OrderKey(const String& name) {
  return name.IsEmpty() ? -129 : static_cast<int>(static_cast<signed char>(name[0]));
}

// Inserts before the first entry whose key is lower than the new entry's.
template <class Entry>
int InsertOrdered(Array<Entry*>& entries, Entry* entry) {
  const int key = OrderKey(entry->GetName());
  int32_t index = 0;
  while (index < entries.Count() && OrderKey(entries[index]->GetName()) >= key) ++index;
  return entries.InsertAt(index, entry);
}

// Splits at the first "\", or else at the first "/".
bool SplitFirst(const String& path, String* head, String* tail) {
  int32_t at = -1;
  for (int32_t i = 0; i < path.Length() && at < 0; ++i) {
    if (path[i] == '\\') at = i;
  }
  for (int32_t i = 0; i < path.Length() && at < 0; ++i) {
    if (path[i] == '/') at = i;
  }
  if (at < 0) {
    *head = path;
    *tail = String();
    return false;
  }
  *head = path.Substring(0, at);
  *tail = path.Substring(at + 1, path.Length() - at - 1);
  return true;
}

}  // namespace

VirtualDirectory::VirtualDirectory(const String& name, VirtualDirectory* parent) : Named(name) {
  if (parent != nullptr && parent->AddDirectory(this) != kOk) {
    LogWarning(KLX_TEXT("Невозможно подсоединить директорию [%s] к корневой директории [%s]."),
               name_.CStr(), parent->GetName().CStr());
  }
}

VirtualDirectory::~VirtualDirectory() {
  LogInfo(KLX_TEXT("Удаляется директория [%s]."), name_.CStr());
  if (parent_ != nullptr && parent_->RemoveDirectory(this) != kOk) {
    LogWarning(KLX_TEXT("Невозможно отсоединить директорию [%s] от корневой директории [%s]."),
               name_.CStr(), parent_->GetName().CStr());
  }
  for (VirtualDirectory* directory : directories_) {
    directory->parent_ = nullptr;
    delete directory;
  }
  for (VirtualFile* file : files_) {
    file->SetParent(nullptr);
    delete file;
  }
  LogInfo(KLX_TEXT("Директория удалена [%s]."), name_.CStr());
}

int VirtualDirectory::AddDirectory(VirtualDirectory* directory) {
  if (directory == nullptr) {
    LogWarning(KLX_TEXT("Указатель на присоединяемую директорию равен 0. Корневая директория [%s]."),
               name_.CStr());
    return kInvalidArg;
  }
  if (directories_.Find(directory) >= 0) {
    LogWarning(KLX_TEXT("Присоединяемая директория [%s] уже присоединена к директории [%s]."),
               directory->GetName().CStr(), name_.CStr());
    return kInvalidArg;
  }
  const int result = InsertOrdered(directories_, directory);
  if (result != kOk) return result;
  directory->parent_ = this;
  LogInfo(KLX_TEXT("Директория [%s] добавлена к директории [%s]."), directory->GetName().CStr(),
          name_.CStr());
  return kOk;
}

int VirtualDirectory::AddFile(VirtualFile* file) {
  if (file == nullptr) {
    LogWarning(KLX_TEXT("Указатель на присоединяемый файл равен 0. Корневая директория [%s]."),
               name_.CStr());
    return kInvalidArg;
  }
  if (files_.Find(file) >= 0) {
    LogWarning(KLX_TEXT("Присоединяемый файл [%s] уже присоединена к директории [%s]."),
               file->GetName().CStr(), name_.CStr());
    return kInvalidArg;
  }
  const int result = InsertOrdered(files_, file);
  if (result != kOk) return result;
  file->SetParent(this);
  LogInfo(KLX_TEXT("Файл [%s] добавлен к директории [%s]."), file->GetName().CStr(), name_.CStr());
  return kOk;
}

int VirtualDirectory::RemoveDirectory(VirtualDirectory* directory) {
  if (directory == nullptr) {
    LogWarning(KLX_TEXT("Указатель на отсоединяемую директорию равен 0. Корневая директория [%s]."),
               name_.CStr());
    return kInvalidArg;
  }
  const int32_t index = directories_.Find(directory);
  if (index < 0) {
    LogWarning(KLX_TEXT("Удаляемая директория [%s] не найдена в директории [%s]."),
               directory->GetName().CStr(), name_.CStr());
    return kInvalidArg;
  }
  directory->parent_ = nullptr;
  LogInfo(KLX_TEXT("Директория [%s] удалена из директории [%s]."), directory->GetName().CStr(),
          name_.CStr());
  directories_.RemoveAt(index);
  return kOk;
}

int VirtualDirectory::RemoveFile(VirtualFile* file) {
  if (file == nullptr) {
    LogWarning(KLX_TEXT("Указатель на отсоединяемый файл равен 0. Корневая директория [%s]."),
               name_.CStr());
    return kInvalidArg;
  }
  const int32_t index = files_.Find(file);
  if (index < 0) {
    LogWarning(KLX_TEXT("Удаляемый файл [%s] не найден в директории [%s]."), file->GetName().CStr(),
               name_.CStr());
    return kInvalidArg;
  }
  file->SetParent(nullptr);
  LogInfo(KLX_TEXT("Файл [%s] удалён из директории [%s]."), file->GetName().CStr(), name_.CStr());
  files_.RemoveAt(index);
  return kOk;
}

VirtualDirectory* VirtualDirectory::ResolveDirectory(const String& path) {
  // Iterative, so a path of many components costs no stack.
  VirtualDirectory* directory = this;
  String rest = path;
  while (directory != nullptr) {
    if (rest.IsEmpty() || rest == "." || rest == directory->name_) return directory;
    String head, tail;
    SplitFirst(rest, &head, &tail);
    if (head.IsEmpty() || head == ".") {
      // A leading separator or "./": resolve the rest from here.
    } else if (head == "..") {
      directory = directory->parent_;
    } else {
      VirtualDirectory* next = nullptr;
      for (VirtualDirectory* child : directory->directories_) {
        if (child->name_ == head) {
          next = child;
          break;
        }
      }
      directory = next;
    }
    rest = tail;
  }
  return nullptr;
}

VirtualFile* VirtualDirectory::FindFile(const String& path) {
  int32_t split = path.FindLast('\\');
  if (split < 0) split = path.FindLast('/');
  if (split >= 0) {
    VirtualDirectory* directory = ResolveDirectory(path.Substring(0, split));
    if (directory == nullptr) return nullptr;
    return directory->FindFile(path.Substring(split + 1, path.Length() - split - 1));
  }
  for (VirtualFile* file : files_) {
    if (file->GetName() == path) return file;
  }
  for (VirtualDirectory* directory : directories_) {
    if (VirtualFile* file = directory->FindFile(path)) return file;
  }
  return nullptr;
}

String VirtualDirectory::GetPath() {
  if (name_.IsEmpty()) return String();
  return GetParentPath() + name_ + "/";
}

String VirtualDirectory::GetParentPath() {
  if (parentPathCache_.IsEmpty() && parent_ != nullptr) parentPathCache_ = parent_->GetPath();
  return parentPathCache_;
}

}  // namespace klx
