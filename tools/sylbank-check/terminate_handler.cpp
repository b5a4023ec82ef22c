// The Windows build's handler for an exception nothing catches.
//
// The C++ library's own handler prints the uncaught exception's type, and to
// do so links in a C++ name demangler and a full printf: a third of the
// shipped checker's size. Defining the handler here keeps the library's copy
// out of the link (a second definition would fail the link, not pass
// silently). The only exception this program can meet is a refused
// allocation, so it says that in plain words and stops.
#include <cstdio>
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::fputs("sylbank-check: out of memory\n", stderr);
  std::abort();
}

}  // namespace __gnu_cxx
