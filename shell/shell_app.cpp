#include "shell_app.h"

#include "external_functions.h"
#include "fatal_error.h"
#include "main_window.h"

ShellApp g_app;

void RegisterExitRoutine(ExitRoutine routine) {
  for (int i = 0; i < g_app.exit_routine_count; ++i) {
    if (g_app.exit_routines[i] == routine) return;
  }
  if (g_app.exit_routine_count == kMaxExitRoutines) {
    ReportFatalError("退出例程过多", 0, 0, 0);
  }
  g_app.exit_routines[g_app.exit_routine_count++] = routine;
}

bool AnyWindowAlive() {
  for (const WindowRecord& record : g_app.windows) {
    if (record.window != nullptr && IsWindow(record.window->hwnd())) return true;
  }
  return false;
}

namespace {

// Destroys every window that is still up; each window's own clean-up then
// unlinks its record and deletes its object.
void DeleteWindowRecords() {
  for (WindowRecord& record : g_app.windows) {
    if (record.window == nullptr) continue;
    if (IsWindow(record.window->hwnd())) DestroyWindow(record.window->hwnd());
    if (record.window != nullptr) {  // its window was already gone
      delete record.window;
      record.window = nullptr;
    }
  }
}

void CallExitRoutines() {
  // Taken out of the list first, so that a routine which registers another
  // cannot disturb the walk.
  ExitRoutine routines[kMaxExitRoutines];
  const int count = g_app.exit_routine_count;
  for (int i = 0; i < count; ++i) routines[i] = g_app.exit_routines[i];
  g_app.exit_routine_count = 0;
  for (int i = 0; i < count; ++i) routines[i]();
}

}  // namespace

void ShellShutdown(int /*exit_code*/) {
  if (g_app.shut_down) return;
  g_app.shut_down = true;
  ++g_app.busy_count;  // from here on no event reaches the program
  DeleteWindowRecords();
  CallExitRoutines();
  ReleaseExternalFunctions();
  ReleaseMainWindowClass();
}
