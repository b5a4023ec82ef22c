// A scripted stand-in for the platform, bound to the speaking code's seam
// (speak/host.h) in the unit tests. It models MCI as far as the program
// relies on it (aliases, lengths, playing and stopped, open devices), serves
// a clock and a message queue that the test controls, and counts heap blocks
// so that every leaked Text shows.
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

// A clip that started playing: its path and the clock when it started.
struct PlayedClip {
  std::string path;
  uint32_t time;
};

struct FakeHost {
  // The text box; Edit() changes it as typing would, bumping the version.
  std::string box;
  uint32_t box_version = 1;
  int box_reads = 0;
  // `window_closed` stands for the main window being gone.
  bool window_closed = false;
  // Whether the clip folder can be used, and how often the user was told it
  // cannot.
  bool voice_folder_usable = true;
  int voice_folder_notices = 0;

  // Names a file search finds, relative like the clip paths ("sylbank\ni.wav");
  // the directories among them cannot be opened by MCI.
  std::set<std::string> files;
  std::set<std::string> directories;

  // What "status <alias> length" writes into the buffer for a clip, by path.
  // A clip without an entry gets no reply and its buffer is left as it was.
  std::map<std::string, std::string> lengths;
  // How long a clip really sounds, by path, where it differs from its length.
  std::map<std::string, uint32_t> sound_ms;
  // How long after the end of its sound MCI still says a clip is playing
  // (Wine's waveaudio device: while it drains and closes its output).
  uint32_t stopped_lag_ms = 40;
  // How often the sound path was prepared ahead of a click.
  int sound_prepared = 0;

  std::vector<MciCall> mci;
  // Off in benchmarks: the MCI log and the allocation sizes would grow
  // without end.
  bool keep_logs = true;
  std::vector<PlayedClip> played;
  // The devices MCI holds open, by alias, and the most open at one time.
  struct Device {
    std::string path;
    bool started = false;
    uint32_t started_at = 0;
  };
  std::map<std::string, Device> devices;
  size_t most_devices_open = 0;
  // Runs after each command is carried out (to queue a click at a moment).
  std::function<void(const MciCall&)> on_mci;

  // The millisecond counter: each read gives `now`, then moves it on.
  uint32_t now = 1000;
  uint32_t tick_step = 1;
  int tick_reads = 0;
  uint32_t slept_ms = 0;  // how long waits slept in all

  // The message queue: each message runs its action when dispatched, and
  // arrives at its time (at once when it has none).
  struct Message {
    bool quit = false;
    std::function<void()> action;
    uint32_t arrives = 0;
  };
  std::deque<Message> queue;
  int dispatched = 0;

  // The heap: live blocks with their sizes, every size asked for, and an
  // optional refusal of the n-th allocation from now (1 = the next one).
  std::map<void*, uint32_t> live;
  std::vector<uint32_t> allocations;
  int refuse_allocation = 0;
  std::vector<std::string> heap_errors;  // frees of unknown blocks

  std::string fatal_message;

  // A clip file "sylbank\<name>.wav" whose length MCI gives as `ms`.
  void AddClip(const std::string& name, int ms);
  static std::string ClipPath(const std::string& name) { return "sylbank\\" + name + ".wav"; }
  // Changes the text box's content as an edit of the user's would.
  void Edit(const std::string& text) {
    box = text;
    ++box_version;
  }
  void PostClick(std::function<void()> action) { queue.push_back({false, std::move(action), 0}); }
  // A message that arrives `after_ms` from now.
  void PostLater(uint32_t after_ms, std::function<void()> action) {
    queue.push_back({false, std::move(action), now + after_ms});
  }
  void PostQuit() { queue.push_back({true, nullptr, 0}); }

  // The names of the clips started, in order ("ni3" for sylbank\ni3.wav, ""
  // for the pause sylbank\.wav).
  std::vector<std::string> PlayedNames() const;
  // The commands alone, for comparing logs; without the "status <alias>
  // mode" queries, which a wait sends every 50 ms while a clip plays.
  std::vector<std::string> Commands() const;
  // The whole command log, one command a line, for failure messages.
  std::string Log() const;
};

// The one fake the seam is bound to; each test fixture resets it.
FakeHost& Fake();
void ResetFake();
