// The speak run on the fake host: which clips a text plays, in which order,
// each waited out; reading the box again only after edits; nesting; closing
// mid-run; the window answering during long runs without clips.
#include <string>
#include <vector>

#include "host_test.h"
#include "speak_run.h"

namespace {

using Clips = std::vector<std::string>;

// A text and the clips its run plays, in order.
struct SpokenCase {
  const char* name;
  std::string box;
  Clips expected;
};

class SpeakRunTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    AddToneless();
  }

  // A bank of toneless clips only, as users record them.
  void AddToneless() {
    fake.AddClip("ni", 300);
    fake.AddClip("hao", 400);
    fake.AddClip("guo", 250);
    fake.AddClip("shuo", 350);
    fake.AddClip("su", 200);
  }

  // Speaks `box` and checks the clips it played, in order.
  void ExpectPlayed(const char* name, const std::string& box, const Clips& expected) {
    fake.box = box;
    SpeakRun();
    EXPECT_EQ(fake.PlayedNames(), expected) << name << "\n" << fake.Log();
  }

  // Runs `action` as a message dispatched during the wait of the n-th play.
  void DuringPlay(int n, std::function<void()> action) {
    fake.on_mci = [this, n, action, plays = 0](const MciCall& call) mutable {
      if (call.command.compare(0, 5, "play ") == 0 && ++plays == n) fake.PostClick(action);
    };
  }
};

TEST_F(SpeakRunTest, TextIsCutIntoCharactersAndUnitsWithoutASyllable) {
  struct Case {
    const char* name;
    std::string box;
    bool pause_clip;  // whether sylbank\.wav exists
    Clips expected;
  };
  const Case cases[] = {
      {"two characters", "你好", false, {"ni", "hao"}},
      {"one reading of several", "说", false, {"shuo"}},
      {"ASCII before Chinese", "a你好", true, {"", "ni", "hao"}},
      {"ASCII before Chinese, no pause clip", "a你好", false, {"ni", "hao"}},
      {"ASCII between characters", "你a好", true, {"ni", "", "hao"}},
      {"an ASCII pair", "你ab好", true, {"ni", "", "hao"}},
      {"odd length: the last byte is never a unit", "你好a", true, {"ni", "hao"}},
      {"a trailing lone lead byte", "你好\xD6", true, {"ni", "hao"}},
      {"punctuation has no syllable", "你，好", true, {"ni", "", "hao"}},
      {"a character twice", "你你", false, {"ni", "ni"}},
      {"a missing clip is skipped", "你中好", false, {"ni", "hao"}},
      {"a missing clip does not join two pauses", "，中，", true, {"", ""}},
  };
  for (const Case& c : cases) {
    SetUp();
    if (c.pause_clip) fake.AddClip("", 120);
    ExpectPlayed(c.name, c.box, c.expected);
    EXPECT_EQ(fake.live.size(), 0u) << c.name << ": Text blocks leaked";
    EXPECT_TRUE(fake.devices.empty()) << c.name << ": clips left open\n" << fake.Log();
  }
}

TEST_F(SpeakRunTest, ARunOfUnitsWithoutASyllableIsOnePause) {
  const SpokenCase cases[] = {
      {"Latin letters", "你Windows好", {"ni", "", "hao"}},
      {"only letters and spaces", "ab cd ef", {""}},
      {"several punctuation marks", "你！？……好", {"ni", "", "hao"}},
      {"a line break", "你\r\n好", {"ni", "", "hao"}},
      {"a line break after a full stop", "你。\r\n好。", {"ni", "", "hao", ""}},
      {"a blank line", "你\r\n\r\n好", {"ni", "", "hao"}},
      {"one mark, one pause", "你，好，你", {"ni", "", "hao", "", "ni"}},
  };
  for (const SpokenCase& c : cases) {
    SetUp();
    fake.AddClip("", 120);
    ExpectPlayed(c.name, c.box, c.expected);
  }
}

TEST_F(SpeakRunTest, NumbersAreReadInChinese) {
  const SpokenCase cases[] = {
      {"a quantity between characters", "你15好", {"ni", "shi", "wu", "hao"}},
      {"a year", "2015年", {"er", "ling", "yi", "wu", "nian"}},
      {"a decimal", "3.5", {"san", "dian", "wu"}},
      {"full-width digits", "１０", {"shi"}},
      {"at the very end of an odd-length text", "你5", {"ni", "wu"}},
      {"after a letter", "v2", {"", "er"}},
      {"a price", "$199", {"", "yi", "bai", "jiu", "shi", "jiu"}},
  };
  for (const SpokenCase& c : cases) {
    SetUp();
    fake.AddClip("", 120);
    for (const char* s : {"ling", "yi", "er", "san", "wu", "jiu", "shi", "bai", "dian", "nian"}) {
      fake.AddClip(s, 200);
    }
    ExpectPlayed(c.name, c.box, c.expected);
  }
}

