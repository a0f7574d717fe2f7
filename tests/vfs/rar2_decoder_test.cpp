// The decoder's building blocks: canonical Huffman decoding (also of damaged
// tables), the bit reader at the end of its input, the cipher and CRC-32.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "vfs/rar2/rar2_bit_reader.h"
#include "vfs/rar2/rar2_cipher.h"
#include "vfs/rar2/rar2_crc32.h"
#include "vfs/rar2/rar2_huffman.h"
#include "vfs/rar2/rar2_unpacker.h"

namespace klx::rar2 {
namespace {

// Most-significant-bit-first writer for building streams by hand.
class Bits {
 public:
  void Put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (used_ % 8));
      ++used_;
    }
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;
};

TEST(Rar2Huffman, DecodesCanonicalCodesIncludingFifteenBitOnes) {
  // Lengths 1,2,3,...,14,15,15: a complete code with the longest codes the
  // stream allows. Canonical codes: 0, 10, 110, ..., 1...10, 1...11.
  uint8_t lengths[16];
  for (int i = 0; i < 15; ++i) lengths[i] = static_cast<uint8_t>(i + 1);
  lengths[15] = 15;
  HuffmanDecoder decoder;
  decoder.Build(lengths, 16);
  Bits bits;
  const int order[] = {3, 0, 15, 14, 9, 1, 12};
  for (int symbol : order) {
    const int length = lengths[symbol];
    const uint32_t code = symbol == 15 ? 0x7FFF : ((1u << length) - 2) & ((1u << length) - 1);
    bits.Put(symbol == 0 ? 0 : code, length);
  }
  BitReader reader(bits.bytes().data(), bits.bytes().size());
  for (int symbol : order) EXPECT_EQ(decoder.Decode(reader), symbol);
}

TEST(Rar2Huffman, DamagedTablesStillDecodeToValidSymbols) {
  HuffmanDecoder decoder;
  // Over-subscribed: three codes of length 1.
  const uint8_t tooMany[5] = {1, 1, 1, 0, 2};
  // Empty: no code at all.
  const uint8_t none[5] = {0, 0, 0, 0, 0};
  // Incomplete: one code of length 3 only.
  const uint8_t tooFew[5] = {0, 0, 3, 0, 0};
  for (const uint8_t* lengths : {tooMany, none, tooFew}) {
    decoder.Build(lengths, 5);
    for (uint32_t first = 0; first < 256; ++first) {
      const uint8_t bytes[2] = {static_cast<uint8_t>(first), 0x5A};
      BitReader reader(bytes, 2);
      const int symbol = decoder.Decode(reader);
      EXPECT_GE(symbol, 0);
      EXPECT_LT(symbol, 5);
    }
  }
  // The incomplete code decodes its one symbol from zeros, and an unknown
  // code falls back to the first symbol of the sorted order.
  decoder.Build(tooFew, 5);
  const uint8_t zeros[2] = {0, 0};
  BitReader zeroReader(zeros, 2);
  EXPECT_EQ(decoder.Decode(zeroReader), 2);
  const uint8_t ones[2] = {0xFF, 0xFF};
  BitReader oneReader(ones, 2);
  EXPECT_EQ(decoder.Decode(oneReader), 2);
}

TEST(Rar2BitReader, ReadsZerosPastTheEndAndNoticesExhaustion) {
  const uint8_t bytes[3] = {0xAB, 0xCD, 0xEF};
  BitReader reader(bytes, 3);
  EXPECT_EQ(reader.Read(4), 0xAu);
  EXPECT_EQ(reader.Peek16(), 0xBCDEu);
  reader.Skip(12);
  EXPECT_EQ(reader.Peek16(), 0xEF00u);
  EXPECT_EQ(reader.RemainingBytes(), 1u);
  for (int i = 0; i < 5; ++i) {
    reader.Peek16();
    reader.Skip(8);
  }
  EXPECT_EQ(reader.Peek16(), 0u);
  EXPECT_FALSE(reader.IsExhausted(4));
  reader.Peek16();
  reader.Skip(1);
  EXPECT_TRUE(reader.IsExhausted(4));
}

TEST(Rar2Unpacker, TableStartingWithARepeatIsRefused) {
  Bits bits;
  bits.Put(0, 2);  // LZ mode, fresh lengths
  // Bit-length code: symbols 0 and 16 get length 1 each.
  for (int i = 0; i < 19; ++i) bits.Put(i == 0 || i == 16 ? 1 : 0, 4);
  bits.Put(1, 1);  // symbol 16 first: nothing to repeat
  bits.Put(0, 2);
  for (int i = 0; i < 64; ++i) bits.Put(0, 8);
  Unpacker20 unpacker;
  std::vector<uint8_t> out(16);
  EXPECT_EQ(unpacker.Unpack(bits.bytes().data(), bits.bytes().size(), false, out.data(), 16),
            Unpacker20::Result::kBadTables);
}

