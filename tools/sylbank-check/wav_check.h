// Checks one clip file: is it a WAV file that the MCI wave device can open
// and play, how long does it last, and how much silence does it carry at its
// start and end.
//
// The parser reads the bytes one by one as little-endian numbers and never
// trusts a size field: every chunk is checked against the bytes that are
// really there before anything inside it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sylbank {

// What is wrong with a clip, kOk when nothing is.
enum class WavProblem {
  kOk,
  kUnreadable,     // the file could not be opened or read
  kDirectory,      // a folder carries the clip's name
  kTooLarge,       // far bigger than any syllable clip
  kTruncated,      // the file ends inside its header or a chunk
  kNotRiff,        // no "RIFF" at the start
  kNotWave,        // a RIFF file of another kind (AVI, ...)
  kNoFmt,          // no "fmt " chunk
  kBadFmt,         // the "fmt " chunk is too short to hold a format
  kNotPcm,         // a compressed or floating-point format
  kBadFormat,      // channels, rate, bits or block sizes out of range
  kDataBeforeFmt,  // the data chunk comes before the format
  kNoData,         // no "data" chunk
  kEmptyData,      // a data chunk without a single sample
};

// A short stable name for the problem, used as a key in the JSON report
// ("ok", "truncated", "not-riff", ...).
const char* WavProblemKey(WavProblem problem);

// Silence is counted where every channel stays below -40 dBFS (1% of full
// scale), and a clip is flagged when more than 100 ms of it lead or trail.
inline constexpr double kSilenceThresholdDbfs = -40.0;
inline constexpr uint32_t kSilenceFlagMs = 100;

// A syllable clip longer than this is suspicious (a whole recording left
// uncut, say): a warning, not a fault, since it plays.
inline constexpr uint32_t kLongClipMs = 3000;

// Clips above this size are not read at all: a syllable lasts a second or so.
inline constexpr uint64_t kMaxClipBytes = 64u * 1024u * 1024u;

struct WavInfo {
  WavProblem problem = WavProblem::kOk;
  // One line in plain words saying what is wrong; empty when the clip is ok.
  std::string message;
  // Things worth knowing that do not stop MCI from playing the clip.
  std::vector<std::string> notes;

  // The format, as far as it could be read.
  uint16_t format_tag = 0;   // 1 for PCM; 0xFFFE for the extensible header
  bool extensible = false;   // extensible header with PCM samples inside
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint16_t bits = 0;
  uint32_t data_bytes = 0;   // bytes of sound in the data chunk

  // Length as MCI gives it: data bytes over bytes per second, in whole ms.
  uint32_t duration_ms = 0;
  // Silence below the threshold at the start and at the end, in whole ms.
  uint32_t leading_silence_ms = 0;
  uint32_t trailing_silence_ms = 0;

  bool ok() const { return problem == WavProblem::kOk; }
};

// Checks the bytes of a whole file.
WavInfo CheckWavBytes(const uint8_t* bytes, size_t size);

// Checks the file at `path`: it is read (up to kMaxClipBytes) and checked as
// above; an entry that cannot be read is reported as such.
WavInfo CheckWavFile(const std::string& path);

// What the check says of a folder that carries a clip's name.
WavInfo FolderInfo();

}  // namespace sylbank
