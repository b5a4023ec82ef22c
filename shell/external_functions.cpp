#include "external_functions.h"

#include <cstdio>

#include "fatal_error.h"
#include "shell_app.h"
#include "text.h"

namespace {

// A library of that name beside the program comes first; then the system's
// usual search.
HMODULE LoadExternalLibrary(const char* library) {
  const Text beside_program = ConcatText({g_app.program_folder.get(), "\\", library});
  HMODULE module = LoadLibraryA(beside_program.c_str());
  if (module == nullptr) module = LoadLibraryA(library);
  return module;
}

}  // namespace

FARPROC BindExternalFunction(int row) {
  ExternalFunction& function = g_app.external_functions[row];
  if (function.entry != nullptr) return function.entry;

  HMODULE module = LoadExternalLibrary(function.library);
  FARPROC entry = module != nullptr ? GetProcAddress(module, function.export_name) : nullptr;
  if (entry != nullptr) {
    function.module = module;
    function.entry = entry;
    return entry;
  }

  if (module != nullptr) FreeLibrary(module);
  char message[512];
  std::snprintf(message, sizeof message, "无法找到指定DLL库文件“%s”中的输出命令“%s”",
                function.library, function.export_name);
  ReportFatalError(message, 0, 0, 0);
}

void ReleaseExternalFunctions() {
  for (ExternalFunction& function : g_app.external_functions) {
    if (function.module != nullptr) FreeLibrary(function.module);
    function.module = nullptr;
    function.entry = nullptr;
  }
}
