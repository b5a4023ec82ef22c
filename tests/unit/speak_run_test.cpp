// The speak run on the fake host: which clips a text plays, in which order,
// each waited out; re-reading the box per unit; nesting; closing mid-run.
#include <string>
#include <vector>

#include "host_test.h"
#include "speak_run.h"

namespace {

using Clips = std::vector<std::string>;

class SpeakRunTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    AddClip("ni", 300);
    AddClip("hao", 400);
    AddClip("guo", 250);
    AddClip("shuo", 350);
    AddClip("su", 200);
  }

  void AddClip(const std::string& syllable, int ms) {
    const std::string path = "sylbank\\" + syllable + ".wav";
    fake.files.insert(path);
    fake.lengths[path] = std::to_string(ms);
  }

  // The syllables of the clips opened under the alias, in order ("" for the
  // no-syllable clip).
  Clips Played() const {
    Clips out;
    const std::string open = "open \"sylbank\\";
    for (const std::string& command : fake.Commands()) {
      if (command.compare(0, open.size(), open) == 0) {
        out.push_back(command.substr(open.size(), command.find(".wav\"") - open.size()));
      }
    }
    return out;
  }

  // Runs `action` as a message dispatched during the wait of the n-th clip.
  void DuringWaitOfClip(int n, std::function<void()> action) {
    fake.on_mci = [this, n, action, plays = 0](const MciCall& call) mutable {
      if (call.command == "play syl" && ++plays == n) fake.PostClick(action);
    };
  }
};

TEST_F(SpeakRunTest, TextIsCutIntoCharactersAndASCIIUnits) {
  struct Case {
    const char* name;
    std::string box;
    bool no_syllable_clip;  // whether sylbank\.wav exists
    Clips expected;
  };
  const Case cases[] = {
      {"two characters", "你好", false, {"ni", "hao"}},
      {"one reading of several", "说", false, {"shuo"}},
      {"ASCII before Chinese", "a你好", true, {"", "ni", "hao"}},
      {"ASCII before Chinese, no clip for it", "a你好", false, {"ni", "hao"}},
      {"ASCII between characters", "你a好", true, {"ni", "", "hao"}},
      {"an ASCII pair", "你ab好", true, {"ni", "", "hao"}},
      {"odd length: the last byte is never a unit", "你好a", true, {"ni", "hao"}},
      {"a trailing lone lead byte", "你好\xD6", true, {"ni", "hao"}},
      {"punctuation has no syllable", "你，好", true, {"ni", "", "hao"}},
      {"a character twice", "你你", false, {"ni", "ni"}},
      {"a missing clip is skipped", "你中好", false, {"ni", "hao"}},
      {"only ASCII", "ab cd", true, {"", ""}},
  };
  for (const Case& c : cases) {
    SetUp();
    fake.box = c.box;
    if (c.no_syllable_clip) AddClip("", 120);
    SpeakRun();
    EXPECT_EQ(Played(), c.expected) << c.name << "\n" << fake.Log();
    EXPECT_EQ(fake.live.size(), 0u) << c.name << ": Text blocks leaked";
  }
}

TEST_F(SpeakRunTest, NothingHappensWithoutATwoByteUnit) {
  for (const char* box : {"", "a", "\xC4"}) {
    SetUp();
    fake.box = box;
    SpeakRun();
    EXPECT_TRUE(fake.mci.empty()) << "box \"" << box << "\"\n" << fake.Log();
    EXPECT_EQ(fake.tick_reads, 0) << "box \"" << box << "\" waited";
  }
}

TEST_F(SpeakRunTest, EachClipIsPlayedMeasuredAndWaitedOut) {
  fake.box = "你好";
  SpeakRun();
  const Clips expected_commands = {
      "close syl", "open \"sylbank\\ni.wav\" alias syl", "play syl",
      "open sylbank\\ni.wav", "status sylbank\\ni.wav length",
      "close syl", "open \"sylbank\\hao.wav\" alias syl", "play syl",
      "open sylbank\\hao.wav", "status sylbank\\hao.wav length",
  };
  ASSERT_EQ(fake.Commands(), expected_commands) << fake.Log();
  // From the length query of one clip to the close before the next, and to
  // the end of the run, more than the clip's length has passed.
  EXPECT_GT(fake.mci[5].time - fake.mci[4].time, 300u) << fake.Log();
  EXPECT_GT(fake.now - fake.mci[9].time, 400u) << fake.Log();
}