TEST(Rar2Unpacker, LiteralsMatchesAndTheEndOfInput) {
  // Main table: literals 'a' and 'b' and symbol 270 (length symbol 0) with
  // length 2; distance symbol 0 length 1; all else unused.
  Bits bits;
  bits.Put(0, 2);
  // Bit-length code: lengths 0, 1, 2 and run symbol 18 get 2 bits each.
  for (int i = 0; i < 19; ++i) bits.Put(i <= 2 || i == 18 ? 2 : 0, 4);
  // Canonical codes: 0 -> 00, 1 -> 01, 2 -> 10, 18 -> 11.
  auto zeros = [&bits](int count) {
    while (count >= 11) {
      const int run = count > 138 ? 138 : count;
      bits.Put(3, 2);
      bits.Put(static_cast<uint32_t>(run - 11), 7);
      count -= run;
    }
    for (; count > 0; --count) bits.Put(0, 2);
  };
  zeros('a');
  bits.Put(2, 2);  // 'a': length 2
  bits.Put(2, 2);  // 'b': length 2
  zeros(270 - 'c');
  bits.Put(1, 2);  // 270: length 1
  zeros(298 - 271);
  bits.Put(1, 2);  // distance symbol 0: length 1
  zeros(47 + 28);
  // Codes: 270 -> 0, 'a' -> 10, 'b' -> 11; distance 0 -> 0.
  bits.Put(2, 2);                 // a
  bits.Put(3, 2);                 // b
  bits.Put(0, 1), bits.Put(0, 1);  // match length 3, distance 1: "bbb"
  bits.Put(2, 2);                 // a
  Unpacker20 unpacker;
  std::vector<uint8_t> out(6);
  ASSERT_EQ(unpacker.Unpack(bits.bytes().data(), bits.bytes().size(), false, out.data(), 6),
            Unpacker20::Result::kOk);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abbbba");
  // Asking for more than the stream holds runs out of input instead of
  // decoding zeros for ever.
  std::vector<uint8_t> more(100000);
  EXPECT_NE(unpacker.Unpack(bits.bytes().data(), bits.bytes().size(), false, more.data(), 100000),
            Unpacker20::Result::kOk);
}

TEST(Rar2Unpacker, EmptyRepeatsPastTheEndOfInputStop) {
  // Main table: symbols 256 and 257 with one-bit codes; 256 is code 0, so
  // the zeros past the end read as "repeat the last match", which is empty
  // before any match was made.
  Bits bits;
  bits.Put(0, 2);
  // Bit-length code: lengths 0 and 1 and run symbol 18 get 2 bits each.
  for (int i = 0; i < 19; ++i) bits.Put(i <= 1 || i == 18 ? 2 : 0, 4);
  // Canonical codes: 0 -> 00, 1 -> 01, 18 -> 10.
  auto zeros = [&bits](int count) {
    while (count >= 11) {
      const int run = count > 138 ? 138 : count;
      bits.Put(2, 2);
      bits.Put(static_cast<uint32_t>(run - 11), 7);
      count -= run;
    }
    for (; count > 0; --count) bits.Put(0, 2);
  };
  zeros(256);
  bits.Put(1, 2);  // 256: length 1
  bits.Put(1, 2);  // 257: length 1
  zeros(374 - 258);
  Unpacker20 unpacker;
  std::vector<uint8_t> out(1000);
  EXPECT_EQ(unpacker.Unpack(bits.bytes().data(), bits.bytes().size(), false, out.data(), 1000),
            Unpacker20::Result::kInputExhausted);
}

TEST(Rar2Cipher, RoundTripsAndDependsOnTheKey) {
  std::vector<uint8_t> plain(64);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> data = plain;
  Cipher20("key", 3).Encrypt(data.data(), data.size());
  EXPECT_NE(data, plain);
  std::vector<uint8_t> other = plain;
  Cipher20("kez", 3).Encrypt(other.data(), other.size());
  EXPECT_NE(data, other);
  // Equal plain blocks encrypt differently: the keys move on every block.
  std::vector<uint8_t> same(32, 0x41);
  Cipher20("k", 1).Encrypt(same.data(), same.size());
  EXPECT_NE(std::memcmp(same.data(), same.data() + 16, 16), 0);
  Cipher20("key", 3).Decrypt(data.data(), data.size());
  EXPECT_EQ(data, plain);
  // A very long key is cut, not overrun.
  const std::string longKey(4000, 'k');
  std::vector<uint8_t> block(16, 1);
  Cipher20(longKey.data(), longKey.size()).Encrypt(block.data(), block.size());
  Cipher20(longKey.data(), 251).Decrypt(block.data(), block.size());
  EXPECT_EQ(block, std::vector<uint8_t>(16, 1));
}

TEST(Rar2Crc32, MatchesTheStandardCheckValueAndContinues) {
  const char* text = "123456789";
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
  const uint32_t first = Crc32(reinterpret_cast<const uint8_t*>(text), 4);
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(text) + 4, 5, first), 0xCBF43926u);
  EXPECT_EQ(Crc32(nullptr, 0), 0u);
}

}  // namespace
}  // namespace klx::rar2
