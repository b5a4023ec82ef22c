// Playing and measuring a clip through MCI, and the responsive wait.
#include <string>
#include <vector>

#include "clip_playback.h"
#include "host_test.h"

namespace {

using ClipPlayback = HostTest;
using Commands = std::vector<std::string>;

TEST_F(ClipPlayback, PlayClipClosesOpensQuotedAndPlaysUnderTheAlias) {
  fake.files = {"sylbank\\ni.wav"};
  // The first play of the process: the close names an alias not yet open
  // and fails; the clip still opens and plays.
  EXPECT_TRUE(PlayClip("sylbank\\ni.wav", "syl"));
  EXPECT_TRUE(PlayClip("sylbank\\ni.wav", "syl"));
  const Commands once = {"close syl", "open \"sylbank\\ni.wav\" alias syl", "play syl"};
  Commands twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(fake.Commands(), twice) << fake.Log();
  for (const MciCall& call : fake.mci) {
    EXPECT_EQ(call.reply, "0") << call.command;
    EXPECT_EQ(call.capacity, 0u) << call.command;
  }
}

TEST_F(ClipPlayback, PlayClipIsFalseWhenTheClipCannotBeOpened) {
  fake.directories = {"sylbank\\ni.wav"};
  EXPECT_FALSE(PlayClip("sylbank\\ni.wav", "syl"));
  EXPECT_EQ(fake.mci.size(), 3u) << "all three commands are sent anyway\n" << fake.Log();
}

TEST_F(ClipPlayback, ClipLengthMsOpensByPathAndReadsTheStatusReply) {
  struct Case {
    const char* name;
    bool has_reply;
    std::string reply;
    int32_t expected;
  };
  const Case cases[] = {
      {"a length", true, "1234", 1234},
      {"no reply: the spaces stay", false, "", 0},
      {"an emptied buffer", true, "", 0},
      {"not a number", true, "abc", 0},
  };
  for (const Case& c : cases) {
    ResetFake();
    fake.files = {"sylbank\\ni.wav"};
    if (c.has_reply) fake.lengths["sylbank\\ni.wav"] = c.reply;
    EXPECT_EQ(ClipLengthMs("sylbank\\ni.wav"), c.expected) << c.name;
    const Commands expected = {"open sylbank\\ni.wav", "status sylbank\\ni.wav length"};
    ASSERT_EQ(fake.Commands(), expected) << c.name << "\n" << fake.Log();
    EXPECT_EQ(fake.mci[0].reply, "0&");
    EXPECT_EQ(fake.mci[0].capacity, 0u);
    EXPECT_EQ(fake.mci[1].reply, std::string(255, ' ')) << "the status buffer: 255 spaces";
    EXPECT_EQ(fake.mci[1].capacity, 128u);
    EXPECT_EQ(fake.live.size(), 0u) << c.name << ": the buffer was not freed";
  }
}

TEST_F(ClipPlayback, APathMeasuredTwiceIsOpenedAgainAndStillAnswers) {
  fake.files = {"sylbank\\ni.wav"};
  fake.lengths["sylbank\\ni.wav"] = "300";
  EXPECT_EQ(ClipLengthMs("sylbank\\ni.wav"), 300);
  EXPECT_EQ(ClipLengthMs("sylbank\\ni.wav"), 300);
  const Commands expected = {"open sylbank\\ni.wav", "status sylbank\\ni.wav length",
                             "open sylbank\\ni.wav", "status sylbank\\ni.wav length"};
  EXPECT_EQ(fake.Commands(), expected) << fake.Log();
}

TEST_F(ClipPlayback, ANonPositiveWaitReturnsAtOnce) {
  fake.PostClick(nullptr);
  for (int32_t ms : {0, -1, -2147483647 - 1}) {
    WaitProcessingEvents(ms);
    EXPECT_EQ(fake.passes, 0) << ms;
    EXPECT_EQ(fake.dispatched, 0) << ms;
    EXPECT_EQ(fake.tick_reads, 0) << ms;
  }
}

TEST_F(ClipPlayback, AOneMillisecondWaitEndsAtTheFirstCheckPastIt) {
  // The clock moves 1 ms per read: the first check sees 1 ms (not past), the
  // second 2 ms. Two passes before the first check, four before each later.
  WaitProcessingEvents(1);
  EXPECT_EQ(fake.tick_reads, 3);
  EXPECT_EQ(fake.passes, 6);
}

TEST_F(ClipPlayback, TheWaitDispatchesMessagesButLeavesTheQuitMessage) {
  int ran = 0;
  fake.PostClick([&] { ++ran; });
  fake.PostClick([&] { ++ran; });
  WaitProcessingEvents(5);
  EXPECT_EQ(ran, 2) << "pending messages are dispatched during the wait";

  // A quit message at the head: nothing behind it is dispatched, every pass
  // returns at once, and the wait still runs to its end.
  fake.PostQuit();
  fake.PostClick([&] { ++ran; });
  const uint32_t start = fake.now;
  WaitProcessingEvents(50);
  EXPECT_EQ(ran, 2);
  EXPECT_GT(fake.now - start, 50u);
  ASSERT_EQ(fake.queue.size(), 2u);
  EXPECT_TRUE(fake.queue.front().quit) << "the quit message stays for the main loop";
}

TEST_F(ClipPlayback, TheWaitEndsAfterItsTimeAlsoAcrossTheCounterWrap) {
  struct Case {
    uint32_t start;
    uint32_t step;
    int32_t ms;
  };
  const Case cases[] = {
      {1000, 1, 300},
      {1000, 16, 300},             // a coarse counter
      {0xFFFFFFF0u, 1, 100},       // the deadline lies past the wrap
      {0xFFFFFF00u, 7, 255},       // ends exactly around the wrap
      {0xFFFFFFFFu, 1, 1},
      {0x7FFFFFFFu, 1u << 20, 2147483647},  // the longest wait
  };
  for (const Case& c : cases) {
    ResetFake();
    fake.now = c.start;
    fake.tick_step = c.step;
    WaitProcessingEvents(c.ms);
    // The last read was the check that ended the wait; the one before it had
    // not yet seen the time pass.
    const uint32_t last = fake.now - c.step;
    const uint32_t elapsed = last - c.start;
    EXPECT_GT(elapsed, static_cast<uint32_t>(c.ms)) << "start " << c.start << ", step " << c.step;
    EXPECT_LE(elapsed - c.step, static_cast<uint32_t>(c.ms))
        << "start " << c.start << ": the wait went past its first chance to end";
  }
}

}  // namespace
