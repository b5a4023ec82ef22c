// Numbers read as Chinese numerals: the quantity reading, and how the walk
// over a text decides between a quantity and digit by digit.
#include <string>
#include <vector>

#include "host_test.h"
#include "numerals.h"
#include "speech_units.h"

namespace {

// The numerals as text in code page 936.
std::string Show(const uint16_t* numerals, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += static_cast<char>(numerals[i] >> 8);
    out += static_cast<char>(numerals[i] & 0xFF);
  }
  return out;
}

std::string Quantity(const std::string& digits) {
  std::vector<uint8_t> values;
  for (char c : digits) values.push_back(static_cast<uint8_t>(c - '0'));
  uint16_t out[kQuantityMaxNumerals];
  const int n = ReadQuantity(values.data(), static_cast<int>(values.size()), out);
  return Show(out, n);
}

TEST(Numerals, AQuantityIsReadWithItsPlacesAndOneZeroForEachGap) {
  struct Case {
    const char* digits;
    const char* expected;
  };
  const Case cases[] = {
      {"1", "一"},
      {"10", "十"},
      {"11", "十一"},
      {"15", "十五"},
      {"20", "二十"},
      {"100", "一百"},
      {"101", "一百零一"},
      {"110", "一百一十"},
      {"199", "一百九十九"},
      {"1000", "一千"},
      {"1001", "一千零一"},
      {"1010", "一千零一十"},
      {"2008", "二千零八"},
      {"10000", "一万"},
      {"10086", "一万零八十六"},
      {"10100", "一万零一百"},
      {"100000", "十万"},
      {"100001", "十万零一"},
      {"100000000", "一亿"},
      {"100010000", "一亿零一万"},
      {"100000001", "一亿零一"},
      {"999999999999", "九千九百九十九亿九千九百九十九万九千九百九十九"},
  };
  for (const Case& c : cases) EXPECT_EQ(Quantity(c.digits), c.expected) << c.digits;
}

// What the walk over `text` speaks, each unit as its character ("" for a
// unit without one).
std::vector<std::string> Walk(const std::string& text) {
  UnitWalker walker(static_cast<int32_t>(text.size()));
  walker.Rebind(text.c_str(), static_cast<int32_t>(text.size()));
  std::vector<std::string> out;
  SpokenCharacter unit;
  while (walker.Next(&unit)) {
    out.push_back(unit.character == 0 ? "" : Show(&unit.character, 1));
  }
  return out;
}

TEST(Numerals, TheWalkReadsDigitRunsAsQuantitiesOrDigitByDigit) {
  using Units = std::vector<std::string>;
  struct Case {
    const char* text;
    Units expected;
  };
  const Case cases[] = {
      {"0", {"零"}},
      {"10", {"十"}},
      {"2015年", {"二", "零", "一", "五", "年"}},     // a year
      {"2015", {"二", "千", "零", "一", "十", "五"}},  // not before 年
      {"12345年", {"一", "万", "二", "千", "三", "百", "四", "十", "五", "年"}},
      {"007", {"零", "零", "七"}},                     // a leading zero
      {"1234567890123", {"一", "二", "三", "四", "五", "六", "七", "八", "九", "零", "一", "二", "三"}},
      {"3.14", {"三", "点", "一", "四"}},
      {"0.5", {"零", "点", "五"}},
      {"10.05", {"十", "点", "零", "五"}},
      {"1.2.3", {"一", "点", "二", "", "三"}},         // only the first point counts
      {"3.a", {"三", ""}},                             // a point not between digits
      {"１２", {"十", "二"}},                           // full-width digits
      {"1２.５", {"十", "二", "点", "五"}},              // mixed, with a full-width point
      {"12．5", {"十", "二", "点", "五"}},
      {"a1", {"", "一"}},
      {"第1", {"第", "一"}},
      {"5", {"五"}},                                   // a last lone byte that is a digit
      {"中5", {"中", "五"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Walk(c.text), c.expected) << c.text;
}

TEST(Numerals, TheWalkNeverReadsPastItsLimit) {
  const std::string text = "123456";
  UnitWalker walker(2);  // the run's length was fixed when it held "12"
  walker.Rebind(text.c_str(), static_cast<int32_t>(text.size()));
  std::vector<std::string> out;
  SpokenCharacter unit;
  while (walker.Next(&unit)) out.push_back(Show(&unit.character, 1));
  EXPECT_EQ(out, (std::vector<std::string>{"十", "二"}));
}

}  // namespace
