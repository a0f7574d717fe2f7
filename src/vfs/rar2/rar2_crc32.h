#pragma once
// CRC-32 as archives use it: reflected polynomial 0xEDB88320, initial value
// 0xFFFFFFFF, final complement.

#include <cstddef>
#include <cstdint>

namespace klx::rar2 {

// The table entry for one byte value.
uint32_t Crc32TableEntry(uint8_t value);

// Continues a running CRC (pass 0 to start); the result is final and can be
// passed back in to continue over more bytes.
uint32_t Crc32(const uint8_t* bytes, size_t count, uint32_t crc = 0);

}  // namespace klx::rar2
