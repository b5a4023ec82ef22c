// The speaking code's way to the platform, bound to Win32.
#include <windows.h>

#include "external_functions.h"
#include "fatal_error.h"
#include "host.h"
#include "main_window.h"
#include "message_loop.h"
#include "scoped_handles.h"
#include "shell_app.h"

namespace host {

void ReportFatal(const char* message) { ReportFatalError(message, 0, 0, 0); }

Text TextBoxContent() { return ::TextBoxContent(); }

uint32_t TextBoxVersion() { return ::TextBoxVersion(); }

// Before the window is made no speak run can exist, so "not loaded" can only
// mean "closed" here.
bool MainWindowClosed() { return g_app.windows[kMainWindowRecord].window == nullptr; }

bool FindEntry(const char* path) {
  WIN32_FIND_DATAA found;
  const ScopedFindHandle search(FindFirstFileA(path, &found));
  return search.valid();
}

uint32_t MciSendString(const char* command, char* reply, uint32_t capacity) {
  using MciSendStringA = DWORD(WINAPI*)(LPCSTR, LPSTR, UINT, HWND);
  // Through a function type without parameters, the one GCC lets any
  // function pointer be cast to and from.
  const auto entry = reinterpret_cast<MciSendStringA>(
      reinterpret_cast<void (*)()>(BindExternalFunction(kMciSendStringRow)));
  return entry(command, reply, capacity, nullptr);
}

// The first play of a process otherwise pays for loading winmm.dll and the
// sound driver: about 60 ms under Wine, 14 ms once this has run. Opening and
// closing a clip alone loads only the MCI driver and saves nothing.
void PrepareSound() {
  if (TryBindExternalFunction(kMciSendStringRow) == nullptr) return;
  using WaveOutGetNumDevs = UINT(WINAPI*)();
  if (FARPROC entry = TryBindExternalFunction(kWaveOutGetNumDevsRow)) {
    reinterpret_cast<WaveOutGetNumDevs>(reinterpret_cast<void (*)()>(entry))();
  }
}

// Milliseconds from the performance counter: GetTickCount moves in steps of
// 10 to 16 ms on many machines, too coarse to start a clip right when the
// one before ends.
uint32_t TickCount() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return static_cast<uint32_t>(count.QuadPart / (frequency.QuadPart / 1000));
}

void WaitForMessage(uint32_t ms) {
  // MWMO_INPUTAVAILABLE: a message already queued ends the sleep too, not
  // only one that arrives during it.
  MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

QueueHead PeekQueue() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) return QueueHead::kEmpty;
  return msg.message == WM_QUIT ? QueueHead::kQuit : QueueHead::kOther;
}

void DispatchNextMessage() {
  // Called after a peek found something other than the quit message. Should
  // the quit message come out after all, it goes back: only the main loop
  // acts on it.
  int quit_code = 0;
  if (!HandleNextMessage(&quit_code)) PostQuitMessage(quit_code);
}

}  // namespace host
