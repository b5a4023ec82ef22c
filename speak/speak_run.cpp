#include "speak_run.h"

#include "clip_playback.h"
#include "constant_texts.h"
#include "host.h"
#include "pinyin.h"
#include "responsive_wait.h"
#include "text.h"
#include "tone_changes.h"

namespace {

// However long a stretch of units without a clip, pending messages are
// dispatched at least this often, so that the window always answers.
constexpr uint32_t kDispatchIntervalMs = 50;
// After a message came, how long the queue is looked at after every unit.
constexpr uint32_t kInputSpellMs = 250;

// The clip a unit plays: for a syllable, its toned clip ("sylbank\ni3.wav")
// if the bank has one, else its toneless clip ("sylbank\ni.wav"); for a unit
// without a syllable the pause "sylbank\.wav". Absent when the bank has none.
Text ClipFor(const SpokenCharacter& previous, const SpokenCharacter& unit,
             const SpokenCharacter& next) {
  const ConstantTexts& k = kConstantTexts;
  char syllable[kSyllableMaxLength + 2] = {};
  const int32_t letters = SpellReading(unit.reading.code, syllable);
  const uint8_t tone = letters > 0 ? ToneInSpeech(previous, unit, next) : 0;
  if (tone != 0) {
    syllable[letters] = static_cast<char>('0' + tone);
    Text toned = ConcatText({k.clip_prefix, syllable, k.clip_extension});
    if (FileExists(toned.get())) return toned;
    syllable[letters] = '\0';
  }
  Text toneless = ConcatText({k.clip_prefix, syllable, k.clip_extension});
  if (FileExists(toneless.get())) return toneless;
  return Text();
}

// The run's view of the text box: the content of its last read, read again
// only when the box says it may have changed.
class BoxReader {
 public:
  BoxReader() : version_(host::TextBoxVersion()), content_(host::TextBoxContent()) {}
  const Text& content() const { return content_; }
  // True when the content was read again.
  bool Refresh() {
    const uint32_t version = host::TextBoxVersion();
    if (version == version_) return false;
    version_ = version;
    content_ = host::TextBoxContent();
    return true;
  }

 private:
  uint32_t version_;
  Text content_;
};

}  // namespace

bool FileExists(const char* path) { return host::FindEntry(path != nullptr ? path : ""); }

void SpeakRun() {
  // Each click during a wait starts a run inside the one it interrupts, on
  // the same stack. Past a depth that no listener can follow, a click is let
  // go rather than let the stack run out: the runs already under way speak
  // the text from the top anyway.
  static int depth = 0;
  if (depth >= kMaxNestedRuns) return;
  // A click that reaches the program after its window has gone (queued
  // behind the close) has no text to speak.
  if (host::MainWindowClosed()) return;
  struct Nesting {
    Nesting() { ++depth; }
    ~Nesting() { --depth; }
  } nesting;

  BoxReader box;
  // The length is fixed for the whole run: text added later is not spoken.
  UnitWalker walker(box.content().length());
  walker.Rebind(box.content().get(), box.content().length());
  {
    UnitWalker first = walker;
    SpokenCharacter unit;
    if (!first.Next(&unit)) return;  // nothing to speak: no search, no sound
  }
  if (!host::VoiceFolderUsable()) return;

  SpokenCharacter previous;  // the unit before, for the tone changes
  bool after_pause = false;  // the unit before had no syllable
  bool played = false;   // this run has opened clips of its own
  bool started = false;  // this run has started a clip
  uint32_t dispatched_at = host::TickCount();
  uint32_t input_at = dispatched_at - kInputSpellMs;
  for (;;) {
    // The window may have been closed during the last wait: there is nothing
    // left to read, so this run, and each run it is nested in, ends here.
    if (host::MainWindowClosed()) break;
    if (box.Refresh()) walker.Rebind(box.content().get(), box.content().length());

    const UnitWalker unit_start = walker;
    const SpokenCharacter unit_previous = previous;
    const bool unit_after_pause = after_pause;
    SpokenCharacter unit;
    if (!walker.Next(&unit)) break;
    const bool pause = unit.reading.code == 0;
    // A run of units without a syllable (letters, spaces, punctuation, line
    // breaks) is one pause.
    const bool repeated_pause = pause && after_pause;
    after_pause = pause;
    SpokenCharacter next;
    if (!repeated_pause) walker.Peek(&next);
    Text clip = repeated_pause ? Text() : ClipFor(previous, unit, next);
    previous = unit;

    if (clip.absent() || !OpenClipAhead(clip.get())) {
      // No sound and no wait; still, the window answers during long stretches.
      const uint32_t now = host::TickCount();
      // While the user is doing something, the queue is looked at after
      // every unit for a while: input can come in one message at a time (a
      // click on the close box does under Wine).
      if (now - dispatched_at >= kDispatchIntervalMs || now - input_at < kInputSpellMs) {
        if (PumpPendingMessages() > 0) input_at = now;
        dispatched_at = now;
      }
      continue;
    }
    // The clip is open and ready; it starts when the one before has ended.
    // The run's first clip starts at once: what sounds then is an outer
    // run's, which this click cuts off.
    played = true;
    if (started) WaitForPlayingClip();
    if (host::MainWindowClosed()) break;
    if (box.Refresh()) {
      // Edited during the wait: the edit shows from this unit on, so it is
      // cut again from the new content.
      walker = unit_start;
      walker.Rebind(box.content().get(), box.content().length());
      previous = unit_previous;
      after_pause = unit_after_pause;
      continue;
    }
    PlayClip(clip.get());
    started = true;
    dispatched_at = host::TickCount();
  }
  if (played) {
    WaitForPlayingClip();
    CloseAllClips();
  }
}
