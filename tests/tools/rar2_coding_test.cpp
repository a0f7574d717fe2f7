// Building blocks of the RAR 2.0 writer: bit order, Huffman code lengths
// and canonical codes, DOS time stamps and the naming of collected paths.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bit_writer.h"
#include "dos_time.h"
#include "huffman_encoder.h"
#include "path_collector.h"
#include "symbol_coder.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2tool {
namespace {

namespace fs = std::filesystem;

TEST(Rar2BitWriter, MostSignificantBitFirst) {
  BitWriter writer;
  writer.Write(1, 1);
  writer.Write(0b010, 3);
  writer.Write(0xABC, 12);
  writer.Write(0x7FFFF, 19);
  EXPECT_EQ(writer.BitCount(), 35u);
  writer.AlignToByte();
  EXPECT_EQ(writer.BitCount(), 40u);
  // 1 010 1010 | 1011 1100 | 1111 1111 | 1111 1111 | 111 + 00000 padding
  EXPECT_EQ(writer.Bytes(), (std::vector<uint8_t>{0xAA, 0xBC, 0xFF, 0xFF, 0xE0}));
}

TEST(Rar2BitWriter, IgnoresHighBitsAndEmptyWrites) {
  BitWriter writer;
  writer.Write(0xFFFFFFF0, 4);
  writer.Write(0x12345, 0);
  writer.Write(0xFFFFFFFF, 32);
  writer.Write(0, 4);
  EXPECT_EQ(writer.Bytes(), (std::vector<uint8_t>{0x0F, 0xFF, 0xFF, 0xFF, 0xF0}));
}

double KraftSum(const uint8_t* lengths, int count) {
  double sum = 0;
  for (int i = 0; i < count; ++i)
    if (lengths[i]) sum += 1.0 / double(1u << lengths[i]);
  return sum;
}

TEST(Rar2Huffman, LimitsLengthsToFifteen) {
  // Fibonacci frequencies give a 39-deep tree without a limit.
  uint32_t frequencies[40];
  frequencies[0] = frequencies[1] = 1;
  for (int i = 2; i < 40; ++i) frequencies[i] = frequencies[i - 1] + frequencies[i - 2];
  uint8_t lengths[40];
  BuildCodeLengths(frequencies, 40, rar2::kMaxCodeLength, lengths);
  for (uint8_t length : lengths) {
    EXPECT_GE(length, 1);
    EXPECT_LE(length, rar2::kMaxCodeLength);
  }
  EXPECT_DOUBLE_EQ(KraftSum(lengths, 40), 1.0);
  // More frequent symbols never get longer codes.
  for (int i = 1; i < 40; ++i) EXPECT_LE(lengths[i], lengths[i - 1]);
}

TEST(Rar2Huffman, FullAlphabetAtTheLimit) {
  // 298 symbols with wildly uneven counts: complete and limited.
  std::vector<uint32_t> frequencies(rar2::kMainSymbols);
  for (int i = 0; i < rar2::kMainSymbols; ++i) frequencies[i] = i % 7 == 0 ? 1 : (1u << (i % 25));
  std::vector<uint8_t> lengths(rar2::kMainSymbols);
  BuildCodeLengths(frequencies.data(), rar2::kMainSymbols, rar2::kMaxCodeLength, lengths.data());
  for (uint8_t length : lengths) EXPECT_LE(length, rar2::kMaxCodeLength);
  EXPECT_DOUBLE_EQ(KraftSum(lengths.data(), rar2::kMainSymbols), 1.0);
}

TEST(Rar2Huffman, SingleAndUnusedSymbols) {
  const uint32_t one[5] = {0, 0, 9, 0, 0};
  uint8_t lengths[5];
  BuildCodeLengths(one, 5, rar2::kMaxCodeLength, lengths);
  EXPECT_EQ(std::vector<uint8_t>(lengths, lengths + 5), (std::vector<uint8_t>{0, 0, 1, 0, 0}));
  EXPECT_LE(KraftSum(lengths, 5), 1.0);

  const uint32_t none[3] = {0, 0, 0};
  BuildCodeLengths(none, 3, rar2::kMaxCodeLength, lengths);
  EXPECT_EQ(std::vector<uint8_t>(lengths, lengths + 3), (std::vector<uint8_t>{0, 0, 0}));

  const uint32_t two[4] = {0, 5, 0, 1};
  BuildCodeLengths(two, 4, rar2::kMaxCodeLength, lengths);
  EXPECT_EQ(std::vector<uint8_t>(lengths, lengths + 4), (std::vector<uint8_t>{0, 1, 0, 1}));
}

TEST(Rar2Huffman, OptimalWithoutPressure) {
  const uint32_t frequencies[4] = {8, 4, 2, 2};
  uint8_t lengths[4];
  BuildCodeLengths(frequencies, 4, rar2::kMaxCodeLength, lengths);
  EXPECT_EQ(std::vector<uint8_t>(lengths, lengths + 4), (std::vector<uint8_t>{1, 2, 3, 3}));
}

TEST(Rar2Huffman, CanonicalCodes) {
  // Shorter codes first, then by symbol; the first code is all zeros.
  const uint8_t lengths[6] = {3, 0, 2, 3, 2, 2};
  uint16_t codes[6];
  BuildCanonicalCodes(lengths, 6, codes);
  EXPECT_EQ(codes[2], 0b00);
  EXPECT_EQ(codes[4], 0b01);
  EXPECT_EQ(codes[5], 0b10);
  EXPECT_EQ(codes[0], 0b110);
  EXPECT_EQ(codes[3], 0b111);
}

TEST(Rar2SymbolCoder, Slots) {
  for (uint32_t v = 0; v < 256; ++v) {
    const int slot = LengthSlot(v);
    EXPECT_GE(v, rar2::kLengthBase.value[slot]);
    EXPECT_LT(v, rar2::kLengthBase.value[slot] + (1u << rar2::kLengthBits[slot]));
  }
  for (uint32_t v = 0; v < 0x100000; v += (v < 5000 ? 1 : 97)) {
    const int slot = DistanceSlot(v);
    ASSERT_GE(v, rar2::kDistanceBase.value[slot]) << v;
    ASSERT_LT(v, rar2::kDistanceBase.value[slot] + (1u << rar2::kDistanceBits[slot])) << v;
  }
  EXPECT_EQ(DistanceSlot(0xFFFFF), 47);
}

TEST(Rar2SymbolCoder, PicksTheCheapestForm) {
  const SymbolPrices prices = SymbolPrices::Default();
  MatchHistory history;
  CodedSymbol symbol;
  // Three bytes far away cannot be coded; a two-byte match near by can.
  EXPECT_EQ(ChooseMatchCoding(3, 0x2000, history, prices, &symbol), kUnencodable);
  EXPECT_NE(ChooseMatchCoding(2, 200, history, prices, &symbol), kUnencodable);
  EXPECT_EQ(symbol.main, rar2::kSymbolShortDistance + 7);
  ASSERT_NE(ChooseMatchCoding(10, 5000, history, prices, &symbol), kUnencodable);
  EXPECT_GE(symbol.main, rar2::kSymbolMatch);
  history.Push(10, 5000);
  history.Push(4, 77);
  // The same match again, then an older distance.
  ChooseMatchCoding(4, 77, history, prices, &symbol);
  EXPECT_EQ(symbol.main, rar2::kSymbolRepeatLast);
  ChooseMatchCoding(12, 5000, history, prices, &symbol);
  EXPECT_EQ(symbol.main, rar2::kSymbolOldDistance + 1);
}

TEST(Rar2DosTime, Conversion) {
  // 2023-11-14 22:13:20 UTC.
  EXPECT_EQ(UnixToDosTime(1700000000), uint32_t(43) << 25 | 11u << 21 | 14u << 16 | 22u << 11 | 13u << 5 | 10u);
  // 2000-02-29 00:00:01 rounds down to even seconds.
  EXPECT_EQ(UnixToDosTime(951782401), uint32_t(20) << 25 | 2u << 21 | 29u << 16);
  // Out of range times are clamped.
  EXPECT_EQ(UnixToDosTime(0), uint32_t(1) << 21 | 1u << 16);
  EXPECT_EQ(UnixToDosTime(int64_t{1} << 40), uint32_t(127) << 25 | 12u << 21 | 31u << 16 | 23u << 11 | 59u << 5 | 29u);
}

// Works in a fresh folder made the current one, and cleans up after.
class ScratchFolder {
 public:
  ScratchFolder() : previous_(fs::current_path()) {
    root_ = fs::temp_directory_path() / ("klx_rar2_paths_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    fs::current_path(root_);
  }
  ~ScratchFolder() {
    fs::current_path(previous_);
    fs::remove_all(root_);
  }

 private:
  fs::path previous_;
  fs::path root_;
};

TEST(Rar2PathCollector, NamesAndOrder) {
  ScratchFolder scratch;
  fs::create_directories(fs::path("set") / "inner");
  std::ofstream("set/z.txt") << "z";
  std::ofstream("set/a.txt") << "aa";
  std::ofstream("set/inner/m.bin") << "mmm";

  std::vector<ArchiveEntry> entries;
  std::string error;
  EXPECT_TRUE(CollectPaths({"./set/", "set/a.txt"}, std::nullopt, &entries, &error) == false);
  EXPECT_NE(error.find("set\\a.txt"), std::string::npos) << error;  // named twice

  entries.clear();
  ASSERT_TRUE(CollectPaths({"./set/"}, 1700000000, &entries, &error)) << error;
  std::vector<std::string> names;
  for (const ArchiveEntry& entry : entries) {
    names.push_back(entry.name);
    EXPECT_EQ(entry.dosTime, UnixToDosTime(1700000000));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"set", "set\\a.txt", "set\\inner", "set\\inner\\m.bin", "set\\z.txt"}));
  EXPECT_TRUE(entries[0].directory);
  EXPECT_EQ(entries[3].data, (std::vector<uint8_t>{'m', 'm', 'm'}));

  entries.clear();
  EXPECT_FALSE(CollectPaths({"set/../set"}, std::nullopt, &entries, &error));
  entries.clear();
  EXPECT_FALSE(CollectPaths({"missing"}, std::nullopt, &entries, &error));
}

}  // namespace
}  // namespace klx::rar2tool
