#pragma once
// Helpers for tests of the RAR 2.0 codec: mounting archive bytes through the
// codec, reading mounted files, and finding the reference archives.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vfs/virtual_directory.h"

namespace klx::test {

using Bytes = std::vector<uint8_t>;

// The folder of reference archives made by other programs, or "" when this
// checkout has none (tests that need it skip).
std::string ReferenceRarFolder();
Bytes ReadHostFile(const std::string& path);
void WriteHostFile(const std::string& path, const Bytes& bytes);

// Mounts archive bytes through "RAR2FileCodec" (the engine must be running).
// Returns the codec's result; *tree receives the directory on success.
// `permanent`: the bytes are lent for the whole run, as a resource linked
// into the executable is, and members are decoded as they are read.
int MountRar2(const Bytes& archive, const std::string& key, std::unique_ptr<VirtualDirectory>* tree,
              const char* name = "test.rar2", bool permanent = false);

// The content of the file at a "/"-separated path below `tree`; false when
// there is no such file or it does not open.
bool ReadMounted(VirtualDirectory* tree, const std::string& path, Bytes* content);

std::string Sha256Hex(const Bytes& bytes);

}  // namespace klx::test

namespace klx::test {

// Builds small RAR 2.0 archives block by block, including malformed ones.
class Rar2Builder {
 public:
  struct Entry {
    std::string name;
    Bytes data;                  // packed bytes as stored
    uint32_t unpackedSize = 0;   // defaults to data.size() when 0 and data is not empty
    bool useUnpackedSize = false;
    uint32_t crc = 0;
    bool useCrc = false;         // else the CRC-32 of data
    uint16_t flags = 0x8000;
    uint8_t version = 20;
    uint8_t method = 0x30;
    uint8_t hostSystem = 0;      // 0 MS-DOS; 3 Unix, whose attributes are a file mode
    uint32_t attributes = 0x20;
    int nameSizeOverride = -1;   // a lying name size
  };

  explicit Rar2Builder(bool solid = false);
  Rar2Builder& Add(const Entry& entry);
  Rar2Builder& AddStored(const std::string& name, const std::string& content);
  Rar2Builder& AddDirectory(const std::string& name);
  Rar2Builder& AddRawBytes(const Bytes& bytes);
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

}  // namespace klx::test
