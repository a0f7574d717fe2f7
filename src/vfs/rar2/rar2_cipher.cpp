#include "vfs/rar2/rar2_cipher.h"

#include <cstring>
#include <utility>

#include "core/little_endian.h"
#include "vfs/rar2/rar2_crc32.h"

namespace klx::rar2 {

namespace {

constexpr int kRounds = 32;

// The cipher's starting substitution: a fixed permutation of 0..255.
constexpr uint8_t kInitialTable[256] = {
    215, 19,  149, 35,  73,  197, 192, 205, 249, 28,  16,  119, 48,  221, 2,   42,  232, 1,   177, 233,
    14,  88,  219, 25,  223, 195, 244, 90,  87,  239, 153, 137, 255, 199, 147, 70,  92,  66,  246, 13,
    216, 40,  62,  29,  217, 230, 86,  6,   71,  24,  171, 196, 101, 113, 218, 123, 93,  91,  163, 178,
    202, 67,  44,  235, 107, 250, 75,  234, 49,  167, 125, 211, 83,  114, 157, 144, 32,  193, 143, 36,
    158, 124, 247, 187, 89,  214, 141, 47,  121, 228, 61,  130, 213, 194, 174, 251, 97,  110, 54,  229,
    115, 57,  152, 94,  105, 243, 212, 55,  209, 245, 63,  11,  164, 200, 31,  156, 81,  176, 227, 21,
    76,  99,  139, 188, 127, 17,  248, 51,  207, 120, 189, 210, 8,   226, 41,  72,  183, 203, 135, 165,
    166, 60,  98,  7,   122, 38,  155, 170, 69,  172, 252, 238, 39,  134, 59,  128, 236, 27,  240, 80,
    131, 3,   85,  206, 145, 79,  154, 142, 159, 220, 201, 133, 74,  64,  20,  129, 224, 185, 138, 103,
    173, 182, 43,  34,  254, 82,  198, 151, 231, 180, 58,  10,  118, 26,  102, 12,  50,  132, 22,  191,
    136, 111, 162, 179, 45,  4,   148, 108, 161, 56,  78,  126, 242, 222, 15,  175, 146, 23,  33,  241,
    181, 190, 77,  225, 0,   46,  169, 186, 68,  95,  237, 65,  53,  208, 253, 168, 9,   18,  100, 52,
    116, 184, 160, 96,  109, 37,  30,  106, 140, 104, 150, 5,   204, 117, 112, 84};

constexpr uint32_t kInitialKeys[4] = {0xD3A3B879u, 0x3F6D12F7u, 0x7515A235u, 0xA4E7F123u};

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

}  // namespace

Cipher20::Cipher20(const char* key, size_t length) {
  if (length > kMaxKeyLength) length = kMaxKeyLength;
  // The key padded with zeros to whole blocks, plus one byte so that the
  // pair lookup below may read one past an odd-length key.
  uint8_t padded[kMaxKeyLength + kBlockSize + 1] = {};
  if (length > 0) std::memcpy(padded, key, length);

  std::memcpy(keys_, kInitialKeys, sizeof(keys_));
  std::memcpy(table_, kInitialTable, sizeof(table_));
  for (uint32_t j = 0; j < 256; ++j) {
    for (size_t i = 0; i < length; i += 2) {
      uint32_t n1 = Crc32TableEntry(uint8_t(padded[i] - j)) & 0xFF;
      uint32_t n2 = Crc32TableEntry(uint8_t(padded[i + 1] + j)) & 0xFF;
      for (uint32_t k = 1; n1 != n2; n1 = (n1 + 1) & 0xFF, ++k) std::swap(table_[n1], table_[(n1 + i + k) & 0xFF]);
    }
  }
  for (size_t i = 0; i < length; i += kBlockSize) EncryptBlock(padded + i);
}

uint32_t Cipher20::Substitute(uint32_t v) const {
  return uint32_t{table_[v & 0xFF]} | uint32_t{table_[(v >> 8) & 0xFF]} << 8 |
         uint32_t{table_[(v >> 16) & 0xFF]} << 16 | uint32_t{table_[v >> 24]} << 24;
}

void Cipher20::UpdateKeys(const uint8_t* ciphertext) {
  for (int i = 0; i < 16; i += 4)
    for (int k = 0; k < 4; ++k) keys_[k] ^= Crc32TableEntry(ciphertext[i + k]);
}

void Cipher20::Transform(uint8_t* block, bool decrypt) const {
  uint32_t a = GetLE32(block) ^ keys_[0];
  uint32_t b = GetLE32(block + 4) ^ keys_[1];
  uint32_t c = GetLE32(block + 8) ^ keys_[2];
  uint32_t d = GetLE32(block + 12) ^ keys_[3];
  // Decryption runs the same Feistel rounds with the round keys backwards.
  for (int step = 0; step < kRounds; ++step) {
    const uint32_t key = keys_[(decrypt ? kRounds - 1 - step : step) & 3];
    const uint32_t ta = a ^ Substitute((c + Rotl(d, 11)) ^ key);
    const uint32_t tb = b ^ Substitute((d ^ Rotl(c, 17)) + key);
    a = c;
    b = d;
    c = ta;
    d = tb;
  }
  SetLE32(block, c ^ keys_[0]);
  SetLE32(block + 4, d ^ keys_[1]);
  SetLE32(block + 8, a ^ keys_[2]);
  SetLE32(block + 12, b ^ keys_[3]);
}

void Cipher20::EncryptBlock(uint8_t* block) {
  Transform(block, false);
  UpdateKeys(block);
}

void Cipher20::DecryptBlock(uint8_t* block) {
  uint8_t ciphertext[kBlockSize];
  std::memcpy(ciphertext, block, kBlockSize);
  Transform(block, true);
  UpdateKeys(ciphertext);
}

void Cipher20::Decrypt(uint8_t* bytes, size_t count) {
  for (size_t i = 0; i + kBlockSize <= count; i += kBlockSize) DecryptBlock(bytes + i);
}

void Cipher20::Encrypt(uint8_t* bytes, size_t count) {
  for (size_t i = 0; i + kBlockSize <= count; i += kBlockSize) EncryptBlock(bytes + i);
}

}  // namespace klx::rar2
