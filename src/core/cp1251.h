#pragma once
// Windows-1251 is the engine's 8-bit text encoding: names, paths, log lines.
// Source files are UTF-8, so message literals are converted at compile time
// with KLX_TEXT("...") and never again at run time.

#include <cstddef>
#include <string>
#include <string_view>

namespace klx {

namespace cp1251 {

// Unicode code points of the bytes 0x80..0xBF (0 marks the one unused byte).
inline constexpr char32_t kHighTable[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// Code point of one Windows-1251 byte.
constexpr char32_t ToUnicode(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
  char32_t cp = kHighTable[byte - 0x80];
  return cp != 0 ? cp : U'\uFFFD';
}

// Windows-1251 byte of a code point; -1 when the code page has none.
constexpr int FromUnicode(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
  for (int i = 0; i < 64; ++i) {
    if (kHighTable[i] == cp) return 0x80 + i;
  }
  return -1;
}

// Decodes one UTF-8 sequence at text[pos]; advances pos. Returns U+FFFD for a
// malformed sequence (one byte consumed) so the caller always makes progress.
constexpr char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  int extra = 0;
  char32_t cp = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    ++pos;
    return U'\uFFFD';
  }
  if (pos + extra >= text.size()) {
    ++pos;
    return U'\uFFFD';
  }
  for (int i = 1; i <= extra; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return U'\uFFFD';
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  pos += extra + 1;
  return cp;
}

template <std::size_t N>
struct Literal {
  char bytes[N] = {};
};

// Compile-time conversion of a UTF-8 literal; a character outside the code
// page stops compilation (the throw is not a constant expression).
template <std::size_t N>
constexpr Literal<N> FromUtf8Literal(const char (&utf8)[N]) {
  Literal<N> out{};
  std::string_view text(utf8, N - 1);
  std::size_t in = 0;
  std::size_t o = 0;
  while (in < text.size()) {
    const int byte = FromUnicode(DecodeUtf8(text, in));
    if (byte < 0) throw "character outside Windows-1251";
    out.bytes[o++] = static_cast<char>(byte);
  }
  out.bytes[o] = '\0';
  return out;
}

}  // namespace cp1251

// Run-time conversions for text that comes from outside (tools, terminals,
// dialogs). Characters outside Windows-1251 become '?'.
std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view text);

}  // namespace klx

// A UTF-8 string literal as a Windows-1251 C string with static storage.
#define KLX_TEXT(literal)                                                      \
  ([]() -> const char* {                                                       \
    static constexpr auto kConverted = ::klx::cp1251::FromUtf8Literal(literal); \
    return kConverted.bytes;                                                   \
  }())
