#include "numerals.h"

namespace {

constexpr uint16_t kDigitNumerals[10] = {
    0xC1E3,  // 零
    0xD2BB,  // 一
    0xB6FE,  // 二
    0xC8FD,  // 三
    0xCBC4,  // 四
    0xCEE5,  // 五
    0xC1F9,  // 六
    0xC6DF,  // 七
    0xB0CB,  // 八
    0xBEC5,  // 九
};
constexpr uint16_t kZero = kDigitNumerals[0];
constexpr uint16_t kTen = 0xCAAE;  // 十
// The place of a digit within its group of four, from the thousands down.
constexpr uint16_t kPlaces[4] = {0xC7A7 /* 千 */, 0xB0D9 /* 百 */, kTen, 0};
// The unit of each group of four, from the lowest: none, 万, 亿.
constexpr uint16_t kGroupUnits[3] = {0, 0xCDF2 /* 万 */, 0xD2DA /* 亿 */};

}  // namespace

uint16_t NumeralOf(int digit) { return digit >= 0 && digit <= 9 ? kDigitNumerals[digit] : 0; }

bool IsNumeral(uint16_t character) {
  if (character == kTen) return true;
  for (uint16_t numeral : kDigitNumerals) {
    if (character == numeral) return true;
  }
  return false;
}

int ReadQuantity(const uint8_t* digits, int count, uint16_t* out) {
  int n = 0;
  // Zeros are spoken as one 零, and only before a digit that is not 0.
  bool zero_pending = false;
  const int groups = (count + 3) / 4;
  for (int group = groups - 1; group >= 0; --group) {
    bool group_spoken = false;
    for (int place = 0; place < 4; ++place) {
      // The digit's index counted from the most significant; the highest group
      // may have fewer than four.
      const int index = count - 1 - (group * 4 + 3 - place);
      if (index < 0) continue;
      const int digit = digits[index];
      if (digit == 0) {
        zero_pending = n > 0;
        continue;
      }
      if (zero_pending) out[n++] = kZero;
      zero_pending = false;
      // 10 to 19 at the very start are 十, 十一 ...: no 一 before the 十.
      if (!(digit == 1 && kPlaces[place] == kTen && n == 0)) out[n++] = kDigitNumerals[digit];
      if (kPlaces[place] != 0) out[n++] = kPlaces[place];
      group_spoken = true;
    }
    if (group_spoken && kGroupUnits[group] != 0) out[n++] = kGroupUnits[group];
  }
  return n;
}
