// The speaking code's only way to the platform.
//
// Everything the speak run, the syllable lookup and clip playback need from
// Windows goes through these few functions, so that code builds and is tested
// without <windows.h>. The Windows program binds them to the real API in
// shell/; the unit tests bind them to a scripted fake (tests/unit/fake_host).
#pragma once

#include <cstdint>

class Text;

namespace host {

// Heap blocks for Text: a block of `bytes` bytes, or null when the heap
// refuses. TextAlloc turns a refusal into the fatal error.
void* AllocBlock(uint32_t bytes);
void FreeBlock(void* block);

// The program's one failure path: shows the error box with `message`
// (code 0, both detail values 0) and ends the process with exit code -1.
[[noreturn]] void ReportFatal(const char* message);

// A fresh copy of the text box's content: absent when the box is empty.
Text TextBoxContent();

// A number that changes whenever the text box's content may have changed
// (typing, paste, undo, a WM_SETTEXT from another program): the speak run
// reads the box again only when it differs from the one of its last read.
uint32_t TextBoxVersion();

// True once the main window has been closed. A speak run coming back from a
// wait checks this before it reads the text box again.
bool MainWindowClosed();

// True when the clip folder beside the program can be used. When it cannot
// (it is missing, or its path is too long for the clip paths), tells the
// user so in a message box, which is not an error of the program, and gives
// false.
bool VoiceFolderUsable();

// True when a file search on `path` finds an entry, a directory included.
bool FindEntry(const char* path);

// mciSendStringA(command, reply, capacity, no callback window), bound by name
// at its first call. Gives MCI's error code, 0 for success.
uint32_t MciSendString(const char* command, char* reply, uint32_t capacity);

// Binds mciSendStringA and loads the sound driver ahead of the first clip,
// without a sound. Never reports a fatal error: a missing winmm.dll or
// mciSendStringA is reported by the first command, as always.
void PrepareSound();

// The millisecond counter: unsigned, wraps after 2^32 - 1.
uint32_t TickCount();

// Sleeps until a message arrives in the thread's queue or `ms` milliseconds
// have passed, whichever comes first.
void WaitForMessage(uint32_t ms);

// What a peek (PM_NOREMOVE) finds first in the thread's message queue.
enum class QueueHead { kEmpty, kQuit, kOther };
QueueHead PeekQueue();

// Takes the next message out of the queue and handles it as the main message
// loop does: pre-translation, then TranslateMessage and DispatchMessageA.
void DispatchNextMessage();

}  // namespace host
