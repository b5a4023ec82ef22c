// Functions in DLLs that the program does not link with, bound by name at
// their first call.
#pragma once

#include <windows.h>

// The entry of the row's function, loading its library and looking it up on
// the first call. A library that cannot be loaded, or lacks the function,
// ends the program through the fatal error report.
FARPROC BindExternalFunction(int row);

// The same without the fatal error: null when the library cannot be loaded
// or lacks the function.
FARPROC TryBindExternalFunction(int row);

// Frees the library of every bound row and forgets every module and entry.
void ReleaseExternalFunctions();
