// Checks a whole clip folder against the clips the program can ask for and
// writes the findings as plain text or as JSON.
//
// For a character the program plays <syllable><tone>.wav when the folder has
// it (ni3.wav), and <syllable>.wav otherwise (ni.wav); units without a
// syllable play the no-syllable clip ".wav". A folder of toneless clips alone
// is complete; toned clips are optional, but one that is present is played,
// so it must be playable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wav_check.h"

namespace sylbank {

// Tones as bit masks: bit t set for tone t (1 to 4, 5 for the neutral tone).
using ToneMask = unsigned;
inline constexpr int kFirstTone = 1;
inline constexpr int kLastTone = 5;
inline constexpr ToneMask ToneBit(int tone) { return 1u << tone; }

// What the program can ask a clip folder for, for one syllable.
struct Syllable {
  std::string name;   // lowercase letters, u standing for u-umlaut
  ToneMask tones = 0; // the tones it is spoken in, after the tone changes
  // Some character reads it with no known tone: only <name>.wav serves it.
  bool untoned_reading = false;
  // The tone most characters whose first reading it is take (0: none known).
  int usual_tone = 0;
};

struct ClipResult {
  std::string syllable;  // empty for the no-syllable clip ".wav"
  int tone = 0;          // 0 for a toneless clip
  std::string file;      // the name found in the folder; empty when missing
  bool present = false;
  // Found only under another letter case (Ni.wav for ni.wav): Windows finds
  // it, a case-sensitive file system would not.
  bool case_differs = false;
  WavInfo info;          // meaningful when present

  // The name the program asks for: ni.wav, ni3.wav or .wav.
  std::string wanted_name() const;
  // More than kSilenceFlagMs of silence at the start or the end.
  bool silence_flagged() const;
  // Plays, but lasts longer than kLongClipMs.
  bool too_long() const;
  // Present but not playable.
  bool invalid() const { return present && !info.ok(); }
};

struct SyllableResult {
  Syllable asked;
  ClipResult toneless;
  std::vector<ClipResult> toned;  // the toned clips present, by tone

  ToneMask tones_present() const;
  // Every character of this syllable finds a clip: the toneless clip is
  // there, or toned clips cover every tone asked for.
  bool covered() const;
};

// A file whose name is nearly one the program asks for.
struct NameHint {
  std::string file;       // as found, e.g. lv3.wav
  std::string suggested;  // the name the program asks for, e.g. lu3.wav
};

struct BankReport {
  std::string folder;
  std::vector<SyllableResult> syllables;  // one per syllable asked for, in list order
  ClipResult no_syllable_clip;            // the clip ".wav"
  std::vector<std::string> unused;        // .wav files of neither form
  std::vector<NameHint> hints;            // among `unused`

  int missing_count() const;  // syllables some character finds no clip for
  int invalid_count() const;  // present but not playable, ".wav" included
  int pairs_asked() const;    // (syllable, tone) pairs the program asks for
  int pairs_present() const;  // ... of which a toned clip is present
  // Complete and valid: every character finds a playable clip, and the
  // no-syllable clip, when present, is playable too. The no-syllable clip
  // may be left out: units without a syllable then pass in silence.
  bool passes() const { return missing_count() == 0 && invalid_count() == 0; }
};

// Looks at `folder` for the clips of each syllable and for ".wav". Gives no
// report and sets `error` when the folder cannot be listed.
std::optional<BankReport> CheckBank(const std::string& folder,
                                    const std::vector<Syllable>& syllables, std::string& error);

std::string TextReport(const BankReport& report);
std::string JsonReport(const BankReport& report);

}  // namespace sylbank
