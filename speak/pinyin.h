// The toneless pinyin syllable of a GB2312 character.
#pragma once

#include <cstdint>

#include "text.h"

// Reading n (from 1; 0 and below select reading 1) of the character whose
// code is the first two bytes of `unit`, as lowercase ASCII letters without
// tone, u standing for u-umlaut. Absent when there is no such reading.
Text PinyinOf(const char* unit, int32_t n);
