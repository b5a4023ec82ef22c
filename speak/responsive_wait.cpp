#include "responsive_wait.h"

#include "host.h"

int PumpPendingMessages() {
  int dispatched = 0;
  for (; host::PeekQueue() == host::QueueHead::kOther; ++dispatched) host::DispatchNextMessage();
  return dispatched;
}

void WaitSince(uint32_t start, int32_t ms, bool (*still_going)(void*), void* context) {
  if (ms <= 0) return;
  const auto limit = static_cast<uint32_t>(ms);
  // Elapsed time in unsigned 32-bit arithmetic stays right across the
  // counter's wrap.
  uint32_t last_check = start;
  for (;;) {
    PumpPendingMessages();
    // A closed window ends every wait at once, however deeply runs nest:
    // nothing is left to speak to.
    if (host::MainWindowClosed()) return;
    const uint32_t now = host::TickCount();
    const uint32_t elapsed = now - start;
    if (elapsed >= limit) return;
    uint32_t sleep = limit - elapsed;
    // Near the end nothing is asked: a status query in the last moments of
    // a clip delays the sound device enough to widen the join to the next.
    if (still_going != nullptr && sleep > kUnwatchedEndMs) {
      if (now - last_check >= kClipCheckIntervalMs) {
        if (!still_going(context)) return;
        last_check = now;
      }
      const uint32_t to_check = kClipCheckIntervalMs - (now - last_check);
      if (to_check < sleep) sleep = to_check;
    }
    host::WaitForMessage(sleep);
  }
}

void WaitProcessingEvents(int32_t ms) {
  if (ms <= 0) return;
  WaitSince(host::TickCount(), ms, nullptr, nullptr);
}
