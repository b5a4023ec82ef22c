#include "syllables.h"

#include <map>

#include "pinyin.h"
#include "tone_changes.h"

namespace sylbank {
namespace {

// Calls visit(lead, trail, syllable, reading) for the first reading of every
// character the tables know, from the program's own lookup; reading.tone is 0
// where the tables give none.
template <typename Visit>
void ForEachFirstReadingOf(Visit visit) {
  ForEachFirstReading(
      [](unsigned char lead, unsigned char trail, Reading reading, void* context) {
        char letters[kSyllableMaxLength + 1];
        if (SpellReading(reading.code, letters) == 0) return;
        (*static_cast<Visit*>(context))(lead, trail, std::string(letters), reading);
      },
      &visit);
}

// The espeak-ng spelling of a syllable: the voice reads u-umlaut as v, and
// of the syllables written with u here only lue and nue are always spoken
// with u-umlaut (lu and nu stand for both and are spoken as written).
std::string EspeakSpelling(const std::string& syllable) {
  if (syllable == "lue") return "lve";
  if (syllable == "nue") return "nve";
  return syllable;
}

}  // namespace

std::vector<Syllable> BankSyllables() {
  struct Tally {
    Syllable syllable;
    int count[kLastTone + 1] = {};
  };
  std::map<std::string, Tally> by_name;
  ForEachFirstReadingOf([&](unsigned char lead, unsigned char trail, const std::string& name,
                            Reading reading) {
    Tally& t = by_name[name];
    t.syllable.name = name;
    // The tones the program's own tone changes can give it in running speech;
    // none when the tables know no tone.
    const ToneMask spoken = TonesInSpeech(static_cast<uint16_t>(lead << 8 | trail), reading);
    t.syllable.tones |= spoken;
    if (spoken == 0) t.syllable.untoned_reading = true;
    if (reading.tone >= kFirstTone && reading.tone <= kLastTone) ++t.count[reading.tone];
  });
  std::vector<Syllable> syllables;
  for (auto& [name, tally] : by_name) {
    // The most common tone; of equally common ones the lowest.
    for (int t = kFirstTone; t <= kLastTone; ++t) {
      if (tally.count[t] > 0 &&
          (tally.syllable.usual_tone == 0 || tally.count[t] > tally.count[tally.syllable.usual_tone])) {
        tally.syllable.usual_tone = t;
      }
    }
    syllables.push_back(tally.syllable);
  }
  return syllables;
}

std::vector<ClipToMake> ClipsToMake(const std::vector<Syllable>& syllables) {
  std::vector<ClipToMake> clips;
  for (const Syllable& s : syllables) {
    const std::string spoken = EspeakSpelling(s.name);
    // Without a known tone, the level first tone: it suggests no wrong contour.
    const int usual = s.usual_tone != 0 ? s.usual_tone : 1;
    clips.push_back({s.name, spoken + std::to_string(usual)});
    for (int t = kFirstTone; t <= kLastTone; ++t) {
      if (s.tones & ToneBit(t)) {
        clips.push_back({s.name + std::to_string(t), spoken + std::to_string(t)});
      }
    }
  }
  return clips;
}

}  // namespace sylbank
