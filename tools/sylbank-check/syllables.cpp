#include "syllables.h"

#include <algorithm>
#include <cstdint>

#include "pinyin.h"

namespace sylbank {

std::vector<std::string> BankSyllables() {
  // Ask the lookup exactly as the speak run does: reading 1 of every
  // two-byte code in the range the tables cover.
  std::vector<std::string> syllables;
  for (int lead = 0xB0; lead <= 0xF7; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const char unit[3] = {static_cast<char>(lead), static_cast<char>(trail), '\0'};
      Text syllable = PinyinOf(unit, 1);
      if (!syllable.absent()) syllables.emplace_back(syllable.c_str());
    }
  }
  std::sort(syllables.begin(), syllables.end());
  syllables.erase(std::unique(syllables.begin(), syllables.end()), syllables.end());
  return syllables;
}

}  // namespace sylbank
