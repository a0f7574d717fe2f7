#include "bit_writer.h"

namespace klx::rar2tool {

void BitWriter::Write(uint32_t value, int count) {
  if (count == 0) return;
  const uint64_t mask = (uint64_t{1} << count) - 1;
  accumulator_ = (accumulator_ << count) | (value & mask);
  pending_ += count;
  while (pending_ >= 8) {
    pending_ -= 8;
    bytes_.push_back(uint8_t(accumulator_ >> pending_));
  }
  accumulator_ &= (uint64_t{1} << pending_) - 1;
}

void BitWriter::AlignToByte() {
  if (pending_ > 0) Write(0, 8 - pending_);
}

}  // namespace klx::rar2tool
