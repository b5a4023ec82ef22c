// The WAV check on files made byte by byte: what MCI would play passes, and
// every fault is named for what it is.
#include "wav_check.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "wav_fixtures.h"

namespace sylbank_test {
namespace {

using sylbank::CheckWavBytes;
using sylbank::CheckWavFile;
using sylbank::WavInfo;
using sylbank::WavProblem;

// Checks a copy that holds exactly the file's bytes, so that a read past the
// end is caught by the address sanitizer.
WavInfo Check(const Bytes& bytes) {
  std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  return CheckWavBytes(exact.empty() ? nullptr : exact.data(), exact.size());
}

TEST(WavCheck, GoodClipGivesFormatAndDuration) {
  const WavInfo info = Check(GoodClip(300));
  ASSERT_TRUE(info.ok()) << info.message;
  EXPECT_EQ(info.format_tag, 1);
  EXPECT_FALSE(info.extensible);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.sample_rate, 22050u);
  EXPECT_EQ(info.bits, 16);
  EXPECT_EQ(info.data_bytes, 22050u * 300 / 1000 * 2);
  EXPECT_EQ(info.duration_ms, 300u);
  EXPECT_EQ(info.leading_silence_ms, 0u);
  EXPECT_LE(info.trailing_silence_ms, 1u);  // the sine's last sample may be near 0
  EXPECT_TRUE(info.notes.empty());
}

// Durations follow the data size over the bytes per second, for every sample
// layout a clip may have.
TEST(WavCheck, DurationForEachLayout) {
  struct Case {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    uint32_t frames;
    uint32_t expected_ms;
  };
  const Case cases[] = {
      {1, 22050, 16, 22050, 1000}, {2, 44100, 16, 11025, 250}, {1, 8000, 8, 4000, 500},
      {1, 48000, 24, 24000, 500},  {2, 16000, 32, 1600, 100},  {1, 11025, 16, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " ch " + std::to_string(c.rate) + " Hz " +
                 std::to_string(c.bits) + " bit");
    Format f;
    f.channels = c.channels;
    f.rate = c.rate;
    f.bits = c.bits;
    // Loud samples: every byte 0x40 is well above -40 dBFS at any size.
    const Bytes data(static_cast<size_t>(c.frames) * c.channels * (c.bits / 8), 0x40);
    const WavInfo info = Check(Wav(f, data));
    ASSERT_TRUE(info.ok()) << info.message;
    EXPECT_EQ(info.duration_ms, c.expected_ms);
  }
}

// Chunks that MCI steps over: a list chunk before the format, an odd-sized
// chunk with its pad byte, a chunk after the data.
TEST(WavCheck, ExtraChunksAreSteppedOver) {
  const Bytes fmt = Chunk("fmt ", FmtBody(Format{}));
  const Bytes data = Chunk("data", Samples16(100, 0.5));
  const Bytes odd = Chunk("LIST", Bytes(5, 'x'));  // 5 bytes and a pad byte
  const std::vector<Bytes> files = {
      Riff(Cat({odd, fmt, data})),
      Riff(Cat({fmt, odd, data})),
      Riff(Cat({fmt, Chunk("fact", Bytes(4, 0)), data, Chunk("LIST", Bytes(8, 'y'))})),
  };
  for (size_t i = 0; i < files.size(); ++i) {
    const WavInfo info = Check(files[i]);
    EXPECT_TRUE(info.ok()) << "file " << i << ": " << info.message;
    EXPECT_EQ(info.duration_ms, 100u) << "file " << i;
  }
}

struct FaultCase {
  const char* name;
  Bytes bytes;
  WavProblem problem;
  const char* message_part;
};

TEST(WavCheck, FaultsAreNamed) {
  const Bytes fmt = Chunk("fmt ", FmtBody(Format{}));
  const Bytes samples = Samples16(200, 0.5);
  const Bytes data = Chunk("data", samples);
  const Bytes good = Wav(Format{}, samples);

  const std::vector<FaultCase> cases = {
      {"empty file", {}, WavProblem::kTruncated, "empty"},
      {"two bytes of RIFF", {'R', 'I'}, WavProblem::kTruncated, "RIFF header"},
      {"header only", Bytes(good.begin(), good.begin() + 12), WavProblem::kNoFmt, "no fmt"},
      {"ends in a chunk header", Bytes(good.begin(), good.begin() + 16), WavProblem::kTruncated,
       "chunk header"},
      {"ends in the format", Bytes(good.begin(), good.begin() + 30), WavProblem::kTruncated,
       "'fmt '"},
      {"ends in the data", Bytes(good.begin(), good.end() - 100), WavProblem::kTruncated,
       "data chunk declares 8820 bytes but the file holds 8720"},
      {"text file", {'h', 'e', 'l', 'l', 'o', '\n'}, WavProblem::kNotRiff, "'hell'"},
      {"big-endian RIFX", Cat({{'R', 'I', 'F', 'X'}, Bytes(good.begin() + 4, good.end())}),
       WavProblem::kNotRiff, "RIFX"},
      {"AVI", Riff(data, "AVI "), WavProblem::kNotWave, "'AVI '"},
      {"float", Wav(FloatFormat(), samples), WavProblem::kNotPcm,
       "non-PCM format tag 3 (IEEE float)"},
      {"ADPCM", Wav(FormatWith(&Format::tag, 2), samples), WavProblem::kNotPcm,
       "non-PCM format tag 2"},
      {"MP3", Wav(FormatWith(&Format::tag, 0x55), samples), WavProblem::kNotPcm,
       "non-PCM format tag 85 (MPEG layer 3)"},
      {"extensible float",
       Riff(Cat({Chunk("fmt ", ExtensibleFmtBody(1, 22050, 32, 3)), data})), WavProblem::kNotPcm,
       "non-PCM sub-format 3"},
      {"short extensible",
       Riff(Cat({Chunk("fmt ", Cat({FmtBody(FormatWith(&Format::tag, 0xFFFE)), Bytes(2, 0)})),
                 data})),
       WavProblem::kBadFmt, "extensible"},
      {"format of 14 bytes", Riff(Cat({Chunk("fmt ", Bytes(14, 1)), data})), WavProblem::kBadFmt,
       "14 bytes"},
      {"no channels", Wav(FormatWith(&Format::channels, 0), samples), WavProblem::kBadFormat,
       "channel count 0"},
      {"12-bit samples", Wav(FormatWith(&Format::bits, 12), samples), WavProblem::kBadFormat,
       "12 bits"},
      {"1000 Hz", Wav(FormatWith(&Format::rate, 1000), samples), WavProblem::kBadFormat,
       "1000 Hz"},
      {"block align", Wav(FormatWith(&Format::block_align, 4), samples), WavProblem::kBadFormat,
       "block align 4"},
      {"bytes per second", Wav(FormatWith(&Format::byte_rate, 22050), samples),
       WavProblem::kBadFormat, "bytes per second 22050"},
      {"no data chunk", Riff(Cat({fmt, Chunk("LIST", Bytes(8, 'z'))})), WavProblem::kNoData,
       "missing data chunk"},
      {"no format chunk", Riff(data), WavProblem::kNoFmt, "no fmt chunk"},
      {"data before format", Riff(Cat({data, fmt})), WavProblem::kDataBeforeFmt, "before the fmt"},
      {"empty data", Riff(Cat({fmt, Chunk("data", {})})), WavProblem::kEmptyData, "no samples"},
      {"huge chunk size", Riff(Cat({fmt, Chunk("LIST", Bytes(4, 0), 0xFFFFFFF0)})),
       WavProblem::kTruncated, "declares 4294967280 bytes"},
      {"huge data size", Riff(Cat({fmt, Chunk("data", samples, 0xFFFFFFFF)})),
       WavProblem::kTruncated, "declares 4294967295 bytes"},
  };
  for (const FaultCase& c : cases) {
    const WavInfo info = Check(c.bytes);
    EXPECT_EQ(info.problem, c.problem) << c.name << ": " << info.message;
    EXPECT_NE(info.message.find(c.message_part), std::string::npos)
        << c.name << ": \"" << info.message << "\" lacks \"" << c.message_part << "\"";
  }
}

// However a good clip is cut short, the check says so, and never reads past
// the bytes it was given (the sanitizer watches the exact-size copies).
TEST(WavCheck, EveryCutOfAGoodClipIsAFault) {
  const Bytes good = Riff(Cat({Chunk("LIST", Bytes(3, 'a')), Chunk("fmt ", FmtBody(Format{})),
                               Chunk("data", Samples16(10, 0.5))}));
  ASSERT_TRUE(Check(good).ok());
  for (size_t n = 0; n < good.size(); ++n) {
    const WavInfo info = Check(Bytes(good.begin(), good.begin() + static_cast<long>(n)));
    EXPECT_FALSE(info.ok()) << "cut at " << n;
    EXPECT_FALSE(info.message.empty()) << "cut at " << n;
  }
}

// The extensible header with PCM inside plays on current Windows: accepted,
// with a note that the plain header is the safer choice.
TEST(WavCheck, ExtensiblePcmPassesWithANote) {
  const WavInfo info = Check(
      Riff(Cat({Chunk("fmt ", ExtensibleFmtBody(2, 44100, 16, 1)),
                Chunk("data", Samples16(200, 0.5, 44100, 2))})));
  ASSERT_TRUE(info.ok()) << info.message;
  EXPECT_TRUE(info.extensible);
  EXPECT_EQ(info.duration_ms, 200u);
  ASSERT_EQ(info.notes.size(), 1u);
  EXPECT_NE(info.notes[0].find("extensible"), std::string::npos);
}

TEST(WavCheck, WrongRiffSizeIsOnlyANote) {
  Bytes bytes = GoodClip(100);
  bytes[4] = static_cast<uint8_t>(bytes[4] + 10);
  const WavInfo info = Check(bytes);
  ASSERT_TRUE(info.ok()) << info.message;
  ASSERT_EQ(info.notes.size(), 1u);
  EXPECT_NE(info.notes[0].find("RIFF header gives"), std::string::npos) << info.notes[0];
}

// Silence below -40 dBFS at either end is measured; sound at -30 dBFS is not
// silence, sound at -50 dBFS is.
TEST(WavCheck, MeasuresSilenceAtBothEnds) {
  struct Case {
    const char* name;
    Bytes samples;
    uint32_t leading_ms;
    uint32_t trailing_ms;
  };
  const Case cases[] = {
      {"300 ms silence first", Cat({Samples16(300, 0.0), Samples16(200, 0.5)}), 300, 0},
      {"250 ms silence last", Cat({Samples16(200, 0.5), Samples16(250, 0.0)}), 0, 250},
      {"quiet hum at -50 dBFS first", Cat({Samples16(200, 0.00316), Samples16(200, 0.5)}), 200, 0},
      {"soft sound at -30 dBFS", Cat({Samples16(200, 0.0316), Samples16(200, 0.5)}), 0, 0},
  };
  for (const Case& c : cases) {
    const WavInfo info = Check(Wav(Format{}, c.samples));
    ASSERT_TRUE(info.ok()) << c.name << ": " << info.message;
    // A sine crosses zero, so a frame or two at the edges may count as quiet.
    EXPECT_NEAR(info.leading_silence_ms, c.leading_ms, 2) << c.name;
    EXPECT_NEAR(info.trailing_silence_ms, c.trailing_ms, 2) << c.name;
  }
}

TEST(WavCheck, SilenceCountsEveryChannelAndSampleSize) {
  // Stereo, the left channel silent, the right one loud: not silence.
  Bytes frames;
  for (int i = 0; i < 2205; ++i) {
    Put16(frames, 0);
    Put16(frames, 20000);
  }
  WavInfo info = Check(Wav(FormatWith(&Format::channels, 2), frames));
  ASSERT_TRUE(info.ok()) << info.message;
  EXPECT_EQ(info.leading_silence_ms, 0u);

  // 8-bit samples are unsigned: 128 is silence, not a loud offset.
  Format eight = FormatWith(&Format::bits, 8);
  eight.rate = 8000;
  const Bytes data = Cat({Bytes(1600, 128), Bytes(800, 250)});
  info = Check(Wav(eight, data));
  ASSERT_TRUE(info.ok()) << info.message;
  EXPECT_EQ(info.leading_silence_ms, 200u);
  EXPECT_EQ(info.duration_ms, 300u);

  // A clip of nothing but silence is flagged in a note.
  info = Check(Wav(Format{}, Samples16(120, 0.0)));
  ASSERT_TRUE(info.ok()) << info.message;
  EXPECT_EQ(info.leading_silence_ms, 120u);
  EXPECT_EQ(info.trailing_silence_ms, 120u);
  ASSERT_EQ(info.notes.size(), 1u);
  EXPECT_NE(info.notes[0].find("all silence"), std::string::npos);
}

TEST(WavCheckFile, ReadsFilesAndNamesFoldersAndMissingEntries) {
  TempFolder folder;
  const Bytes good = GoodClip(200);
  folder.Write("good.wav", good);
  folder.Write("cut.wav", Bytes(good.begin(), good.begin() + 40));
  std::filesystem::create_directory(folder.path() / "ni.wav");

  WavInfo info = CheckWavFile((folder.path() / "good.wav").string());
  EXPECT_TRUE(info.ok()) << info.message;
  EXPECT_EQ(info.duration_ms, 200u);

  info = CheckWavFile((folder.path() / "cut.wav").string());
  EXPECT_EQ(info.problem, WavProblem::kTruncated) << info.message;

  info = CheckWavFile((folder.path() / "ni.wav").string());
  EXPECT_EQ(info.problem, WavProblem::kDirectory) << info.message;
  EXPECT_NE(info.message.find("folder"), std::string::npos);

  info = CheckWavFile((folder.path() / "gone.wav").string());
  EXPECT_EQ(info.problem, WavProblem::kUnreadable) << info.message;
}

}  // namespace
}  // namespace sylbank_test
