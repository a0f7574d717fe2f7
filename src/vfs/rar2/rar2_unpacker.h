#pragma once
// The RAR 2.0 decompressor: LZ77 over a 1 MB window with Huffman-coded
// literals, lengths and distances, plus the multimedia mode that predicts
// each byte from the previous ones of its channel. One unpacker decodes the
// entries of one archive in order; in a solid archive the window, the tables
// and the recent distances carry over from entry to entry.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "vfs/rar2/rar2_bit_reader.h"
#include "vfs/rar2/rar2_format.h"
#include "vfs/rar2/rar2_huffman.h"

namespace klx::rar2 {

class Unpacker20 {
 public:
  enum class Result { kOk, kOutOfMemory, kBadTables, kInputExhausted, kOverrun };

  Unpacker20();

  // Decodes one entry of `unpackedSize` bytes from its packed bytes. Unless
  // `continuesSolid`, the state starts afresh. `output` receives the bytes
  // when it is not null (it must hold `unpackedSize` bytes); without it the
  // entry is decoded only to carry the state on to the next one.
  Result Unpack(const uint8_t* packed, size_t packedSize, bool continuesSolid, uint8_t* output,
                uint32_t unpackedSize);
  // The CRC-32 of the bytes the last Unpack wrote to its output, computed
  // while they were still in the window.
  uint32_t OutputCrc() const { return outputCrc_; }

 private:
  struct AudioChannel {
    int weights[5];  // K1..K5
    int deltas[4];   // D1..D4
    int lastDelta;
    uint32_t lastByte;
    uint32_t byteCount;
    uint32_t errors[11];
  };

  void Reset();
  bool ReadTables(BitReader& reader);
  uint8_t PredictAudio(int delta);
  // Batches of symbols up to `stop` bytes since the reset, or until the
  // mode changes; false when new tables are damaged.
  bool DecodeLzBatch(BitReader& reader, uint64_t stop);
  bool DecodeAudioBatch(BitReader& reader, uint64_t stop);
  // A match whose source wraps around the window or reaches before the
  // start of the stream, byte by byte.
  void CopyUncommon(uint32_t length, uint32_t distance);
  void PutByte(uint8_t value) {
    window_[writePosition_] = value;
    writePosition_ = (writePosition_ + 1) & kWindowMask;
    ++total_;
  }
  uint64_t Produced() const { return total_ - entryStart_; }
  // Copies the window's bytes produced since the last flush to the output.
  bool Flush(uint8_t* output, uint32_t unpackedSize);

  std::unique_ptr<uint8_t[]> window_;
  uint32_t writePosition_ = 0;
  // Bytes written since the last reset: a distance reaching further back
  // reads the cleared window (zeros).
  uint64_t total_ = 0;
  // Where the current entry began in that count, and how much of it has
  // been flushed to the output.
  uint64_t entryStart_ = 0;
  uint64_t flushed_ = 0;
  uint32_t outputCrc_ = 0;

  HuffmanDecoder main_;
  HuffmanDecoder distance_;
  HuffmanDecoder length_;
  HuffmanDecoder bitLength_;
  HuffmanDecoder audio_[kMaxAudioChannels];
  uint8_t previousLengths_[kMaxTableSize] = {};

  uint32_t ring_[4] = {};
  uint32_t ringCounter_ = 0;
  uint32_t lastDistance_ = 0;
  uint32_t lastLength_ = 0;

  bool audioMode_ = false;
  int channels_ = 1;
  int currentChannel_ = 0;
  int channelDelta_ = 0;
  AudioChannel audioChannels_[kMaxAudioChannels] = {};
};

// Upper bound of the bytes a packed stream of `packedSize` bytes can
// describe: every symbol takes at least one bit and produces at most one
// longest match.
uint64_t MaxUnpackedSize(uint64_t packedSize);

}  // namespace klx::rar2
