#include "archive_writer.h"

#include <algorithm>
#include <memory>

#include "core/little_endian.h"
#include "stream_encoder.h"
#include "vfs/rar2/rar2_cipher.h"
#include "vfs/rar2/rar2_crc32.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2tool {

namespace {

using namespace klx::rar2;

constexpr uint8_t kUnpackVersion = 20;
constexpr size_t kMaxNameSize = 0xFFFF - kFileHeaderSize;

// Fills in the CRC of the header that starts at `start` and runs to the end.
void SealHeader(std::vector<uint8_t>* out, size_t start) {
  const uint32_t crc = Crc32(out->data() + start + 2, out->size() - start - 2);
  (*out)[start] = uint8_t(crc);
  (*out)[start + 1] = uint8_t(crc >> 8);
}

void WriteMainHeader(bool solid, std::vector<uint8_t>* out) {
  const size_t start = out->size();
  AppendLE16(*out, 0);
  out->push_back(kMainHeaderType);
  AppendLE16(*out, solid ? kMainSolid : 0);
  AppendLE16(*out, kMainHeaderSize);
  AppendLE16(*out, 0);
  AppendLE32(*out, 0);
  SealHeader(out, start);
}

struct PackedEntry {
  uint16_t flags = kBlockHasData;
  uint8_t method = kMethodStore;
  std::vector<uint8_t> packed;
};

// The attributes as the host system keeps them: MS-DOS flags, or a Unix
// mode of type and permission bits.
uint32_t Attributes(const ArchiveEntry& entry, uint8_t hostSystem) {
  if (hostSystem != kHostUnix) return entry.directory ? kAttributeDirectory : kAttributeArchive;
  const uint32_t permissions = entry.permissions != 0 ? entry.permissions : entry.directory ? 0755 : 0644;
  return (entry.directory ? kUnixDirectory : kUnixRegularFile) | permissions;
}

void WriteEntry(const ArchiveEntry& entry, const PackedEntry& packed, uint8_t hostSystem,
                std::vector<uint8_t>* out) {
  const size_t start = out->size();
  const uint32_t crc = entry.directory ? 0 : Crc32(entry.data.data(), entry.data.size());
  AppendLE16(*out, 0);
  out->push_back(kFileHeaderType);
  AppendLE16(*out, packed.flags);
  AppendLE16(*out, uint32_t(kFileHeaderSize + entry.name.size()));
  AppendLE32(*out, uint32_t(packed.packed.size()));
  AppendLE32(*out, uint32_t(entry.data.size()));
  out->push_back(hostSystem);
  AppendLE32(*out, crc);
  AppendLE32(*out, entry.dosTime);
  out->push_back(kUnpackVersion);
  out->push_back(packed.method);
  AppendLE16(*out, uint32_t(entry.name.size()));
  AppendLE32(*out, Attributes(entry, hostSystem));
  out->insert(out->end(), entry.name.begin(), entry.name.end());
  SealHeader(out, start);
  out->insert(out->end(), packed.packed.begin(), packed.packed.end());
}

// Pads to whole cipher blocks and encrypts with a cipher fresh for the entry.
void Encrypt(const std::string& key, std::vector<uint8_t>* bytes) {
  bytes->resize((bytes->size() + Cipher20::kBlockSize - 1) / Cipher20::kBlockSize * Cipher20::kBlockSize, 0);
  Cipher20 cipher(key.data(), key.size());
  cipher.Encrypt(bytes->data(), bytes->size());
}

bool Validate(const std::vector<ArchiveEntry>& entries, const WriterOptions& options, std::string* error) {
  if (options.method < 0 || options.method > 5) {
    *error = "method must be 0..5";
    return false;
  }
  if (options.hostSystem != kHostMsDos && options.hostSystem != kHostUnix) {
    *error = "host system must be 0 (MS-DOS) or 3 (Unix)";
    return false;
  }
  for (const ArchiveEntry& entry : entries) {
    if (entry.name.empty() || entry.name.size() > kMaxNameSize) {
      *error = "entry name empty or longer than " + std::to_string(kMaxNameSize) + " bytes: " + entry.name;
      return false;
    }
    if (entry.permissions > kUnixPermissionMask) {
      *error = "permissions beyond 07777: " + entry.name;
      return false;
    }
    if (entry.data.size() >= 0xFFFFFFF0u) {
      *error = "file too large for the format (4 GB): " + entry.name;
      return false;
    }
  }
  return true;
}

}  // namespace

bool WriteArchive(const std::vector<ArchiveEntry>& entries, const WriterOptions& options,
                  std::vector<uint8_t>* out, std::string* error) {
  if (!Validate(entries, options, error)) return false;
  out->assign(kMarker, kMarker + kMarkerSize);
  WriteMainHeader(options.solid, out);

  // A solid archive codes all its files as one stream over their
  // concatenation, so that matches reach back into earlier files. Entries
  // without data (directories, empty files) go first: some readers lose
  // their place in the stream when such an entry sits between two
  // compressed ones.
  std::vector<const ArchiveEntry*> order;
  for (const ArchiveEntry& entry : entries) order.push_back(&entry);
  std::vector<uint8_t> solidData;
  std::unique_ptr<StreamEncoder> solidEncoder;
  if (options.solid && options.method > 0) {
    std::stable_partition(order.begin(), order.end(),
                          [](const ArchiveEntry* entry) { return entry->directory || entry->data.empty(); });
    size_t total = 0;
    for (const ArchiveEntry& entry : entries) total += entry.directory ? 0 : entry.data.size();
    if (total >= 0xFFFFFFF0u) {
      *error = "solid archives hold at most 4 GB";
      return false;
    }
    solidData.reserve(total);
    for (const ArchiveEntry* entry : order)
      if (!entry->directory) solidData.insert(solidData.end(), entry->data.begin(), entry->data.end());
    solidEncoder = std::make_unique<StreamEncoder>(options.method);
    solidEncoder->Reset(solidData.data(), solidData.size());
  }

  size_t solidOffset = 0;
  bool first = true;
  for (const ArchiveEntry* entry : order) {
    PackedEntry packed;
    if (options.solid && !first) packed.flags |= kFileSolid;
    first = false;
    if (entry->directory) {
      packed.flags |= kFileDirectoryBits;
      WriteEntry(*entry, packed, options.hostSystem, out);
      continue;
    }
    packed.flags |= kFileDictionary1M;
    const size_t size = entry->data.size();
    if (size > 0 && options.method > 0) {
      std::vector<uint8_t> compressed;
      if (solidEncoder) {
        // The first compressed entry opens the stream afresh.
        if (!solidEncoder->Continues()) packed.flags &= uint16_t(~kFileSolid);
        compressed = solidEncoder->EncodeEntry(solidOffset, solidOffset + size);
        solidOffset += size;
      } else {
        StreamEncoder encoder(options.method);
        encoder.Reset(entry->data.data(), size);
        compressed = encoder.EncodeEntry(0, size);
      }
      if (solidEncoder || compressed.size() < size) {
        packed.method = uint8_t(kMethodStore + options.method);
        packed.packed = std::move(compressed);
      }
    }
    if (packed.method == kMethodStore) packed.packed = entry->data;
    if (!options.key.empty()) {
      packed.flags |= kFileEncrypted;
      Encrypt(options.key, &packed.packed);
    }
    WriteEntry(*entry, packed, options.hostSystem, out);
  }
  return true;
}

}  // namespace klx::rar2tool