TEST_F(SpeakRunTest, TheTonedClipPlaysWhereTheBankHasOneAndTheTonelessOneElse) {
  struct Case {
    const char* name;
    std::string box;
    std::vector<std::string> toned;  // toned clips in the bank besides the toneless ones
    Clips expected;
  };
  const std::vector<std::string> full = {"ni2", "ni3", "hao3", "wo2", "hen2", "yi1", "yi2",
                                         "yi4", "ge4",  "bu2",  "shi4", "di4", "tian1", "jia1"};
  const Case cases[] = {
      {"a toneless bank", "你好", {}, {"ni", "hao"}},
      {"third before third: 你好", "你好", full, {"ni2", "hao3"}},
      {"left to right: 我很好", "我很好", full, {"wo2", "hen2", "hao3"}},
      {"a missing toned clip falls back to the toneless one", "你好", {"hao3"}, {"ni", "hao3"}},
      {"一个", "一个", full, {"yi2", "ge4"}},
      {"一天", "一天", full, {"yi4", "tian1"}},
      {"第一", "第一", full, {"di4", "yi1"}},
      {"一 at the end, after punctuation", "好，一", full, {"hao3", "", "yi1"}},
      {"一 before punctuation", "一，", full, {"yi1", ""}},
      {"不是", "不是", full, {"bu2", "shi4"}},
      {"a digit is its numeral: 1个", "1个", full, {"yi2", "ge4"}},
      {"numerals keep yi1: 11", "11", full, {"shi", "yi1"}},
      {"no tone known: 茄 plays its toneless clip", "茄", full, {"jia"}},
  };
  for (const Case& c : cases) {
    SetUp();
    fake.AddClip("", 120);
    for (const char* s : {"wo", "hen", "yi", "ge", "bu", "shi", "di", "tian", "jia"}) fake.AddClip(s, 200);
    for (const std::string& name : c.toned) fake.AddClip(name, 200);
    ExpectPlayed(c.name, c.box, c.expected);
  }
}

TEST_F(SpeakRunTest, TraditionalCharactersAreRead) {
  fake.AddClip("", 120);
  for (const char* s : {"zhe", "shi", "fan", "ti", "zhong", "wen", "wo", "men", "shuo", "hua"}) {
    fake.AddClip(s, 200);
  }
  fake.box = "這是繁體中文，我們說話。";
  SpeakRun();
  EXPECT_EQ(fake.PlayedNames(), (Clips{"zhe", "shi", "fan", "ti", "zhong", "wen", "", "wo", "men",
                                       "shuo", "hua", ""}))
      << fake.Log();
}

TEST_F(SpeakRunTest, NothingHappensWithoutAUnit) {
  for (const char* box : {"", "a", "\xC4"}) {
    SetUp();
    fake.box = box;
    fake.voice_folder_usable = false;
    SpeakRun();
    EXPECT_TRUE(fake.mci.empty()) << "box \"" << box << "\"\n" << fake.Log();
    EXPECT_EQ(fake.tick_reads, 0) << "box \"" << box << "\" waited";
    EXPECT_EQ(fake.voice_folder_notices, 0) << "box \"" << box << "\"";
  }
}

TEST_F(SpeakRunTest, AMissingVoiceFolderIsSaidOnceAndNothingIsPlayed) {
  fake.box = "你好";
  fake.voice_folder_usable = false;
  SpeakRun();
  EXPECT_EQ(fake.voice_folder_notices, 1);
  EXPECT_TRUE(fake.mci.empty()) << fake.Log();
  // A later click finds a folder that has appeared since.
  fake.voice_folder_usable = true;
  SpeakRun();
  EXPECT_EQ(fake.PlayedNames(), (Clips{"ni", "hao"})) << fake.Log();
}

TEST_F(SpeakRunTest, EachClipStartsWhenTheOneBeforeHasEnded) {
  fake.box = "你好";
  SpeakRun();
  const Clips expected_commands = {
      "open \"sylbank\\ni.wav\" alias syl1", "status syl1 length", "play syl1 from 0",
      "open \"sylbank\\hao.wav\" alias syl2", "status syl2 length",
      "play syl2 from 0", "close syl1",
      "close syl2",
  };
  ASSERT_EQ(fake.Commands(), expected_commands) << fake.Log();
  ASSERT_EQ(fake.played.size(), 2u);
  const uint32_t gap = fake.played[1].time - fake.played[0].time;
  EXPECT_GE(gap, 300u) << fake.Log();
  EXPECT_LE(gap, 312u) << fake.Log();
  // The run ends when the last clip has sounded, not before.
  EXPECT_GE(fake.mci.back().time - fake.played[1].time, 400u) << fake.Log();
}

