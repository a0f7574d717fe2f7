#include "vfs/rar2/rar2_unpacker.h"

#include <cstdlib>
#include <cstring>
#include <new>

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
  filled_ = 0;
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

void Unpacker20::PutByte(uint8_t value) {
  window_[writePosition_] = value;
  writePosition_ = (writePosition_ + 1) & kWindowMask;
  if (filled_ < kWindowSize) ++filled_;
  ++produced_;
}

void Unpacker20::CopyMatch(uint32_t length, uint32_t distance) {
  ring_[ringCounter_++ & 3] = distance;
  lastDistance_ = distance;
  lastLength_ = length;

  uint8_t* window = window_.get();
  uint32_t source = (writePosition_ - distance) & kWindowMask;
  uint32_t i = 0;
  // Bytes before the start of the stream read as the cleared window; so
  // does a distance of 0 (the byte being written) until the window is full.
  if (distance == 0) {
    for (; i < length; ++i) {
      if (filled_ < kWindowSize) window[writePosition_] = 0;
      writePosition_ = (writePosition_ + 1) & kWindowMask;
    }
  } else if (distance > filled_) {
    for (; i < length && i < distance - filled_; ++i) {
      window[writePosition_] = 0;
      writePosition_ = (writePosition_ + 1) & kWindowMask;
      source = (source + 1) & kWindowMask;
    }
  }
  const uint32_t rest = length - i;
  if (distance >= rest && distance < kWindowSize && source + rest <= kWindowSize && writePosition_ + rest <= kWindowSize) {
    std::memcpy(window + writePosition_, window + source, rest);
    writePosition_ = (writePosition_ + rest) & kWindowMask;
  } else {
    for (; i < length; ++i) {
      window[writePosition_] = window[source];
      writePosition_ = (writePosition_ + 1) & kWindowMask;
      source = (source + 1) & kWindowMask;
    }
  }
  filled_ = filled_ + length < kWindowSize ? filled_ + length : kWindowSize;
  produced_ += length;
}

bool Unpacker20::Flush(uint8_t* output, uint32_t unpackedSize) {
  uint64_t pending = produced_ - flushed_;
  if (pending == 0) return true;
  bool fits = true;
  if (flushed_ + pending > unpackedSize) {
    pending = unpackedSize - flushed_;
    fits = false;
  }
  if (output != nullptr && pending > 0) {
    // The pending bytes end at the write position, possibly wrapping.
    const uint32_t unflushed = static_cast<uint32_t>(produced_ - flushed_);
    uint32_t start = (writePosition_ - unflushed) & kWindowMask;
    uint8_t* target = output + flushed_;
    uint64_t left = pending;
    while (left > 0) {
      const uint64_t chunk = left < kWindowSize - start ? left : kWindowSize - start;
      std::memcpy(target, window_.get() + start, static_cast<size_t>(chunk));
      target += chunk;
      left -= chunk;
      start = (start + static_cast<uint32_t>(chunk)) & kWindowMask;
    }
  }
  flushed_ = produced_;
  return fits;
}

Unpacker20::Result Unpacker20::Unpack(const uint8_t* packed, size_t packedSize, bool continuesSolid,
                                      uint8_t* output, uint32_t unpackedSize) {
  if (!window_) {
    window_.reset(new (std::nothrow) uint8_t[kWindowSize]());
    if (!window_) return Result::kOutOfMemory;
  }
  produced_ = 0;
  flushed_ = 0;
  BitReader reader(packed, packedSize);
  if (!continuesSolid) {
    Reset();
    if (!ReadTables(reader)) return Result::kBadTables;
  }

  Result result = Result::kOk;
  while (produced_ < unpackedSize) {
    if (produced_ - flushed_ >= kFlushThreshold && !Flush(output, unpackedSize)) return Result::kOverrun;
    if (reader.IsExhausted(kInputSlack)) {
      result = Result::kInputExhausted;
      break;
    }

    if (audioMode_) {
      const int symbol = audio_[currentChannel_].Decode(reader);
      if (symbol == kAudioSymbolNewTable) {
        if (!ReadTables(reader)) return Result::kBadTables;
        continue;
      }
      PutByte(PredictAudio(symbol));
      if (++currentChannel_ == channels_) currentChannel_ = 0;
      continue;
    }

    const int symbol = main_.Decode(reader);
    if (symbol < 256) {
      PutByte(static_cast<uint8_t>(symbol));
    } else if (symbol >= kSymbolMatch) {
      const int lengthSymbol = symbol - kSymbolMatch;
      uint32_t length = kLengthBase.value[lengthSymbol] + reader.Read(kLengthBits[lengthSymbol]) + 3;
      const int distanceSymbol = distance_.Decode(reader);
      const uint32_t distance =
          kDistanceBase.value[distanceSymbol] + reader.Read(kDistanceBits[distanceSymbol]) + 1;
      length += LongMatchBonus(distance);
      CopyMatch(length, distance);
    } else if (symbol == kSymbolRepeatLast) {
      CopyMatch(lastLength_, lastDistance_);
    } else if (symbol < kSymbolShortDistance) {
      const uint32_t distance = ring_[(ringCounter_ - static_cast<uint32_t>(symbol - kSymbolRepeatLast)) & 3];
      const int lengthSymbol = length_.Decode(reader);
      uint32_t length = kLengthBase.value[lengthSymbol] + reader.Read(kLengthBits[lengthSymbol]) + 2;
      length += OldDistanceBonus(distance);
      CopyMatch(length, distance);
    } else if (symbol < kSymbolNewTable) {
      const int index = symbol - kSymbolShortDistance;
      const uint32_t distance = kShortDistanceBase[index] + reader.Read(kShortDistanceBits[index]) + 1;
      CopyMatch(2, distance);
    } else {
      if (!ReadTables(reader)) return Result::kBadTables;
    }
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
