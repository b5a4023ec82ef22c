#include "speech_units.h"

#include <cstring>

namespace {

constexpr unsigned char kFullWidthLead = 0xA3;      // ０ to ９ are A3B0 to A3B9
constexpr unsigned char kFullWidthPoint = 0xAE;     // ． is A3AE
constexpr uint16_t kYear = 0xC4EA;                  // 年

bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }

unsigned char ByteAt(const char* content, int32_t at) {
  return static_cast<unsigned char>(content[at]);
}

// Width of the unit at 0-based `at`, `end` being the end of the text.
int32_t WidthAt(const char* content, int32_t at, int32_t end) {
  if (at + 1 >= end) return 2;
  const unsigned char byte = ByteAt(content, at);
  const unsigned char next = ByteAt(content, at + 1);
  return byte < 0x80 && (next >= 0x80 || IsAsciiDigit(next)) ? 1 : 2;
}

}  // namespace

int32_t UnitWidthAt(const char* content, int32_t p) {
  const int32_t length = content != nullptr ? static_cast<int32_t>(std::strlen(content)) : 0;
  if (p < 1 || p >= length) return 2;
  return WidthAt(content, p - 1, length);
}

void UnitWalker::Rebind(const char* content, int32_t length) {
  content_ = content;
  length_ = content != nullptr ? length : 0;
  // A quantity whose digits the new content no longer holds is not spoken on.
  if (number_ == Number::kQuantity && integer_end_ > End()) number_ = Number::kNone;
}

int UnitWalker::DigitAt(int32_t at, int32_t* width) const {
  const int32_t end = End();
  if (at >= end) return -1;
  const unsigned char byte = ByteAt(content_, at);
  if (IsAsciiDigit(byte)) {
    *width = 1;
    return byte - '0';
  }
  if (byte == kFullWidthLead && at + 1 < end) {
    const unsigned char trail = ByteAt(content_, at + 1);
    if (trail >= 0xB0 && trail <= 0xB9) {
      *width = 2;
      return trail - 0xB0;
    }
  }
  return -1;
}

// Reads the extent of the number that starts at the current position and
// decides how it is spoken: as a quantity (十五, 一百九十九), or digit by digit
// when it starts with 0, has more digits than a quantity reads, or is four
// digits directly before 年 (a year: 二零一五年).
void UnitWalker::StartNumber() {
  uint8_t digits[kQuantityMaxDigits] = {};
  int count = 0;
  int32_t at = at_;
  int32_t width = 0;
  for (int digit; (digit = DigitAt(at, &width)) >= 0; at += width) {
    if (count < kQuantityMaxDigits) digits[count] = static_cast<uint8_t>(digit);
    ++count;
  }
  integer_end_ = at;
  fraction_end_ = at;

  // One decimal point between digits; a second one is not part of the number.
  const int32_t end = End();
  int32_t point_width = 0;
  if (at < end && content_[at] == '.') point_width = 1;
  if (at + 1 < end && ByteAt(content_, at) == kFullWidthLead &&
      ByteAt(content_, at + 1) == kFullWidthPoint) {
    point_width = 2;
  }
  if (point_width > 0 && DigitAt(at + point_width, &width) >= 0) {
    at += point_width;
    while (DigitAt(at, &width) >= 0) at += width;
    fraction_end_ = at;
  }

  const bool year = count == 4 && integer_end_ + 1 < end &&
                    (ByteAt(content_, integer_end_) << 8 | ByteAt(content_, integer_end_ + 1)) ==
                        kYear;
  if (digits[0] == 0 || count > kQuantityMaxDigits || year) {
    number_ = Number::kDigits;
    return;
  }
  number_ = Number::kQuantity;
  numeral_count_ = ReadQuantity(digits, count, numerals_);
  numeral_next_ = 0;
  at_ = integer_end_;
}

bool UnitWalker::NextOfNumber(SpokenCharacter* unit) {
  int32_t width = 0;
  uint16_t numeral = 0;
  switch (number_) {
    case Number::kQuantity:
      if (numeral_next_ < numeral_count_) {
        numeral = numerals_[numeral_next_++];
        break;
      }
      [[fallthrough]];
    case Number::kDigits:
      if (at_ < integer_end_) {
        const int digit = DigitAt(at_, &width);
        if (digit < 0) return false;  // the content changed under the number
        numeral = NumeralOf(digit);
        at_ += width;
        break;
      }
      if (fraction_end_ > integer_end_ && at_ == integer_end_) {
        number_ = Number::kFraction;
        numeral = kDecimalPoint;
        at_ += ByteAt(content_, at_) == '.' ? 1 : 2;
        break;
      }
      return false;
    case Number::kFraction: {
      if (at_ >= fraction_end_) return false;
      const int digit = DigitAt(at_, &width);
      if (digit < 0) return false;
      numeral = NumeralOf(digit);
      at_ += width;
      break;
    }
    case Number::kNone:
      return false;
  }
  unit->character = numeral;
  unit->reading = FirstReading(static_cast<unsigned char>(numeral >> 8),
                               static_cast<unsigned char>(numeral & 0xFF));
  return true;
}

bool UnitWalker::Next(SpokenCharacter* unit) {
  *unit = SpokenCharacter();
  if (number_ != Number::kNone) {
    if (NextOfNumber(unit)) return true;
    number_ = Number::kNone;
  }
  const int32_t end = End();
  if (at_ >= end) return false;
  int32_t width = 0;
  if (DigitAt(at_, &width) >= 0) {
    StartNumber();
    return NextOfNumber(unit);
  }
  // A last lone byte that is not a digit is never a unit.
  if (at_ + 1 >= end) return false;
  const unsigned char byte = ByteAt(content_, at_);
  if (byte < 0x80) {
    at_ += WidthAt(content_, at_, end);
    return true;  // no syllable
  }
  const unsigned char trail = ByteAt(content_, at_ + 1);
  unit->character = static_cast<uint16_t>(byte << 8 | trail);
  unit->reading = FirstReading(byte, trail);
  at_ += 2;
  return true;
}

void UnitWalker::Peek(SpokenCharacter* unit) const {
  UnitWalker ahead = *this;
  if (!ahead.Next(unit)) *unit = SpokenCharacter();
}
