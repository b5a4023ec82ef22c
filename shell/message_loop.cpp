#include "message_loop.h"

#include <windows.h>

#include "clip_playback.h"
#include "main_window.h"
#include "shell_app.h"

namespace {

MainWindow* ProgramWindowOf(HWND hwnd) {
  for (const WindowRecord& record : g_app.windows) {
    if (record.window != nullptr && record.window->hwnd() == hwnd) return record.window;
  }
  return nullptr;
}

// Offers the message to the window it is addressed to and then to each
// window above it, until one takes it.
bool PreTranslate(const MSG& msg) {
  for (HWND hwnd = msg.hwnd; hwnd != nullptr; hwnd = GetParent(hwnd)) {
    if (MainWindow* window = ProgramWindowOf(hwnd)) {
      if (window->PreTranslate(msg)) return true;
    }
  }
  return false;
}

// Runs whenever the queue has run dry, before the loop waits for the next
// message. The first time, once the window stands, it loads the sound path
// so that the first click speaks at once.
void RunIdleHousekeeping() {
  static bool warmed_up = false;
  if (warmed_up) return;
  warmed_up = true;
  WarmUpPlayback();
}

}  // namespace

bool HandleNextMessage(int* quit_code) {
  MSG msg = {};
  const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
  if (got == 0) {
    if (quit_code != nullptr) *quit_code = static_cast<int>(msg.wParam);
    return false;
  }
  if (got == -1) return true;  // nothing was taken
  if (!PreTranslate(msg)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

void RunMessageLoop() {
  g_app.loop_entered = true;
  if (!AnyWindowAlive()) return;
  for (;;) {
    MSG peeked;
    if (!PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE)) RunIdleHousekeeping();
    if (!HandleNextMessage()) return;
  }
}
