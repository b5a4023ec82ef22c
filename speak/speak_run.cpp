#include "speak_run.h"

#include <utility>

#include "clip_playback.h"
#include "constant_texts.h"
#include "host.h"
#include "pinyin.h"
#include "text.h"

namespace {

constexpr int32_t kReadingNumber = 1;

}  // namespace

int32_t UnitWidthAt(const char* content, int32_t p) {
  // Past the end, or on the last byte, the two-byte cut gives an absent or a
  // one-byte unit.
  if (p < 1 || p >= TextLength(content)) return 2;
  const auto byte = static_cast<unsigned char>(content[p - 1]);
  const auto next = static_cast<unsigned char>(content[p]);
  return byte < 0x80 && next >= 0x80 ? 1 : 2;
}

bool FileExists(const char* path) { return host::FindEntry(path != nullptr ? path : ""); }

void SpeakRun() {
  const ConstantTexts& k = kConstantTexts;
  // The length is fixed for the whole run; every unit is cut from a fresh
  // read of the box, so an edit during a wait shows from the next unit on.
  const int32_t length = host::TextBoxContent().length();
  Text syllable;
  int32_t p = 1;
  while (p < length) {
    // The window may have been closed during the last wait: there is nothing
    // left to read, so this run, and each run it is nested in, ends here.
    if (host::MainWindowClosed()) break;
    Text unit;
    {
      Text content = host::TextBoxContent();
      const int32_t width = UnitWidthAt(content.get(), p);
      unit = TextMid(content.get(), p, width);
      p += width;
    }
    Text next = PinyinOf(unit.get(), kReadingNumber);
    unit = Text();
    syllable = std::move(next);

    Text path = ConcatText({k.clip_prefix, syllable.get(), k.clip_extension});
    if (!FileExists(path.get())) continue;  // no clip: no sound and no wait
    PlayClip(path.get(), k.clip_alias);
    WaitProcessingEvents(ClipLengthMs(path.get()));
  }
}
