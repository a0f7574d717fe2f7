#pragma once
// A deterministic mixed set of files like those a media archive holds: prose
// text, a PCM wave, uncompressed images and random bytes. Used to measure
// archive compression and decoding on realistic content.

#include <cstdint>
#include <string>
#include <vector>

namespace klx::bench {

struct CorpusFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

// About `totalBytes` in all, split between the kinds of content.
std::vector<CorpusFile> MakeMixedCorpus(size_t totalBytes);

}  // namespace klx::bench
