#include "core/codec.h"

#include "core/log.h"

namespace klx {

int Codec::HandlesFileName(const String& fileName) const {
  const String extension = FileNameExtension(fileName);
  if (extension.IsEmpty()) return 1;
  return extensions_.Find(extension) >= 0 ? 0 : 1;
}

String FileNameExtension(const String& fileName) {
  const int32_t slash = fileName.FindLast('/');
  const int32_t backslash = fileName.FindLast('\\');
  const int32_t nameStart = (slash > backslash ? slash : backslash) + 1;
  const int32_t dot = fileName.FindLast('.');
  if (dot < nameStart) return String();
  return fileName.Substring(dot + 1, fileName.Length() - dot - 1);
}

}  // namespace klx
