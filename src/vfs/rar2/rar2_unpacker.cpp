#include "vfs/rar2/rar2_unpacker.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "vfs/rar2/rar2_crc32.h"

namespace klx::rar2 {

namespace {

// The longest match one symbol can describe.
constexpr uint32_t kMaxMatchLength = 260;
// How far past its packed bytes a stream may read before it counts as
// truncated: the decoder peeks ahead, a well-formed stream never consumes
// beyond its end.
constexpr size_t kInputSlack = 4;
// Unflushed bytes allowed in the window before a flush.
constexpr uint64_t kFlushThreshold = kWindowSize - 4 * kMaxMatchLength;
// Bytes that must remain after an entry for the stream to carry a table
// switch for the next entry of a solid archive.
constexpr size_t kTrailingTableBytes = 5;

}  // namespace

uint64_t MaxUnpackedSize(uint64_t packedSize) { return (packedSize + kInputSlack) * 8 * kMaxMatchLength; }

Unpacker20::Unpacker20() { Reset(); }

void Unpacker20::Reset() {
  writePosition_ = 0;
  total_ = 0;
  std::memset(previousLengths_, 0, sizeof(previousLengths_));
  std::memset(ring_, 0, sizeof(ring_));
  ringCounter_ = 0;
  lastDistance_ = 0;
  lastLength_ = 0;
  audioMode_ = false;
  channels_ = 1;
  currentChannel_ = 0;
  channelDelta_ = 0;
  std::memset(audioChannels_, 0, sizeof(audioChannels_));
}

bool Unpacker20::ReadTables(BitReader& reader) {
  const uint32_t header = reader.Peek16();
  audioMode_ = (header & 0x8000) != 0;
  if ((header & 0x4000) == 0) std::memset(previousLengths_, 0, sizeof(previousLengths_));
  reader.Skip(2);
  int tableSize = kLzTableSize;
  if (audioMode_) {
    channels_ = static_cast<int>((header >> 12) & 3) + 1;
    if (currentChannel_ >= channels_) currentChannel_ = 0;
    reader.Skip(2);
    tableSize = kAudioSymbols * channels_;
  }

  uint8_t bitLengths[kBitLengthSymbols];
  for (uint8_t& length : bitLengths) length = static_cast<uint8_t>(reader.Read(4));
  bitLength_.Build(bitLengths, kBitLengthSymbols);

  uint8_t table[kMaxTableSize] = {};
  for (int i = 0; i < tableSize;) {
    if (reader.IsExhausted(kInputSlack)) return false;
    const int symbol = bitLength_.Decode(reader);
    if (symbol < 16) {
      table[i] = static_cast<uint8_t>((symbol + previousLengths_[i]) & 0x0F);
      ++i;
    } else if (symbol == kRunRepeatPrevious) {
      uint32_t run = reader.Read(2) + 3;
      // Nothing precedes the first length: the table is damaged.
      if (i == 0) return false;
      for (; run > 0 && i < tableSize; --run, ++i) table[i] = table[i - 1];
    } else {
      uint32_t run = symbol == kRunZerosShort ? reader.Read(3) + 3 : reader.Read(7) + 11;
      for (; run > 0 && i < tableSize; --run, ++i) table[i] = 0;
    }
  }

  if (audioMode_) {
    for (int channel = 0; channel < channels_; ++channel)
      audio_[channel].Build(table + channel * kAudioSymbols, kAudioSymbols);
  } else {
    main_.Build(table, kMainSymbols);
    distance_.Build(table + kMainSymbols, kDistanceSymbols);
    length_.Build(table + kMainSymbols + kDistanceSymbols, kLengthSymbols);
  }
  std::memcpy(previousLengths_, table, sizeof(previousLengths_));
  return true;
}

uint8_t Unpacker20::PredictAudio(int delta) {
  AudioChannel& v = audioChannels_[currentChannel_];
  ++v.byteCount;
  v.deltas[3] = v.deltas[2];
  v.deltas[2] = v.deltas[1];
  v.deltas[1] = v.lastDelta - v.deltas[0];
  v.deltas[0] = v.lastDelta;
  const int predicted = ((8 * static_cast<int>(v.lastByte) + v.weights[0] * v.deltas[0] +
                          v.weights[1] * v.deltas[1] + v.weights[2] * v.deltas[2] +
                          v.weights[3] * v.deltas[3] + v.weights[4] * channelDelta_) >>
                         3) &
                        0xFF;
  const uint32_t value = static_cast<uint32_t>(predicted - delta) & 0xFF;

  const int e = static_cast<int>(static_cast<int8_t>(static_cast<uint8_t>(delta))) * 8;
  const int terms[5] = {v.deltas[0], v.deltas[1], v.deltas[2], v.deltas[3], channelDelta_};
  v.errors[0] += static_cast<uint32_t>(std::abs(e));
  for (int i = 0; i < 5; ++i) {
    v.errors[1 + 2 * i] += static_cast<uint32_t>(std::abs(e - terms[i]));
    v.errors[2 + 2 * i] += static_cast<uint32_t>(std::abs(e + terms[i]));
  }

  channelDelta_ = v.lastDelta = static_cast<int8_t>(static_cast<uint8_t>(value - v.lastByte));
  v.lastByte = value;

  if ((v.byteCount & 0x1F) == 0) {
    uint32_t smallest = v.errors[0];
    int smallestIndex = 0;
    v.errors[0] = 0;
    for (int i = 1; i < 11; ++i) {
      if (v.errors[i] < smallest) {
        smallest = v.errors[i];
        smallestIndex = i;
      }
      v.errors[i] = 0;
    }
    if (smallestIndex != 0) {
      int& weight = v.weights[(smallestIndex - 1) / 2];
      if (smallestIndex % 2 == 1) {
        if (weight >= -16) --weight;
      } else {
        if (weight < 16) ++weight;
      }
    }
  }
  return static_cast<uint8_t>(value);
}

void Unpacker20::CopyUncommon(uint32_t length, uint32_t distance) {
  uint8_t* window = window_.get();
  uint32_t destination = writePosition_;
  uint32_t source = (destination - distance) & kWindowMask;
  const uint64_t filled = total_;
  // Bytes before the start of the stream read as the cleared window; so
  // does a distance of 0 (the byte being written) until the window is full.
  for (uint32_t i = 0; i < length; ++i) {
    const uint64_t written = filled + i;  // bytes before this one
    uint8_t value;
    if (distance == 0) {
      value = written >= kWindowSize ? window[destination] : 0;
    } else if (distance > written && written < kWindowSize) {
      value = 0;
    } else {
      value = window[source];
    }
    window[destination] = value;
    destination = (destination + 1) & kWindowMask;
    source = (source + 1) & kWindowMask;
  }
  writePosition_ = destination;
  total_ += length;
}

bool Unpacker20::Flush(uint8_t* output, uint32_t unpackedSize) {
  uint64_t pending = Produced() - flushed_;
  if (pending == 0) return true;
  bool fits = true;
  if (flushed_ + pending > unpackedSize) {
    pending = unpackedSize - flushed_;
    fits = false;
  }
  if (output != nullptr && pending > 0) {
    // The pending bytes end at the write position, possibly wrapping.
    const uint32_t unflushed = static_cast<uint32_t>(Produced() - flushed_);
    uint32_t start = (writePosition_ - unflushed) & kWindowMask;
    uint8_t* target = output + flushed_;
    uint64_t left = pending;
    while (left > 0) {
      const uint64_t chunk = left < kWindowSize - start ? left : kWindowSize - start;
      std::memcpy(target, window_.get() + start, static_cast<size_t>(chunk));
      outputCrc_ = Crc32(target, static_cast<size_t>(chunk), outputCrc_);
      target += chunk;
      left -= chunk;
      start = (start + static_cast<uint32_t>(chunk)) & kWindowMask;
    }
  }
  flushed_ = Produced();
  return fits;
}

bool Unpacker20::DecodeAudioBatch(BitReader& reader, uint64_t stop) {
  while (total_ < stop && audioMode_) {
    if (reader.IsExhausted(kInputSlack)) return true;
    const int symbol = audio_[currentChannel_].Decode(reader);
    if (symbol == kAudioSymbolNewTable) {
      if (!ReadTables(reader)) return false;
      continue;
    }
    PutByte(PredictAudio(symbol));
    if (++currentChannel_ == channels_) currentChannel_ = 0;
  }
  return true;
}

bool Unpacker20::DecodeLzBatch(BitReader& reader, uint64_t stop) {
  // The window position and byte count live in locals here: stores into the
  // byte window would otherwise force every member to be reloaded.
  uint8_t* const window = window_.get();
  uint32_t position = writePosition_;
  uint64_t total = total_;
  while (total < stop) {
    const int symbol = main_.Decode(reader);
    if (symbol < 256) {
      window[position] = static_cast<uint8_t>(symbol);
      position = (position + 1) & kWindowMask;
      ++total;
      continue;
    }
    // A match may be empty (a repeat before any match): past the end of the
    // input, zero bits could repeat it for ever without producing a byte.
    if (reader.IsExhausted(kInputSlack)) break;
    uint32_t length;
    uint32_t distance;
    if (symbol >= kSymbolMatch) {
      const int lengthSymbol = symbol - kSymbolMatch;
      length = kLengthBase.value[lengthSymbol] + reader.Read(kLengthBits[lengthSymbol]) + 3;
      const int distanceSymbol = distance_.Decode(reader);
      distance = kDistanceBase.value[distanceSymbol] + reader.Read(kDistanceBits[distanceSymbol]) + 1;
      length += LongMatchBonus(distance);
    } else if (symbol == kSymbolRepeatLast) {
      length = lastLength_;
      distance = lastDistance_;
    } else if (symbol < kSymbolShortDistance) {
      distance = ring_[(ringCounter_ - static_cast<uint32_t>(symbol - kSymbolRepeatLast)) & 3];
      const int lengthSymbol = length_.Decode(reader);
      length = kLengthBase.value[lengthSymbol] + reader.Read(kLengthBits[lengthSymbol]) + 2;
      length += OldDistanceBonus(distance);
    } else if (symbol < kSymbolNewTable) {
      const int index = symbol - kSymbolShortDistance;
      distance = kShortDistanceBase[index] + reader.Read(kShortDistanceBits[index]) + 1;
      length = 2;
    } else {
      writePosition_ = position;
      total_ = total;
      if (!ReadTables(reader)) return false;
      if (audioMode_) return true;
      continue;
    }

    ring_[ringCounter_++ & 3] = distance;
    lastDistance_ = distance;
    lastLength_ = length;
    const uint32_t source = (position - distance) & kWindowMask;
    // Common case: the source lies in what was written since the reset, and
    // neither range wraps around the window's end.
    if (distance != 0 && distance <= total && source + length <= kWindowSize &&
        position + length <= kWindowSize) {
      uint8_t* to = window + position;
      const uint8_t* from = window + source;
      if (distance >= length) {
        std::memcpy(to, from, length);
      } else if (distance >= 8) {
        // Eight bytes at a time: each chunk reads only bytes already written.
        uint32_t i = 0;
        for (; i + 8 <= length; i += 8) std::memcpy(to + i, from + i, 8);
        for (; i < length; ++i) to[i] = from[i];
      } else {
        for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
      }
      position = (position + length) & kWindowMask;
      total += length;
    } else {
      writePosition_ = position;
      total_ = total;
      CopyUncommon(length, distance);
      position = writePosition_;
      total = total_;
    }
  }
  writePosition_ = position;
  total_ = total;
  return true;
}

Unpacker20::Result Unpacker20::Unpack(const uint8_t* packed, size_t packedSize, bool continuesSolid,
                                      uint8_t* output, uint32_t unpackedSize) {
  if (!window_) {
    window_.reset(new (std::nothrow) uint8_t[kWindowSize]());
    if (!window_) return Result::kOutOfMemory;
  }
  BitReader reader(packed, packedSize);
  if (!continuesSolid) {
    Reset();
    if (!ReadTables(reader)) return Result::kBadTables;
  }
  entryStart_ = total_;
  flushed_ = 0;
  outputCrc_ = 0;

  Result result = Result::kOk;
  while (Produced() < unpackedSize) {
    if (Produced() - flushed_ >= kFlushThreshold && !Flush(output, unpackedSize)) return Result::kOverrun;
    if (reader.IsExhausted(kInputSlack)) {
      result = Result::kInputExhausted;
      break;
    }
    // Decode up to the next flush or the end of the entry. A damaged stream
    // produces at most one batch of garbage before the checks above see it.
    const uint64_t batch = std::min<uint64_t>(unpackedSize, flushed_ + kFlushThreshold);
    const uint64_t stop = entryStart_ + batch;
    const bool tablesOk = audioMode_ ? DecodeAudioBatch(reader, stop) : DecodeLzBatch(reader, stop);
    if (!tablesOk) return Result::kBadTables;
  }

  // A solid archive may switch tables for its next entry right behind this
  // entry's last symbol.
  if (result == Result::kOk && reader.RemainingBytes() >= kTrailingTableBytes) {
    const int symbol = audioMode_ ? audio_[currentChannel_].Decode(reader) : main_.Decode(reader);
    if (symbol == (audioMode_ ? kAudioSymbolNewTable : kSymbolNewTable) && !ReadTables(reader))
      return Result::kBadTables;
  }
  if (!Flush(output, unpackedSize)) return Result::kOverrun;
  return result;
}

}  // namespace klx::rar2
