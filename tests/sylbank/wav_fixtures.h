// Small WAV files made in the tests, byte by byte, so that each one shows
// exactly the fault it is about.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace sylbank_test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFFu);
  Put16(b, v >> 16);
}

inline void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A chunk: id, the body's size (or `declared` when given), the body and the
// pad byte after an odd-sized body.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t declared = -1) {
  Bytes b;
  PutId(b, id);
  Put32(b, declared >= 0 ? static_cast<uint32_t>(declared) : static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) b.push_back(0);
  return b;
}

struct Format {
  uint16_t tag = 1;
  uint16_t channels = 1;
  uint32_t rate = 22050;
  uint16_t bits = 16;
  // Zero: work them out from the fields above.
  uint16_t block_align = 0;
  uint32_t byte_rate = 0;
};

// The default format with one field changed, e.g.
// FormatWith(&Format::rate, 1000).
template <typename Field, typename Value>
Format FormatWith(Field Format::*field, Value value) {
  Format f;
  f.*field = static_cast<Field>(value);
  return f;
}

// 32-bit IEEE float samples (tag 3), a format MCI does not play.
inline Format FloatFormat() {
  Format f = FormatWith(&Format::tag, 3);
  f.bits = 32;
  return f;
}

// The 16-byte PCM format body.
inline Bytes FmtBody(const Format& f) {
  const uint16_t align = f.block_align ? f.block_align : static_cast<uint16_t>(f.channels * f.bits / 8);
  Bytes b;
  Put16(b, f.tag);
  Put16(b, f.channels);
  Put32(b, f.rate);
  Put32(b, f.byte_rate ? f.byte_rate : f.rate * align);
  Put16(b, align);
  Put16(b, f.bits);
  return b;
}

// The 40-byte extensible format body with the given sub-format code (1 for
// PCM, 3 for float) in the standard GUID.
inline Bytes ExtensibleFmtBody(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t sub) {
  Format f;
  f.tag = 0xFFFE;
  f.channels = channels;
  f.rate = rate;
  f.bits = bits;
  Bytes b = FmtBody(f);
  Put16(b, 22);        // extra bytes
  Put16(b, bits);      // valid bits
  Put32(b, channels == 1 ? 0x4u : 0x3u);  // speaker mask
  Put16(b, sub);
  const uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  b.insert(b.end(), rest, rest + 14);
  return b;
}

// "RIFF", the size of what follows, "WAVE" and the chunks.
inline Bytes Riff(const Bytes& chunks, const char* form = "WAVE") {
  Bytes b;
  PutId(b, "RIFF");
  Put32(b, static_cast<uint32_t>(chunks.size() + 4));
  PutId(b, form);
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}

// A WAV file of the plain shape: a "fmt " chunk for `f`, then a data chunk
// holding `samples`.
inline Bytes Wav(const Format& f, const Bytes& samples) {
  return Riff(Cat({Chunk("fmt ", FmtBody(f)), Chunk("data", samples)}));
}

// 16-bit samples: `ms` of a 440 Hz tone at the given peak (fraction of full
// scale), or of silence with a peak of 0.
inline Bytes Samples16(uint32_t ms, double peak, uint32_t rate = 22050, uint16_t channels = 1) {
  Bytes b;
  const uint32_t frames = rate * ms / 1000;
  for (uint32_t i = 0; i < frames; ++i) {
    const double v = peak * 32767.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * i / rate);
    for (uint16_t c = 0; c < channels; ++c) Put16(b, static_cast<uint16_t>(static_cast<int16_t>(v)));
  }
  return b;
}

// A clip that is fine in every way: 16-bit mono PCM, `ms` of tone.
inline Bytes GoodClip(uint32_t ms = 300) {
  return Wav(Format{}, Samples16(ms, 0.5));
}

// A folder of its own under the system's temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sylbank-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

  void Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << name;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace sylbank_test
