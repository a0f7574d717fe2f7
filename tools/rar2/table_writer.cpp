#include "table_writer.h"

#include <vector>

#include "huffman_encoder.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2tool {

namespace {

using namespace klx::rar2;

struct RunSymbol {
  uint8_t symbol;
  uint8_t extra;
};

int RunExtraBits(int symbol) {
  switch (symbol) {
    case kRunRepeatPrevious: return 2;
    case kRunZerosShort: return 3;
    case kRunZerosLong: return 7;
    default: return 0;
  }
}

// The lengths as bit-length symbols: zero runs as 17/18, runs of a nonzero
// length as the length followed by 16s.
std::vector<RunSymbol> RunLengthCode(const uint8_t* lengths) {
  std::vector<RunSymbol> out;
  int i = 0;
  while (i < kLzTableSize) {
    const uint8_t length = lengths[i];
    int run = 1;
    while (i + run < kLzTableSize && lengths[i + run] == length) ++run;
    i += run;
    if (length == 0) {
      while (run >= 11) {
        const int n = run < 138 ? run : 138;
        out.push_back({uint8_t(kRunZerosLong), uint8_t(n - 11)});
        run -= n;
      }
      if (run >= 3) {
        out.push_back({uint8_t(kRunZerosShort), uint8_t(run - 3)});
        run = 0;
      }
    } else {
      out.push_back({length, 0});
      --run;
      while (run >= 3) {
        const int n = run < 6 ? run : 6;
        out.push_back({uint8_t(kRunRepeatPrevious), uint8_t(n - 3)});
        run -= n;
      }
    }
    for (; run > 0; --run) out.push_back({length, 0});
  }
  return out;
}

// The bit-length code for the run symbols; at least two symbols get a code
// so that the code is complete.
void BitLengthCode(const std::vector<RunSymbol>& runs, uint8_t* lengths) {
  uint32_t frequencies[kBitLengthSymbols] = {};
  for (const RunSymbol& run : runs) ++frequencies[run.symbol];
  int used = 0;
  for (uint32_t f : frequencies) used += f > 0;
  for (int s = 0; used < 2; ++s) {
    if (frequencies[s] == 0) {
      frequencies[s] = 1;
      ++used;
    }
  }
  BuildCodeLengths(frequencies, kBitLengthSymbols, kMaxCodeLength, lengths);
}

}  // namespace

void WriteTables(const uint8_t* lengths, BitWriter* writer) {
  const std::vector<RunSymbol> runs = RunLengthCode(lengths);
  uint8_t codeLengths[kBitLengthSymbols];
  uint16_t codes[kBitLengthSymbols];
  BitLengthCode(runs, codeLengths);
  BuildCanonicalCodes(codeLengths, kBitLengthSymbols, codes);
  writer->Write(0, 1);  // not audio
  writer->Write(0, 1);  // lengths are new, not deltas
  for (uint8_t length : codeLengths) writer->Write(length, 4);
  for (const RunSymbol& run : runs) {
    writer->Write(codes[run.symbol], codeLengths[run.symbol]);
    writer->Write(run.extra, RunExtraBits(run.symbol));
  }
}

uint32_t TableBits(const uint8_t* lengths) {
  const std::vector<RunSymbol> runs = RunLengthCode(lengths);
  uint8_t codeLengths[kBitLengthSymbols];
  BitLengthCode(runs, codeLengths);
  uint32_t bits = 2 + 4 * kBitLengthSymbols;
  for (const RunSymbol& run : runs) bits += codeLengths[run.symbol] + RunExtraBits(run.symbol);
  return bits;
}

}  // namespace klx::rar2tool
