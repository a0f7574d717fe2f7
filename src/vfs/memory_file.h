#pragma once
// A read-only virtual file over a block of bytes in memory: an unpacked
// archive member (owned) or an executable resource (borrowed). Every open
// reads from a fresh copy; the content itself never changes.

#include <cstdint>

#include "core/module.h"
#include "core/ref_counted.h"
#include "vfs/virtual_file.h"

namespace klx {

class MemoryFile : public VirtualFile {
 public:
  explicit MemoryFile(const String& name) : VirtualFile(name) {}
  ~MemoryFile() override;

  // Takes ownership of a block made with new[].
  void SetContent(uint8_t* bytes, int32_t size);
  // Uses bytes that belong to someone else (they must outlive the file).
  void BorrowContent(const uint8_t* bytes, int32_t size);
  // Says that the borrowed bytes last as long as the process (an
  // executable's resource): readers may keep pointers into them.
  void MarkContentPermanent() { permanent_ = !ownsContent_ && content_ != nullptr; }
  bool IsContentPermanent() const { return permanent_; }
  // Forgets the content without freeing it.
  void DetachContent();
  const uint8_t* GetContent() const { return content_; }
  int32_t GetContentSize() const { return contentSize_; }

  // The module whose code produced the content; kept alive with the file.
  void SetModule(Module* module) { module_ = module; }
  Module* GetModule() const { return module_.Get(); }

  // Only mode 0 (read) opens; anything else, or no content, fails.
  int Open(int mode) override;
  int Close() override;

 private:
  void FreeContent();

  const uint8_t* content_ = nullptr;
  int32_t contentSize_ = 0;
  bool ownsContent_ = false;
  bool permanent_ = false;
  Ref<Module> module_;
};

}  // namespace klx
