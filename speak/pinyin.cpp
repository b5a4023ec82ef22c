#include "pinyin.h"

#include "pinyin_tables.h"

namespace {

// The letters of a part code; an unknown code adds none.
const char* PartLetters(unsigned code) {
  return code < kPinyinPartCount ? PinyinParts[code] : "";
}

}  // namespace

Text PinyinOf(const char* unit, int32_t n) {
  if (unit == nullptr || unit[0] == '\0' || unit[1] == '\0') return Text();
  const auto lead = static_cast<unsigned char>(unit[0]);
  const auto trail = static_cast<unsigned char>(unit[1]);
  if (lead < kPinyinLeadFirst || lead > kPinyinLeadLast) return Text();
  if (trail < kPinyinTrailFirst || trail > kPinyinTrailLast) return Text();

  const int32_t slot = n >= 1 ? n - 1 : 0;
  const uint16_t cell =
      PinyinCells[(lead - kPinyinLeadFirst) * kPinyinTrailCount + (trail - kPinyinTrailFirst)];
  if (cell == 0) return Text();

  uint16_t code;
  if ((cell & 0x8000) != 0) {
    const unsigned row = cell & 0x7FFF;
    if (slot >= kPinyinSlotCount || row >= kPinyinRowCount) return Text();
    code = PinyinRows[row][slot];
  } else {
    if (slot != 0) return Text();
    code = cell;
  }
  if (code == 0) return Text();

  const char* first = PartLetters(code & 0xFF);
  const char* second = PartLetters(code >> 8);
  if (first[0] == '\0' && second[0] == '\0') return Text();
  return ConcatText({first, second});
}

// Interim: GB2312 only and without tones, until the tables carry them.
Reading FirstReading(unsigned char lead, unsigned char trail) {
  if (lead < kPinyinLeadFirst || lead > kPinyinLeadLast) return {};
  if (trail < kPinyinTrailFirst || trail > kPinyinTrailLast) return {};
  const uint16_t cell =
      PinyinCells[(lead - kPinyinLeadFirst) * kPinyinTrailCount + (trail - kPinyinTrailFirst)];
  Reading reading;
  reading.code = (cell & 0x8000) != 0 ? PinyinRows[cell & 0x7FFF][0] : cell;
  return reading;
}

int32_t SpellReading(uint16_t code, char* out) {
  int32_t n = 0;
  for (const char* part : {PartLetters(code & 0xFF), PartLetters(code >> 8)}) {
    for (; *part != '\0' && n < kSyllableMaxLength; ++part) out[n++] = *part;
  }
  out[n] = '\0';
  return n;
}
