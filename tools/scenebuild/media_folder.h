#pragma once
// Where the generated media go: every file is written to a folder on disk
// (which the build packs into an archive) and kept as a memory file under
// the file system's root, so the engine objects that name it (images,
// sound nodes) find and read it as they would in the saver.

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"
#include "core/ref_counted.h"
#include "ogg_encoder.h"

namespace klx {
class Image;
class Texture;
class VirtualDirectory;
class VirtualFile;
}  // namespace klx

namespace klx::scenebuild {

class MediaFolder {
 public:
  // `mountName` is the directory's name under the file system's root.
  MediaFolder(const std::string& path, const std::string& mountName);

  const std::string& Path() const { return path_; }
  // Writes the bytes; false (and a message on stderr) on failure.
  bool AddFile(const std::string& name, const std::vector<uint8_t>& bytes);
  // Writes a picture through the codec its extension picks (JPEG, Targa
  // with or without alpha, BMP).
  bool AddPicture(const std::string& name, const content::Canvas& canvas, bool withAlpha);
  // An engine image written through the codec its name's extension picks.
  bool AddImage(const std::string& name, Image* image);
  bool AddSound(const std::string& name, const content::SoundSamples& sound, float quality, int serial);
  // A texture over an image read from a file added before.
  Ref<Texture> MakeTexture(const std::string& fileName);
  VirtualFile* Find(const std::string& name) const;

 private:
  std::string path_;
  VirtualDirectory* directory_;
};

}  // namespace klx::scenebuild
