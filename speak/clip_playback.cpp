#include "clip_playback.h"

#include <cstring>

#include "constant_texts.h"
#include "host.h"
#include "responsive_wait.h"
#include "text.h"

namespace {

// One MCI device the player holds open.
struct OpenClip {
  bool open = false;
  // The clip's path, to tell whether the clip opened ahead is the one asked
  // for. Clip paths are short; a longer one is never taken as opened ahead.
  char path[64] = {};
  int32_t length_ms = 0;
};

struct Player {
  OpenClip clips[kMaxOpenClips];
  int playing = -1;  // the clip that sounds now, or -1
  int ahead = -1;    // the clip opened for its turn, or -1
  uint32_t started_at = 0;
  // Changes with every play and every close of all: a wait for a clip that
  // another run has replaced or closed sees it and ends.
  uint32_t turn = 0;
};

Player g_player;


const char* AliasOf(int slot) { return kConstantTexts.clip_aliases[slot]; }

// Sends a command whose reply is not taken: the reply buffer is a constant
// text with capacity 0, so MCI never writes to it.
uint32_t SendWithoutReply(const Text& command) {
  return host::MciSendString(command.get(), const_cast<char*>(kConstantTexts.no_reply), 0);
}

// The reply to "status <alias> <item>" in a buffer of 255 spaces whose
// declared capacity, 128, is less than the block holds: MCI can never write
// past it, and a query that fails leaves spaces, which read as no reply.
Text StatusOf(const char* alias, const char* item) {
  const ConstantTexts& k = kConstantTexts;
  Text reply = BlankText(255);
  Text command = ConcatText({k.status_command, alias, item});
  host::MciSendString(command.get(), reply.data(), 128);
  return reply;
}

void Close(int slot) {
  OpenClip& clip = g_player.clips[slot];
  if (!clip.open) return;
  SendWithoutReply(ConcatText({kConstantTexts.close_command, AliasOf(slot)}));
  clip.open = false;
  if (g_player.playing == slot) g_player.playing = -1;
  if (g_player.ahead == slot) g_player.ahead = -1;
}

bool SamePath(const OpenClip& clip, const char* path) {
  return clip.open && std::strcmp(clip.path, path) == 0;
}

bool StillPlaying(void* context) {
  const uint32_t turn = *static_cast<const uint32_t*>(context);
  if (turn != g_player.turn || g_player.playing < 0) return false;
  const Text mode = StatusOf(AliasOf(g_player.playing), kConstantTexts.mode_keyword);
  // A failed query leaves the spaces: the device is gone, nothing plays.
  return std::strncmp(mode.c_str(), "playing", 7) == 0 ||
         std::strncmp(mode.c_str(), "seeking", 7) == 0;
}

}  // namespace

int32_t ClipLengthMs(const char* alias) {
  return TextToInt(StatusOf(alias, kConstantTexts.length_keyword).get());
}

bool OpenClipAhead(const char* path) {
  const ConstantTexts& k = kConstantTexts;
  if (path == nullptr) path = "";
  if (g_player.ahead >= 0) {
    if (SamePath(g_player.clips[g_player.ahead], path)) return true;
    Close(g_player.ahead);
  }
  // Besides the clip opened ahead, only the playing one is ever open, so a
  // free alias is always found.
  int slot = 0;
  while (slot < kMaxOpenClips - 1 && g_player.clips[slot].open) ++slot;
  Close(slot);

  const uint32_t error = SendWithoutReply(
      ConcatText({k.open_command, k.quote, path, k.quote, k.alias_keyword, AliasOf(slot)}));
  if (error != 0) return false;  // nothing was opened
  OpenClip& clip = g_player.clips[slot];
  clip.open = true;
  const size_t length = std::strlen(path);
  if (length < sizeof clip.path) {
    std::memcpy(clip.path, path, length + 1);
  } else {
    clip.path[0] = '\0';
  }
  clip.length_ms = ClipLengthMs(AliasOf(slot));
  g_player.ahead = slot;
  return true;
}

bool PlayClip(const char* path) {
  const ConstantTexts& k = kConstantTexts;
  if (!OpenClipAhead(path)) return false;
  const int slot = g_player.ahead;
  g_player.ahead = -1;
  const int before = g_player.playing;
  const bool played = SendWithoutReply(ConcatText({k.play_command, AliasOf(slot), k.from_start})) == 0;
  g_player.playing = slot;
  g_player.started_at = host::TickCount();
  ++g_player.turn;
  // Closed only now that the next one sounds: closing waits for the device
  // to drain, which would otherwise come between the two clips.
  if (before >= 0) Close(before);
  if (!played) Close(slot);  // nothing to wait for
  return played;
}

void WaitForPlayingClip() {
  if (g_player.playing < 0) return;
  uint32_t turn = g_player.turn;
  // The next clip starts right when this one's length has passed since its
  // play returned, with no margin. Measured under Wine (a 20-character
  // sentence, recorded): a margin widens every join, and one that lets the
  // sound device run dry between two clips makes the next one start some
  // 30 ms late, so that it overlaps the one after it. Without one, the
  // joins leave 5 ms at the median; a clip that starts with nothing
  // sounding may begin a few ms late and overlap the next one's start by
  // as much, within its own fade-out.
  WaitSince(g_player.started_at, g_player.clips[g_player.playing].length_ms, StillPlaying, &turn);
}

void CloseAllClips() {
  for (int slot = 0; slot < kMaxOpenClips; ++slot) Close(slot);
  ++g_player.turn;
}

void WarmUpPlayback() {
  if (host::FindEntry(kConstantTexts.clip_folder)) host::PrepareSound();
}
