#pragma once
// Extraction of every entry of a RAR 2.0 archive in one pass over it.
//
// The result for each entry equals what extracting that entry alone would
// give: the bytes of the first entry with the same extraction key (names
// compare without case and without regard to "\" or "/"), checked against
// its CRC-32; in a solid archive an entry with an unsupported unpack version
// ends extraction for itself and every later entry.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vfs/rar2/rar2_archive.h"

namespace klx::rar2 {

struct ExtractedEntry {
  bool ok = false;
  uint32_t size = 0;
  // new[]-allocated, at least one byte so that an empty file has content.
  std::unique_ptr<uint8_t[]> bytes;
};

// One result per listed entry, in listing order; resultOfEntry maps each
// entry to the result it shares (that of the first entry of its key).
// False only when memory ran out.
bool ExtractAll(const uint8_t* archive, const ArchiveListing& listing, const std::string& key,
                std::vector<ExtractedEntry>* results, std::vector<size_t>* resultOfEntry);

// One entry of an archive that is not solid, decoded alone: the same result
// ExtractAll gives for it. False only when memory ran out.
bool ExtractEntry(const uint8_t* archive, const ArchiveEntry& entry, const std::string& key,
                  ExtractedEntry* result);

}  // namespace klx::rar2
