// Playing clips through MCI with tight joins, and the responsive wait.
#include <string>
#include <vector>

#include "clip_playback.h"
#include "host_test.h"
#include "responsive_wait.h"

namespace {

using ClipPlayback = HostTest;
using Commands = std::vector<std::string>;

TEST_F(ClipPlayback, AClipIsOpenedUnderItsAliasMeasuredAndPlayedFromItsStart) {
  fake.AddClip("ni3", 300);
  EXPECT_TRUE(PlayClip("sylbank\\ni3.wav"));
  const Commands expected = {"open \"sylbank\\ni3.wav\" alias syl1", "status syl1 length",
                             "play syl1 from 0"};
  ASSERT_EQ(fake.Commands(), expected) << fake.Log();
  // Commands whose reply is not taken get a constant buffer of capacity 0;
  // the length query gets 255 spaces with a declared capacity of 128.
  for (int i : {0, 2}) {
    EXPECT_EQ(fake.mci[i].reply, "0") << fake.mci[i].command;
    EXPECT_EQ(fake.mci[i].capacity, 0u) << fake.mci[i].command;
  }
  EXPECT_EQ(fake.mci[1].reply, std::string(255, ' '));
  EXPECT_EQ(fake.mci[1].capacity, 128u);
}

TEST_F(ClipPlayback, TheNextClipIsOpenedAheadAndStartsWhenTheOneBeforeHasEnded) {
  fake.AddClip("ni3", 300);
  fake.AddClip("hao3", 400);
  fake.AddClip("ma5", 200);
  PlayClip("sylbank\\ni3.wav");
  ASSERT_TRUE(OpenClipAhead("sylbank\\hao3.wav"));
  WaitForPlayingClip();
  PlayClip("sylbank\\hao3.wav");
  ASSERT_TRUE(OpenClipAhead("sylbank\\ma5.wav"));
  WaitForPlayingClip();
  PlayClip("sylbank\\ma5.wav");
  const Commands expected = {
      "open \"sylbank\\ni3.wav\" alias syl1", "status syl1 length", "play syl1 from 0",
      // opened and measured while ni3 sounds
      "open \"sylbank\\hao3.wav\" alias syl2", "status syl2 length",
      // started once ni3 is over; ni3 is closed only after that
      "play syl2 from 0", "close syl1",
      "open \"sylbank\\ma5.wav\" alias syl1", "status syl1 length",
      "play syl1 from 0", "close syl2",
  };
  EXPECT_EQ(fake.Commands(), expected) << fake.Log();
  ASSERT_EQ(fake.played.size(), 3u);
  // Each starts right when the one before has had its length, not before.
  for (size_t i = 1; i < 3; ++i) {
    const uint32_t gap = fake.played[i].time - fake.played[i - 1].time;
    const uint32_t length = i == 1 ? 300u : 400u;
    EXPECT_GE(gap, length) << "clip " << i + 1 << " started before the one before had ended\n" << fake.Log();
    EXPECT_LE(gap, length + 12) << "clip " << i + 1 << " started late\n" << fake.Log();
  }
}

TEST_F(ClipPlayback, AClipOpenedAheadIsReusedOrReplaced) {
  fake.AddClip("ni3", 300);
  fake.AddClip("hao3", 400);
  ASSERT_TRUE(OpenClipAhead("sylbank\\ni3.wav"));
  ASSERT_TRUE(OpenClipAhead("sylbank\\ni3.wav"));   // the same: nothing sent
  ASSERT_TRUE(OpenClipAhead("sylbank\\hao3.wav"));  // another: the first goes
  PlayClip("sylbank\\hao3.wav");
  const Commands expected = {
      "open \"sylbank\\ni3.wav\" alias syl1", "status syl1 length", "close syl1",
      "open \"sylbank\\hao3.wav\" alias syl1", "status syl1 length", "play syl1 from 0",
  };
  EXPECT_EQ(fake.Commands(), expected) << fake.Log();
}

TEST_F(ClipPlayback, AClipThatCannotBeOpenedIsNotPlayedAndLeavesNothingOpen) {
  // A directory named like a clip passes the file search but MCI cannot
  // open it; neither can it open a file that is gone.
  fake.directories = {"sylbank\\ni.wav"};
  EXPECT_FALSE(PlayClip("sylbank\\ni.wav"));
  EXPECT_FALSE(PlayClip("sylbank\\gone.wav"));
  const Commands expected = {"open \"sylbank\\ni.wav\" alias syl1",
                             "open \"sylbank\\gone.wav\" alias syl1"};
  EXPECT_EQ(fake.Commands(), expected) << fake.Log();
  EXPECT_TRUE(fake.devices.empty());
  WaitForPlayingClip();
  EXPECT_EQ(fake.tick_reads, 0) << "nothing plays, so nothing is waited for";
}

TEST_F(ClipPlayback, TheLengthIsWhatTheStatusReplyStartsWith) {
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
    ASSERT_TRUE(OpenClipAhead("sylbank\\ni.wav")) << c.name;
    EXPECT_EQ(ClipLengthMs("syl1"), c.expected) << c.name;
    CloseAllClips();
    EXPECT_EQ(fake.live.size(), 0u) << c.name << ": a buffer was not freed";
  }
}

