#include "media_folder.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "assets/image.h"
#include "render/texture.h"
#include "vfs/file_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace klx::scenebuild {

MediaFolder::MediaFolder(const std::string& path, const std::string& mountName)
    : path_(path), directory_(new VirtualDirectory(String(mountName.c_str()), FileManager::GetRoot())) {}

bool MediaFolder::AddFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string full = path_ + "/" + name;
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.good()) {
    std::fprintf(stderr, "scenebuild: cannot write %s\n", full.c_str());
    return false;
  }
  auto* file = new MemoryFile(String(name.c_str()));
  auto* copy = new uint8_t[bytes.size() + 1];
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  file->SetContent(copy, static_cast<int32_t>(bytes.size()));
  directory_->AddFile(file);
  return true;
}

bool MediaFolder::AddPicture(const std::string& name, const content::Canvas& canvas, bool withAlpha) {
  Ref<Image> image(canvas.ToImage(withAlpha));
  return AddImage(name, image.Get());
}

bool MediaFolder::AddImage(const std::string& name, Image* image) {
  const std::string full = path_ + "/" + name;
  if (!content::WriteImageFile(image, full)) {
    std::fprintf(stderr, "scenebuild: cannot encode %s\n", full.c_str());
    return false;
  }
  std::ifstream in(full, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return AddFile(name, bytes);
}

bool MediaFolder::AddSound(const std::string& name, const content::SoundSamples& sound, float quality, int serial) {
  const std::vector<uint8_t> ogg = content::EncodeOggVorbis(sound, quality, serial);
  if (ogg.empty()) {
    std::fprintf(stderr, "scenebuild: cannot encode %s\n", name.c_str());
    return false;
  }
  return AddFile(name, ogg);
}

Ref<Texture> MediaFolder::MakeTexture(const std::string& fileName) {
  VirtualFile* file = Find(fileName);
  Ref<Texture> texture(new Texture(String(fileName.c_str())));
  if (file != nullptr) texture->SetImage(Ref<Image>(new Image(file, String(fileName.c_str()))).Get());
  return texture;
}

VirtualFile* MediaFolder::Find(const std::string& name) const { return directory_->FindFile(String(name.c_str())); }

}  // namespace klx::scenebuild
