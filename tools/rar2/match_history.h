#pragma once
// The decoder's memory of earlier matches, tracked exactly as the decoder
// keeps it: a ring of the last four distances and the last match itself.
// Every match, however it is coded, goes through Push.

#include <cstdint>

namespace klx::rar2tool {

struct MatchHistory {
  uint32_t ring[4] = {0, 0, 0, 0};
  uint32_t counter = 0;
  uint32_t lastLength = 0;
  uint32_t lastDistance = 0;

  // The distance `back` matches ago (0 = the most recent), coded by main
  // symbol 257 + back.
  uint32_t Recent(int back) const { return ring[(counter - 1 - uint32_t(back)) & 3]; }

  void Push(uint32_t length, uint32_t distance) {
    ring[counter & 3] = distance;
    ++counter;
    lastLength = length;
    lastDistance = distance;
  }
};

}  // namespace klx::rar2tool
