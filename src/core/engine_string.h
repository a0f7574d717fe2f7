#pragma once
// The engine string: an 8-bit (Windows-1251) text with an explicit length and
// a terminating zero, compared case-sensitively by length, then bytes.

#include <cstdint>

namespace klx {

class String {
 public:
  String();
  // Copies `length` bytes of `text`; a length of -1 measures up to the zero.
  // A null text gives the empty string.
  String(const char* text, int32_t length = -1);  // NOLINT: implicit by design
  String(const String& other);
  String(String&& other) noexcept;
  ~String();

  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;
  String& operator=(const char* text);

  const char* CStr() const { return data_; }
  int32_t Length() const { return length_; }
  bool IsEmpty() const { return length_ == 0; }
  char operator[](int32_t index) const { return data_[index]; }

  String operator+(const String& other) const;
  String operator+(const char* text) const;

  bool operator==(const String& other) const;
  bool operator==(const char* text) const;
  bool operator!=(const String& other) const { return !(*this == other); }
  bool operator!=(const char* text) const { return !(*this == text); }

  // Text from `position` of min(count, Length() - position) bytes; the empty
  // string when the position lies outside the text or count is negative.
  String Substring(int32_t position, int32_t count) const;

  // Position of the last occurrence of the byte, or -1.
  int32_t FindLast(char c) const;

 private:
  void Assign(const char* text, int32_t length);

  char* data_;
  int32_t length_;
};

}  // namespace klx
