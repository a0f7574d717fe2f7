#pragma once
// Most-significant-bit-first reader over an entry's packed bytes, with a
// 64-bit look-ahead refilled eight bytes at a time. Bits past the end read
// as zeros; the caller decides how far past the end it lets a stream run
// (IsExhausted).

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace klx::rar2 {

class BitReader {
 public:
  BitReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  // The next 16 bits without consuming them.
  uint32_t Peek16() {
    if (available_ < 16) Refill();
    return static_cast<uint32_t>(bits_ >> 48);
  }
  // Consumes up to 16 bits; a Peek16 must come first.
  void Skip(uint32_t count) {
    bits_ <<= count;
    available_ -= static_cast<int>(count);
  }
  // Reads up to 16 bits as a number.
  uint32_t Read(uint32_t count) {
    if (count == 0) return 0;
    const uint32_t value = Peek16() >> (16 - count);
    Skip(count);
    return value;
  }

  uint64_t BitPosition() const { return uint64_t{loaded_} * 8 - static_cast<uint64_t>(available_); }
  // Whole bytes not yet touched by the read position.
  size_t RemainingBytes() const {
    const uint64_t byte = BitPosition() >> 3;
    return byte >= size_ ? 0 : size_ - static_cast<size_t>(byte);
  }
  // True once the stream has consumed more than `slackBytes` past its end.
  bool IsExhausted(size_t slackBytes) const { return BitPosition() > (uint64_t{size_} + slackBytes) * 8; }

 private:
  void Refill() {
    if (size_ >= 8 && loaded_ <= size_ - 8) {
      uint64_t word;
      std::memcpy(&word, bytes_ + loaded_, 8);
      word = __builtin_bswap64(word);
      bits_ |= word >> available_;
      const int taken = (63 - available_) >> 3;
      loaded_ += static_cast<size_t>(taken);
      available_ += taken * 8;
      return;
    }
    while (available_ <= 56) {
      const uint64_t byte = loaded_ < size_ ? bytes_[loaded_] : 0;
      bits_ |= byte << (56 - available_);
      ++loaded_;
      available_ += 8;
    }
  }

  const uint8_t* bytes_;
  size_t size_;
  uint64_t bits_ = 0;  // look-ahead, first bit in bit 63
  int available_ = 0;  // valid bits in bits_
  size_t loaded_ = 0;  // bytes moved into the look-ahead (past the end: zeros)
};

}  // namespace klx::rar2
