#include "tone_changes.h"

#include "numerals.h"

namespace {

constexpr uint16_t kYi = 0xD2BB;  // 一
constexpr uint16_t kBu = 0xB2BB;  // 不
constexpr uint16_t kDi = 0xB5DA;  // 第 (an ordinal: 第一 keeps yi1)

constexpr uint8_t Bit(int tone) { return static_cast<uint8_t>(1u << tone); }

}  // namespace

uint8_t ToneInSpeech(const SpokenCharacter& previous, const SpokenCharacter& current,
                     const SpokenCharacter& next) {
  const uint8_t tone = current.reading.tone;
  if (tone == 0 || current.reading.code == 0) return tone;
  const bool next_spoken = next.reading.code != 0;
  const uint8_t next_tone = next_spoken ? next.reading.tone : 0;

  if (current.character == kYi) {
    if (!next_spoken || previous.character == kDi) return tone;
    if (IsNumeral(previous.character) || IsNumeral(next.character)) return tone;
    if (next_tone == 4) return 2;
    if (next_tone >= 1 && next_tone <= 3) return 4;
    return tone;
  }
  if (current.character == kBu) return next_tone == 4 ? 2 : tone;
  if (tone == 3 && next_tone == 3) return 2;
  return tone;
}

uint8_t TonesInSpeech(uint16_t character, Reading reading) {
  if (reading.code == 0 || reading.tone == 0) return 0;
  uint8_t tones = Bit(reading.tone);
  if (character == kYi) tones |= Bit(2) | Bit(4);
  if (character == kBu) tones |= Bit(2);
  if (reading.tone == 3) tones |= Bit(2);
  return tones;
}
