#pragma once
// Resources linked into the executable at build time, found by type and
// number ("MEDIADATA", 227). An entry may exist
// in a neutral and a Russian version; lookup takes the Russian one when the
// locale (LC_ALL, LC_MESSAGES, LANG) is Russian and the neutral one
// otherwise. Tables are added with klx_add_resource() in CMake.

#include <cstdint>

namespace klx {

enum ResourceLanguage : int {
  kResourceNeutral = 0,
  kResourceRussian = 1,
};

struct ResourceEntry {
  const char* type;
  int32_t id;
  int language;
  const uint8_t* begin;
  const uint8_t* end;
};

// Adds entries (static storage) to the process's resource table. Called
// from static initialisation by the generated resource files. Of two
// entries with the same type, number and language, the later one is found.
bool RegisterResources(const ResourceEntry* entries, int32_t count);
// Takes entries added by RegisterResources out of the table again; the
// ones they shadowed are found once more.
void UnregisterResources(const ResourceEntry* entries, int32_t count);

// The bytes of a resource, valid for the life of the process. False when
// there is no resource of that type and number.
bool FindResource(const char* type, int32_t id, const uint8_t** bytes, int32_t* size);

// True when the locale's language is Russian.
bool IsRussianLocale();

}  // namespace klx
