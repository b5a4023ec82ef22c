// What the button does: speaks the text box's content clip by clip.
#pragma once

#include <cstdint>

#include "speech_units.h"

// How deeply runs may nest (clicks during waits) before a click is let go.
inline constexpr int kMaxNestedRuns = 64;

// Speaks the text box's content: one clip per character, numeral or pause,
// each waited out while messages are dispatched. Can be entered again from
// inside its waits: the new run speaks from the top, then this one goes on.
void SpeakRun();

// True when a file search finds an entry of that name, a directory included.
bool FileExists(const char* path);
