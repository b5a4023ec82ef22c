// The few platform services a console tool needs from the speaking code: the
// syllable lookup allocates its results, and a refused allocation is fatal.
// Nothing else of the speaking code is linked in, so nothing else is bound.
#include <cstdio>
#include <cstdlib>

#include "host.h"

namespace host {

void* AllocBlock(uint32_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void FreeBlock(void* block) { std::free(block); }

void ReportFatal(const char* message) {
  std::fflush(stdout);
  std::fputs("sylbank-check: ", stderr);
  std::fputs(message, stderr);
  std::fputs("\n", stderr);
  std::exit(1);
}

}  // namespace host
