#include "shell_app.h"

#include <algorithm>

#include "external_functions.h"
#include "main_window.h"

ShellApp g_app;

void RegisterExitRoutine(ExitRoutine routine) {
  auto& routines = g_app.exit_routines;
  if (std::find(routines.begin(), routines.end(), routine) == routines.end()) {
    routines.push_back(routine);
  }
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
  // Moved out first, so that a routine which registers another cannot
  // disturb the walk.
  std::vector<ExitRoutine> routines;
  routines.swap(g_app.exit_routines);
  for (ExitRoutine routine : routines) routine();
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