TEST_F(ClipPlayback, NoMoreThanThreeClipsAreEverOpenAndCloseAllClosesThem) {
  for (const char* name : {"a1", "b2", "c3", "d4"}) fake.AddClip(name, 100);
  for (int round = 0; round < 5; ++round) {
    for (const char* name : {"a1", "b2", "c3", "d4"}) {
      const std::string path = FakeHost::ClipPath(name);
      OpenClipAhead(path.c_str());
      OpenClipAhead(FakeHost::ClipPath("d4").c_str());  // a change of mind
      PlayClip(path.c_str());
    }
  }
  EXPECT_LE(fake.most_devices_open, static_cast<size_t>(kMaxOpenClips)) << fake.Log();
  CloseAllClips();
  EXPECT_TRUE(fake.devices.empty()) << fake.Log();
}

TEST_F(ClipPlayback, AClipThatStopsBeforeItsStatedLengthEndsTheWaitSoon) {
  // The header says ten minutes; the sound lasts 200 ms.
  fake.AddClip("ni", 600000);
  fake.sound_ms[FakeHost::ClipPath("ni")] = 200;
  PlayClip("sylbank\\ni.wav");
  const uint32_t started = fake.played.back().time;
  WaitForPlayingClip();
  EXPECT_GE(fake.now - started, 200u);
  EXPECT_LE(fake.now - started, 200u + fake.stopped_lag_ms + kClipCheckIntervalMs + 2) << fake.Log();
}

TEST_F(ClipPlayback, AWaitForAClipThatAnotherRunClosedEndsAtItsNextCheck) {
  fake.AddClip("ni", 5000);
  PlayClip("sylbank\\ni.wav");
  const uint32_t started = fake.played.back().time;
  fake.PostLater(100, [] { CloseAllClips(); });
  WaitForPlayingClip();
  EXPECT_LE(fake.now - started, 100u + kClipCheckIntervalMs + 2) << fake.Log();
}

TEST_F(ClipPlayback, TheSoundPathIsPreparedSilentlyOnlyWhenThereIsAClipFolder) {
  WarmUpPlayback();
  EXPECT_EQ(fake.sound_prepared, 0) << "no clip folder: nothing is loaded";
  fake.directories.insert("sylbank");
  WarmUpPlayback();
  EXPECT_EQ(fake.sound_prepared, 1);
  EXPECT_TRUE(fake.mci.empty()) << "preparing sends no command\n" << fake.Log();
}

TEST_F(ClipPlayback, ANonPositiveWaitReturnsAtOnce) {
  fake.PostClick(nullptr);
  for (int32_t ms : {0, -1, -2147483647 - 1}) {
    WaitProcessingEvents(ms);
    EXPECT_EQ(fake.dispatched, 0) << ms;
    EXPECT_EQ(fake.tick_reads, 0) << ms;
  }
}

TEST_F(ClipPlayback, TheWaitSleepsUntilAMessageComesAndDispatchesIt) {
  int ran = 0;
  uint32_t ran_at = 0;
  fake.PostLater(120, [&] {
    ++ran;
    ran_at = fake.now;
  });
  const uint32_t start = fake.now;
  WaitProcessingEvents(300);
  EXPECT_EQ(ran, 1);
  EXPECT_LE(ran_at - start, 121u) << "the message waited for the wait's end";
  EXPECT_GE(fake.now - start, 300u);
  // It slept rather than spun: a handful of counter reads for 300 ms.
  EXPECT_GE(fake.slept_ms, 290u);
  EXPECT_LE(fake.tick_reads, 10);
}

TEST_F(ClipPlayback, TheWaitDispatchesMessagesButLeavesTheQuitMessage) {
  int ran = 0;
  fake.PostClick([&] { ++ran; });
  fake.PostClick([&] { ++ran; });
  WaitProcessingEvents(5);
  EXPECT_EQ(ran, 2) << "pending messages are dispatched during the wait";

  // A quit message at the head: nothing behind it is dispatched and the
  // quit message stays for the main loop.
  fake.PostQuit();
  fake.PostClick([&] { ++ran; });
  WaitProcessingEvents(50);
  EXPECT_EQ(ran, 2);
  ASSERT_EQ(fake.queue.size(), 2u);
  EXPECT_TRUE(fake.queue.front().quit);
}

TEST_F(ClipPlayback, TheWaitEndsAtOnceWhenTheWindowCloses) {
  fake.PostLater(100, [this] {
    fake.window_closed = true;
    fake.PostQuit();
  });
  const uint32_t start = fake.now;
  WaitProcessingEvents(600000);
  EXPECT_LE(fake.now - start, 102u);
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
      {0xFFFFFFF0u, 1, 100},       // the end lies past the wrap
      {0xFFFFFF00u, 7, 255},       // ends exactly around the wrap
      {0xFFFFFFFFu, 1, 1},
      {0x7FFFFFFFu, 1u << 20, 2147483647},  // the longest wait
  };
  for (const Case& c : cases) {
    ResetFake();
    fake.now = c.start;
    fake.tick_step = c.step;
    WaitProcessingEvents(c.ms);
    const uint32_t elapsed = fake.now - c.start;
    EXPECT_GE(elapsed, static_cast<uint32_t>(c.ms)) << "start " << c.start << ", step " << c.step;
    EXPECT_LE(elapsed, static_cast<uint32_t>(c.ms) + 3 * c.step)
        << "start " << c.start << ": the wait went on past its end";
  }
}

}  // namespace
