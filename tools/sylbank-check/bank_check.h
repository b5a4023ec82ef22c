// Checks a whole clip folder against the syllables the program can ask for
// and writes the findings as plain text or as JSON.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "wav_check.h"

namespace sylbank {

struct ClipResult {
  std::string syllable;  // empty for the no-syllable clip ".wav"
  std::string file;      // the name found in the folder; empty when missing
  bool present = false;
  // Found only under another letter case (Ni.wav for ni.wav): Windows finds
  // it, a case-sensitive file system would not.
  bool case_differs = false;
  WavInfo info;          // meaningful when present

  // More than kSilenceFlagMs of silence at the start or the end.
  bool silence_flagged() const;
};

struct BankReport {
  std::string folder;
  std::vector<ClipResult> syllable_clips;  // one per syllable, in list order
  ClipResult no_syllable_clip;             // the clip ".wav"
  std::vector<std::string> unused;         // .wav files nobody asks for

  int missing_count() const;
  int invalid_count() const;  // present but not playable, ".wav" included
  // Complete and valid: every syllable has a playable clip, and the
  // no-syllable clip, when present, is playable too. The no-syllable clip
  // may be left out: units without a syllable then pass in silence.
  bool passes() const { return missing_count() == 0 && invalid_count() == 0; }
};

// Looks at `folder` for a clip of each syllable and for ".wav". Gives no
// report and sets `error` when the folder cannot be listed.
std::optional<BankReport> CheckBank(const std::string& folder,
                                    const std::vector<std::string>& syllables,
                                    std::string& error);

void WriteTextReport(const BankReport& report, std::ostream& out);
void WriteJsonReport(const BankReport& report, std::ostream& out);

}  // namespace sylbank
