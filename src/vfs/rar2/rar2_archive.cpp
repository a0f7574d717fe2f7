#include "vfs/rar2/rar2_archive.h"

#include <cstring>

#include "core/little_endian.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2 {

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(GetLE16(p)); }
uint32_t Get32(const uint8_t* p) { return GetLE32(p); }

// Offsets inside a block header.
constexpr size_t kTypeOffset = 2;
constexpr size_t kFlagsOffset = 3;
constexpr size_t kSizeOffset = 5;
constexpr size_t kPackedOffset = 7;
constexpr size_t kUnpackedOffset = 11;
constexpr size_t kHostOffset = 15;
constexpr size_t kCrcOffset = 16;
constexpr size_t kTimeOffset = 20;
constexpr size_t kVersionOffset = 24;
constexpr size_t kMethodOffset = 25;
constexpr size_t kNameSizeOffset = 26;
constexpr size_t kAttributesOffset = 28;

bool Fits(size_t size, size_t position, size_t count) { return count != 0 && position <= size && count <= size - position; }

}  // namespace

// A Unix mode has 0x10 as the group-write bit; only its type bits name a
// directory.
bool ArchiveEntry::IsDirectory() const {
  if (hostSystem == kHostUnix) return (attributes & kUnixTypeMask) == kUnixDirectory;
  return (attributes & kAttributeDirectory) != 0;
}
bool ArchiveEntry::IsEncrypted() const { return (flags & kFileEncrypted) != 0; }
bool ArchiveEntry::ContinuesSolid() const { return (flags & kFileSolid) != 0; }

ArchiveListing ListEntries(const uint8_t* bytes, size_t size) {
  ArchiveListing listing;
  if (bytes == nullptr || !Fits(size, 0, kMarkerSize)) return listing;
  // Anything that opens with neither marker is not an archive: no entries.
  if (std::memcmp(bytes, kMarker, kMarkerSize) != 0 && std::memcmp(bytes, kOldMarker, kMarkerSize) != 0)
    return listing;
  size_t position = kMarkerSize;
  if (!Fits(size, position, kMainHeaderSize)) return listing;
  const uint8_t* main = bytes + position;
  listing.solid = (Get16(main + kFlagsOffset) & kMainSolid) != 0;
  position += Get16(main + kSizeOffset);

  while (Fits(size, position, kFileHeaderSize)) {
    const uint8_t* header = bytes + position;
    const uint16_t flags = Get16(header + kFlagsOffset);
    const uint16_t headerSize = Get16(header + kSizeOffset);
    if (headerSize < kMinBlockHeaderSize) break;
    const uint32_t packedSize = Get32(header + kPackedOffset);
    // 64-bit arithmetic: a next block can never wrap around to before this one.
    const uint64_t next = uint64_t{position} + headerSize + ((flags & kBlockHasData) ? packedSize : 0);
    const uint8_t type = header[kTypeOffset];
    if (type == kSubBlockType) break;
    if (type == kFileHeaderType) {
      ArchiveEntry entry;
      entry.flags = flags;
      entry.packedSize = packedSize;
      entry.unpackedSize = Get32(header + kUnpackedOffset);
      entry.hostSystem = header[kHostOffset];
      entry.dataCrc = Get32(header + kCrcOffset);
      entry.fileTime = Get32(header + kTimeOffset);
      entry.unpackVersion = header[kVersionOffset];
      entry.method = header[kMethodOffset];
      entry.nameSize = Get16(header + kNameSizeOffset);
      entry.attributes = Get32(header + kAttributesOffset);
      const size_t nameLength = entry.nameSize < kMaxNameLength ? entry.nameSize : kMaxNameLength;
      if (nameLength > 0) {
        // A name running past the end of the buffer means a truncated archive.
        if (!Fits(size, position + kFileHeaderSize, nameLength)) break;
        const char* name = reinterpret_cast<const char*>(header + kFileHeaderSize);
        // Names are C strings: a NUL ends them early.
        entry.name.assign(name, strnlen(name, nameLength));
      }
      const uint64_t dataOffset = uint64_t{position} + headerSize;
      entry.dataOffset = dataOffset < size ? static_cast<size_t>(dataOffset) : size;
      const size_t room = size - entry.dataOffset;
      entry.dataAvailable = (flags & kBlockHasData) ? (packedSize < room ? packedSize : room) : 0;
      listing.entries.push_back(std::move(entry));
    }
    if (next <= position || next > size) {
      // Nothing further can be read beyond the end of the buffer.
      break;
    }
    position = static_cast<size_t>(next);
  }
  return listing;
}

std::string ExtractionKey(const std::string& name) {
  std::string key = name;
  for (char& c : key) {
    if (c == '\\' || c == '/') c = '_';
    else if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

}  // namespace klx::rar2
