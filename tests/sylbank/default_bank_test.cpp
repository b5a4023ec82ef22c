// The clip bank made by the build (tools/sylbank/make-bank.sh): one playable
// clip for every syllable the program can ask for, of a length that speaks
// well, and the short pause for units without a syllable.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "wav_check.h"

namespace {

namespace fs = std::filesystem;
using sylbank::CheckWavFile;
using sylbank::WavInfo;

const fs::path kBank = SYLBANK_DEFAULT_BANK;

std::vector<std::string> Syllables() {
  std::vector<std::string> list;
  FILE* p = popen((std::string("'") + SYLBANK_CHECK_EXE + "' --syllables").c_str(), "r");
  if (p == nullptr) return list;
  std::string line;
  for (int c; (c = std::fgetc(p)) != EOF;) {
    if (c == '\n') {
      list.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  pclose(p);
  return list;
}

TEST(DefaultBank, EverySyllableHasAPlayableClipOfSpeechLength) {
  const std::vector<std::string> syllables = Syllables();
  ASSERT_EQ(syllables.size(), 397u);
  for (const std::string& s : syllables) {
    const fs::path clip = kBank / (s + ".wav");
    ASSERT_TRUE(fs::is_regular_file(clip)) << clip;
    const WavInfo info = CheckWavFile(clip.string());
    ASSERT_TRUE(info.ok()) << clip << ": " << info.message;
    // The format the bank promises: plain PCM, 16-bit mono.
    EXPECT_EQ(info.format_tag, 1) << s;
    EXPECT_EQ(info.channels, 1) << s;
    EXPECT_EQ(info.bits, 16) << s;
    EXPECT_TRUE(info.notes.empty()) << s << ": " << info.notes.front();
    EXPECT_GE(info.duration_ms, 150u) << s;
    EXPECT_LE(info.duration_ms, 1500u) << s;
    // Trimmed: clips follow each other without gaps.
    EXPECT_LE(info.leading_silence_ms, sylbank::kSilenceFlagMs) << s;
    EXPECT_LE(info.trailing_silence_ms, sylbank::kSilenceFlagMs) << s;
  }
}

TEST(DefaultBank, NoSyllableClipIsAShortPause) {
  const WavInfo info = CheckWavFile((kBank / ".wav").string());
  ASSERT_TRUE(info.ok()) << info.message;
  EXPECT_GE(info.duration_ms, 80u);
  EXPECT_LE(info.duration_ms, 200u);
  EXPECT_EQ(info.leading_silence_ms, info.duration_ms);  // nothing but silence
}

// Only the clips the program asks for: 397 syllables and the pause.
TEST(DefaultBank, HoldsNothingElse) {
  int files = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(kBank)) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name.size() >= 4 && name.compare(name.size() - 4, 4, ".wav") == 0) << name;
    ++files;
  }
  EXPECT_EQ(files, 398);
}

}  // namespace