TEST_F(SpeakRunTest, AMissingClipOrADirectoryCostsNoWait) {
  // A directory named like a clip passes the file search; MCI cannot open
  // it, so it is not played and the run goes on at once.
  fake.directories.insert("sylbank\\guo.wav");
  fake.files.erase("sylbank\\guo.wav");
  fake.box = "国中";
  SpeakRun();
  EXPECT_TRUE(fake.played.empty()) << fake.Log();
  EXPECT_EQ(fake.slept_ms, 0u);
}

TEST_F(SpeakRunTest, AClipWhoseHeaderOverstatesItsLengthCostsOnlyItsSound) {
  fake.AddClip("ni", 600000);
  fake.sound_ms[FakeHost::ClipPath("ni")] = 250;
  fake.box = "你好";
  SpeakRun();
  ASSERT_EQ(fake.played.size(), 2u) << fake.Log();
  EXPECT_LE(fake.played[1].time - fake.played[0].time, 250u + fake.stopped_lag_ms + 55u) << fake.Log();
}

TEST_F(SpeakRunTest, TheBoxIsReadAgainOnlyAfterItChanged) {
  fake.box = "你好你好你好你好";
  SpeakRun();
  EXPECT_EQ(fake.box_reads, 1);

  ResetFake();
  AddToneless();
  fake.box = "你好你好你好你好";
  DuringPlay(2, [this] { fake.Edit("你好国国国国国国"); });
  SpeakRun();
  EXPECT_EQ(fake.box_reads, 2);
  EXPECT_EQ(fake.PlayedNames(), (Clips{"ni", "hao", "guo", "guo", "guo", "guo", "guo", "guo"}))
      << fake.Log();
}

TEST_F(SpeakRunTest, AClickDuringAWaitSpeaksTheWholeTextAgainThenTheFirstRunGoesOn) {
  fake.box = "你好";
  DuringPlay(1, [] { SpeakRun(); });
  SpeakRun();
  // Outer ni; the nested run cuts it and speaks ni, hao; the outer run then
  // continues with its second unit.
  EXPECT_EQ(fake.PlayedNames(), (Clips{"ni", "ni", "hao", "hao"})) << fake.Log();
  EXPECT_LE(fake.most_devices_open, 2u) << fake.Log();
  EXPECT_TRUE(fake.devices.empty()) << fake.Log();
}

TEST_F(SpeakRunTest, ManyNestedClicksKeepTheDevicesBounded) {
  fake.box = "你好国说你好国说";
  DuringPlay(1, [this] {
    for (int i = 0; i < 20; ++i) fake.PostClick([] { SpeakRun(); });
  });
  SpeakRun();
  EXPECT_LE(fake.most_devices_open, static_cast<size_t>(kMaxOpenClips)) << fake.Log();
  EXPECT_TRUE(fake.devices.empty()) << fake.Log();
  EXPECT_EQ(fake.live.size(), 0u);
}

TEST_F(SpeakRunTest, ClicksBeyondTheNestingLimitAreLetGo) {
  // 2,000 clicks queued during the first wait: each would start a run inside
  // the one before, on the same stack.
  fake.box = "你好";
  int runs = 0;
  DuringPlay(1, [this, &runs] {
    for (int i = 0; i < 2000; ++i) {
      fake.PostClick([&runs] {
        ++runs;
        SpeakRun();
      });
    }
  });
  SpeakRun();
  EXPECT_EQ(runs, 2000) << "every click was dispatched";
  // The first run and kMaxNestedRuns - 1 nested ones speak; the rest let go.
  EXPECT_EQ(fake.played.size(), static_cast<size_t>(kMaxNestedRuns) * 2) << fake.Log();
  EXPECT_TRUE(fake.devices.empty());
  EXPECT_LE(fake.most_devices_open, static_cast<size_t>(kMaxOpenClips));
}

