#include "huffman_encoder.h"

#include <algorithm>
#include <vector>

namespace klx::rar2tool {

namespace {

// An entry of a package-merge list: a leaf (symbol >= 0) or a package of two
// entries of the list one level deeper.
struct Item {
  uint64_t weight;
  int symbol;
};

}  // namespace

void BuildCodeLengths(const uint32_t* frequencies, int count, int maxLength, uint8_t* lengths) {
  std::vector<Item> leaves;
  for (int i = 0; i < count; ++i) {
    lengths[i] = 0;
    if (frequencies[i] > 0) leaves.push_back({frequencies[i], i});
  }
  if (leaves.empty()) return;
  if (leaves.size() == 1) {
    lengths[leaves[0].symbol] = 1;
    return;
  }
  std::stable_sort(leaves.begin(), leaves.end(),
                   [](const Item& a, const Item& b) { return a.weight < b.weight; });

  // lists[0] is the deepest level; each higher level merges the leaves with
  // the pairs of the level below.
  std::vector<std::vector<Item>> lists(maxLength);
  lists[0] = leaves;
  for (int level = 1; level < maxLength; ++level) {
    const std::vector<Item>& below = lists[level - 1];
    std::vector<Item>& list = lists[level];
    list.reserve(leaves.size() + below.size() / 2);
    size_t leaf = 0;
    size_t pair = 0;
    while (leaf < leaves.size() || pair + 1 < below.size()) {
      const bool takePackage =
          pair + 1 < below.size() &&
          (leaf == leaves.size() || below[pair].weight + below[pair + 1].weight < leaves[leaf].weight);
      if (takePackage) {
        list.push_back({below[pair].weight + below[pair + 1].weight, -1});
        pair += 2;
      } else {
        list.push_back(leaves[leaf++]);
      }
    }
  }

  // The 2n-2 lightest entries of the top list form the code. The packages
  // chosen at each level are always the first ones, so they expand to a
  // prefix of the level below; every chosen leaf adds one bit to its symbol.
  size_t chosen = 2 * leaves.size() - 2;
  for (int level = maxLength - 1; level >= 0 && chosen > 0; --level) {
    size_t packages = 0;
    for (size_t i = 0; i < chosen; ++i) {
      if (lists[level][i].symbol >= 0) {
        ++lengths[lists[level][i].symbol];
      } else {
        ++packages;
      }
    }
    chosen = 2 * packages;
  }
}

void BuildCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes) {
  int lengthCount[17] = {};
  for (int i = 0; i < count; ++i) ++lengthCount[lengths[i]];
  lengthCount[0] = 0;
  uint32_t next[17] = {};
  uint32_t code = 0;
  for (int length = 1; length <= 16; ++length) {
    code = (code + lengthCount[length - 1]) << 1;
    next[length] = code;
  }
  for (int i = 0; i < count; ++i) codes[i] = lengths[i] ? uint16_t(next[lengths[i]]++) : 0;
}

}  // namespace klx::rar2tool
