#include "pinyin.h"

#include <cstring>

#include "pinyin_tables.h"

namespace {

// Where a code's readings live: a cell of the main tables, a cell of the
// extension table, or nowhere.
struct Place {
  enum Table { kNowhere, kMain, kExtension } table = kNowhere;
  int index = 0;
};

Place PlaceOf(unsigned lead, unsigned trail) {
  if (lead >= kPinyinLeadFirst && lead <= kPinyinLeadLast && trail >= kPinyinTrailFirst &&
      trail <= kPinyinTrailLast) {
    return {Place::kMain, static_cast<int>((lead - kPinyinLeadFirst) * kPinyinTrailCount +
                                           (trail - kPinyinTrailFirst))};
  }
  if (lead < kPinyinExtensionLeadFirst || lead > kPinyinExtensionLeadLast) return {};
  if (trail < kPinyinExtensionTrailFirst || trail > kPinyinExtensionTrailLast) return {};
  if (trail == kPinyinExtensionTrailSkipped) return {};
  // The trail bytes past the skipped one close up behind it.
  const unsigned column = trail - kPinyinExtensionTrailFirst - (trail > kPinyinExtensionTrailSkipped);
  if (lead < kPinyinGbAreaFirst) {
    return {Place::kExtension,
            static_cast<int>((lead - kPinyinExtensionLeadFirst) * kPinyinExtensionWideTrailCount + column)};
  }
  // The rest of these rows is the GB2312 area: its levels 1 and 2 are the main
  // tables' and its symbol rows and user-defined areas have no syllable.
  if (trail >= kPinyinGbAreaFirst) return {};
  const int wide = (kPinyinGbAreaFirst - kPinyinExtensionLeadFirst) * kPinyinExtensionWideTrailCount;
  return {Place::kExtension,
          static_cast<int>(wide + (lead - kPinyinGbAreaFirst) * kPinyinExtensionNarrowTrailCount + column)};
}

// The reading code in slot `slot` (0 for reading 1) of the code at `place`;
// 0 when it has no such reading.
uint16_t ReadingCodeAt(Place place, int32_t slot) {
  if (place.table == Place::kMain) {
    const uint16_t cell = PinyinCells[place.index];
    if ((cell & kPinyinRowBit) == 0) return slot == 0 ? cell : 0;
    const unsigned row = cell & (kPinyinRowBit - 1);
    if (slot >= kPinyinSlotCount || row >= kPinyinRowCount) return 0;
    return PinyinRows[row][slot];
  }
  if (place.table == Place::kExtension && slot == 0) {
    const unsigned number = PinyinExtensionCells[place.index] & 0x0FFF;
    if (number == 0 || number > kPinyinSyllableCount) return 0;
    return PinyinSyllableCodes[number - 1];
  }
  return 0;
}

// The tone of reading 1 of the code at `place`; 0 when none is known.
uint8_t ToneAt(Place place) {
  unsigned tone = 0;
  if (place.table == Place::kMain) {
    const uint8_t pair = PinyinTones[place.index / 2];
    tone = place.index % 2 == 0 ? pair >> 4 : pair & 0x0F;
  } else if (place.table == Place::kExtension) {
    tone = PinyinExtensionCells[place.index] >> 12;
  }
  return static_cast<uint8_t>(tone <= 5 ? tone : 0);
}

Reading FirstReadingAt(Place place) {
  Reading reading;
  reading.code = ReadingCodeAt(place, 0);
  if (reading.code != 0) reading.tone = ToneAt(place);
  return reading;
}

}  // namespace

Reading FirstReading(unsigned char lead, unsigned char trail) {
  return FirstReadingAt(PlaceOf(lead, trail));
}

int32_t SpellReading(uint16_t code, char* out) {
  if (out == nullptr) return 0;
  out[0] = '\0';
  // A final alone, or an initial and then a final; anything else spells
  // nothing, so a stray code can never run past the buffer.
  const unsigned first = code & 0xFF;
  const unsigned second = code >> 8;
  if (first == 0 || first >= kPinyinPartCount || second >= kPinyinPartCount) return 0;
  if (first < kPinyinFirstFinal ? second < kPinyinFirstFinal : second != 0) return 0;
  const size_t first_length = std::strlen(PinyinParts[first]);
  const size_t second_length = std::strlen(PinyinParts[second]);
  if (first_length + second_length > kSyllableMaxLength) return 0;
  std::memcpy(out, PinyinParts[first], first_length);
  std::memcpy(out + first_length, PinyinParts[second], second_length);
  out[first_length + second_length] = '\0';
  return static_cast<int32_t>(first_length + second_length);
}

void ForEachFirstReading(void (*visit)(unsigned char lead, unsigned char trail, Reading reading, void* context),
                         void* context) {
  if (visit == nullptr) return;
  // GB2312 levels 1 and 2, then the extension, each in code order.
  for (unsigned lead = kPinyinLeadFirst; lead <= kPinyinLeadLast; ++lead) {
    for (unsigned trail = kPinyinTrailFirst; trail <= kPinyinTrailLast; ++trail) {
      const Reading reading = FirstReadingAt(PlaceOf(lead, trail));
      if (reading.code != 0) visit(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail), reading, context);
    }
  }
  for (unsigned lead = kPinyinExtensionLeadFirst; lead <= kPinyinExtensionLeadLast; ++lead) {
    for (unsigned trail = kPinyinExtensionTrailFirst; trail <= kPinyinExtensionTrailLast; ++trail) {
      const Place place = PlaceOf(lead, trail);
      if (place.table != Place::kExtension) continue;
      const Reading reading = FirstReadingAt(place);
      if (reading.code != 0) visit(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail), reading, context);
    }
  }
}

Text PinyinOf(const char* unit, int32_t n) {
  if (unit == nullptr || unit[0] == '\0' || unit[1] == '\0') return Text();
  const Place place = PlaceOf(static_cast<unsigned char>(unit[0]), static_cast<unsigned char>(unit[1]));
  const int32_t slot = n >= 1 ? n - 1 : 0;
  char letters[kSyllableMaxLength + 1];
  if (SpellReading(ReadingCodeAt(place, slot), letters) == 0) return Text();
  return ConcatText({letters});
}
