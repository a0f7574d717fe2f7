#include "support/test_archive_codec.h"

#include <cstring>
#include <string>

#include "core/builtin_module.h"
#include "core/codec_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace klx::test {

namespace {

class TestArchiveCodec : public FileCodec {
 public:
  TestArchiveCodec() : FileCodec(String("TESTFileCodec")) { AddExtension(String("tarc")); }

  int Load(VirtualFile* archive, VirtualDirectory** out, const String&) override {
    if (archive->Open(VirtualFile::kRead) != kOk) return kFailed;
    const std::string text(reinterpret_cast<const char*>(archive->GetBuffer()),
                           static_cast<size_t>(archive->GetSize()));
    archive->Close();
    auto* root = new VirtualDirectory(archive->GetName());
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      start = end + 1;
      const size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      AddMember(root, line.substr(0, tab), line.substr(tab + 1));
    }
    *out = root;
    return kOk;
  }

 private:
  static void AddMember(VirtualDirectory* root, const std::string& path, const std::string& content) {
    VirtualDirectory* directory = root;
    size_t start = 0;
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
      const String name(path.substr(start, slash - start).c_str());
      VirtualDirectory* next = nullptr;
      for (int32_t i = 0; i < directory->GetDirectoryCount(); ++i) {
        if (directory->GetDirectory(i)->GetName() == name) next = directory->GetDirectory(i);
      }
      directory = next != nullptr ? next : new VirtualDirectory(name, directory);
      start = slash + 1;
    }
    auto* file = new MemoryFile(String(path.substr(start).c_str()));
    auto* bytes = new uint8_t[content.size() + 1];
    std::memcpy(bytes, content.data(), content.size());
    file->SetContent(bytes, static_cast<int32_t>(content.size()));
    directory->AddFile(file);
  }
};

int CreateTestArchiveCodec(Codec** out) {
  *out = new TestArchiveCodec;
  return 0;
}

}  // namespace

KLX_BUILTIN_CODEC_MODULE(TestArchive, "TESTFileCodec", &CreateTestArchiveCodec)

int LoadTestArchiveCodec() { return CodecManager::LoadCodec(String("TESTFileCodec"), nullptr); }

}  // namespace klx::test
