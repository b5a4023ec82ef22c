#include "external_functions.h"

#include <cwchar>

#include "fatal_error.h"
#include "shell_app.h"

namespace {

// A library of that name beside the program comes first; then the system's
// usual search.
HMODULE LoadExternalLibrary(const char* library) {
  wchar_t beside_program[kLongPathChars];
  const int folder = static_cast<int>(std::wcslen(g_app.program_folder));
  std::wmemcpy(beside_program, g_app.program_folder, folder);
  beside_program[folder] = L'\\';
  const int room = kLongPathChars - folder - 1;
  const int name = MultiByteToWideChar(CP_ACP, 0, library, -1, beside_program + folder + 1, room);
  HMODULE module = name > 0 ? LoadLibraryW(beside_program) : nullptr;
  if (module == nullptr) module = LoadLibraryA(library);
  return module;
}

}  // namespace

FARPROC TryBindExternalFunction(int row) {
  ExternalFunction& function = g_app.external_functions[row];
  if (function.entry != nullptr) return function.entry;

  HMODULE module = LoadExternalLibrary(function.library);
  FARPROC entry = module != nullptr ? GetProcAddress(module, function.export_name) : nullptr;
  if (entry == nullptr) {
    if (module != nullptr) FreeLibrary(module);
    return nullptr;
  }
  function.module = module;
  function.entry = entry;
  return entry;
}

FARPROC BindExternalFunction(int row) {
  if (FARPROC entry = TryBindExternalFunction(row)) return entry;
  const ExternalFunction& function = g_app.external_functions[row];
  char message[512];
  wsprintfA(message, "无法找到指定DLL库文件“%s”中的输出命令“%s”", function.library,
            function.export_name);
  ReportFatalError(message, 0, 0, 0);
}

void ReleaseExternalFunctions() {
  for (ExternalFunction& function : g_app.external_functions) {
    if (function.module != nullptr) FreeLibrary(function.module);
    function.module = nullptr;
    function.entry = nullptr;
  }
}
