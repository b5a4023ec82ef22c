// The pinyin syllable of a two-byte character of code page 936: GB2312
// levels 1 and 2 from the main tables (up to three readings each), every other
// character from the extension table (reading 1 only), both with the tone of
// reading 1.
#pragma once

#include <cstdint>

#include "text.h"

// The highest number of letters in a syllable (chuang, shuang, zhuang).
inline constexpr int kSyllableMaxLength = 6;

// Reading 1 of a two-byte character: its reading code (two part codes, as the
// GB2312 cells hold them: low byte first part, high byte second) and its tone:
// 1 to 4, 5 for the neutral tone, 0 when the tables know no tone.
struct Reading {
  uint16_t code = 0;  // 0: the character has no syllable
  uint8_t tone = 0;
};

// Reading 1 of the character whose code page 936 bytes are lead, trail:
// GB2312 levels 1 and 2 from the main tables, every other character of code
// page 936 from the extension table. code 0 for anything else.
Reading FirstReading(unsigned char lead, unsigned char trail);

// Writes the letters of a reading code and a terminator into `out`, which
// holds kSyllableMaxLength + 1 bytes; gives the number of letters (0 for a
// code that spells nothing).
int32_t SpellReading(uint16_t code, char* out);

// Calls visit(lead, trail, reading) for every two-byte code whose reading 1
// has a syllable, GB2312 first then the extension, in code order, so that
// tools (the clip-bank checker lists the syllables and tone pairs the program
// can ask for) never restate the code ranges.
void ForEachFirstReading(void (*visit)(unsigned char lead, unsigned char trail, Reading reading, void* context), void* context);

// Reading n (from 1; 0 and below select reading 1) of the character whose
// code is the first two bytes of `unit`, as lowercase ASCII letters without
// tone, u standing for u-umlaut. Absent when there is no such reading: the
// extension has reading 1 only.
Text PinyinOf(const char* unit, int32_t n);
