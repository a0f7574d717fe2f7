#pragma once
// Most-significant-bit-first reader over an entry's packed bytes. Bits past
// the end read as zeros; the caller decides how far past the end it lets a
// stream run (IsExhausted).

#include <cstddef>
#include <cstdint>

namespace klx::rar2 {

class BitReader {
 public:
  BitReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  // The next 16 bits without consuming them.
  uint32_t Peek16() const {
    const size_t byte = static_cast<size_t>(bitPosition_ >> 3);
    if (byte + 4 <= size_) {
      const uint32_t word = uint32_t{bytes_[byte]} << 24 | uint32_t{bytes_[byte + 1]} << 16 |
                            uint32_t{bytes_[byte + 2]} << 8 | uint32_t{bytes_[byte + 3]};
      return (word << (bitPosition_ & 7)) >> 16;
    }
    return PeekNearEnd();
  }
  void Skip(uint32_t bits) { bitPosition_ += bits; }
  // Reads up to 16 bits as a number.
  uint32_t Read(uint32_t bits) {
    if (bits == 0) return 0;
    const uint32_t value = Peek16() >> (16 - bits);
    bitPosition_ += bits;
    return value;
  }

  // Whole bytes not yet touched by the read position.
  size_t RemainingBytes() const {
    const uint64_t byte = bitPosition_ >> 3;
    return byte >= size_ ? 0 : size_ - static_cast<size_t>(byte);
  }
  // True once the stream has consumed more than `slackBytes` past its end.
  bool IsExhausted(size_t slackBytes) const { return bitPosition_ > (uint64_t{size_} + slackBytes) * 8; }

 private:
  uint32_t PeekNearEnd() const {
    uint32_t word = 0;
    const uint64_t byte = bitPosition_ >> 3;
    for (uint64_t i = 0; i < 4; ++i) {
      word <<= 8;
      if (byte + i < size_) word |= bytes_[byte + i];
    }
    return (word << (bitPosition_ & 7)) >> 16;
  }

  const uint8_t* bytes_;
  size_t size_;
  uint64_t bitPosition_ = 0;
};

}  // namespace klx::rar2
