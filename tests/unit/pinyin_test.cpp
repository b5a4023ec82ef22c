// The syllable lookup over the built-in tables: the facts every clip name
// depends on, the characters whose readings bind, the tone of reading 1, the
// characters of code page 936 outside GB2312, and the shape of the data.
//
// The syllables, part codes, fixed readings and counts are read from the
// generator's lists (tools/pinyin/lists.txt) and every code's reading 1 from
// its decisions files, through the folder CMake passes in as
// SYLSPEAK_PINYIN_DIR, so that no fact of the tables is restated here.
#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
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

std::string HexCode(unsigned code) {
  std::ostringstream out;
  out << std::hex << std::uppercase << code;
  return out.str();
}

// The two bytes of a code given as four hex digits' value, lead byte first.
std::string Code(unsigned code) {
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

std::string Spelled(uint16_t code) {
  char letters[kSyllableMaxLength + 1];
  SpellReading(code, letters);
  return letters;
}

std::ifstream OpenPinyinFile(const std::string& name) {
  std::ifstream in(std::string(SYLSPEAK_PINYIN_DIR) + "/" + name);
  if (!in) ADD_FAILURE() << "cannot read tools/pinyin/" << name;
  return in;
}

// lists.txt: each section's lines, each line split into its fields.
using Lines = std::vector<std::vector<std::string>>;

const std::map<std::string, Lines>& Lists() {
  static const std::map<std::string, Lines> sections = [] {
    std::map<std::string, Lines> out;
    std::ifstream in = OpenPinyinFile("lists.txt");
    std::string current;
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::vector<std::string> fields;
      for (std::string w; words >> w;) fields.push_back(w);
      if (fields.empty() || fields[0][0] == '#') continue;
      if (fields[0].front() == '[' && fields[0].back() == ']') {
        current = fields[0].substr(1, fields[0].size() - 2);
      } else {
        out[current].push_back(fields);
      }
    }
    return out;
  }();
  return sections;
}

const Lines& ListSection(const std::string& name) {
  static const Lines none;
  const auto found = Lists().find(name);
  if (found == Lists().end()) {
    ADD_FAILURE() << "lists.txt has no section [" << name << "]";
    return none;
  }
  return found->second;
}

// A total of the [counts] section.
size_t ListCount(const std::string& name) {
  for (const auto& fields : ListSection("counts")) {
    if (fields.size() == 2 && fields[0] == name) return std::stoul(fields[1]);
  }
  ADD_FAILURE() << "lists.txt [counts] has no " << name;
  return 0;
}

std::set<std::string> ListedSyllables() {
  std::set<std::string> out;
  for (const auto& fields : ListSection("syllables")) out.insert(fields.begin(), fields.end());
  return out;
}

// Reading 1 of a code as a decisions file records it: its syllable ("" for
// none) and tone (0 for none).
struct Decision {
  unsigned code;
  std::string syllable;
  int tone;
};

std::vector<Decision> Decisions(const std::string& name) {
  std::vector<Decision> out;
  std::ifstream in = OpenPinyinFile(name);
  for (std::string line; std::getline(in, line);) {
    // CODE CHAR READINGS  tone T FROM  RULE; the later sections of the file
    // have no tone field.
    const size_t tone_at = line.find("  tone ");
    if (line.empty() || line[0] == '#' || tone_at == std::string::npos) continue;
    std::istringstream head(line.substr(0, tone_at));
    std::string code, shown, syllable;
    head >> code >> shown >> syllable;
    const char tone = line.at(tone_at + 7);
    out.push_back({static_cast<unsigned>(std::stoul(code, nullptr, 16)), syllable == "-" ? "" : syllable,
                   tone == '-' ? 0 : tone - '0'});
  }
  if (out.empty()) ADD_FAILURE() << "no codes in tools/pinyin/" << name;
  return out;
}

// Reading 1 of every code the tables give one, as ForEachFirstReading visits
// them.
struct Visit {
  unsigned code;
  Reading reading;
};

std::vector<Visit> AllFirstReadings() {
  std::vector<Visit> out;
  ForEachFirstReading(
      [](unsigned char lead, unsigned char trail, Reading reading, void* context) {
        static_cast<std::vector<Visit>*>(context)->push_back({static_cast<unsigned>(lead << 8 | trail), reading});
      },
      &out);
  return out;
}

