// The process entry: prepares the process-wide state, shows the window, runs
// the message loop and ends the process.
#include <windows.h>

#include <float.h>

#include <cfenv>
#include <cstring>

#include "fatal_error.h"
#include "main_window.h"
#include "message_loop.h"
#include "shell_app.h"
#include "text.h"

namespace {

// The byte after the last backslash of `path`, or null when it has none. The
// path is read as text in the ANSI code page, so the second byte of a
// double-byte character is never taken for a backslash.
const char* AfterLastBackslash(const char* path) {
  const char* after = nullptr;
  for (const char* p = path; *p != '\0';) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') {
      p += 2;
      continue;
    }
    if (*p == '\\') after = p + 1;
    ++p;
  }
  return after;
}

// Records the folder that holds the program file and makes it the current
// directory, so that the clip folder beside the program is found whatever
// directory the program was started from.
void EnterProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  path[sizeof path - 1] = '\0';

  const char* after = AfterLastBackslash(path);
  const int32_t folder_length = after != nullptr ? static_cast<int32_t>(after - path - 1) : 0;
  char* folder = TextAlloc(folder_length + 1);
  std::memcpy(folder, path, static_cast<size_t>(folder_length));
  folder[folder_length] = '\0';
  g_app.program_folder = Text::Adopt(folder);

  if (after != nullptr) {
    // The backslash stays on: for a program in a drive's root "C:" alone
    // would name the drive's current directory rather than its root.
    path[after - path] = '\0';
    SetCurrentDirectoryA(path);
  }
}

void DeclareExternalFunctions() {
  g_app.external_functions[kMciSendStringRow] = {"winmm.dll", "mciSendStringA", nullptr,
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