TEST_F(SpeakRunTest, AMissingClipOrADirectoryCostsNoWait) {
  // A directory named like a clip passes the file search; MCI cannot open
  // it, the length is 0 and the run goes on at once.
  fake.directories.insert("sylbank\\guo.wav");
  fake.lengths.erase("sylbank\\guo.wav");
  fake.files.erase("sylbank\\guo.wav");
  fake.box = "国中";
  SpeakRun();
  const Clips expected_commands = {
      "close syl", "open \"sylbank\\guo.wav\" alias syl", "play syl",
      "open sylbank\\guo.wav", "status sylbank\\guo.wav length",
  };
  EXPECT_EQ(fake.Commands(), expected_commands) << fake.Log();
  EXPECT_EQ(fake.tick_reads, 0) << "a clip of length 0, or none, was waited for";
}

TEST_F(SpeakRunTest, AClickDuringAWaitSpeaksTheWholeTextAgainThenTheFirstRunGoesOn) {
  fake.box = "你好";
  DuringWaitOfClip(1, [] { SpeakRun(); });
  SpeakRun();
  // Outer ni; the nested run cuts it with its close and speaks ni, hao; the
  // outer run then continues with its second unit.
  EXPECT_EQ(Played(), (Clips{"ni", "ni", "hao", "hao"})) << fake.Log();
  EXPECT_EQ(fake.Commands()[5], "close syl") << "the nested run starts by closing the alias";
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
      // Units past the new end are absent and ask for the no-syllable clip.
      {"shorter", "你好说", "你", {"ni", "", ""}},
      {"emptied", "你好", "", {"ni", ""}},
  };
  for (const Case& c : cases) {
    SetUp();
    AddClip("", 120);
    fake.box = c.before;
    DuringWaitOfClip(1, [this, after = c.after] { fake.box = after; });
    SpeakRun();
    EXPECT_EQ(Played(), c.expected) << c.name << "\n" << fake.Log();
    EXPECT_EQ(fake.live.size(), 0u) << c.name << ": Text blocks leaked";
  }
}

TEST_F(SpeakRunTest, ClosingTheWindowDuringAWaitEndsTheRunsWithoutAnotherRead) {
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
    if (c.nested) {
      // The nested run's first clip is the second one played.
      fake.on_mci = [this, close, plays = 0](const MciCall& call) mutable {
        if (call.command != "play syl") return;
        ++plays;
        if (plays == 1) fake.PostClick([] { SpeakRun(); });
        if (plays == 2) fake.PostClick(close);
      };
    } else {
      DuringWaitOfClip(1, close);
    }
    EXPECT_NO_THROW(SpeakRun()) << c.name << ": " << fake.fatal_message;
    EXPECT_EQ(Played(), c.nested ? Clips({"ni", "ni"}) : Clips({"ni"})) << c.name << "\n"
                                                                         << fake.Log();
    // The wait ran out in full, and the quit message is left for the loop.
    EXPECT_GT(fake.now - fake.mci.back().time, 300u) << c.name;
    ASSERT_FALSE(fake.queue.empty()) << c.name;
    EXPECT_TRUE(fake.queue.front().quit) << c.name;
    EXPECT_EQ(fake.live.size(), 0u) << c.name << ": Text blocks leaked";
  }
}

TEST(UnitWidth, OneByteOnlyForASCIIBeforeALeadByte) {
  struct Case {
    const char* content;
    int32_t p;
    int32_t expected;
  };
  const Case cases[] = {
      {"a\xC4\xE3", 1, 1}, {"\xC4\xE3" "a", 1, 2}, {"ab", 1, 2},  {"a", 1, 2},
      {"ab", 2, 2},        {"ab", 3, 2},           {nullptr, 1, 2}, {"a\xC4", 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnitWidthAt(c.content, c.p), c.expected) << "p = " << c.p;
  }
}

}  // namespace
