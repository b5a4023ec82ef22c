// A scripted stand-in for the platform, bound to the speaking code's seam
// (speak/host.h) in the unit tests. It records every MCI command with its
// reply buffer and capacity, serves a clock and a message queue that the test
// controls, and counts heap blocks so that every leaked Text shows.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Thrown where the real program would show the fatal error box and exit.
struct FatalReported : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct MciCall {
  std::string command;
  std::string reply;  // the reply buffer's text when the command was sent
  uint32_t capacity;
  uint32_t time;      // the fake clock when the command was sent
};

struct FakeHost {
  // The text box; `window_closed` stands for the main window being gone.
  std::string box;
  bool window_closed = false;

  // Names a file search finds, relative like the clip paths ("sylbank\ni.wav");
  // the directories among them cannot be opened by MCI.
  std::set<std::string> files;
  std::set<std::string> directories;

  // Replies to "status <path> length": the text MCI writes into the buffer.
  // A path without an entry gets no reply and its buffer is left as it was.
  std::map<std::string, std::string> lengths;
  std::vector<MciCall> mci;
  // Devices the fake MCI holds open: the alias and the path-named ones.
  std::set<std::string> open_devices;
  // Runs after each command is logged (to queue a click at a given moment).
  std::function<void(const MciCall&)> on_mci;

  // The millisecond counter: each read gives `now`, then moves it on.
  uint32_t now = 1000;
  uint32_t tick_step = 1;
  int tick_reads = 0;

  // The message queue: each message runs its action when dispatched.
  struct Message {
    bool quit = false;
    std::function<void()> action;
  };
  std::deque<Message> queue;
  int passes = 0;      // pump passes: peeks that found nothing to dispatch
  int dispatched = 0;

  // The heap: live blocks with their sizes, every size asked for, and an
  // optional refusal of the n-th allocation from now (1 = the next one).
  std::map<void*, uint32_t> live;
  std::vector<uint32_t> allocations;
  int refuse_allocation = 0;
  std::vector<std::string> heap_errors;  // frees of unknown blocks

  std::string fatal_message;

  void PostClick(std::function<void()> action) { queue.push_back({false, std::move(action)}); }
  void PostQuit() { queue.push_back({true, nullptr}); }

  // The commands alone, for comparing logs.
  std::vector<std::string> Commands() const;
  // The whole command log, one command a line, for failure messages.
  std::string Log() const;
};

// The one fake the seam is bound to; each test fixture resets it.
FakeHost& Fake();
void ResetFake();
