#pragma once
// Reading the block structure of a RAR 2.0 archive held in memory: the
// marker, the main header and the chain of file blocks. Every read is
// bounds-checked; a damaged chain ends the listing at the damaged block.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace klx::rar2 {

struct ArchiveEntry {
  std::string name;  // at most kMaxNameLength bytes, path parts split by '\'
  uint16_t flags = 0;
  uint16_t nameSize = 0;
  uint32_t packedSize = 0;
  uint32_t unpackedSize = 0;
  uint8_t hostSystem = 0;
  uint32_t dataCrc = 0;
  uint32_t fileTime = 0;
  uint8_t unpackVersion = 0;
  uint8_t method = 0;
  uint32_t attributes = 0;
  // Where the packed data starts, and how much of it the buffer holds
  // (less than packedSize when the archive is truncated).
  size_t dataOffset = 0;
  size_t dataAvailable = 0;

  // Read from the attributes as the host system wrote them.
  bool IsDirectory() const;
  bool IsEncrypted() const;
  bool ContinuesSolid() const;
};

struct ArchiveListing {
  bool solid = false;
  std::vector<ArchiveEntry> entries;  // archive order
};

// The file entries of an archive; none when the marker or the main header
// is missing.
ArchiveListing ListEntries(const uint8_t* bytes, size_t size);

// The name as extraction compares it: upper-cased, "\" and "/" as "_".
std::string ExtractionKey(const std::string& name);

}  // namespace klx::rar2
