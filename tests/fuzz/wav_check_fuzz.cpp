// The clip checker's WAV parser on arbitrary bytes: it never reads outside
// the bytes it is given, and what it calls playable holds together.
#include <cstdio>
#include <cstdlib>

#include "wav_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const sylbank::WavInfo info = sylbank::CheckWavBytes(data, size);
  if (info.ok() && (info.channels == 0 || info.sample_rate == 0 || info.data_bytes == 0 ||
                    info.data_bytes > size)) {
    std::fprintf(stderr, "a clip passed as playable with %u channels, %u Hz, %u data bytes of %zu\n",
                 info.channels, info.sample_rate, info.data_bytes, size);
    std::abort();
  }
  return 0;
}
