// Digits read as Chinese numerals: the characters (code page 936 codes, lead
// byte high) that a number is spoken as.
#pragma once

#include <cstdint>

// The most digits read as a quantity (up to 亿); longer runs are read digit by
// digit.
inline constexpr int kQuantityMaxDigits = 12;
// The most numerals a quantity of kQuantityMaxDigits digits is read as.
inline constexpr int kQuantityMaxNumerals = 24;

inline constexpr uint16_t kDecimalPoint = 0xB5E3;  // 点

// The numeral of one digit, 零 to 九.
uint16_t NumeralOf(int digit);

// True for the numerals of the digits and for 十: 零一二三四五六七八九十.
bool IsNumeral(uint16_t character);

// Reads `count` digits (1 to kQuantityMaxDigits, most significant first, the
// first of them not 0) as a quantity into `out`: 10 十, 15 十五, 110 一百一十,
// 2008 二千零八, 10086 一万零八十六, 100000000 一亿. Gives the number of
// numerals written.
int ReadQuantity(const uint8_t* digits, int count, uint16_t* out);
