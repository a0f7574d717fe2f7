#pragma once
// Constants of the RAR 2.0 archive format shared by the reader and the
// writer: block layout, flags, and the symbol alphabet of the compressed
// stream with its length and distance tables.

#include <cstdint>

namespace klx::rar2 {

// The two marker blocks that may open an archive.
inline constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
inline constexpr uint8_t kOldMarker[7] = {0x55, 0x6E, 0x69, 0x71, 0x75, 0x45, 0x21};
inline constexpr int kMarkerSize = 7;

// Block types.
inline constexpr uint8_t kMainHeaderType = 0x73;
inline constexpr uint8_t kFileHeaderType = 0x74;
inline constexpr uint8_t kSubBlockType = 0x77;

inline constexpr int kMainHeaderSize = 13;
inline constexpr int kFileHeaderSize = 32;  // without the name
inline constexpr int kMinBlockHeaderSize = 7;

// Main header flags.
inline constexpr uint16_t kMainSolid = 0x0008;
// Block and file header flags.
inline constexpr uint16_t kBlockHasData = 0x8000;
inline constexpr uint16_t kFileSolid = 0x0010;
inline constexpr uint16_t kFileEncrypted = 0x0004;
inline constexpr uint16_t kFileDictionary1M = 0x0080;
inline constexpr uint16_t kFileDirectoryBits = 0x00E0;
// Host systems: the one an entry was packed on decides what its attributes mean.
inline constexpr uint8_t kHostMsDos = 0;
inline constexpr uint8_t kHostUnix = 3;
// File attribute of a directory entry.
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeArchive = 0x20;
// A Unix host stores the file mode: its type bits, then the permissions.
inline constexpr uint32_t kUnixTypeMask = 0xF000;
inline constexpr uint32_t kUnixDirectory = 0x4000;
inline constexpr uint32_t kUnixRegularFile = 0x8000;
inline constexpr uint32_t kUnixPermissionMask = 0x0FFF;

// Methods and the unpack versions a reader accepts.
inline constexpr uint8_t kMethodStore = 0x30;
inline constexpr uint8_t kMethodFastest = 0x31;
inline constexpr uint8_t kMethodBest = 0x35;
inline constexpr uint8_t kMinUnpackVersion = 13;
inline constexpr uint8_t kMaxUnpackVersion = 20;

// Names longer than this are cut on reading.
inline constexpr int kMaxNameLength = 259;

// Compressed stream.
inline constexpr uint32_t kWindowSize = 0x100000;
inline constexpr uint32_t kWindowMask = kWindowSize - 1;

inline constexpr int kMainSymbols = 298;
inline constexpr int kDistanceSymbols = 48;
inline constexpr int kLengthSymbols = 28;
inline constexpr int kBitLengthSymbols = 19;
inline constexpr int kAudioSymbols = 257;
inline constexpr int kMaxAudioChannels = 4;
inline constexpr int kLzTableSize = kMainSymbols + kDistanceSymbols + kLengthSymbols;  // 374
inline constexpr int kMaxTableSize = kAudioSymbols * kMaxAudioChannels;               // 1028
inline constexpr int kMaxCodeLength = 15;

// Main alphabet.
inline constexpr int kSymbolRepeatLast = 256;     // last length, last distance
inline constexpr int kSymbolOldDistance = 257;    // 257..260: ring entries 1..4 back
inline constexpr int kSymbolShortDistance = 261;  // 261..268: length 2, short distance
inline constexpr int kSymbolNewTable = 269;
inline constexpr int kSymbolMatch = 270;          // 270..297: length symbol + 270
inline constexpr int kAudioSymbolNewTable = 256;

// Bit-length alphabet: 0..15 lengths, then the run symbols.
inline constexpr int kRunRepeatPrevious = 16;  // 3 + 2 bits copies of the previous
inline constexpr int kRunZerosShort = 17;      // 3 + 3 bits zeros
inline constexpr int kRunZerosLong = 18;       // 11 + 7 bits zeros

inline constexpr uint8_t kLengthBits[kLengthSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                        2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
inline constexpr uint8_t kDistanceBits[kDistanceSymbols] = {
    0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
    11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
inline constexpr uint8_t kShortDistanceBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};
inline constexpr uint32_t kShortDistanceBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};

// Bases derived from the extra-bit counts: each base is the previous one
// plus two to the previous count.
template <int N>
struct BaseTable {
  uint32_t value[N];
  constexpr explicit BaseTable(const uint8_t (&bits)[N]) : value{} {
    uint32_t base = 0;
    for (int i = 0; i < N; ++i) {
      value[i] = base;
      base += uint32_t{1} << bits[i];
    }
  }
};
inline constexpr BaseTable<kLengthSymbols> kLengthBase{kLengthBits};
inline constexpr BaseTable<kDistanceSymbols> kDistanceBase{kDistanceBits};

static_assert(kLengthBase.value[27] == 224);
static_assert(kDistanceBase.value[47] == 983040);

// Length added to a long match (symbols 270..297) for its distance.
constexpr uint32_t LongMatchBonus(uint32_t distance) {
  return (distance >= 0x2000 ? 1u : 0u) + (distance >= 0x40000 ? 1u : 0u);
}
// Length added to a match that reuses a ring distance (symbols 257..260).
constexpr uint32_t OldDistanceBonus(uint32_t distance) {
  return (distance >= 0x101 ? 1u : 0u) + LongMatchBonus(distance);
}

}  // namespace klx::rar2
