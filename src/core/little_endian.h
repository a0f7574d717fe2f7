#pragma once
// Little-endian integers in byte buffers, as file formats store them.

#include <cstdint>
#include <vector>

namespace klx {

inline uint32_t GetLE16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
inline uint32_t GetLE32(const uint8_t* p) { return GetLE16(p) | GetLE16(p + 2) << 16; }

inline void SetLE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

inline void AppendLE16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void AppendLE32(std::vector<uint8_t>& out, uint32_t v) {
  AppendLE16(out, v & 0xFFFF);
  AppendLE16(out, v >> 16);
}

}  // namespace klx
