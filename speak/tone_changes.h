// How a syllable's tone changes in running speech, from the characters around
// it, as Mandarin speakers change it.
#pragma once

#include <cstdint>

#include "pinyin.h"

// A unit of speech as the tone changes see it: the character it stands for
// (its code page 936 code, lead byte high; a digit stands for its numeral) and
// that character's reading 1. character 0 and reading.code 0 where there is
// no such unit or it has no syllable.
struct SpokenCharacter {
  uint16_t character = 0;
  Reading reading;
};

// The tone `current` is spoken in between `previous` and `next`:
//  - a third tone before another third tone becomes a second tone;
//  - 一 becomes yi2 before a fourth tone and yi4 before tones 1 to 3, but stays
//    yi1 at the end, before a unit without a syllable, after 第 and next to a
//    numeral character (零一二三四五六七八九十);
//  - 不 becomes bu2 before a fourth tone.
// Anything else keeps its own tone (0 stays 0: no tone known).
uint8_t ToneInSpeech(const SpokenCharacter& previous, const SpokenCharacter& current,
                     const SpokenCharacter& next);

// The tones (bit t for tone t) that `character`'s reading can be spoken in
// once the changes above apply: its own tone and every one a change can give.
uint8_t TonesInSpeech(uint16_t character, Reading reading);