// Whether a code lies in the main tables (GB2312 levels 1 and 2).
bool InMainTables(unsigned code) {
  const unsigned lead = code >> 8, trail = code & 0xFF;
  return lead >= kPinyinLeadFirst && lead <= kPinyinLeadLast && trail >= kPinyinTrailFirst &&
         trail <= kPinyinTrailLast;
}

std::map<unsigned, std::string> FirstSyllablesByCode() {
  std::map<unsigned, std::string> out;
  for (const Visit& v : AllFirstReadings()) out[v.code] = Spelled(v.reading.code);
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
      {"這", "zhe"},          // code page 936 outside GB2312: traditional forms
      {"體", "ti"},
      {"說", "shuo"},
      {"們", "men"},
      {"丂", "kao"},          // the first code of the extension (8140)
      {"\xB0\xA0", "bei"},    // 盃: a trail byte just below GB2312's, same lead
      {"\xB0\x41", "lao"},    // 癆
      {"\x81\x80", "yu"},     // 亐: the trail byte after the skipped 0x7F
      {nullptr, nullptr},     // absent, empty and one-byte units
      {"", nullptr},
      {"a", nullptr},
      {"\xD6", nullptr},      // a lone lead byte
      {"ab", nullptr},
      {"a\xC4", nullptr},     // ASCII, then the lead byte of a character
      {"，", nullptr},        // full-width comma A3AC
      {"\xAF\xFE", nullptr},  // user-defined rows of the GB2312 area
      {"\xF8\xA1", nullptr},
      {"\xFE\xFE", nullptr},
      {"\xA1\x40", nullptr},  // user-defined codes below the GB2312 area
      {"跩", nullptr},        // the source reads zhuai, not a syllable of reading 1
      {"\xB0\xFF", nullptr},  // trail byte 0xFF
      {"\x81\x7F", nullptr},  // trail byte 0x7F
      {"\x81\x3F", nullptr},  // trail byte below 0x40
      {"\x80\x40", nullptr},  // lead byte 0x80
      {"\xFF\x40", nullptr},  // lead byte 0xFF
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
      {"凹", 1, "ao"}, {"凹", 2, "wa"}, {"凹", 3, nullptr},  // the first row
      {"瞿", 1, "qu"}, {"瞿", 2, "ju"}, {"瞿", 3, nullptr},  // the last row
      // The extension holds reading 1 only.
      {"說", 1, "shuo"}, {"說", 0, "shuo"}, {"說", -7, "shuo"},
      {"說", 2, nullptr}, {"說", 3, nullptr}, {"說", 2147483647, nullptr},
  };
  for (const Case& c : cases) {
    Text s = PinyinOf(c.unit, c.n);
    EXPECT_EQ(Show(s), c.expected ? c.expected : "<absent>")
        << "PinyinOf(" << Hex(c.unit) << ", " << c.n << ")";
  }
}

// The readings the lists bind (and the three-reading list restates) hold in
// slot order, and there are no more.
TEST_F(PinyinLookup, BindingReadingsHoldInSlotOrderAndEndThere) {
  size_t checked = 0;
  for (const char* section : {"binding", "three"}) {
    for (const auto& fields : ListSection(section)) {
      ASSERT_GE(fields.size(), 3u) << "[" << section << "] " << fields[0];
      const std::string unit = Code(std::stoul(fields[1], nullptr, 16));
      std::vector<std::string> got;
      for (int32_t n = 1; n <= 4; ++n) got.push_back(Show(PinyinOf(unit.c_str(), n)));
      std::vector<std::string> expected(fields.begin() + 2, fields.end());
      expected.resize(4, "<absent>");
      EXPECT_EQ(got, expected) << "readings 1 to 4 of " << fields[0] << " " << fields[1];
      ++checked;
    }
  }
  EXPECT_GT(checked, 0u);
}

TEST_F(PinyinLookup, EmptyCodesHaveNoReading) {
  const std::map<unsigned, std::string> readings = FirstSyllablesByCode();
  std::set<unsigned> empty;
  for (const auto& fields : ListSection("empty")) empty.insert(std::stoul(fields.at(1), nullptr, 16));
  EXPECT_EQ(empty.size(), ListCount("empty"));
  for (unsigned code : empty) {
    EXPECT_TRUE(PinyinOf(Code(code).c_str(), 1).absent()) << std::hex << code;
    EXPECT_EQ(readings.count(code), 0u) << std::hex << code << " reads " << readings.at(code);
  }
  // Those are the only GB2312 codes without a reading.
  const size_t main_readings = std::count_if(readings.begin(), readings.end(),
                                             [](const auto& entry) { return InMainTables(entry.first); });
  EXPECT_EQ(main_readings, static_cast<size_t>(kPinyinCellCount) - empty.size());
  EXPECT_EQ(main_readings, ListCount("with-reading"));
  // Spot checks by character, as the user types them.
  EXPECT_TRUE(PinyinOf("丶", 1).absent());
  EXPECT_TRUE(PinyinOf("呒", 1).absent());
  EXPECT_TRUE(PinyinOf("虍", 1).absent());
}

