#include "stream_encoder.h"

#include <algorithm>

#include "huffman_encoder.h"
#include "table_writer.h"

namespace klx::rar2tool {

namespace {

using namespace klx::rar2;

// Input bytes parsed between two looks at the block boundaries.
constexpr size_t kChunkSize = 128 * 1024;
// Block boundaries fall on multiples of this many symbols.
constexpr size_t kSegmentSymbols = 8192;
// Bits of filler after an entry's last symbol.
constexpr uint64_t kTailBits = 32;

Histogram HistogramOf(const CodedSymbol* symbols, size_t count) {
  Histogram histogram;
  for (size_t i = 0; i < count; ++i) histogram.Add(symbols[i]);
  return histogram;
}

}  // namespace

StreamEncoder::StreamEncoder(int method) : parser_(MakeLzEncoder(method)) {}

void StreamEncoder::Reset(const uint8_t* data, size_t size) {
  started_ = false;
  history_ = MatchHistory{};
  prices_ = SymbolPrices::Default();
  pending_.clear();
  parser_->Reset(data, size);
}

std::vector<uint8_t> StreamEncoder::EncodeEntry(size_t begin, size_t end) {
  BitWriter writer;
  for (size_t chunk = begin; chunk < end; chunk += kChunkSize) {
    const size_t chunkEnd = std::min(end, chunk + kChunkSize);
    parser_->Parse(chunk, chunkEnd, prices_, &history_, &pending_);
    FlushBlocks(chunkEnd == end, &writer);
  }
  // Decoders read on past the last symbol: a look for a table switch, or
  // (unar) a whole symbol decoded and 16 more bits looked at before the end
  // is noticed. Codes of a symbol other than 269, preferably a literal,
  // filling 32 bits give them something harmless to read.
  int tail = -1;
  for (int s = 0; s < kMainSymbols && tail < 0; ++s)
    if (s != kSymbolNewTable && lengths_[s] != 0) tail = s;
  const uint64_t lastSymbolEnd = writer.BitCount();
  while (tail >= 0 && writer.BitCount() - lastSymbolEnd < kTailBits) writer.Write(codes_[tail], lengths_[tail]);
  writer.AlignToByte();
  return std::move(writer.Bytes());
}

// Greedy left-to-right grouping of fixed-size segments: a segment joins the
// current block unless coding it with tables of its own is cheaper. With
// `all` false the last block stays pending, to grow with the next chunk.
void StreamEncoder::FlushBlocks(bool all, BitWriter* writer) {
  const size_t count = pending_.size();
  size_t blockStart = 0;
  size_t blockEnd = std::min(count, kSegmentSymbols);
  Histogram block = HistogramOf(pending_.data(), blockEnd);
  uint64_t blockBits = BlockBits(block);
  while (blockEnd < count) {
    const size_t segmentEnd = std::min(count, blockEnd + kSegmentSymbols);
    const Histogram segment = HistogramOf(pending_.data() + blockEnd, segmentEnd - blockEnd);
    Histogram merged = block;
    merged.Merge(segment);
    const uint64_t mergedBits = BlockBits(merged);
    const uint64_t segmentBits = BlockBits(segment);
    if (mergedBits <= blockBits + segmentBits) {
      block = merged;
      blockBits = mergedBits;
    } else {
      WriteBlock(blockStart, blockEnd, block, writer);
      blockStart = blockEnd;
      block = segment;
      blockBits = segmentBits;
    }
    blockEnd = segmentEnd;
  }
  if (all && blockEnd > blockStart) {
    WriteBlock(blockStart, blockEnd, block, writer);
    blockStart = blockEnd;
  }
  pending_.erase(pending_.begin(), pending_.begin() + blockStart);
  // The next chunk is parsed with the prices of the block still growing.
  if (!pending_.empty()) {
    uint8_t lengths[kLzTableSize];
    BuildBlockLengths(block, lengths);
    prices_ = SymbolPrices::FromLengths(lengths);
  }
}

void StreamEncoder::WriteBlock(size_t first, size_t last, const Histogram& histogram, BitWriter* writer) {
  if (started_) writer->Write(codes_[kSymbolNewTable], lengths_[kSymbolNewTable]);
  BuildBlockLengths(histogram, lengths_);
  BuildCanonicalCodes(lengths_, kMainSymbols, codes_);
  BuildCanonicalCodes(lengths_ + kMainSymbols, kDistanceSymbols, codes_ + kMainSymbols);
  BuildCanonicalCodes(lengths_ + kMainSymbols + kDistanceSymbols, kLengthSymbols,
                      codes_ + kMainSymbols + kDistanceSymbols);
  WriteTables(lengths_, writer);
  started_ = true;
  prices_ = SymbolPrices::FromLengths(lengths_);

  const uint8_t* distanceLengths = lengths_ + kMainSymbols;
  const uint16_t* distanceCodes = codes_ + kMainSymbols;
  const uint8_t* lengthLengths = lengths_ + kMainSymbols + kDistanceSymbols;
  const uint16_t* lengthCodes = codes_ + kMainSymbols + kDistanceSymbols;
  for (size_t i = first; i < last; ++i) {
    const CodedSymbol& s = pending_[i];
    writer->Write(codes_[s.main], lengths_[s.main]);
    if (s.main >= kSymbolMatch) {
      writer->Write(s.lengthExtra, kLengthBits[s.lengthSlot]);
      writer->Write(distanceCodes[s.distanceSlot], distanceLengths[s.distanceSlot]);
      writer->Write(s.distanceExtra, kDistanceBits[s.distanceSlot]);
    } else if (s.main >= kSymbolShortDistance) {
      writer->Write(s.lengthExtra, kShortDistanceBits[s.main - kSymbolShortDistance]);
    } else if (s.main >= kSymbolOldDistance) {
      writer->Write(lengthCodes[s.lengthSlot], lengthLengths[s.lengthSlot]);
      writer->Write(s.lengthExtra, kLengthBits[s.lengthSlot]);
    }
  }
}

}  // namespace klx::rar2tool
