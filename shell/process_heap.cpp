// Everything the program allocates lives in the process heap: every Text,
// through the seam, and the few C++ objects (the window's), through the
// allocation operators, which fail the way a Text does instead of throwing.
#include <cstddef>

#include "fatal_error.h"
#include "host.h"
#include "shell_app.h"
#include "text.h"

namespace host {

void* AllocBlock(uint32_t bytes) { return HeapAlloc(g_app.heap, 0, bytes); }

void FreeBlock(void* block) { HeapFree(g_app.heap, 0, block); }

}  // namespace host

void* operator new(std::size_t bytes) {
  // Before start-up has taken the heap, GetProcessHeap gives the same one.
  HANDLE heap = g_app.heap != nullptr ? g_app.heap : GetProcessHeap();
  if (void* block = HeapAlloc(heap, 0, bytes != 0 ? bytes : 1)) return block;
  ReportFatalError(AllocationFailureMessage(static_cast<int32_t>(bytes)).text, 0, 0, 0);
}

void* operator new[](std::size_t bytes) { return operator new(bytes); }

void operator delete(void* block) noexcept {
  if (block != nullptr) HeapFree(g_app.heap != nullptr ? g_app.heap : GetProcessHeap(), 0, block);
}

void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }
