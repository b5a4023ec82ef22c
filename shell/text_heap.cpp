// Every Text lives in the process heap.
#include "host.h"
#include "shell_app.h"

namespace host {

void* AllocBlock(uint32_t bytes) { return HeapAlloc(g_app.heap, 0, bytes); }

void FreeBlock(void* block) { HeapFree(g_app.heap, 0, block); }

}  // namespace host
