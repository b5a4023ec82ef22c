#include "clip_playback.h"

#include "constant_texts.h"
#include "host.h"
#include "text.h"

namespace {

// Sends a command whose reply is not taken: the reply buffer is a constant
// text with capacity 0, so MCI never writes to it.
uint32_t SendWithoutReply(const Text& command, const char* constant_reply) {
  return host::MciSendString(command.get(), const_cast<char*>(constant_reply), 0);
}

// Declared capacity of the length reply: less than the buffer holds.
constexpr uint32_t kLengthReplyCapacity = 128;
constexpr int32_t kLengthReplySpaces = 255;

}  // namespace

bool PlayClip(const char* path, const char* alias) {
  const ConstantTexts& k = kConstantTexts;
  // The first close of the process names an alias not yet open; it fails
  // harmlessly, as does any failure of the close and the open.
  SendWithoutReply(ConcatText({k.close_command, alias}), k.play_reply);
  SendWithoutReply(ConcatText({k.open_command, k.quote, path, k.quote, k.alias_keyword, alias}),
                   k.play_reply);
  return SendWithoutReply(ConcatText({k.play_command, alias}), k.play_reply) == 0;
}

int32_t ClipLengthMs(const char* path) {
  const ConstantTexts& k = kConstantTexts;
  Text buffer = BlankText(kLengthReplySpaces);
  // Opened without an alias, the device is named after the path; it stays
  // open, and opening the same path again later fails harmlessly.
  SendWithoutReply(ConcatText({k.open_command, path}), k.measure_reply);
  {
    Text command = ConcatText({k.status_command, path, k.length_keyword});
    host::MciSendString(command.get(), buffer.data(), kLengthReplyCapacity);
  }
  // A failed query leaves no digits, which reads as 0: no wait.
  return TextToInt(buffer.get());
}

void WaitProcessingEvents(int32_t ms) {
  if (ms <= 0) return;
  // Elapsed time in unsigned 32-bit arithmetic stays right across the
  // counter's wrap, where a deadline compared with the counter would not.
  const uint32_t start = host::TickCount();
  const auto limit = static_cast<uint32_t>(ms);
  for (;;) {
    PumpPendingMessages();
    PumpPendingMessages();
    if (static_cast<uint32_t>(host::TickCount() - start) > limit) return;
    PumpPendingMessages();
    PumpPendingMessages();
  }
}

void PumpPendingMessages() {
  while (host::PeekQueue() == host::QueueHead::kOther) host::DispatchNextMessage();
}
