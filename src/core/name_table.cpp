#include "core/name_table.h"

namespace klx {

uint32_t HashName(const String& key) {
  uint32_t hash = 0;
  for (int32_t i = key.Length() - 1; i >= 1; --i) {
    hash = (hash << 2) | static_cast<unsigned char>(key[i]);
  }
  return hash;
}

}  // namespace klx
