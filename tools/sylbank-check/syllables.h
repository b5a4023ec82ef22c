// What the program can ask a clip folder for, from its own lookup tables,
// and the clips the default bank is made of.
#pragma once

#include <string>
#include <vector>

#include "bank_check.h"

namespace sylbank {

// Every distinct syllable of a first reading, sorted, with the tones it is
// spoken in once the tone changes of running speech are made.
std::vector<Syllable> BankSyllables();

// A clip of the default bank: its file name without ".wav", and what the
// espeak-ng voice cmn-latn-pinyin is given to say for it.
struct ClipToMake {
  std::string name;    // ni3, or ni for the toneless clip
  std::string spoken;  // ni3; the toneless clip in the syllable's usual tone
};

// The toneless clip of every syllable and a toned clip of every pair.
std::vector<ClipToMake> ClipsToMake(const std::vector<Syllable>& syllables);

}  // namespace sylbank
