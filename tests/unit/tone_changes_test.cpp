// How tones change in running speech, from the characters around them.
#include <string>

#include <gtest/gtest.h>

#include "tone_changes.h"

namespace {

// A unit standing for `character` (its code page 936 text) with the given
// tone; "" for no unit, "-" for a unit without a syllable.
SpokenCharacter Unit(const std::string& character, uint8_t tone) {
  SpokenCharacter unit;
  if (character.empty()) return unit;
  if (character != "-") {
    unit.character = static_cast<uint16_t>(static_cast<unsigned char>(character[0]) << 8 |
                                           static_cast<unsigned char>(character[1]));
    unit.reading.code = 1;  // any syllable
    unit.reading.tone = tone;
  }
  return unit;
}

TEST(ToneChanges, AsMandarinSpeakersMakeThem) {
  struct Case {
    const char* name;
    const char* previous;
    uint8_t previous_tone;
    const char* current;
    uint8_t tone;
    const char* next;
    uint8_t next_tone;
    uint8_t expected;
  };
  const Case cases[] = {
      {"3 before 3: 你好", "", 0, "你", 3, "好", 3, 2},
      {"3 before 3, left to right: 我很好", "我", 3, "很", 3, "好", 3, 2},
      {"3 at the end", "你", 3, "好", 3, "", 0, 3},
      {"3 before a pause", "", 0, "好", 3, "-", 0, 3},
      {"3 before 1", "", 0, "好", 3, "天", 1, 3},
      {"3 before the neutral tone", "", 0, "你", 3, "们", 5, 3},
      {"一 before 4: 一个", "", 0, "一", 1, "个", 4, 2},
      {"一 before 1: 一天", "", 0, "一", 1, "天", 1, 4},
      {"一 before 2", "", 0, "一", 1, "年", 2, 4},
      {"一 before 3: 一起", "", 0, "一", 1, "起", 3, 4},
      {"一 at the end", "统", 3, "一", 1, "", 0, 1},
      {"一 before punctuation", "", 0, "一", 1, "-", 0, 1},
      {"一 after 第", "第", 4, "一", 1, "个", 4, 1},
      {"一 before a numeral: 一二三", "", 0, "一", 1, "二", 4, 1},
      {"一 after a numeral: 十一", "十", 2, "一", 1, "个", 4, 1},
      {"一 between numerals", "十", 2, "一", 1, "万", 4, 1},
      {"一 before 百, not a numeral: 一百", "", 0, "一", 1, "百", 3, 4},
      {"一 before 万: 一万", "", 0, "一", 1, "万", 4, 2},
      {"不 before 4: 不是", "", 0, "不", 4, "是", 4, 2},
      {"不 before 1", "", 0, "不", 4, "吃", 1, 4},
      {"不 at the end", "", 0, "不", 4, "", 0, 4},
      {"no tone known stays so", "", 0, "你", 0, "好", 3, 0},
      {"4 before 4", "", 0, "再", 4, "见", 4, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToneInSpeech(Unit(c.previous, c.previous_tone), Unit(c.current, c.tone),
                           Unit(c.next, c.next_tone)),
              c.expected)
        << c.name;
  }
}

TEST(ToneChanges, TheTonesAReadingCanTakeInSpeech) {
  auto tones = [](const std::string& character, uint8_t tone) {
    const SpokenCharacter unit = Unit(character, tone);
    return TonesInSpeech(unit.character, unit.reading);
  };
  EXPECT_EQ(tones("你", 3), (1 << 3) | (1 << 2));
  EXPECT_EQ(tones("天", 1), 1 << 1);
  EXPECT_EQ(tones("们", 5), 1 << 5);
  EXPECT_EQ(tones("一", 1), (1 << 1) | (1 << 2) | (1 << 4));
  EXPECT_EQ(tones("不", 4), (1 << 4) | (1 << 2));
  EXPECT_EQ(tones("你", 0), 0) << "no tone known: only the toneless clip";
}

}  // namespace