TEST_F(SpeakRunTest, AnEditDuringARunShowsFromTheNextUnit) {
  struct Case {
    const char* name;
    std::string before, after;
    Clips expected;
  };
  const Case cases[] = {
      // The length stays as it was at the start: later text is never spoken.
      {"longer", "你好", "你国说说", {"ni", "guo"}},
      // A unit that starts past the new end ends the run.
      {"shorter", "你好说", "你", {"ni"}},
      {"emptied", "你好", "", {"ni"}},
      {"changed under the next unit", "你好说", "你说好", {"ni", "shuo", "hao"}},
  };
  for (const Case& c : cases) {
    SetUp();
    fake.AddClip("", 120);
    fake.box = c.before;
    DuringPlay(1, [this, after = c.after] { fake.Edit(after); });
    SpeakRun();
    EXPECT_EQ(fake.PlayedNames(), c.expected) << c.name << "\n" << fake.Log();
    EXPECT_EQ(fake.live.size(), 0u) << c.name << ": Text blocks leaked";
  }
}

TEST_F(SpeakRunTest, ClosingTheWindowDuringAWaitEndsEveryRunAtOnce) {
  struct Case {
    const char* name;
    bool nested;
  };
  for (const Case& c : {Case{"one run", false}, Case{"a nested run", true}}) {
    SetUp();
    fake.box = "你好国";
    auto close = [this] {
      fake.window_closed = true;  // reading the box now would be fatal
      fake.PostQuit();
    };
    uint32_t closed_at = 0;
    auto close_now = [this, close, &closed_at] {
      closed_at = fake.now;
      close();
    };
    if (c.nested) {
      // The nested run's first clip is the second one played.
      fake.on_mci = [this, close_now, plays = 0](const MciCall& call) mutable {
        if (call.command.compare(0, 5, "play ") != 0) return;
        ++plays;
        if (plays == 1) fake.PostClick([] { SpeakRun(); });
        if (plays == 2) fake.PostLater(10, close_now);
      };
    } else {
      DuringPlay(1, close_now);
    }
    EXPECT_NO_THROW(SpeakRun()) << c.name << ": " << fake.fatal_message;
    EXPECT_EQ(fake.PlayedNames(), c.nested ? Clips({"ni", "ni"}) : Clips({"ni"}))
        << c.name << "\n" << fake.Log();
    EXPECT_LE(fake.now - closed_at, 5u) << c.name << ": the runs went on waiting";
    EXPECT_TRUE(fake.devices.empty()) << c.name << ": clips left open\n" << fake.Log();
    ASSERT_FALSE(fake.queue.empty()) << c.name;
    EXPECT_TRUE(fake.queue.front().quit) << c.name << ": the quit message is left for the loop";
    EXPECT_EQ(fake.live.size(), 0u) << c.name << ": Text blocks leaked";
  }
}

TEST_F(SpeakRunTest, AClickQueuedBehindTheCloseSpeaksNothing) {
  fake.box = "你好";
  DuringPlay(1, [this] {
    fake.window_closed = true;
    fake.PostClick([] { SpeakRun(); });  // dispatched after the close
    fake.PostQuit();
  });
  EXPECT_NO_THROW(SpeakRun()) << fake.fatal_message;
  EXPECT_EQ(fake.PlayedNames(), (Clips{"ni"})) << fake.Log();
  EXPECT_TRUE(fake.devices.empty());
}

TEST_F(SpeakRunTest, TheWindowAnswersDuringALongStretchWithoutClips) {
  // 20,000 characters none of which has a clip: no wait at all, yet pending
  // messages are dispatched at least every 50 ms of the run's work.
  std::string box;
  for (int i = 0; i < 20000; ++i) box += "中";
  fake.box = box;
  fake.tick_step = 1;  // each unit reads the counter: 1 ms a unit
  uint32_t longest = 0;
  uint32_t posted_at = fake.now;
  std::function<void()> ping = [&] {
    longest = std::max(longest, fake.now - posted_at);
    posted_at = fake.now;
    fake.PostLater(1, ping);  // the next ping comes a moment later
  };
  fake.PostClick(ping);
  SpeakRun();
  fake.queue.clear();
  EXPECT_GT(fake.dispatched, 100);
  EXPECT_LE(longest, 60u);
}

TEST(UnitWidth, OneByteOnlyForASCIIBeforeALeadByteOrADigit) {
  struct Case {
    const char* content;
    int32_t p;
    int32_t expected;
  };
  const Case cases[] = {
      {"a\xC4\xE3", 1, 1}, {"\xC4\xE3" "a", 1, 2}, {"ab", 1, 2},   {"a", 1, 2},
      {"ab", 2, 2},        {"ab", 3, 2},           {nullptr, 1, 2}, {"a\xC4", 1, 1},
      {"a1", 1, 1},        {"$199", 1, 1},         {"1a", 1, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnitWidthAt(c.content, c.p), c.expected)
        << (c.content ? c.content : "<absent>") << " p = " << c.p;
  }
}

}  // namespace
