// The process entry: prepares the process-wide state, shows the window, runs
// the message loop and ends the process.
#include <windows.h>

#include <float.h>

#include <cfenv>
#include <cwchar>

#include "fatal_error.h"
#include "main_window.h"
#include "message_loop.h"
#include "shell_app.h"

namespace {

// Records the folder that holds the program file and makes it the current
// directory, so that the clip folder beside the program is found whatever
// directory the program was started from. The wide-character calls are used
// so that a folder whose name code page 936 cannot hold is found too; the
// clip paths stay relative and resolve against it.
void EnterProgramFolder() {
  wchar_t* folder = g_app.program_folder;
  const DWORD n = GetModuleFileNameW(nullptr, folder, kLongPathChars);
  folder[n < kLongPathChars ? n : kLongPathChars - 1] = L'\0';

  wchar_t* last = std::wcsrchr(folder, L'\\');
  if (last == nullptr) {
    folder[0] = L'\0';
    return;
  }
  // The backslash stays on for the change of directory: for a program in a
  // drive's root "C:" alone would name the drive's current directory rather
  // than its root.
  const wchar_t after = last[1];
  last[1] = L'\0';
  SetCurrentDirectoryW(folder);
  last[1] = after;
  *last = L'\0';
}

void DeclareExternalFunctions() {
  g_app.external_functions[kMciSendStringRow] = {"winmm.dll", "mciSendStringA", nullptr,
                                                 nullptr};
  g_app.external_functions[kWaveOutGetNumDevsRow] = {"winmm.dll", "waveOutGetNumDevs", nullptr,
                                                     nullptr};
}

void DeclareWindows() {
  g_app.windows[kMainWindowRecord] = {kMainWindowId, "", nullptr};
}

// Round to nearest with every floating-point exception masked. The first
// call resets the x87 unit; the second sets the same through the runtime,
// which on x64 is where doubles are computed (SSE).
void ResetFloatingPoint() {
  std::fesetenv(FE_DFL_ENV);
  _controlfp(_RC_NEAR | _MCW_EM, _MCW_RC | _MCW_EM);
}

// The program keeps no program-wide state, so it has nothing to set up and
// nothing to tidy at the end.
void InitialiseProgram() {}
void ProgramExitRoutine() {}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  g_app.heap = GetProcessHeap();
  EnterProgramFolder();
  DeclareExternalFunctions();
  DeclareWindows();

  ResetFloatingPoint();

  InitialiseProgram();
  RegisterExitRoutine(ProgramExitRoutine);

  if (!LoadMainWindow()) {
    ReportFatalError("载入启动窗口失败", 0, static_cast<int32_t>(kMainWindowId), 0);
  }
  RunMessageLoop();
  ShellShutdown(0);
  return 0;
}
