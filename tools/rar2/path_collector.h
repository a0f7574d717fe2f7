#pragma once
// Turns command-line paths into archive entries. A file becomes one entry;
// a directory becomes an entry followed by everything below it, children in
// byte order of their names. Each entry is named by the path as given,
// without a leading '/' and without '.' components, with '\' between
// components; a '..' component is refused.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive_writer.h"

namespace klx::rar2tool {

// `mtime` (seconds since 1970 UTC), when given, stamps every entry;
// otherwise each entry carries its own modification time.
bool CollectPaths(const std::vector<std::string>& paths, std::optional<int64_t> mtime,
                  std::vector<ArchiveEntry>* out, std::string* error);

}  // namespace klx::rar2tool
