#pragma once
// A directory of the virtual file system. It owns its subdirectories and
// files. Entries are kept in descending order of the first byte of their
// name (as a signed 8-bit value); a new entry goes after those with the same
// first byte. That order decides which entry a search finds first. Names are
// compared exactly; "\" and "/" both separate path components.

#include "core/array.h"
#include "core/engine_string.h"
#include "core/named.h"

namespace klx {

class VirtualFile;

class VirtualDirectory : public Named {
 public:
  // Attaches itself to `parent` when one is given.
  explicit VirtualDirectory(const String& name, VirtualDirectory* parent = nullptr);
  // Detaches itself, then destroys every subdirectory and file.
  ~VirtualDirectory() override;
  VirtualDirectory(const VirtualDirectory&) = delete;
  VirtualDirectory& operator=(const VirtualDirectory&) = delete;

  // kOk; kInvalidArg for null or an entry already attached here.
  int AddDirectory(VirtualDirectory* directory);
  int AddFile(VirtualFile* file);
  // kOk; kInvalidArg for null or an entry not found. Nothing is destroyed.
  int RemoveDirectory(VirtualDirectory* directory);
  int RemoveFile(VirtualFile* file);

  // The directory a relative path names, or null.
  VirtualDirectory* ResolveDirectory(const String& path);
  // A path finds the file below the directory it names; a bare name finds
  // the first file of that name anywhere below this directory, depth first.
  VirtualFile* FindFile(const String& path);

  // "" for an unnamed directory, else the parent path, the name and "/".
  String GetPath();
  // The parent's path, cached the first time it is asked for.
  String GetParentPath();

  VirtualDirectory* GetParent() const { return parent_; }
  int32_t GetDirectoryCount() const { return directories_.Count(); }
  VirtualDirectory* GetDirectory(int32_t index) const { return directories_[index]; }
  int32_t GetFileCount() const { return files_.Count(); }
  VirtualFile* GetFile(int32_t index) const { return files_[index]; }

 private:
  String parentPathCache_;
  VirtualDirectory* parent_ = nullptr;
  Array<VirtualDirectory*> directories_{1, 1};
  Array<VirtualFile*> files_{1, 1};
};

}  // namespace klx
