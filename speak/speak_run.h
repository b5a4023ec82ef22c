// What the button does: speaks the text box's content clip by clip.
#pragma once

#include <cstdint>

// Speaks the text box's content: one clip per character, each waited out
// while messages are dispatched. Can be entered again from inside its waits.
void SpeakRun();

// The 1-based width (1 or 2 bytes) of the unit that starts at byte position p
// of `content`: one byte for an ASCII byte followed by the first byte of a
// double-byte character, two otherwise.
int32_t UnitWidthAt(const char* content, int32_t p);

// True when a file search finds an entry of that name, a directory included.
bool FileExists(const char* path);
