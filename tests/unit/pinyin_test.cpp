// The syllable lookup over the built-in tables: the facts every clip name
// depends on, the characters whose readings bind, and the shape of the data.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host_test.h"
#include "pinyin.h"
#include "pinyin_tables.h"

namespace {

using PinyinLookup = HostTest;

std::string Show(const Text& t) { return t.absent() ? "<absent>" : std::string(t.get()); }

std::string Hex(const char* unit) {
  std::ostringstream out;
  out << std::hex << std::uppercase;
  for (const char* p = unit; p != nullptr && *p != '\0'; ++p) out << (static_cast<unsigned>(*p) & 0xFF);
  return out.str();
}

// The two bytes of a code given as four hex digits' value, lead byte first.
std::string Code(unsigned code) {
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// Reading 1 of every code from 0xB0A1 to 0xF7FE, in code order.
std::map<unsigned, std::string> AllFirstReadings() {
  std::map<unsigned, std::string> out;
  for (unsigned lead = 0xB0; lead <= 0xF7; ++lead) {
    for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
      const unsigned code = lead << 8 | trail;
      Text s = PinyinOf(Code(code).c_str(), 1);
      if (!s.absent()) out[code] = s.get();
    }
  }
  return out;
}

TEST_F(PinyinLookup, GivesTheSyllableOfTheFirstTwoBytesOnly) {
  struct Case {
    const char* unit;
    const char* expected;  // null: absent
  };
  const Case cases[] = {
      {"中", "zhong"},
      {"中国", "zhong"},      // only the first two bytes count
      {"啊", "a"},            // no initial: the final alone
      {"二", "er"},
      {"一", "yi"},           // y and w are written as initials
      {"无", "wu"},
      {"鱼", "yu"},
      {"月", "yue"},
      {"女", "nu"},           // u-umlaut is written u
      {"绿", "lu"},
      {"吕", "lu"},
      {"律", "lu"},
      {"驴", "lu"},
      {"略", "lue"},
      {"虐", "nue"},
      {"去", "qu"},
      {"学", "xue"},
      {"说", "shuo"},         // several readings: the first
      {"佛", "fu"},
      {"俩", "lia"},
      {"庄", "zhuang"},       // the longest syllables
      {"双", "shuang"},
      {"窗", "chuang"},
      {nullptr, nullptr},     // absent, empty and one-byte units
      {"", nullptr},
      {"a", nullptr},
      {"\xD6", nullptr},      // a lone lead byte
      {"ab", nullptr},
      {"a\xC4", nullptr},     // ASCII, then the lead byte of a character
      {"，", nullptr},        // full-width comma A3AC
      {"丂", nullptr},        // GBK outside GB2312 (8140)
      {"\xAF\xFE", nullptr},  // lead byte just below the range
      {"\xF8\xA1", nullptr},  // user-defined rows
      {"\xFE\xFE", nullptr},
      {"\xB0\xA0", nullptr},  // trail byte just below the range
      {"\xB0\xFF", nullptr},  // trail byte 0xFF
      {"\xB0\x41", nullptr},
  };
  for (const Case& c : cases) {
    fake.allocations.clear();
    Text s = PinyinOf(c.unit, 1);
    const std::string where = "PinyinOf(" + (c.unit ? Hex(c.unit) : std::string("<absent>")) + ", 1)";
    if (c.expected == nullptr) {
      EXPECT_TRUE(s.absent()) << where << " gave " << Show(s);
      EXPECT_TRUE(fake.allocations.empty()) << where << " allocated for an absent result";
    } else {
      EXPECT_EQ(Show(s), c.expected) << where;
      ASSERT_EQ(fake.allocations.size(), 1u) << where;
      EXPECT_EQ(fake.allocations[0], std::strlen(c.expected) + 1) << where;
    }
  }
}

TEST_F(PinyinLookup, ReadingNumbersSelectSlotsAndNothingBeyondTheReadings) {
  struct Case {
    const char* unit;
    int32_t n;
    const char* expected;  // null: absent
  };
  const Case cases[] = {
      {"行", 1, "xing"}, {"行", 2, "hang"}, {"行", 3, "heng"}, {"行", 4, nullptr},
      {"行", 0, "xing"}, {"行", -5, "xing"},  // 0 and below select reading 1
      {"行", -2147483647 - 1, "xing"},
      {"行", 2147483647, nullptr},
      {"长", 2, "zhang"}, {"长", 3, nullptr},  // an empty slot
      {"中", 0, "zhong"}, {"中", -5, "zhong"},
      {"中", 2, nullptr},                      // a single reading has no slot 2
      {"曳", 2, "zhuai"}, {"拽", 2, "zhuai"}, {"转", 2, "zhuai"},
  };
  for (const Case& c : cases) {
    Text s = PinyinOf(c.unit, c.n);
    EXPECT_EQ(Show(s), c.expected ? c.expected : "<absent>")
        << "PinyinOf(" << Hex(c.unit) << ", " << c.n << ")";
  }
}

// Characters whose readings bind, in slot order; the 26 with three readings
// come first.
const std::vector<std::pair<const char*, std::vector<const char*>>> kBindingReadings = {
    {"堡", {"bao", "bu", "pu"}},     {"参", {"can", "cen", "shen"}},
    {"侧", {"ce", "ze", "zhai"}},    {"单", {"dan", "chan", "shan"}},
    {"龟", {"gui", "jun", "qiu"}},   {"呵", {"he", "a", "ke"}},
    {"和", {"he", "hu", "huo"}},     {"貉", {"hao", "he", "mo"}},
    {"嘿", {"hei", "hai", "mo"}},    {"咯", {"ge", "ka", "luo"}},
    {"落", {"luo", "la", "lao"}},    {"哪", {"na", "ne", "nei"}},
    {"呢", {"ne", "na", "ni"}},      {"尿", {"niao", "ni", "sui"}},
    {"魄", {"po", "bo", "tuo"}},     {"朴", {"pu", "piao", "po"}},
    {"说", {"shuo", "shui", "yue"}}, {"行", {"xing", "hang", "heng"}},
    {"咋", {"za", "ze", "zha"}},     {"着", {"zhe", "zhao", "zhuo"}},
    {"伽", {"jia", "qia", "qie"}},   {"陂", {"pi", "bei", "po"}},
    {"埤", {"bei", "bi", "pi"}},     {"挲", {"sa", "sha", "suo"}},
    {"镡", {"chan", "tan", "xin"}},  {"繇", {"yao", "you", "zhou"}},
    {"的", {"de", "di"}},            {"了", {"le", "liao"}},
    {"长", {"chang", "zhang"}},      {"重", {"zhong", "chong"}},
    {"还", {"hai", "huan"}},         {"都", {"dou", "du"}},
    {"乐", {"le", "yue"}},           {"中", {"zhong"}},
    {"国", {"guo"}},                 {"人", {"ren"}},
    {"地", {"di", "de"}},            {"得", {"de"}},
    {"大", {"da", "dai"}},           {"那", {"na", "nei"}},
    {"什", {"shen", "shi"}},         {"么", {"me", "ma"}},
    {"给", {"gei", "ji"}},           {"血", {"xie", "xue"}},
    {"调", {"tiao", "diao"}},        {"率", {"lu"}},
    {"谁", {"shui"}},                {"拽", {"ye", "zhuai"}},
    {"转", {"zhuan", "zhuai"}},      {"阿", {"a"}},
    {"嗯", {"en"}},                  {"无", {"wu", "mo"}},
    {"六", {"liu", "lu"}},           {"女", {"nu"}},
    {"略", {"lue"}},                 {"凹", {"ao", "wa"}},
    {"瞿", {"qu", "ju"}},
};

TEST_F(PinyinLookup, BindingReadingsHoldInSlotOrderAndEndThere) {
  for (const auto& [unit, readings] : kBindingReadings) {
    std::vector<std::string> got;
    for (int32_t n = 1; n <= 4; ++n) got.push_back(Show(PinyinOf(unit, n)));
    std::vector<std::string> expected(readings.begin(), readings.end());
    expected.resize(4, "<absent>");
    EXPECT_EQ(got, expected) << "readings 1 to 4 of " << Hex(unit);
  }
}

TEST_F(PinyinLookup, EmptyCodesHaveNoReading) {
  const unsigned empty[] = {
      0xD7FA, 0xD7FB, 0xD7FC, 0xD7FD, 0xD7FE, 0xD8BC, 0xD8CE, 0xD8D6, 0xD8E7, 0xD8E9, 0xD9E8,
      0xD9EF, 0xD9FB, 0xDAA2, 0xDAA5, 0xDAE0, 0xDAE2, 0xDBC8, 0xDBC9, 0xDCB3, 0xDEC3, 0xDED0,
      0xDFBC, 0xE1EA, 0xE1EB, 0xE2BA, 0xE2BB, 0xE2E0, 0xE3DC, 0xE3DF, 0xE5B2, 0xE5C1, 0xE5E6,
      0xE5F8, 0xE6F9, 0xEBB6, 0xECE1, 0xECEA, 0xEDB1, 0xEEC4, 0xF0DA, 0xF1C2, 0xF2AE,
  };
  ASSERT_EQ(std::size(empty), 43u);
  const std::map<unsigned, std::string> readings = AllFirstReadings();
  for (unsigned code : empty) {
    EXPECT_EQ(readings.count(code), 0u) << std::hex << code << " reads " << readings.at(code);
  }
  // Those are the only codes without a reading.
  EXPECT_EQ(readings.size(), 6768u - 43u);
  // Spot checks by character, as the user types them.
  EXPECT_TRUE(PinyinOf("丶", 1).absent());
  EXPECT_TRUE(PinyinOf("呒", 1).absent());
  EXPECT_TRUE(PinyinOf("虍", 1).absent());
}

// The 397 syllables that reading 1 can produce: the names the clip folder can
// be asked for.
const char kSyllables[] =
    "a ai an ang ao ba bai ban bang bao bei ben beng bi bian biao bie bin bing bo bu ca cai can "
    "cang cao ce cen ceng cha chai chan chang chao che chen cheng chi chong chou chu chuai chuan "
    "chuang chui chun chuo ci cong cou cu cuan cui cun cuo da dai dan dang dao de deng di dia dian "
    "diao die ding diu dong dou du duan dui dun duo e ei en er fa fan fang fei fen feng fou fu ga "
    "gai gan gang gao ge gei gen geng gong gou gu gua guai guan guang gui gun guo ha hai han hang "
    "hao he hei hen heng hong hou hu hua huai huan huang hui hun huo ji jia jian jiang jiao jie jin "
    "jing jiong jiu ju juan jue jun ka kai kan kang kao ke ken keng kong kou ku kua kuai kuan kuang "
    "kui kun kuo la lai lan lang lao le lei leng li lia lian liang liao lie lin ling liu long lou "
    "lu luan lue lun luo ma mai man mang mao me mei men meng mi mian miao mie min ming miu mo mou "
    "mu na nai nan nang nao ne nei nen neng ni nian niang niao nie nin ning niu nong nou nu nuan "
    "nue nuo o ou pa pai pan pang pao pei pen peng pi pian piao pie pin ping po pou pu qi qia qian "
    "qiang qiao qie qin qing qiong qiu qu quan que qun ran rang rao re ren reng ri rong rou ru ruan "
    "rui run ruo sa sai san sang sao se sen seng sha shai shan shang shao she shen sheng shi shou "
    "shu shua shuai shuan shuang shui shun shuo si song sou su suan sui sun suo ta tai tan tang tao "
    "te teng ti tian tiao tie ting tong tou tu tuan tui tun tuo wa wai wan wang wei wen weng wo wu "
    "xi xia xian xiang xiao xie xin xing xiong xiu xu xuan xue xun ya yan yang yao ye yi yin ying "
    "yo yong you yu yuan yue yun za zai zan zang zao ze zei zen zeng zha zhai zhan zhang zhao zhe "
    "zhen zheng zhi zhong zhou zhu zhua zhuan zhuang zhui zhun zhuo zi zong zou zu zuan zui zun "
    "zuo";

TEST_F(PinyinLookup, ReadingOneProducesExactlyTheSyllablesTheClipFolderCanHold) {
  std::set<std::string> expected;
  std::istringstream words(kSyllables);
  for (std::string w; words >> w;) expected.insert(w);
  ASSERT_EQ(expected.size(), 397u);

  std::set<std::string> produced;
  for (const auto& entry : AllFirstReadings()) produced.insert(entry.second);
  std::vector<std::string> extra, missing;
  std::set_difference(produced.begin(), produced.end(), expected.begin(), expected.end(),
                      std::back_inserter(extra));
  std::set_difference(expected.begin(), expected.end(), produced.begin(), produced.end(),
                      std::back_inserter(missing));
  EXPECT_TRUE(extra.empty()) << "not a clip name: " << ::testing::PrintToString(extra);
  EXPECT_TRUE(missing.empty()) << "never produced: " << ::testing::PrintToString(missing);

  // Every level-1 character (B0A1 to D7F9) has a reading.
  const std::map<unsigned, std::string> readings = AllFirstReadings();
  for (unsigned lead = 0xB0; lead <= 0xD7; ++lead) {
    for (unsigned trail = 0xA1; trail <= (lead == 0xD7 ? 0xF9u : 0xFEu); ++trail) {
      EXPECT_EQ(readings.count(lead << 8 | trail), 1u) << std::hex << (lead << 8 | trail);
    }
  }
}

// The tables as data: the counts and the encoding that the lookup relies on.
TEST(PinyinTables, HoldTheCountsAndEncodingTheLookupRelies) {
  int single = 0, multi = 0, two = 0, three = 0, readings = 0;
  std::vector<unsigned> rows_in_order;
  std::set<uint16_t> codes;
  for (int i = 0; i < kPinyinCellCount; ++i) {
    const uint16_t cell = PinyinCells[i];
    if (cell == 0) continue;
    if ((cell & 0x8000) == 0) {
      ++single;
      ++readings;
      codes.insert(cell);
      continue;
    }
    ++multi;
    rows_in_order.push_back(cell & 0x7FFFu);
    const uint16_t* row = PinyinRows[cell & 0x7FFF];
    const int filled = (row[0] != 0) + (row[1] != 0) + (row[2] != 0);
    EXPECT_TRUE(row[0] != 0 && row[1] != 0) << "row " << (cell & 0x7FFF) << " has fewer than two";
    EXPECT_FALSE(row[1] == 0 && row[2] != 0) << "row " << (cell & 0x7FFF) << " has a gap";
    (filled == 3 ? three : two)++;
    readings += filled;
    for (int s = 0; s < 3; ++s) {
      if (row[s] != 0) codes.insert(row[s]);
    }
  }
  EXPECT_EQ(single + multi, 6725);
  EXPECT_EQ(single, 6246);
  EXPECT_EQ(two, 453);
  EXPECT_EQ(three, 26);
  EXPECT_EQ(readings, 7230);
  EXPECT_EQ(codes.size(), 398u) << "one reading code per syllable";

  // Row r belongs to the (r + 1)-th multi-reading cell: 0, 1, 2, ... 478.
  ASSERT_EQ(rows_in_order.size(), static_cast<size_t>(kPinyinRowCount));
  for (unsigned r = 0; r < rows_in_order.size(); ++r) {
    ASSERT_EQ(rows_in_order[r], r) << "the " << r + 1 << "-th multi-reading cell";
  }
  EXPECT_EQ(PinyinCells[(0xB0 - 0xB0) * 94 + (0xBC - 0xA1)], 0x8000) << "row 0 is 凹 B0BC";

  // Every code: a non-zero low byte, parts within the table, an initial
  // (1..23) only ever followed by a final (24..55).
  for (uint16_t code : codes) {
    const unsigned low = code & 0xFF, high = code >> 8;
    EXPECT_NE(low, 0u) << std::hex << code;
    EXPECT_LT(low, 56u) << std::hex << code;
    EXPECT_LT(high, 56u) << std::hex << code;
    if (low <= 23) {
      EXPECT_GE(high, 24u) << std::hex << code;
    } else {
      EXPECT_EQ(high, 0u) << std::hex << code;
    }
  }

  // Two cells quoted as they are encoded.
  EXPECT_EQ(PinyinCells[(0xD6 - 0xB0) * 94 + (0xD0 - 0xA1)], 0x2801) << "中: zh + ong";
  EXPECT_EQ(PinyinCells[0], 0x0021) << "啊: a";
}

TEST(PinyinTables, PartCodesSpellTheInitialsAndFinals) {
  const char* const expected[56] = {
      "",     "zh",   "ch",   "sh",   "b",   "p",    "m",   "f",   "d",   "t",   "n",  "l",
      "g",    "k",    "h",    "j",    "q",   "x",    "r",   "z",   "c",   "s",   "y",  "w",
      "ang",  "eng",  "an",   "ai",   "ao",  "ou",   "er",  "en",  "ei",  "a",   "o",  "e",
      "uang", "iang", "iong", "ing",  "ong", "uai",  "uan", "iao", "ian", "ui",  "iu", "ie",
      "ue",   "in",   "un",   "ia",   "ua",  "uo",   "i",   "u",
  };
  for (int code = 0; code < kPinyinPartCount; ++code) {
    EXPECT_STREQ(PinyinParts[code], expected[code]) << "part code " << code;
  }
}

}  // namespace
