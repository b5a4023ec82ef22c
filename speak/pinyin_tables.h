// The three constant tables of the syllable lookup. Their data is generated
// into pinyin_tables.cpp by tools/pinyin/generate.mjs; see that script for the
// source and the rules.
#pragma once

#include <cstdint>

// GB2312 levels 1 and 2: lead bytes 0xB0..0xF7, trail bytes 0xA1..0xFE.
inline constexpr int kPinyinLeadFirst = 0xB0;
inline constexpr int kPinyinLeadLast = 0xF7;
inline constexpr int kPinyinTrailFirst = 0xA1;
inline constexpr int kPinyinTrailLast = 0xFE;
inline constexpr int kPinyinTrailCount = 94;
inline constexpr int kPinyinCellCount = 6768;  // 72 lead bytes x 94 trail bytes
inline constexpr int kPinyinRowCount = 479;
inline constexpr int kPinyinSlotCount = 3;
inline constexpr int kPinyinPartCount = 56;    // part codes 1..55; 0 is no part

// One cell per character, in code order. 0: no reading. Bit 15 clear: the
// cell is the only reading code. Bit 15 set: bits 0..14 are a row number.
extern const uint16_t PinyinCells[kPinyinCellCount];

// The readings of the characters that have two or three, one row each, in
// code order; slot 1 first, unused slots 0.
extern const uint16_t PinyinRows[kPinyinRowCount][kPinyinSlotCount];

// The letters of each part code: 1..23 initials, 24..55 finals; 0 is empty.
// A reading code is the low byte's part followed by the high byte's part.
extern const char PinyinParts[kPinyinPartCount][5];
