#include "wav_check.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sylbank {
namespace {

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool IdIs(const uint8_t* p, const char* id) {
  return p[0] == static_cast<uint8_t>(id[0]) && p[1] == static_cast<uint8_t>(id[1]) &&
         p[2] == static_cast<uint8_t>(id[2]) && p[3] == static_cast<uint8_t>(id[3]);
}

// Up to four bytes of an id, printable ones as they are and the rest as '?'.
std::string ShowId(const uint8_t* p, size_t n) {
  std::string s;
  for (size_t i = 0; i < n && i < 4; ++i) {
    s += (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : '?';
  }
  return s;
}

std::string Num(uint64_t n) { return std::to_string(n); }

// The names of the formats one meets in practice, for a clearer message.
const char* FormatName(uint16_t tag) {
  switch (tag) {
    case 0x0002: return "Microsoft ADPCM";
    case 0x0003: return "IEEE float";
    case 0x0006: return "A-law";
    case 0x0007: return "mu-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0031: return "GSM 6.10";
    case 0x0055: return "MPEG layer 3";
    default: return nullptr;
  }
}

// Bytes per frame: one sample of every channel.
uint32_t FrameBytes(const WavInfo& info) {
  return static_cast<uint32_t>(info.channels) * (info.bits / 8u);
}

// Where the chunk after the one whose header is at `pos` starts: past the
// header, the body and the pad byte after a body of odd size. May lie past
// the end of the file.
uint64_t NextChunkPos(const uint8_t* bytes, size_t pos) {
  const uint32_t body = Le32(bytes + pos + 4);
  return static_cast<uint64_t>(pos) + 8u + body + (body & 1u);
}

WavInfo Fail(WavInfo info, WavProblem problem, std::string message) {
  info.problem = problem;
  info.message = std::move(message);
  return info;
}

// The GUID that marks PCM samples inside an extensible header:
// 00000001-0000-0010-8000-00AA00389B71, stored little-endian.
bool IsPcmSubFormat(const uint8_t* guid) {
  static const uint8_t kPcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  for (int i = 0; i < 16; ++i) {
    if (guid[i] != kPcm[i]) return false;
  }
  return true;
}

// One sample as a signed value; 8-bit samples are stored unsigned.
int32_t Sample(const uint8_t* p, uint16_t bits) {
  switch (bits) {
    case 8: return static_cast<int32_t>(p[0]) - 128;
    case 16: return static_cast<int16_t>(Le16(p));
    case 24: {
      uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                   (static_cast<uint32_t>(p[2]) << 16);
      if (u & 0x800000u) u |= 0xFF000000u;
      return static_cast<int32_t>(u);
    }
    default: return static_cast<int32_t>(Le32(p));
  }
}

// Counts the frames at the start and at the end in which every channel stays
// below the silence threshold.
void MeasureSilence(const uint8_t* data, uint32_t bytes, WavInfo& info) {
  const uint32_t frame = FrameBytes(info);
  const uint32_t frames = bytes / frame;
  const double full_scale = std::ldexp(1.0, info.bits - 1);
  const double threshold = full_scale * std::pow(10.0, kSilenceThresholdDbfs / 20.0);
  auto loud = [&](uint32_t f) {
    const uint8_t* p = data + static_cast<size_t>(f) * frame;
    for (uint16_t c = 0; c < info.channels; ++c) {
      double v = static_cast<double>(Sample(p + c * (info.bits / 8u), info.bits));
      if (std::fabs(v) >= threshold) return true;
    }
    return false;
  };
  uint32_t first = 0;
  while (first < frames && !loud(first)) ++first;
  uint32_t end = frames;
  while (end > first && !loud(end - 1)) --end;
  auto ms = [&](uint32_t n) {
    return static_cast<uint32_t>(static_cast<uint64_t>(n) * 1000u / info.sample_rate);
  };
  info.leading_silence_ms = ms(first);
  // A clip of nothing but silence is silent from either end all through.
  info.trailing_silence_ms = ms(first == frames ? frames : frames - end);
  if (first == frames && frames > 0) {
    info.notes.push_back("no sound above -40 dBFS: the clip is all silence");
  }
}

// Reads and checks the format chunk's body (already known to lie inside the
// file). Leaves the problem at kOk when the format is one MCI plays.
WavInfo CheckFormat(WavInfo info, const uint8_t* body, uint32_t size) {
  if (size < 16) {
    return Fail(std::move(info), WavProblem::kBadFmt,
                "fmt chunk holds " + Num(size) + " bytes, a PCM format needs 16");
  }
  info.format_tag = Le16(body);
  info.channels = Le16(body + 2);
  info.sample_rate = Le32(body + 4);
  const uint32_t byte_rate = Le32(body + 8);
  const uint16_t block_align = Le16(body + 12);
  info.bits = Le16(body + 14);

  if (info.format_tag == 0xFFFE) {
    // The extensible header: PCM only when its sub-format says so.
    if (size < 40 || Le16(body + 16) < 22) {
      return Fail(std::move(info), WavProblem::kBadFmt,
                  "extensible fmt chunk too short (" + Num(size) + " bytes, needs 40)");
    }
    if (!IsPcmSubFormat(body + 24)) {
      const uint16_t sub = Le16(body + 24);
      const char* name = FormatName(sub);
      return Fail(std::move(info), WavProblem::kNotPcm,
                  "extensible format with non-PCM sub-format " + Num(sub) +
                      (name ? std::string(" (") + name + ")" : std::string()));
    }
    info.extensible = true;
    info.notes.push_back(
        "extensible format header (tag 0xFFFE) with PCM samples: plays on current "
        "Windows, but a plain PCM header (tag 1) is the safest");
  } else if (info.format_tag != 1) {
    const char* name = FormatName(info.format_tag);
    return Fail(std::move(info), WavProblem::kNotPcm,
                "non-PCM format tag " + Num(info.format_tag) +
                    (name ? std::string(" (") + name + ")" : std::string()));
  }

  if (info.channels < 1 || info.channels > 8) {
    return Fail(std::move(info), WavProblem::kBadFormat,
                "bad channel count " + Num(info.channels) + " (1 to 8)");
  }
  if (info.sample_rate < 4000 || info.sample_rate > 192000) {
    return Fail(std::move(info), WavProblem::kBadFormat,
                "bad sample rate " + Num(info.sample_rate) + " Hz (4000 to 192000)");
  }
  if (info.bits != 8 && info.bits != 16 && info.bits != 24 && info.bits != 32) {
    return Fail(std::move(info), WavProblem::kBadFormat,
                "bad sample size " + Num(info.bits) + " bits (8, 16, 24 or 32)");
  }
  const uint32_t frame = FrameBytes(info);
  if (block_align != frame) {
    return Fail(std::move(info), WavProblem::kBadFormat,
                "block align " + Num(block_align) + " does not match " + Num(info.channels) +
                    " channels x " + Num(info.bits) + " bits (" + Num(frame) + ")");
  }
  // MCI turns the data size into milliseconds with this number, so a wrong
  // one makes the program wait the wrong time.
  const uint64_t expected_rate = static_cast<uint64_t>(info.sample_rate) * frame;
  if (byte_rate != expected_rate) {
    return Fail(std::move(info), WavProblem::kBadFormat,
                "bytes per second " + Num(byte_rate) + " does not match the rate and block (" +
                    Num(expected_rate) + ")");
  }
  return info;
}

// True when a "fmt " chunk starts somewhere after the chunk at `pos`.
bool FmtChunkFollows(const uint8_t* bytes, size_t size, size_t pos) {
  for (;;) {
    if (size - pos < 8) return false;
    const uint64_t next = NextChunkPos(bytes, pos);
    if (next >= size) return false;
    pos = static_cast<size_t>(next);
    if (size - pos >= 4 && IdIs(bytes + pos, "fmt ")) return true;
  }
}

}  // namespace

const char* WavProblemKey(WavProblem problem) {
  switch (problem) {
    case WavProblem::kOk: return "ok";
    case WavProblem::kUnreadable: return "unreadable";
    case WavProblem::kDirectory: return "directory";
    case WavProblem::kTooLarge: return "too-large";
    case WavProblem::kTruncated: return "truncated";
    case WavProblem::kNotRiff: return "not-riff";
    case WavProblem::kNotWave: return "not-wave";
    case WavProblem::kNoFmt: return "no-fmt";
    case WavProblem::kBadFmt: return "bad-fmt";
    case WavProblem::kNotPcm: return "not-pcm";
    case WavProblem::kBadFormat: return "bad-format";
    case WavProblem::kDataBeforeFmt: return "data-before-fmt";
    case WavProblem::kNoData: return "no-data";
    case WavProblem::kEmptyData: return "empty-data";
  }
  return "unknown";
}

WavInfo CheckWavBytes(const uint8_t* bytes, size_t size) {
  WavInfo info;
  if (size == 0) return Fail(std::move(info), WavProblem::kTruncated, "truncated: the file is empty");

  // The RIFF header: "RIFF", a size, "WAVE".
  static const char kRiff[] = "RIFF";
  for (size_t i = 0; i < 4 && i < size; ++i) {
    if (bytes[i] != static_cast<uint8_t>(kRiff[i])) {
      return Fail(std::move(info), WavProblem::kNotRiff,
                  "not a RIFF file: it starts with '" + ShowId(bytes, size) + "'" +
                      (size >= 4 && IdIs(bytes, "RIFX") ? " (big-endian RIFX)" : ""));
    }
  }
  if (size < 12) {
    return Fail(std::move(info), WavProblem::kTruncated,
                "truncated: the file ends inside the RIFF header (" + Num(size) + " bytes)");
  }
  if (!IdIs(bytes + 8, "WAVE")) {
    return Fail(std::move(info), WavProblem::kNotWave,
                "not a WAVE file: RIFF form '" + ShowId(bytes + 8, 4) + "'");
  }
  const uint64_t riff_end = static_cast<uint64_t>(Le32(bytes + 4)) + 8u;
  if (riff_end != size) {
    info.notes.push_back("RIFF header gives " + Num(riff_end) + " bytes, the file has " +
                         Num(size));
  }

  // The chunks, one after another: a four-letter id, a size, the body and a
  // pad byte after a body of odd size. The walk stops at the data chunk, as
  // MCI's reader does; it reads the format first and looks for the data
  // after it.
  bool have_fmt = false;
  size_t pos = 12;
  for (;;) {
    const size_t left = size - pos;
    if (left == 0) break;
    if (left < 8) {
      return Fail(std::move(info), WavProblem::kTruncated,
                  "truncated: the file ends inside a chunk header at byte " + Num(pos));
    }
    const uint8_t* header = bytes + pos;
    const uint32_t chunk_size = Le32(header + 4);
    const uint8_t* body = header + 8;
    const size_t body_left = left - 8;

    if (IdIs(header, "data")) {
      if (!have_fmt) {
        if (!FmtChunkFollows(bytes, size, pos)) {
          return Fail(std::move(info), WavProblem::kNoFmt, "no fmt chunk");
        }
        return Fail(std::move(info), WavProblem::kDataBeforeFmt,
                    "data chunk comes before the fmt chunk; MCI looks for it after the format");
      }
      if (chunk_size > body_left) {
        info.data_bytes = static_cast<uint32_t>(body_left);
        return Fail(std::move(info), WavProblem::kTruncated,
                    "truncated: data chunk declares " + Num(chunk_size) +
                        " bytes but the file holds " + Num(body_left));
      }
      info.data_bytes = chunk_size;
      const uint32_t frame = FrameBytes(info);
      if (chunk_size < frame) {
        return Fail(std::move(info), WavProblem::kEmptyData, "data chunk holds no samples");
      }
      if (chunk_size % frame != 0) {
        info.notes.push_back("data size " + Num(chunk_size) + " is not a whole number of " +
                             Num(frame) + "-byte frames");
      }
      const uint64_t byte_rate = static_cast<uint64_t>(info.sample_rate) * frame;
      info.duration_ms = static_cast<uint32_t>(static_cast<uint64_t>(chunk_size) * 1000u / byte_rate);
      MeasureSilence(body, chunk_size, info);
      return info;
    }

    if (chunk_size > body_left) {
      return Fail(std::move(info), WavProblem::kTruncated,
                  "truncated: chunk '" + ShowId(header, 4) + "' declares " + Num(chunk_size) +
                      " bytes but the file holds " + Num(body_left));
    }
    if (IdIs(header, "fmt ") && !have_fmt) {
      info = CheckFormat(std::move(info), body, chunk_size);
      if (!info.ok()) return info;
      have_fmt = true;
    }
    // Step over the body and its pad byte; a missing pad byte at the very
    // end of the file is harmless.
    const uint64_t next = NextChunkPos(bytes, pos);
    if (next >= size) break;
    pos = static_cast<size_t>(next);
  }
  if (!have_fmt) return Fail(std::move(info), WavProblem::kNoFmt, "no fmt chunk");
  return Fail(std::move(info), WavProblem::kNoData, "missing data chunk");
}

WavInfo CheckWavFile(const std::string& path) {
  WavInfo info;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return Fail(std::move(info), WavProblem::kUnreadable,
                std::string("cannot read: ") + std::strerror(errno));
  }
  // Read in blocks up to one byte past the limit: no size query is needed,
  // and a huge file is never read whole.
  std::vector<uint8_t> bytes;
  uint8_t block[64 * 1024];
  bool too_large = false;
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) {
    bytes.insert(bytes.end(), block, block + n);
    if (bytes.size() > kMaxClipBytes) {
      too_large = true;
      break;
    }
  }
  const bool failed = std::ferror(file) != 0;
  const int read_error = errno;
  std::fclose(file);
  if (too_large) {
    return Fail(std::move(info), WavProblem::kTooLarge,
                "file of more than " + Num(kMaxClipBytes) + " bytes is too large for a clip");
  }
  if (failed) {
#ifdef EISDIR
    // Elsewhere than on Windows a folder opens but does not read.
    if (read_error == EISDIR) return FolderInfo();
#endif
    return Fail(std::move(info), WavProblem::kUnreadable,
                std::string("cannot read the file: ") + std::strerror(read_error));
  }
  return CheckWavBytes(bytes.data(), bytes.size());
}

WavInfo FolderInfo() {
  return Fail(WavInfo{}, WavProblem::kDirectory,
              "a folder, not a file: MCI cannot play it and the program does not wait");
}

}  // namespace sylbank
