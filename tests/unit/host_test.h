// The fixture of every test that runs speaking code on the fake host: each
// test starts from a fresh fake and ends with every Text block given back and
// no clip left open.
#pragma once

#include <gtest/gtest.h>

#include "clip_playback.h"
#include "fake_host.h"

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
  void TearDown() override {
    EXPECT_EQ(fake.live.size(), 0u) << "Text blocks still allocated at the end of the test";
    for (const std::string& error : fake.heap_errors) ADD_FAILURE() << error;
    // The player outlives a test; what it holds open is closed here so that
    // the next test starts with nothing open.
    CloseAllClips();
    ResetFake();
  }

  FakeHost& fake = Fake();
};
