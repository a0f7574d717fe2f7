#include "archive_commands.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/codec_manager.h"
#include "core/console_message_output.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "vfs/file_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"
#include "vfs/virtual_file.h"
#include "sound/sound_manager.h"

namespace klx::rar2tool {

namespace {

// Runs the engine for the life of a command, with its warnings and errors
// on standard error.
class EngineSession {
 public:
  EngineSession() : output_(new ConsoleMessageOutput(stderr, kLogWarning)) {
    RegisterMessageOutput(output_.Get());
    SoundManager::SetOpenDeviceAtStartup(false);  // a tool plays nothing
    started_ = EngineStart() == kOk;
  }
  ~EngineSession() {
    EngineStop();
    UnregisterMessageOutput(output_.Get());
  }
  bool Started() const { return started_; }

 private:
  Ref<MessageOutput> output_;
  bool started_ = false;
};

// Mounts the archive under the file manager's root. Archives named for the
// codec (".rar2") go through AttachArchive as the program mounts them; any
// other name is handed to "RAR2FileCodec" directly and attached the same way.
VirtualDirectory* Mount(const std::string& path, const std::string& key) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    std::fprintf(stderr, "klx-rar2: %s: no such file\n", path.c_str());
    return nullptr;
  }
  VirtualFile archive{String(path.c_str())};
  VirtualDirectory* root = FileManager::GetRoot();
  const int32_t before = root->GetDirectoryCount();
  // The codec exists once its built-in module has made it.
  if (CodecManager::LoadCodec(String("RAR2FileCodec"), nullptr) != kOk) return nullptr;
  Codec* byName = CodecManager::FindCodecForFile(&archive);
  if (byName != nullptr && byName->GetCodecType() == kFileCodecType) {
    if (FileManager::AttachArchive(&archive, String(key.c_str())) != kOk) return nullptr;
  } else {
    Codec* codec = nullptr;
    if (CodecManager::LoadCodec(String("RAR2FileCodec"), &codec) != kOk || codec == nullptr) return nullptr;
    VirtualDirectory* tree = nullptr;
    if (static_cast<FileCodec*>(codec)->Load(&archive, &tree, String(key.c_str())) != kOk || tree == nullptr) {
      delete tree;
      std::fprintf(stderr, "klx-rar2: %s: cannot be read\n", path.c_str());
      return nullptr;
    }
    root->AddDirectory(tree);
  }
  // The new tree is the root's only new directory.
  for (int32_t i = 0; i < root->GetDirectoryCount(); ++i) {
    VirtualDirectory* candidate = root->GetDirectory(i);
    if (candidate->GetName() == archive.GetName() && root->GetDirectoryCount() > before) return candidate;
  }
  return nullptr;
}

int32_t ContentSize(VirtualFile* file) {
  auto* memory = dynamic_cast<MemoryFile*>(file);
  if (memory == nullptr || memory->GetContent() == nullptr) return -1;
  return memory->GetContentSize();
}

struct Totals {
  int files = 0;
  int directories = 0;
  int missing = 0;
  int64_t bytes = 0;
};

void ListDirectory(VirtualDirectory* directory, const std::string& prefix, Totals* totals) {
  for (int32_t i = 0; i < directory->GetFileCount(); ++i) {
    VirtualFile* file = directory->GetFile(i);
    const int32_t size = ContentSize(file);
    ++totals->files;
    if (size < 0) {
      ++totals->missing;
      std::printf("%12s  %s%s  (no content)\n", "-", prefix.c_str(), file->GetName().CStr());
    } else {
      totals->bytes += size;
      std::printf("%12d  %s%s\n", size, prefix.c_str(), file->GetName().CStr());
    }
  }
  for (int32_t i = 0; i < directory->GetDirectoryCount(); ++i) {
    VirtualDirectory* child = directory->GetDirectory(i);
    ++totals->directories;
    const std::string path = prefix + child->GetName().CStr() + "/";
    std::printf("%12s  %s\n", "<dir>", path.c_str());
    ListDirectory(child, path, totals);
  }
}

// A name that can be created as one component of a host path.
bool SafeComponent(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\\') == std::string::npos;
}

bool ExtractDirectory(VirtualDirectory* directory, const std::filesystem::path& target, Totals* totals) {
  bool ok = true;
  std::error_code error;
  std::filesystem::create_directories(target, error);
  if (error) {
    std::fprintf(stderr, "klx-rar2: cannot create %s: %s\n", target.c_str(), error.message().c_str());
    return false;
  }
  for (int32_t i = 0; i < directory->GetFileCount(); ++i) {
    VirtualFile* file = directory->GetFile(i);
    const std::string name = file->GetName().CStr();
    if (!SafeComponent(name)) {
      std::fprintf(stderr, "klx-rar2: skipped unsafe name \"%s\"\n", name.c_str());
      ok = false;
      continue;
    }
    if (file->Open(VirtualFile::kRead) != kOk) {
      std::fprintf(stderr, "klx-rar2: %s: no content (damaged, wrong key or unsupported)\n",
                   (target / name).c_str());
      ++totals->missing;
      ok = false;
      continue;
    }
    std::ofstream out(target / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file->GetBuffer()), file->GetSize());
    totals->bytes += file->GetSize();
    file->Close();
    if (!out) {
      std::fprintf(stderr, "klx-rar2: cannot write %s\n", (target / name).c_str());
      ok = false;
      continue;
    }
    ++totals->files;
  }
  for (int32_t i = 0; i < directory->GetDirectoryCount(); ++i) {
    VirtualDirectory* child = directory->GetDirectory(i);
    const std::string name = child->GetName().CStr();
    if (!SafeComponent(name)) {
      std::fprintf(stderr, "klx-rar2: skipped unsafe directory name \"%s\"\n", name.c_str());
      ok = false;
      continue;
    }
    ++totals->directories;
    ok = ExtractDirectory(child, target / name, totals) && ok;
  }
  return ok;
}

}  // namespace

int ListArchive(const std::string& archivePath, const std::string& key) {
  EngineSession engine;
  if (!engine.Started()) return 1;
  VirtualDirectory* tree = Mount(archivePath, key);
  if (tree == nullptr) return 1;
  Totals totals;
  ListDirectory(tree, "", &totals);
  std::printf("%d files, %d directories, %lld bytes", totals.files, totals.directories,
              static_cast<long long>(totals.bytes));
  if (totals.missing > 0) std::printf(", %d without content", totals.missing);
  std::printf("\n");
  return 0;
}

int ExtractArchive(const std::string& archivePath, const std::string& outputDirectory, const std::string& key) {
  EngineSession engine;
  if (!engine.Started()) return 1;
  VirtualDirectory* tree = Mount(archivePath, key);
  if (tree == nullptr) return 1;
  Totals totals;
  const bool ok = ExtractDirectory(tree, std::filesystem::path(outputDirectory), &totals);
  std::printf("%d files, %d directories, %lld bytes extracted\n", totals.files, totals.directories,
              static_cast<long long>(totals.bytes));
  return ok ? 0 : 1;
}

}  // namespace klx::rar2tool
