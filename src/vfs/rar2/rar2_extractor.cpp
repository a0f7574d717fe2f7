#include "vfs/rar2/rar2_extractor.h"

#include <cstring>
#include <new>
#include <unordered_map>

#include "vfs/rar2/rar2_cipher.h"
#include "vfs/rar2/rar2_crc32.h"
#include "vfs/rar2/rar2_format.h"
#include "vfs/rar2/rar2_unpacker.h"

namespace klx::rar2 {

namespace {

// MemoryFile sizes are 32-bit signed.
constexpr uint32_t kMaxEntrySize = 0x7FFFFFFF;

bool SupportedVersion(const ArchiveEntry& entry) {
  return entry.unpackVersion >= kMinUnpackVersion && entry.unpackVersion <= kMaxUnpackVersion;
}

// The largest unpacked size an entry's data can honestly describe.
uint64_t Producible(const ArchiveEntry& entry) {
  return entry.method == kMethodStore ? entry.dataAvailable : MaxUnpackedSize(entry.dataAvailable);
}

class Extractor {
 public:
  Extractor(const uint8_t* archive, const std::string& key) : archive_(archive), key_(key) {}

  // Decodes one entry; `wanted` says whether its bytes are kept.
  // False when the decoder's memory cannot be had.
  bool Decode(const ArchiveEntry& entry, bool wanted, bool solid, ExtractedEntry* result) {
    const bool keep = wanted && entry.unpackedSize <= kMaxEntrySize && entry.unpackedSize <= Producible(entry);
    // Outside a solid stream an entry that cannot be kept needs no decoding.
    if (!keep && (!solid || entry.method == kMethodStore)) return true;

    const uint8_t* data = archive_ + entry.dataOffset;
    std::unique_ptr<uint8_t[]> decrypted;
    if (!key_.empty() && entry.IsEncrypted() && entry.unpackVersion == 20) {
      decrypted.reset(new (std::nothrow) uint8_t[entry.dataAvailable + 1]);
      if (!decrypted) return false;
      std::memcpy(decrypted.get(), data, entry.dataAvailable);
      Cipher20(key_.data(), key_.size()).Decrypt(decrypted.get(), entry.dataAvailable);
      data = decrypted.get();
    }

    std::unique_ptr<uint8_t[]> output;
    if (keep) {
      output.reset(new (std::nothrow) uint8_t[size_t{entry.unpackedSize} + 1]);
      if (!output) return false;
    }

    bool complete = false;
    uint32_t crc = 0;
    if (entry.method == kMethodStore) {
      // Stored data never passes through the window.
      if (entry.dataAvailable >= entry.unpackedSize) {
        std::memcpy(output.get(), data, entry.unpackedSize);
        crc = Crc32(output.get(), entry.unpackedSize);
        complete = true;
      }
    } else {
      if (!unpacker_) {
        unpacker_.reset(new (std::nothrow) Unpacker20());
        if (!unpacker_) return false;
      }
      const Unpacker20::Result decoded = unpacker_->Unpack(data, entry.dataAvailable, entry.ContinuesSolid(),
                                                           output.get(), entry.unpackedSize);
      if (decoded == Unpacker20::Result::kOutOfMemory) return false;
      complete = decoded == Unpacker20::Result::kOk;
      crc = unpacker_->OutputCrc();
    }
    if (output && complete && crc == entry.dataCrc) {
      result->ok = true;
      result->size = entry.unpackedSize;
      result->bytes = std::move(output);
    }
    return true;
  }

 private:
  const uint8_t* archive_;
  const std::string& key_;
  std::unique_ptr<Unpacker20> unpacker_;
};

}  // namespace

bool ExtractAll(const uint8_t* archive, const ArchiveListing& listing, const std::string& key,
                std::vector<ExtractedEntry>* results, std::vector<size_t>* resultOfEntry) {
  const size_t count = listing.entries.size();
  results->clear();
  results->resize(count);
  resultOfEntry->assign(count, 0);

  // The first entry of each extraction key gives the bytes of all of them.
  std::unordered_map<std::string, size_t> firstOfKey;
  std::vector<bool> isFirst(count, false);
  for (size_t i = 0; i < count; ++i) {
    auto [it, inserted] = firstOfKey.emplace(ExtractionKey(listing.entries[i].name), i);
    (*resultOfEntry)[i] = it->second;
    isFirst[i] = inserted;
  }

  Extractor extractor(archive, key);
  for (size_t i = 0; i < count; ++i) {
    const ArchiveEntry& entry = listing.entries[i];
    if (!listing.solid && !isFirst[i]) continue;
    if (!SupportedVersion(entry)) {
      // A solid stream cannot be followed past an entry it cannot decode.
      if (listing.solid) break;
      continue;
    }
    if (!extractor.Decode(entry, isFirst[i], listing.solid, &(*results)[i])) return false;
  }
  return true;
}

bool ExtractEntry(const uint8_t* archive, const ArchiveEntry& entry, const std::string& key,
                  ExtractedEntry* result) {
  *result = ExtractedEntry{};
  if (!SupportedVersion(entry)) return true;
  Extractor extractor(archive, key);
  return extractor.Decode(entry, true, false, result);
}

}  // namespace klx::rar2
