#pragma once
// An archive member that is decoded each time it is opened, from archive
// bytes that stay in memory for the whole run (an archive linked into the
// executable). Nothing is held between opens, so a mounted archive costs
// only its listing until its files are read.

#include <cstdint>
#include <string>

#include "vfs/memory_file.h"
#include "vfs/rar2/rar2_archive.h"

namespace klx {

class Rar2MemberFile : public MemoryFile {
 public:
  // `archive` must outlive the file; `entry` is the member's listing.
  Rar2MemberFile(const String& name, const uint8_t* archive, const rar2::ArchiveEntry& entry,
                 const std::string& key);

  // Decodes the member and checks it against its CRC-32; a damaged member
  // does not open.
  int Open(int mode) override;

 private:
  const uint8_t* archive_;
  rar2::ArchiveEntry entry_;
  std::string key_;
};

}  // namespace klx
