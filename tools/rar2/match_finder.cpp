#include "match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "symbol_coder.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2tool {

namespace {

constexpr int kHash3Bits = 16;

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

}  // namespace

MatchFinder::MatchFinder(Structure structure, int depth, uint32_t niceLength)
    : structure_(structure), depth_(depth), niceLength_(niceLength) {}

void MatchFinder::Reset(const uint8_t* data, size_t size) {
  data_ = data;
  size_ = size;
  head4_.assign(size_t{1} << kHashBits, kEmpty);
  head3_.assign(size_t{1} << kHash3Bits, kEmpty);
  head2_.assign(size_t{1} << 16, kEmpty);
  const size_t slots = std::min<size_t>(rar2::kWindowSize, std::bit_ceil(std::max<size_t>(size, 1)));
  mask_ = slots - 1;
  chain_.assign(structure_ == Structure::kTree ? 2 * slots : slots, kEmpty);
}

uint32_t MatchFinder::Hash4(size_t pos) const { return (Load32(data_ + pos) * 2654435761u) >> (32 - kHashBits); }

uint32_t MatchFinder::Hash3(size_t pos) const {
  return ((Load32(data_ + pos) & 0xFFFFFF) * 2654435761u) >> (32 - kHash3Bits);
}

uint32_t MatchFinder::Hash2(size_t pos) const { return uint32_t{data_[pos]} | uint32_t{data_[pos + 1]} << 8; }

uint32_t MatchFinder::MatchLength(size_t pos, uint32_t distance, uint32_t maxLength) const {
  const uint8_t* a = data_ + pos;
  const uint8_t* b = a - distance;
  uint32_t length = 0;
  while (length + 8 <= maxLength) {
    const uint64_t diff = Load64(a + length) ^ Load64(b + length);
    if (diff != 0) return length + uint32_t(std::countr_zero(diff) >> 3);
    length += 8;
  }
  while (length < maxLength && a[length] == b[length]) ++length;
  return length;
}

void MatchFinder::UpdateShortHeads(size_t pos) {
  head3_[Hash3(pos)] = uint32_t(pos);
  head2_[Hash2(pos)] = uint32_t(pos);
}

void MatchFinder::Skip(size_t pos) {
  if (pos + 4 > size_) return;
  if (structure_ == Structure::kTree) {
    SearchTree(pos, uint32_t(std::min<size_t>(kMaxMatchLength, size_ - pos)), 0, nullptr);
  } else {
    const uint32_t h4 = Hash4(pos);
    chain_[pos & mask_] = head4_[h4];
    head4_[h4] = uint32_t(pos);
  }
  UpdateShortHeads(pos);
}

int MatchFinder::FindShort(size_t pos, uint32_t maxLength, uint32_t* best, Match* out) const {
  int count = 0;
  const uint32_t here = uint32_t(pos);
  // Two bytes reach only 256 back (short match symbols); three bytes only
  // as far as a 3-byte long match may go.
  const uint32_t c2 = head2_[Hash2(pos)];
  if (c2 != kEmpty && here - c2 <= 256) {
    const uint32_t length = MatchLength(pos, here - c2, maxLength);
    if (length > *best) {
      *best = length;
      out[count++] = {length, here - c2};
    }
  }
  const uint32_t c3 = head3_[Hash3(pos)];
  if (c3 != kEmpty && here - c3 < 0x2000 && *best < maxLength) {
    const uint32_t length = MatchLength(pos, here - c3, maxLength);
    if (length > *best) {
      *best = length;
      out[count++] = {length, here - c3};
    }
  }
  return count;
}

int MatchFinder::FindMatches(size_t pos, size_t limit, Match* out) {
  const uint32_t maxLength = uint32_t(std::min<size_t>(kMaxMatchLength, limit - pos));
  if (maxLength < 2 || pos + 4 > size_) {
    Skip(pos);
    return 0;
  }
  uint32_t best = 1;
  int count = FindShort(pos, maxLength, &best, out);
  if (structure_ == Structure::kTree) {
    count += SearchTree(pos, maxLength, best, out + count);
  } else {
    count += SearchChain(pos, maxLength, best, out + count);
  }
  UpdateShortHeads(pos);
  return count;
}

int MatchFinder::SearchChain(size_t pos, uint32_t maxLength, uint32_t best, Match* out) {
  const uint32_t here = uint32_t(pos);
  const uint32_t h4 = Hash4(pos);
  uint32_t candidate = head4_[h4];
  chain_[pos & mask_] = candidate;
  head4_[h4] = here;
  if (best >= maxLength) return 0;

  int count = 0;
  const uint8_t* current = data_ + pos;
  for (int depth = depth_; depth > 0 && candidate != kEmpty; --depth) {
    const uint32_t distance = here - candidate;
    if (distance > kMaxDistance) break;
    // Only a candidate that beats the best so far at its last byte is worth
    // a full comparison.
    if (current[best] == (current - distance)[best] && Load32(current) == Load32(current - distance)) {
      const uint32_t length = MatchLength(pos, distance, maxLength);
      if (length > best) {
        best = length;
        out[count++] = {length, distance};
        if (length >= niceLength_ || length >= maxLength) break;
      }
    }
    candidate = chain_[candidate & mask_];
  }
  return count;
}

// The tree of a hash orders its positions by the bytes that follow them.
// The new position becomes the root: the walk down from the old root splits
// the tree into the part below the new string (hung to its left) and the
// part above it (hung to its right). Every string left in the walk lies
// between the last smaller and the last greater one passed, so it shares at
// least the shorter of their common prefixes with the new string.
int MatchFinder::SearchTree(size_t pos, uint32_t maxLength, uint32_t best, Match* out) {
  const uint32_t here = uint32_t(pos);
  const uint32_t h4 = Hash4(pos);
  uint32_t candidate = head4_[h4];
  head4_[h4] = here;
  // The tree compares up to the end of the buffer, so that its order does
  // not depend on the caller's limit; matches are reported up to maxLength.
  const uint32_t compareLength = uint32_t(std::min<size_t>(kMaxMatchLength, size_ - pos));
  uint32_t* smaller = &chain_[2 * (pos & mask_)];
  uint32_t* greater = &chain_[2 * (pos & mask_) + 1];
  uint32_t smallerLength = 0;
  uint32_t greaterLength = 0;
  int count = 0;
  for (int depth = depth_;; --depth) {
    if (candidate == kEmpty || here - candidate > kMaxDistance || depth == 0) {
      *smaller = kEmpty;
      *greater = kEmpty;
      break;
    }
    const uint32_t distance = here - candidate;
    uint32_t length = std::min(smallerLength, greaterLength);
    length += MatchLength(pos + length, distance, compareLength - length);
    if (out != nullptr && std::min(length, maxLength) > best) {
      best = std::min(length, maxLength);
      out[count++] = {best, distance};
    }
    uint32_t* children = &chain_[2 * (candidate & mask_)];
    if (length == compareLength) {
      // Same string as far as the tree looks: the new position takes the
      // candidate's place.
      *smaller = children[0];
      *greater = children[1];
      break;
    }
    if (data_[candidate + length] < data_[pos + length]) {
      *smaller = candidate;
      smaller = &children[1];
      candidate = children[1];
      smallerLength = length;
    } else {
      *greater = candidate;
      greater = &children[0];
      candidate = children[0];
      greaterLength = length;
    }
  }
  return count;
}

}  // namespace klx::rar2tool
