// The program's one way to fail: an error box, then the end of the process.
#pragma once

#include <cstdint>

// Shows the error box with `message` and, when `code` is not 0, the code.
// The two detail values say where it happened: when the first is a window's
// identifier, the second is one of its controls. Once the box is closed the
// process ends with exit code -1; the exit routines are not called.
[[noreturn]] void ReportFatalError(const char* message, int32_t code, int32_t first_detail,
                                   int32_t second_detail);
