#include "core/engine_string.h"

#include <cstring>
#include <utility>

namespace klx {

namespace {

// Every empty string shares this buffer, so empty strings and moved-from
// strings never allocate. It is never written: in-place assignment copies
// nothing when the length is 0.
char g_emptyText[1] = {'\0'};

char* CopyText(const char* text, int32_t length) {
  if (length == 0) return g_emptyText;
  char* buffer = new char[static_cast<std::size_t>(length) + 1];
  std::memcpy(buffer, text, static_cast<std::size_t>(length));
  buffer[length] = '\0';
  return buffer;
}

void FreeText(char* buffer) {
  if (buffer != g_emptyText) delete[] buffer;
}

int32_t MeasureText(const char* text, int32_t length) {
  if (text == nullptr || length < -1) return 0;
  if (length == -1) return static_cast<int32_t>(std::strlen(text));
  return length;
}

}  // namespace

String::String() : data_(g_emptyText), length_(0) {}

String::String(const char* text, int32_t length) {
  length_ = MeasureText(text, length);
  data_ = CopyText(text, length_);
}

String::String(const String& other)
    : data_(CopyText(other.data_, other.length_)), length_(other.length_) {}

String::String(String&& other) noexcept : data_(other.data_), length_(other.length_) {
  other.data_ = g_emptyText;
  other.length_ = 0;
}

String::~String() { FreeText(data_); }

String& String::operator=(const String& other) {
  if (this != &other) Assign(other.data_, other.length_);
  return *this;
}

String& String::operator=(String&& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(length_, other.length_);
  return *this;
}

String& String::operator=(const char* text) {
  Assign(text, MeasureText(text, -1));
  return *this;
}

void String::Assign(const char* text, int32_t length) {
  if (length == length_) {
    // Same length: copy in place (memmove: the text may lie in our buffer).
    if (length > 0) std::memmove(data_, text, static_cast<std::size_t>(length));
    return;
  }
  char* buffer = CopyText(text, length);
  FreeText(data_);
  data_ = buffer;
  length_ = length;
}

String String::operator+(const String& other) const {
  String result;
  const int32_t length = length_ + other.length_;
  if (length == 0) return result;
  char* buffer = new char[static_cast<std::size_t>(length) + 1];
  std::memcpy(buffer, data_, static_cast<std::size_t>(length_));
  std::memcpy(buffer + length_, other.data_, static_cast<std::size_t>(other.length_) + 1);
  result.data_ = buffer;
  result.length_ = length;
  return result;
}

String String::operator+(const char* text) const { return *this + String(text); }

bool String::operator==(const String& other) const {
  return length_ == other.length_ &&
         std::memcmp(data_, other.data_, static_cast<std::size_t>(length_)) == 0;
}

bool String::operator==(const char* text) const {
  const int32_t length = MeasureText(text, -1);
  return length_ == length && std::memcmp(data_, text, static_cast<std::size_t>(length)) == 0;
}

String String::Substring(int32_t position, int32_t count) const {
  if (position < 0 || position >= length_ || count < 0) return String();
  const int32_t available = length_ - position;
  return String(data_ + position, count < available ? count : available);
}

int32_t String::FindLast(char c) const {
  for (int32_t i = length_ - 1; i >= 0; --i) {
    if (data_[i] == c) return i;
  }
  return -1;
}

}  // namespace klx
