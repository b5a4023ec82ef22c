// The speak run on the fake platform, driven by the fuzz input: the box's
// bytes, which clips the bank holds and how long they claim and really last,
// and what happens during the waits: edits, nested clicks, closing the
// window. After every run no Text block is left, no clip is left open, and
// no more than three were ever open at once; a run never reports a fatal
// error, and it ends (a hang shows as a fuzzer timeout).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "clip_playback.h"
#include "fake_host.h"
#include "speak_run.h"

namespace {

// Clip names a bank may hold: toneless, toned, the pause, and a few that the
// texts below reach.
const char* const kClipNames[] = {"",    "ni",   "ni2",  "ni3", "hao", "hao3", "yi",   "yi1",
                                  "yi2", "yi4",  "shi",  "wu",  "ge4", "bu2",  "zhong", "guo",
                                  "er",  "ling", "dian", "bai", "nian"};

// Pieces the box's text is made of, besides raw bytes.
const char* const kPieces[] = {"你", "好", "一", "不", "是", "个", "第", "中", "国", "，", "。",
                               "\r\n", "1", "0", "2015年", ".", "５", "a", " ", "說", "\xA3"};

void Fail(const char* what) {
  std::fprintf(stderr, "speak run: %s\n%s", what, Fake().Log().c_str());
  std::abort();
}

std::string MakeText(FuzzedDataProvider& in) {
  std::string text;
  const int pieces = in.ConsumeIntegralInRange(0, 40);
  for (int i = 0; i < pieces && in.remaining_bytes() > 0; ++i) {
    if (in.ConsumeBool()) {
      text += kPieces[in.ConsumeIntegralInRange<size_t>(0, std::size(kPieces) - 1)];
    } else {
      const char byte = static_cast<char>(in.ConsumeIntegral<uint8_t>());
      if (byte != '\0') text += byte;
    }
  }
  return text;
}

// What happens at the n-th play of the whole test.
struct Event {
  int at_play;
  int kind;  // 0 edit, 1 click, 2 close, 3 a message a moment later
  std::string text;
  uint32_t delay_ms;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  ResetFake();
  FakeHost& fake = Fake();
  fake.tick_step = in.ConsumeIntegralInRange<uint32_t>(1, 20);
  fake.voice_folder_usable = in.ConsumeIntegralInRange(0, 9) != 0;
  for (const char* name : kClipNames) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0:
        break;
      case 1:
        fake.directories.insert(FakeHost::ClipPath(name));
        break;
      default:
        fake.AddClip(name, in.ConsumeIntegralInRange(0, 3000));
        if (in.ConsumeBool()) fake.sound_ms[FakeHost::ClipPath(name)] = in.ConsumeIntegralInRange(0, 3000);
        break;
    }
  }
  std::vector<Event> events;
  const int event_count = in.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < event_count; ++i) {
    Event e;
    e.at_play = in.ConsumeIntegralInRange(1, 12);
    e.kind = in.ConsumeIntegralInRange(0, 3);
    e.delay_ms = in.ConsumeIntegralInRange<uint32_t>(0, 500);
    if (e.kind == 0) e.text = MakeText(in);
    events.push_back(e);
  }
  fake.box = MakeText(in);

  bool closed = false;
  int plays = 0;
  int clicks = 0;
  fake.on_mci = [&](const MciCall& call) {
    if (call.command.compare(0, 5, "play ") != 0) return;
    ++plays;
    for (const Event& e : events) {
      if (e.at_play != plays) continue;
      switch (e.kind) {
        case 0:
          fake.PostLater(e.delay_ms, [&fake, text = e.text] { fake.Edit(text); });
          break;
        case 1:
          if (++clicks <= 8) fake.PostLater(e.delay_ms, [] { SpeakRun(); });
          break;
        case 2:
          fake.PostLater(e.delay_ms, [&fake, &closed] {
            if (closed) return;
            closed = true;
            fake.window_closed = true;
            fake.PostQuit();
          });
          break;
        default:
          fake.PostLater(e.delay_ms, [] {});
          break;
      }
    }
  };

  try {
    SpeakRun();
  } catch (const FatalReported& fatal) {
    Fail(fatal.what());
  }
  if (fake.most_devices_open > static_cast<size_t>(kMaxOpenClips)) Fail("more than three clips open");
  if (!fake.devices.empty()) Fail("clips left open after the run");
  fake.on_mci = nullptr;
  fake.queue.clear();  // what is left holds copies of texts only, no blocks
  if (!fake.live.empty()) Fail("Text blocks left allocated");
  CloseAllClips();
  return 0;
}
