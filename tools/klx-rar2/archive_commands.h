#pragma once
// The "list" and "extract" commands of klx-rar2. Both mount the archive
// through the engine's codec and file manager, so they show exactly what the
// engine would see.

#include <string>

namespace klx::rar2tool {

// Prints every mounted directory and file with its size; a file the engine
// could not extract is marked. 0 when the archive mounted, 1 otherwise.
int ListArchive(const std::string& archivePath, const std::string& key);

// Writes the mounted tree below `outputDirectory`. 0 when every file was
// written; 1 when the archive did not mount or a file had no content or
// could not be written.
int ExtractArchive(const std::string& archivePath, const std::string& outputDirectory, const std::string& key);

}  // namespace klx::rar2tool
