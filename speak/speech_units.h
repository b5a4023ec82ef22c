// Cuts the text box's content into the units the speak run speaks, one after
// another: a Chinese character, a numeral of a number, or a unit without a
// syllable (Latin letters, spaces, punctuation, line breaks).
#pragma once

#include <cstdint>

#include "numerals.h"
#include "tone_changes.h"

// The walk over one text. It is a small value: copy it to look ahead, or to
// cut a unit again after the content has changed.
class UnitWalker {
 public:
  // Bytes from `limit` on are never spoken, whatever the content grows to.
  explicit UnitWalker(int32_t limit) : limit_(limit) {}

  // The content to cut from: after every read of the text box, the new one.
  // The walk goes on at the same byte position.
  void Rebind(const char* content, int32_t length);

  // Cuts the next unit; false when none is left: the position has reached
  // the end of the content or the limit, or only a last lone byte is left
  // that is not a digit.
  bool Next(SpokenCharacter* unit);

  // The unit that Next would give, without moving on; `unit` is left with no
  // syllable when there is none.
  void Peek(SpokenCharacter* unit) const;

  // The 0-based byte position of the next unit.
  int32_t position() const { return at_; }

 private:
  int32_t End() const { return length_ < limit_ ? length_ : limit_; }
  // The digit 0 to 9 (ASCII or full-width) at byte `at` and its width, or -1.
  int DigitAt(int32_t at, int32_t* width) const;
  void StartNumber();
  bool NextOfNumber(SpokenCharacter* unit);

  const char* content_ = nullptr;
  int32_t length_ = 0;
  int32_t limit_;
  int32_t at_ = 0;

  // Inside a number: how its digits are read and where its parts end.
  enum class Number { kNone, kQuantity, kDigits, kFraction };
  Number number_ = Number::kNone;
  int32_t integer_end_ = 0;   // the byte after the integer digits
  int32_t fraction_end_ = 0;  // the byte after the decimals; integer_end_ when none
  // A quantity's numerals, spoken one by one before the walk moves past it.
  uint16_t numerals_[kQuantityMaxNumerals] = {};
  int numeral_count_ = 0;
  int numeral_next_ = 0;
};

// The 1-based width (1 or 2 bytes) of a unit without a syllable or of a
// character that starts at byte position p of `content`: one byte for an
// ASCII byte followed by the first byte of a double-byte character or by a
// digit, two otherwise.
int32_t UnitWidthAt(const char* content, int32_t p);
