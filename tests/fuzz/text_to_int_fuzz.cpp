// TextToInt against a plain reference: fold the full-width forms into a
// string first, then parse it with strtoll and clamp to the int32 range.
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "fake_host.h"
#include "text.h"

namespace {

std::string Fold(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) break;  // a lone first byte before the end
    const auto second = static_cast<unsigned char>(text[i + 1]);
    i += 2;
    if (c == 0xA1 && second == 0xA1) {
      out += ' ';
    } else if (c == 0xA1 && second == 0xAB) {
      out += '~';
    } else if (c == 0xA1 && (second == 0xEE || second == 0xEF)) {
      out += '*';
    } else if (c == 0xA3 && second >= 0xA1 && second <= 0xFE) {
      out += static_cast<char>(second - 0x80);
    } else {
      out += static_cast<char>(c);  // stops the number like any other pair
      out += static_cast<char>(second);
    }
  }
  return out;
}

int32_t Reference(const std::string& text) {
  const std::string folded = Fold(text);
  size_t i = 0;
  while (i < folded.size() && (folded[i] == ' ' || (folded[i] >= 0x09 && folded[i] <= 0x0D))) ++i;
  size_t digits_at = i;
  if (digits_at < folded.size() && (folded[digits_at] == '+' || folded[digits_at] == '-')) ++digits_at;
  if (digits_at >= folded.size() || folded[digits_at] < '0' || folded[digits_at] > '9') return 0;
  // strtoll would also skip a second sign or spaces after the sign; the
  // digits are taken from here on only.
  std::string number(1, folded[i] == '-' ? '-' : '+');
  size_t j = digits_at;
  while (j + 1 < folded.size() && folded[j] == '0' && folded[j + 1] >= '0' && folded[j + 1] <= '9') ++j;
  for (; j < folded.size() && folded[j] >= '0' && folded[j] <= '9'; ++j) {
    if (number.size() < 20) number += folded[j];  // enough to pass the range
  }
  const long long value = std::strtoll(number.c_str(), nullptr, 10);
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));  // a Text ends at its first NUL
  const int32_t got = TextToInt(text.c_str());
  const int32_t want = Reference(text);
  if (got != want) {
    std::fprintf(stderr, "TextToInt gave %d, the reference %d\n", got, want);
    std::abort();
  }
  return 0;
}
