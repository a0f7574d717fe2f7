#pragma once
// Bit output in the order the RAR 2.0 decoder reads: every value goes out
// most significant bit first, bytes fill from their top bit down.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace klx::rar2tool {

class BitWriter {
 public:
  // Appends the low `count` bits of `value` (count 0..32).
  void Write(uint32_t value, int count);
  // Pads with zero bits up to the next byte boundary.
  void AlignToByte();
  // Bits written so far, padding included.
  uint64_t BitCount() const { return uint64_t{bytes_.size()} * 8 + pending_; }
  // The finished bytes; call AlignToByte first so that nothing is pending.
  std::vector<uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t accumulator_ = 0;  // pending bits, right-aligned
  int pending_ = 0;           // 0..7 between calls
};

}  // namespace klx::rar2tool
