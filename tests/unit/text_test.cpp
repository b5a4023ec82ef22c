// The shared text helpers: allocation sizes, absent versus empty, cutting,
// number parsing with full-width forms, and truncation.
#include <cfenv>
#include <cstring>
#include <limits>
#include <string>

#include "constant_texts.h"
#include "host_test.h"
#include "text.h"

namespace {

using TextHelpers = HostTest;

// The text a Text holds, or "<absent>".
std::string Show(const Text& t) { return t.absent() ? "<absent>" : std::string(t.get()); }

TEST_F(TextHelpers, ConcatTextAllocatesOneMoreThanThePartsAndAlwaysGivesAText) {
  struct Case {
    std::initializer_list<const char*> parts;
    const char* expected;
  };
  const Case cases[] = {
      {{"sylbank\\", "ni", ".wav"}, "sylbank\\ni.wav"},
      {{"a", nullptr, "bc"}, "abc"},  // an absent part counts as empty
      {{"", ""}, ""},                 // every part empty: a one-byte Text
      {{nullptr, nullptr, nullptr, nullptr}, ""},
      {{"你", "好"}, "你好"},
  };
  for (const Case& c : cases) {
    fake.allocations.clear();
    Text joined = ConcatText(c.parts);
    ASSERT_FALSE(joined.absent()) << c.expected;
    EXPECT_EQ(Show(joined), c.expected);
    ASSERT_EQ(fake.allocations.size(), 1u);
    EXPECT_EQ(fake.allocations[0], std::strlen(c.expected) + 1) << "for \"" << c.expected << "\"";
  }
}

TEST_F(TextHelpers, TextMidCutsRawBytesAndIsAbsentOutsideTheText) {
  struct Case {
    const char* text;
    int32_t start, n;
    const char* expected;  // null: absent
  };
  const Case cases[] = {
      {"abc", 1, 2, "ab"},
      {"abc", 3, 5, "c"},            // cut short at the end
      {"abc", 2, 2, "bc"},
      {"你好", 2, 2, "\xE3\xBA"},     // splits two characters as they are
      {"abc", 4, 1, nullptr},        // start past the end
      {"abc", 0, 1, nullptr},
      {"abc", -3, 2, nullptr},
      {"abc", 1, 0, nullptr},
      {"abc", 1, -1, nullptr},
      {"", 1, 2, nullptr},
      {nullptr, 1, 2, nullptr},      // the absent text reads as empty
      {"abc", 2, std::numeric_limits<int32_t>::max(), "bc"},
  };
  for (const Case& c : cases) {
    fake.allocations.clear();
    Text cut = TextMid(c.text, c.start, c.n);
    const std::string where = std::string("TextMid(\"") + (c.text ? c.text : "<absent>") +
                              "\", " + std::to_string(c.start) + ", " + std::to_string(c.n) + ")";
    if (c.expected == nullptr) {
      EXPECT_TRUE(cut.absent()) << where << " gave " << Show(cut);
      EXPECT_TRUE(fake.allocations.empty()) << where << " allocated for an absent result";
    } else {
      EXPECT_EQ(Show(cut), c.expected) << where;
      ASSERT_EQ(fake.allocations.size(), 1u) << where;
      EXPECT_EQ(fake.allocations[0], std::strlen(c.expected) + 1) << where;
    }
  }
}

TEST_F(TextHelpers, BlankTextIsNSpacesAndATerminator) {
  Text blank = BlankText(255);
  ASSERT_EQ(fake.allocations.size(), 1u);
  EXPECT_EQ(fake.allocations[0], 256u);
  EXPECT_EQ(Show(blank), std::string(255, ' '));
  EXPECT_EQ(blank.get()[255], '\0');

  for (int32_t n : {0, -1, std::numeric_limits<int32_t>::min()}) {
    EXPECT_TRUE(BlankText(n).absent()) << "BlankText(" << n << ")";
  }
  EXPECT_EQ(fake.allocations.size(), 1u) << "an absent BlankText allocated";
}

TEST_F(TextHelpers, TextFreeIgnoresNullAndConstantTexts) {
  TextFree(nullptr);
  TextFree(kConstantTexts.clip_prefix);
  TextFree(kConstantTexts.clip_aliases[1]);
  TextFree(&kConstantTexts.no_reply[1]);  // the block's last byte
  EXPECT_TRUE(fake.heap_errors.empty()) << "a constant text reached the heap";

  char* block = TextAlloc(8);
  EXPECT_EQ(fake.live.size(), 1u);
  TextFree(block);
  EXPECT_EQ(fake.live.size(), 0u) << "a block from TextAlloc was not released";
}

TEST_F(TextHelpers, ARefusedAllocationIsFatalWithTheByteCount) {
  fake.refuse_allocation = 1;
  EXPECT_THROW(TextAlloc(4096), FatalReported);
  EXPECT_EQ(fake.fatal_message, "分配 4096 字节内存失败!");

  // Every Text goes through the same path, including a join.
  fake.refuse_allocation = 1;
  EXPECT_THROW(ConcatText({"close ", "syl"}), FatalReported);
  EXPECT_EQ(fake.fatal_message, "分配 10 字节内存失败!");
}

TEST_F(TextHelpers, TextToIntReadsTheLeadingNumberAfterFoldingFullWidthForms) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  struct Case {
    const char* text;
    int32_t expected;
  };
  const Case cases[] = {
      {"1234", 1234},
      {"１２３", 123},               // full-width digits
      {"\xA1\xA1" "42", 42},         // an ideographic space is white space
      {"－７", -7},                  // full-width minus
      {"＋８", 8},
      {"1２3", 123},                 // mixed widths
      {"12ab", 12},
      {"中12", 0},                   // a Chinese character stops the parse
      {"12中3", 12},
      {"～5", 0},                    // the tilde folds, but is no digit
      {"★1", 0},
      {"", 0},
      {nullptr, 0},
      {"     ", 0},
      {" \t\r\n\v\f-42", -42},
      {"+-1", 0},                    // one sign only
      {"-", 0},
      {"12\xB0", 12},                // a lone first byte before the end
      {"\xB0", 0},
      {"2147483647", kMax},
      {"-2147483648", kMin},
      {"2147483648", kMax},          // too large for 32 bits: clamped
      {"-2147483649", kMin},
      {"99999999999999999999999999", kMax},
      {"-99999999999999999999999999", kMin},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToInt(c.text), c.expected) << "TextToInt(\"" << (c.text ? c.text : "<absent>")
                                             << "\")";
  }
  EXPECT_TRUE(fake.allocations.empty()) << "TextToInt allocated";
}

TEST(TruncToInt, TruncatesTowardZeroInEveryRoundingMode) {
  struct Case {
    double x;
    int64_t expected;
  };
  const Case cases[] = {
      {2.7, 2}, {-2.7, -2}, {2.5, 2}, {-2.5, -2}, {0.5, 0}, {-0.5, 0},
      {2.0, 2}, {4.0 / 2.0, 2}, {5.0 / 2.0, 2}, {1e10 + 0.9, 10000000000},
  };
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    for (const Case& c : cases) {
      volatile double x = c.x;  // keep the conversion at run time, in this mode
      EXPECT_EQ(TruncToInt(x), c.expected) << "x = " << c.x << ", rounding mode " << mode;
    }
  }
  std::fesetround(FE_TONEAREST);
}

}  // namespace
