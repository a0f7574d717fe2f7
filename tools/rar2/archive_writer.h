#pragma once
// Writes RAR 2.0 archives: the marker, the main header, then a file header
// and packed data per entry. Files are stored or compressed (methods 1..5),
// optionally as one solid stream and optionally encrypted. In a solid
// archive the entries without data come first. Attributes are written as
// an MS-DOS host or, when asked, as a Unix host writes them.

#include <cstdint>
#include <string>
#include <vector>

#include "vfs/rar2/rar2_format.h"

namespace klx::rar2tool {

struct ArchiveEntry {
  std::string name;  // archive path, components separated by '\'
  bool directory = false;
  std::vector<uint8_t> data;
  uint32_t dosTime = 0;
  // Unix host only: the mode's permission bits; 0 gives 0644 to a file and
  // 0755 to a directory.
  uint16_t permissions = 0;
};

struct WriterOptions {
  bool solid = false;
  int method = 3;   // 0 stores everything; 1 (fastest) .. 5 (best)
  std::string key;  // non-empty: encrypt every file
  uint8_t hostSystem = rar2::kHostMsDos;  // or rar2::kHostUnix
};

// Builds the whole archive in memory. On failure returns false with the
// reason in `error`.
bool WriteArchive(const std::vector<ArchiveEntry>& entries, const WriterOptions& options,
                  std::vector<uint8_t>* out, std::string* error);

}  // namespace klx::rar2tool