TEST_F(PinyinLookup, ReadingOneProducesExactlyTheSyllablesTheClipFolderCanHold) {
  const std::set<std::string> expected = ListedSyllables();
  ASSERT_EQ(expected.size(), ListCount("first-syllables"));

  // Every code of code page 936, GB2312 and the extension alike: the clip
  // names the program can ask for.
  std::set<std::string> produced, produced_by_main;
  const std::map<unsigned, std::string> readings = FirstSyllablesByCode();
  for (const auto& [code, syllable] : readings) {
    produced.insert(syllable);
    if (InMainTables(code)) produced_by_main.insert(syllable);
  }
  std::vector<std::string> extra, missing;
  std::set_difference(produced.begin(), produced.end(), expected.begin(), expected.end(),
                      std::back_inserter(extra));
  std::set_difference(expected.begin(), expected.end(), produced_by_main.begin(), produced_by_main.end(),
                      std::back_inserter(missing));
  EXPECT_TRUE(extra.empty()) << "not a clip name: " << ::testing::PrintToString(extra);
  EXPECT_TRUE(missing.empty()) << "never produced by GB2312: " << ::testing::PrintToString(missing);

  // Every level-1 character has a reading.
  for (unsigned lead = kPinyinLeadFirst; lead <= kPinyinLevel1Last >> 8; ++lead) {
    for (unsigned trail = kPinyinTrailFirst; trail <= kPinyinTrailLast; ++trail) {
      const unsigned code = lead << 8 | trail;
      if (code > static_cast<unsigned>(kPinyinLevel1Last)) break;
      EXPECT_EQ(readings.count(code), 1u) << std::hex << code;
    }
  }
}

