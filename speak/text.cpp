#include "text.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "constant_texts.h"
#include "host.h"

AllocationFailure AllocationFailureMessage(int32_t bytes) {
  // Built without the heap, which has just refused, and without printf.
  AllocationFailure message;
  char digits[12];
  int n = 0;
  int64_t value = bytes;
  const bool negative = value < 0;
  if (negative) value = -value;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  char* out = message.text;
  for (const char* p = "分配 "; *p != '\0'; ++p) *out++ = *p;
  if (negative) *out++ = '-';
  while (n > 0) *out++ = digits[--n];
  for (const char* p = " 字节内存失败!"; *p != '\0'; ++p) *out++ = *p;
  *out = '\0';
  return message;
}

char* TextAlloc(int32_t bytes) {
  void* block = bytes >= 0 ? host::AllocBlock(static_cast<uint32_t>(bytes)) : nullptr;
  if (block == nullptr) host::ReportFatal(AllocationFailureMessage(bytes).text);
  return static_cast<char*>(block);
}

void TextFree(const void* block) {
  if (block == nullptr || IsConstantText(block)) return;
  host::FreeBlock(const_cast<void*>(block));
}

int32_t TextLength(const char* text) {
  return text != nullptr ? static_cast<int32_t>(std::strlen(text)) : 0;
}

int32_t Text::length() const { return TextLength(block_); }

Text ConcatText(std::initializer_list<const char*> parts) {
  int64_t total = 0;
  for (const char* part : parts) total += TextLength(part);
  // A sum past the 32-bit range is a refused allocation like any other.
  const int64_t bytes = total + 1;
  char* block = TextAlloc(bytes <= std::numeric_limits<int32_t>::max()
                              ? static_cast<int32_t>(bytes)
                              : -1);
  char* out = block;
  for (const char* part : parts) {
    const int32_t n = TextLength(part);
    if (n > 0) std::memcpy(out, part, static_cast<size_t>(n));
    out += n;
  }
  *out = '\0';
  return Text::Adopt(block);
}

Text TextMid(const char* text, int32_t start, int32_t n) {
  const int32_t length = TextLength(text);
  if (start < 1 || start > length || n <= 0) return Text();
  const int32_t available = length - start + 1;
  const int32_t count = n < available ? n : available;
  char* block = TextAlloc(count + 1);
  std::memcpy(block, text + (start - 1), static_cast<size_t>(count));
  block[count] = '\0';
  return Text::Adopt(block);
}

Text BlankText(int32_t n) {
  if (n < 1 || n == std::numeric_limits<int32_t>::max()) return Text();
  char* block = TextAlloc(n + 1);
  std::memset(block, ' ', static_cast<size_t>(n));
  block[n] = '\0';
  return Text::Adopt(block);
}

namespace {

// The single byte that a double-byte full-width form folds to, or 0 when the
// pair stays as it is.
unsigned char FoldFullWidth(unsigned char first, unsigned char second) {
  if (first == 0xA1) {
    if (second == 0xA1) return 0x20;                   // ideographic space
    if (second == 0xAB) return 0x7E;                   // full-width tilde
    if (second == 0xEE || second == 0xEF) return 0x2A;  // white and black star
  }
  if (first == 0xA3 && second >= 0xA1 && second <= 0xFE) {
    return static_cast<unsigned char>(second - 0x80);  // full-width ASCII forms
  }
  return 0;
}

bool IsSpace(unsigned char c) { return c == 0x20 || (c >= 0x09 && c <= 0x0D); }

}  // namespace

int32_t TextToInt(const char* text) {
  if (text == nullptr) return 0;
  // Only the leading number matters, so the parse below takes the folded
  // bytes one at a time as it goes instead of building the folded string.
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  auto next = [&]() -> int {  // the next folded byte, or -1 at the end
    for (;;) {
      const unsigned char c = in[i];
      if (c == 0) return -1;
      if (c < 0x80) {
        ++i;
        return c;
      }
      const unsigned char second = in[i + 1];
      if (second == 0) return -1;  // a lone first byte before the terminator
      i += 2;
      const unsigned char folded = FoldFullWidth(c, second);
      // A pair that does not fold stops the number; a lead byte stands for it.
      return folded != 0 ? folded : 0x80;
    }
  };

  int c = next();
  while (c >= 0 && IsSpace(static_cast<unsigned char>(c))) c = next();
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    c = next();
  }
  // Accumulate as a negative number so that the int32 minimum fits, and
  // clamp a number too large for 32 bits to the range.
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  int64_t value = 0;
  while (c >= '0' && c <= '9') {
    if (value > kMin) value = value * 10 - (c - '0');
    if (value < kMin) value = kMin;
    c = next();
  }
  if (negative) return static_cast<int32_t>(value);
  return value < -std::numeric_limits<int32_t>::max()
             ? std::numeric_limits<int32_t>::max()
             : static_cast<int32_t>(-value);
}

int64_t TruncToInt(double x) {
  // A conversion to an integer type always truncates toward zero, whatever
  // the rounding mode; only values outside the range need a decision.
  if (std::isnan(x)) return 0;
  if (x >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (x <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}
