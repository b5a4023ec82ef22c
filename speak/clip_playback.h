// Playing clips through the MCI command strings, one after another with
// tight joins. The next clip is opened, and its length read, while the one
// before it still sounds, each under an alias of its own, so that it can
// start the moment that one ends; the one before is closed once the next has
// started. No more than kMaxOpenClips devices are ever open.
//
// The clips belong to no run: a run that starts (a click during a wait)
// closes what sounds and goes on with the same devices, and the run it
// interrupted finds its clip gone and goes on after it.
#pragma once

#include <cstdint>

inline constexpr int kMaxOpenClips = 3;

// Opens `path` ahead of its turn under a free alias and reads its length,
// unless it is the clip opened ahead already; a different clip opened ahead
// is closed first. False when MCI cannot open it.
bool OpenClipAhead(const char* path);

// Starts `path` from its beginning: the clip opened ahead, or opened now if
// it is not that one. Then closes the clip that played before. True when
// MCI accepted the play command.
bool PlayClip(const char* path);

// Waits until the clip that plays now is over, dispatching messages the
// while: its length has passed since its play returned, MCI says it has
// stopped, another run has taken over the clips, or the main window has
// been closed. Returns at once when nothing plays.
void WaitForPlayingClip();

// Closes every clip that is open, which stops what sounds.
void CloseAllClips();

// The length in milliseconds that MCI reports for the clip open under
// `alias`; 0 when it reports none.
int32_t ClipLengthMs(const char* alias);

// Loads MCI and the sound driver ahead of the first click, without a sound,
// so that the first word comes quickly. Nothing is loaded when there is no
// clip folder.
void WarmUpPlayback();
