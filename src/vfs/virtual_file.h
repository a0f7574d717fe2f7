#pragma once
// A virtual file: a memory stream with a name, a parent directory and a
// backing store. Opening for reading fills the stream with the whole
// content; opening for writing starts empty and writes out on Close. This
// base class is backed by an operating-system file at GetFullPath().

#include <cstdio>

#include "core/memory_stream.h"
#include "core/named.h"

namespace klx {

class VirtualDirectory;

class VirtualFile : public MemoryStream, public Named {
 public:
  enum OpenMode : int { kRead = 0, kWrite = 1, kAppend = 2 };
  // Growth step of a file's stream while it is written.
  static constexpr int32_t kGrowthStep = 1024;

  explicit VirtualFile(const String& name);
  ~VirtualFile() override;

  // Open for reading: the content size. Open for writing: the bytes written
  // so far. Closed: opens for reading, takes the size, closes again.
  int32_t GetSize() override;
  int Write(const void* bytes, int32_t count) override;
  int Read(void* bytes, int32_t count) override;
  // Opens in a mode (re-opening an open file); the position starts at 0.
  virtual int Open(int mode);
  // Writes out what was written (write and append modes) and frees the
  // content. Closing a closed file succeeds.
  virtual int Close();

  bool IsOpen() const { return open_; }
  int GetMode() const { return mode_; }
  // The parent directory's path and the name; the bare name when detached.
  String GetFullPath() const;
  // The name's text after its last '.', or empty.
  String GetExtension() const;
  VirtualDirectory* GetParent() const { return parent_; }
  void SetParent(VirtualDirectory* parent) { parent_ = parent; }

 protected:
  // For subclasses: mark the file open or closed in a mode.
  void SetOpenState(bool open, int mode) {
    open_ = open;
    mode_ = mode;
  }
  // Frees the stream content and marks the file closed.
  void CloseContent();

 private:
  bool open_ = false;
  int mode_ = kRead;
  std::FILE* handle_ = nullptr;
  VirtualDirectory* parent_ = nullptr;
};

}  // namespace klx
