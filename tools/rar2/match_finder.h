#pragma once
// Finds earlier occurrences of the bytes at a position within the last
// megabyte. Long matches come from positions sharing a 4-byte hash, kept
// either as a chain (newest first; quick to keep up, slow to search deep)
// or as a binary search tree per hash (every insertion walks the tree but
// finds the longest matches in few steps). Short matches come from the
// latest position of each 3-byte and 2-byte prefix. Positions are indexes
// into one buffer that holds everything the decoder's window has seen.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace klx::rar2tool {

struct Match {
  uint32_t length;
  uint32_t distance;
};

class MatchFinder {
 public:
  enum class Structure { kChain, kTree };

  // `depth` candidates are examined per search at most; a match of
  // `niceLength` bytes ends a chain search early.
  MatchFinder(Structure structure, int depth, uint32_t niceLength);

  // Starts over on a new buffer of `size` bytes; nothing is indexed.
  void Reset(const uint8_t* data, size_t size);

  // Matches at `pos` (all positions before it indexed) that end before
  // `limit`: strictly increasing lengths, each at the nearest distance found
  // for it. Indexes `pos`. Returns the number written to `out`
  // (capacity kMaxMatches).
  int FindMatches(size_t pos, size_t limit, Match* out);
  // Indexes `pos` without searching.
  void Skip(size_t pos);

  // Length of the match at `pos` with `distance`, up to `maxLength`.
  uint32_t MatchLength(size_t pos, uint32_t distance, uint32_t maxLength) const;

  static constexpr int kMaxMatches = 300;

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  static constexpr int kHashBits = 18;

  uint32_t Hash4(size_t pos) const;
  uint32_t Hash3(size_t pos) const;
  uint32_t Hash2(size_t pos) const;
  // Short matches from the 2- and 3-byte heads; updates `best`.
  int FindShort(size_t pos, uint32_t maxLength, uint32_t* best, Match* out) const;
  void UpdateShortHeads(size_t pos);
  int SearchChain(size_t pos, uint32_t maxLength, uint32_t best, Match* out);
  // Inserts `pos` into its tree; with `out`, reports matches longer than
  // `best` up to `maxLength`.
  int SearchTree(size_t pos, uint32_t maxLength, uint32_t best, Match* out);

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  Structure structure_;
  int depth_;
  uint32_t niceLength_;
  std::vector<uint32_t> head4_;
  std::vector<uint32_t> head3_;
  std::vector<uint32_t> head2_;
  std::vector<uint32_t> chain_;  // chain: the previous position with the same hash
                                 // tree: two children per position
  size_t mask_ = 0;
};

}  // namespace klx::rar2tool