// PinyinOf and FirstReading are one lookup: on every pair of bytes they agree.
TEST_F(PinyinLookup, PinyinOfSpellsFirstReadingOnEveryPairOfBytes) {
  int mismatches = 0;
  for (unsigned lead = 1; lead <= 0xFF; ++lead) {
    for (unsigned trail = 1; trail <= 0xFF; ++trail) {
      const char unit[3] = {static_cast<char>(lead), static_cast<char>(trail), '\0'};
      const Reading reading = FirstReading(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
      const std::string expected = reading.code == 0 ? "<absent>" : Spelled(reading.code);
      const std::string got = Show(PinyinOf(unit, 1));
      if (got != expected && ++mismatches <= 10) {
        ADD_FAILURE() << "PinyinOf(" << Hex(unit) << ", 1) gave " << got << ", FirstReading spells " << expected;
      }
      if (reading.code == 0) {
        EXPECT_EQ(reading.tone, 0) << Hex(unit);
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// The tone of reading 1, as the clip of a toned bank is named after it.
TEST(FirstReading, GivesTheToneOfReadingOne) {
  struct Case {
    const char* unit;
    const char* syllable;  // null: no syllable
    int tone;
  };
  const Case cases[] = {
      {"你", "ni", 3},      {"是", "shi", 4},     {"中", "zhong", 1},   {"国", "guo", 2},
      {"的", "de", 5},      {"了", "le", 5},      {"么", "me", 5},      {"吗", "ma", 5},  // neutral
      {"呢", "ne", 5},      {"着", "zhe", 5},
      {"行", "xing", 2},    {"长", "chang", 2},   {"凹", "ao", 1},      // rows and bindings
      {"说", "shuo", 1},
      {"俩", "lia", 3},     // the override: from the source's liǎ, not its first reading
      {"佛", "fu", 2},      // a later source reading: fú
      {"茄", "jia", 0},     // rows whose reading 1 the source lacks: no tone
      {"挲", "sa", 0},      {"嘬", "chuai", 0},
      {"這", "zhe", 4},     {"體", "ti", 3},      {"說", "shuo", 1},    {"們", "men", 2},
      {"嗎", "ma", 5},      {"丂", "kao", 3},
      {"剋", "ke", 4},      // the source's kēi is no syllable of reading 1: kè
      {"跩", nullptr, 0},   // zhuǎi, not a syllable of reading 1
      {"\x81\x62", nullptr, 0},  // 乥: the source's entry is "null"
      {"丶", nullptr, 0},   // left empty
      {"，", nullptr, 0},   // a symbol row
      {"\xA1\x40", nullptr, 0},  // user-defined
      {"\xA8\x40", nullptr, 0},  // a symbol outside GB2312
      {"ab", nullptr, 0},
  };
  for (const Case& c : cases) {
    const Reading r = FirstReading(static_cast<unsigned char>(c.unit[0]), static_cast<unsigned char>(c.unit[1]));
    const std::string where = "FirstReading(" + Hex(c.unit) + ")";
    if (c.syllable == nullptr) {
      EXPECT_EQ(r.code, 0) << where << " spells " << Spelled(r.code);
    } else {
      EXPECT_EQ(Spelled(r.code), c.syllable) << where;
    }
    EXPECT_EQ(r.tone, c.tone) << where;
  }
}

// Every code of both decisions files: FirstReading gives the syllable and
// tone the generator recorded, and ForEachFirstReading visits exactly the
// codes with a syllable, GB2312 first, each part in code order.
TEST(FirstReading, AgreesWithTheGeneratorsRecordOfEveryCode) {
  const std::vector<Decision> main = Decisions("decisions.txt");
  const std::vector<Decision> extension = Decisions("decisions-extension.txt");
  EXPECT_EQ(main.size(), static_cast<size_t>(kPinyinCellCount));
  EXPECT_EQ(extension.size(), ListCount("extension-codes"));

  std::vector<Visit> expected_visits;
  size_t main_with = 0, main_toneless = 0, extension_with = 0;
  for (const auto* part : {&main, &extension}) {
    for (const Decision& d : *part) {
      const Reading r = FirstReading(static_cast<unsigned char>(d.code >> 8), static_cast<unsigned char>(d.code));
      EXPECT_EQ(Spelled(r.code), d.syllable) << std::hex << d.code;
      EXPECT_EQ(r.tone, d.tone) << std::hex << d.code << " " << d.syllable;
      if (d.syllable.empty()) continue;
      expected_visits.push_back({d.code, r});
      if (part == &main) {
        ++main_with;
        main_toneless += d.tone == 0;
      } else {
        ++extension_with;
      }
    }
  }
  EXPECT_EQ(main_with, ListCount("with-reading"));
  EXPECT_EQ(main_toneless, ListCount("without-tone"));
  EXPECT_EQ(extension_with, ListCount("extension-with-syllable"));

  const std::vector<Visit> visits = AllFirstReadings();
  ASSERT_EQ(visits.size(), expected_visits.size());
  for (size_t i = 0; i < visits.size(); ++i) {
    ASSERT_EQ(HexCode(visits[i].code), HexCode(expected_visits[i].code)) << "visit " << i;
    EXPECT_EQ(visits[i].reading.code, expected_visits[i].reading.code) << HexCode(visits[i].code);
    EXPECT_EQ(visits[i].reading.tone, expected_visits[i].reading.tone) << HexCode(visits[i].code);
  }
  ForEachFirstReading(nullptr, nullptr);  // nothing to call: nothing happens
}

TEST(SpellReading, SpellsAFinalAloneOrAnInitialAndAFinal) {
  struct Case {
    uint16_t code;
    const char* letters;  // "" spells nothing
  };
  const Case cases[] = {
      {0x2801, "zhong"},  // zh + ong
      {0x0021, "a"},      // a final alone
      {0x001E, "er"},
      {0x2401, "zhuang"}, {0x2403, "shuang"}, {0x2402, "chuang"},  // the longest
      {0x0000, ""},       // no syllable
      {0x0001, ""},       // an initial alone
      {0x0201, ""},       // two initials
      {0x2118, ""},       // a final after a final
      {0x2800, ""},       // nothing before the final
      {0x2624, ""},       // uang + iong: would overrun the buffer
      {0x0038, ""},       // part codes past the table
      {0x3801, ""},
      {0xFFFF, ""},
  };
  for (const Case& c : cases) {
    std::array<char, kSyllableMaxLength + 1> out;
    out.fill('#');
    const int32_t n = SpellReading(c.code, out.data());
    EXPECT_STREQ(out.data(), c.letters) << "code " << std::hex << c.code;
    EXPECT_EQ(n, static_cast<int32_t>(std::strlen(c.letters))) << "code " << std::hex << c.code;
  }
  EXPECT_EQ(SpellReading(0x2801, nullptr), 0);
}

// The tables as data: the counts and the encoding that the lookup relies on.
TEST(PinyinTables, HoldTheCountsAndEncodingTheLookupRelies) {
  size_t single = 0, multi = 0, two = 0, three = 0, readings = 0;
  std::vector<unsigned> rows_in_order;
  std::set<uint16_t> codes;
  for (int i = 0; i < kPinyinCellCount; ++i) {
    const uint16_t cell = PinyinCells[i];
    if (cell == 0) continue;
    if ((cell & kPinyinRowBit) == 0) {
      ++single;
      ++readings;
      codes.insert(cell);
      continue;
    }
    const unsigned row_number = cell & (kPinyinRowBit - 1);
    ++multi;
    rows_in_order.push_back(row_number);
    ASSERT_LT(row_number, static_cast<unsigned>(kPinyinRowCount));
    const uint16_t* row = PinyinRows[row_number];
    const int filled = (row[0] != 0) + (row[1] != 0) + (row[2] != 0);
    EXPECT_TRUE(row[0] != 0 && row[1] != 0) << "row " << row_number << " has fewer than two";
    EXPECT_FALSE(row[1] == 0 && row[2] != 0) << "row " << row_number << " has a gap";
    (filled == 3 ? three : two)++;
    readings += filled;
    for (int s = 0; s < kPinyinSlotCount; ++s) {
      if (row[s] != 0) codes.insert(row[s]);
    }
  }
  EXPECT_EQ(single + multi, ListCount("with-reading"));
  EXPECT_EQ(single, ListCount("single"));
  EXPECT_EQ(two, ListCount("two-readings"));
  EXPECT_EQ(three, ListCount("three-readings"));
  EXPECT_EQ(readings, ListCount("readings"));
  EXPECT_EQ(codes.size(), ListCount("reading-codes")) << "one reading code per syllable";

  // Row r belongs to the (r + 1)-th multi-reading cell: 0, 1, 2, ... to the last.
  ASSERT_EQ(rows_in_order.size(), ListCount("rows"));
  ASSERT_EQ(rows_in_order.size(), static_cast<size_t>(kPinyinRowCount));
  for (unsigned r = 0; r < rows_in_order.size(); ++r) {
    ASSERT_EQ(rows_in_order[r], r) << "the " << r + 1 << "-th multi-reading cell";
  }
  const auto cell_of = [](unsigned code) {
    return PinyinCells[((code >> 8) - kPinyinLeadFirst) * kPinyinTrailCount + ((code & 0xFF) - kPinyinTrailFirst)];
  };
  EXPECT_EQ(cell_of(0xB0BC), kPinyinRowBit | 0) << "row 0 is 凹 B0BC";

  // Every code: a non-zero low byte, parts within the table, an initial only
  // ever followed by a final, a final alone.
  for (uint16_t code : codes) {
    const unsigned low = code & 0xFF, high = code >> 8;
    EXPECT_NE(low, 0u) << std::hex << code;
    EXPECT_LT(low, static_cast<unsigned>(kPinyinPartCount)) << std::hex << code;
    EXPECT_LT(high, static_cast<unsigned>(kPinyinPartCount)) << std::hex << code;
    if (low < kPinyinFirstFinal) {
      EXPECT_GE(high, static_cast<unsigned>(kPinyinFirstFinal)) << std::hex << code;
    } else {
      EXPECT_EQ(high, 0u) << std::hex << code;
    }
  }

  // Two cells quoted as they are encoded.
  EXPECT_EQ(cell_of(0xD6D0), 0x2801) << "中: zh + ong";
  EXPECT_EQ(cell_of(0xB0A1), 0x0021) << "啊: a";
}

TEST(PinyinTables, PartCodesSpellTheInitialsAndFinals) {
  std::vector<std::string> expected(kPinyinPartCount);
  for (const auto& fields : ListSection("parts")) expected.at(std::stoul(fields.at(0))) = fields.at(1);
  for (int code = 0; code < kPinyinPartCount; ++code) {
    EXPECT_EQ(PinyinParts[code], expected[code]) << "part code " << code;
  }
}

}  // namespace
