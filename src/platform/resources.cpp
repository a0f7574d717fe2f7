#include "platform/resources.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace klx {

namespace {

std::vector<const ResourceEntry*>& Entries() {
  static std::vector<const ResourceEntry*> entries;
  return entries;
}

}  // namespace

bool RegisterResources(const ResourceEntry* entries, int32_t count) {
  for (int32_t i = 0; i < count; ++i) Entries().push_back(&entries[i]);
  return true;
}

void UnregisterResources(const ResourceEntry* entries, int32_t count) {
  std::vector<const ResourceEntry*>& table = Entries();
  for (int32_t i = 0; i < count; ++i) {
    for (auto it = table.begin(); it != table.end(); ++it) {
      if (*it == &entries[i]) {
        table.erase(it);
        break;
      }
    }
  }
}

bool IsRussianLocale() {
  // POSIX precedence: the first of these that is set and not empty.
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return std::strncmp(value, "ru", 2) == 0;
  }
  return false;
}

bool FindResource(const char* type, int32_t id, const uint8_t** bytes, int32_t* size) {
  if (type == nullptr) return false;
  const int preferred = IsRussianLocale() ? kResourceRussian : kResourceNeutral;
  const ResourceEntry* found = nullptr;
  for (const ResourceEntry* entry : Entries()) {
    if (entry->id != id || std::strcmp(entry->type, type) != 0) continue;
    // The preferred language first; within a language, the later entry.
    if (found == nullptr || entry->language == preferred || found->language != preferred) {
      found = entry;
    }
  }
  if (found == nullptr) return false;
  if (bytes != nullptr) *bytes = found->begin;
  if (size != nullptr) *size = static_cast<int32_t>(found->end - found->begin);
  return true;
}

}  // namespace klx
