// The process-wide state of the program and the services around it: the
// heap, the program's folder, the one external function, the exit routines,
// the busy count and the record of the main window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "text.h"

class MainWindow;

// One row per function that the program calls in a DLL it does not link
// with. The module and entry stay null until the first call binds the row.
struct ExternalFunction {
  const char* library;
  const char* export_name;
  HMODULE module;
  FARPROC entry;
};

// mciSendStringA of winmm.dll, and waveOutGetNumDevs, whose first call loads
// the sound driver.
constexpr int kMciSendStringRow = 0;
constexpr int kWaveOutGetNumDevsRow = 1;
constexpr int kExternalFunctionCount = 2;

// A window the program defines. The record is loaded while it links to a
// live window object, and not loaded before the window is made and again
// after it is gone.
struct WindowRecord {
  uint32_t id;
  const char* tag;
  MainWindow* window;
};

constexpr int kMainWindowRecord = 0;
constexpr int kWindowRecordCount = 1;

using ExitRoutine = void (*)();
// The program registers one; the list has room to spare.
constexpr int kMaxExitRoutines = 8;

// The longest path the wide-character calls take.
constexpr int kLongPathChars = 32768;

struct ShellApp {
  HANDLE heap = nullptr;
  // The program file's folder, without a trailing backslash; empty when the
  // path held no backslash. Held in UTF-16: a folder whose name lies outside
  // code page 936 must still be found.
  wchar_t program_folder[kLongPathChars] = {};
  ExternalFunction external_functions[kExternalFunctionCount] = {};
  // The exit routines in registration order.
  ExitRoutine exit_routines[kMaxExitRoutines] = {};
  int exit_routine_count = 0;
  // Only once the loop runs does losing the last window end it.
  bool loop_entered = false;
  // Above 0 while a window is being made, once shutdown has begun and while
  // a fatal error is shown: no event then reaches the program's handlers.
  int32_t busy_count = 0;
  WindowRecord windows[kWindowRecordCount] = {};
  // Set by the first ShellShutdown, so that a second one does nothing.
  bool shut_down = false;
};

extern ShellApp g_app;

// Adds a routine to be called at a normal shutdown, once however often it is
// registered. A routine past the list's room is a fault of the program and
// is reported as a fatal error.
void RegisterExitRoutine(ExitRoutine routine);

// True when some record links to a window object whose window still exists.
bool AnyWindowAlive();

// Releases the process-wide resources; the caller then ends the process with
// `exit_code`. A second call does nothing.
void ShellShutdown(int exit_code);

// Raises the busy count for as long as it lives.
class BusyScope {
 public:
  BusyScope() { ++g_app.busy_count; }
  ~BusyScope() { --g_app.busy_count; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
};
