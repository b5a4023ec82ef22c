// The toneless pinyin syllable of a GB2312 character.
#pragma once

#include <cstdint>

#include "text.h"

// Reading n (from 1; 0 and below select reading 1) of the character whose
// code is the first two bytes of `unit`, as lowercase ASCII letters without
// tone, u standing for u-umlaut. Absent when there is no such reading.
Text PinyinOf(const char* unit, int32_t n);

// The highest number of letters in a syllable (chuang, shuang, zhuang).
inline constexpr int kSyllableMaxLength = 6;

// Reading 1 of a two-byte character: its reading code (two part codes, as the
// GB2312 cells hold them: low byte first part, high byte second) and its tone:
// 1 to 4, 5 for the neutral tone, 0 when the tables know no tone.
struct Reading {
  uint16_t code = 0;  // 0: the character has no syllable
  uint8_t tone = 0;
};

// Reading 1 of the character whose code page 936 bytes are lead, trail.
// code 0 for anything without a syllable.
Reading FirstReading(unsigned char lead, unsigned char trail);

// Writes the letters of a reading code and a terminator into `out`, which
// holds kSyllableMaxLength + 1 bytes; gives the number of letters.
int32_t SpellReading(uint16_t code, char* out);
