// The folder check on small clip folders made in the tests, and the two
// report forms written from it.
#include "bank_check.h"

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "wav_fixtures.h"

namespace sylbank_test {
namespace {

using sylbank::BankReport;
using sylbank::CheckBank;
using sylbank::ClipResult;

const std::vector<std::string> kSyllables = {"a", "ni", "hao", "zhong"};

BankReport CheckOk(const TempFolder& folder, const std::vector<std::string>& syllables = kSyllables) {
  std::string error;
  std::optional<BankReport> report = CheckBank(folder.str(), syllables, error);
  EXPECT_TRUE(report.has_value()) << error;
  return report ? *report : BankReport{};
}

const ClipResult& Clip(const BankReport& report, const std::string& syllable) {
  for (const ClipResult& c : report.syllable_clips) {
    if (c.syllable == syllable) return c;
  }
  static const ClipResult none;
  ADD_FAILURE() << "no entry for " << syllable;
  return none;
}

std::string Text(const BankReport& report) {
  std::ostringstream out;
  sylbank::WriteTextReport(report, out);
  return out.str();
}

nlohmann::json Json(const BankReport& report) {
  std::ostringstream out;
  sylbank::WriteJsonReport(report, out);
  return nlohmann::json::parse(out.str());  // throws, and fails the test, when malformed
}

void WriteAll(const TempFolder& folder, const std::vector<std::string>& syllables) {
  for (const std::string& s : syllables) folder.Write(s + ".wav", GoodClip(200));
  folder.Write(".wav", Wav(Format{}, Samples16(120, 0.0)));
}

TEST(BankCheck, CompleteFolderPasses) {
  TempFolder folder;
  WriteAll(folder, kSyllables);
  const BankReport report = CheckOk(folder);
  EXPECT_TRUE(report.passes());
  EXPECT_EQ(report.missing_count(), 0);
  EXPECT_EQ(report.invalid_count(), 0);
  EXPECT_TRUE(report.no_syllable_clip.present);
  EXPECT_EQ(Clip(report, "ni").file, "ni.wav");
  EXPECT_EQ(Clip(report, "ni").info.duration_ms, 200u);
  // The pause clip is all silence by design and is not flagged for it.
  EXPECT_FALSE(report.no_syllable_clip.silence_flagged());

  const std::string text = Text(report);
  EXPECT_NE(text.find("Syllable clips: 4 of 4 present\n"), std::string::npos) << text;
  EXPECT_NE(text.find("No-syllable clip .wav: present, 120 ms\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Result: complete and valid\n"), std::string::npos) << text;

  const nlohmann::json json = Json(report);
  EXPECT_EQ(json["syllables_expected"], 4);
  EXPECT_EQ(json["syllables_present"], 4);
  EXPECT_TRUE(json["missing"].empty());
  EXPECT_EQ(json["passes"], true);
  EXPECT_EQ(json["durations_ms"]["median"], 200);
  EXPECT_EQ(json["silence_threshold_dbfs"], -40);
  EXPECT_EQ(json["clips"].size(), 4u);
  EXPECT_EQ(json["clips"][1]["file"], "ni.wav");
  EXPECT_EQ(json["clips"][1]["status"], "ok");
  EXPECT_EQ(json["clips"][1]["duration_ms"], 200);
}

// Each fault in a folder of otherwise good clips: what the report says and
// whether the folder still passes.
TEST(BankCheck, FolderFaults) {
  struct Case {
    const char* name;
    void (*damage)(const TempFolder&);
    bool passes;
    const char* text_line;
  };
  const Case cases[] = {
      {"missing clip", [](const TempFolder& f) { std::filesystem::remove(f.path() / "ni.wav"); },
       false, "Syllable clips: 3 of 4 present, 1 missing: ni\n"},
      {"folder named like a clip",
       [](const TempFolder& f) {
         std::filesystem::remove(f.path() / "ni.wav");
         std::filesystem::create_directory(f.path() / "ni.wav");
       },
       false, "INVALID  ni.wav      a folder, not a file"},
      {"truncated clip",
       [](const TempFolder& f) {
         const Bytes good = GoodClip(200);
         f.Write("hao.wav", Bytes(good.begin(), good.begin() + 100));
       },
       false, "INVALID  hao.wav     truncated: data chunk declares"},
      {"invalid no-syllable clip", [](const TempFolder& f) { f.Write(".wav", Bytes(20, 'x')); },
       false, "No-syllable clip .wav: invalid\n"},
      {"no no-syllable clip", [](const TempFolder& f) { std::filesystem::remove(f.path() / ".wav"); },
       true, "No-syllable clip .wav: missing (units without a syllable pass in silence)\n"},
      {"clip with a long lead-in",
       [](const TempFolder& f) {
         f.Write("a.wav", Wav(Format{}, Cat({Samples16(400, 0.0), Samples16(200, 0.5)})));
       },
       true, "at start or end: 1 clips a.wav (trim them"},
      {"clip named in capitals",
       [](const TempFolder& f) {
         std::filesystem::rename(f.path() / "zhong.wav", f.path() / "Zhong.WAV");
       },
       true, "note: named Zhong.WAV, not zhong.wav"},
      {"clip nobody asks for", [](const TempFolder& f) { f.Write("zhuai.wav", GoodClip(200)); },
       true, "Not asked for by the program: zhuai.wav\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    WriteAll(folder, kSyllables);
    c.damage(folder);
    const BankReport report = CheckOk(folder);
    EXPECT_EQ(report.passes(), c.passes);
    const std::string text = Text(report);
    EXPECT_NE(text.find(c.text_line), std::string::npos) << text;
    EXPECT_NE(text.find(c.passes ? "Result: complete and valid\n"
                                 : "Result: clips missing or invalid\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(Json(report)["passes"], c.passes);
  }
}

TEST(BankCheck, JsonNamesMissingAndInvalidClips) {
  TempFolder folder;
  WriteAll(folder, kSyllables);
  std::filesystem::remove(folder.path() / "zhong.wav");
  std::filesystem::remove(folder.path() / "a.wav");
  folder.Write("hao.wav", Wav(FloatFormat(), Bytes(800, 0)));
  const nlohmann::json json = Json(CheckOk(folder));
  EXPECT_EQ(json["missing"], nlohmann::json::array({"a", "zhong"}));
  EXPECT_EQ(json["invalid"], nlohmann::json::array({"hao.wav"}));
  EXPECT_EQ(json["syllables_present"], 2);
  EXPECT_EQ(json["complete"], false);
  EXPECT_EQ(json["valid"], false);
  EXPECT_EQ(json["passes"], false);
  const nlohmann::json& hao = json["clips"][2];
  EXPECT_EQ(hao["syllable"], "hao");
  EXPECT_EQ(hao["status"], "not-pcm");
  EXPECT_EQ(hao["message"], "non-PCM format tag 3 (IEEE float)");
  EXPECT_EQ(json["clips"][0]["present"], false);
  EXPECT_EQ(json["no_syllable_clip"]["file"], ".wav");
  EXPECT_EQ(json["no_syllable_clip"]["status"], "ok");
}

// Names from disk go into the JSON as they are; odd bytes must not break it.
TEST(BankCheck, JsonStaysWellFormedForOddFileNames) {
  TempFolder folder;
  WriteAll(folder, kSyllables);
  folder.Write("quote\"back\\slash\ttab.wav", GoodClip(100));
  folder.Write("\xC4\xE3.wav", GoodClip(100));
  const nlohmann::json json = Json(CheckOk(folder));
  ASSERT_EQ(json["unused"].size(), 2u);
  EXPECT_EQ(json["unused"][0], "quote\"back\\slash\ttab.wav");
}

TEST(BankCheck, EmptyFolderMissesEverything) {
  TempFolder folder;
  const BankReport report = CheckOk(folder);
  EXPECT_EQ(report.missing_count(), 4);
  EXPECT_FALSE(report.no_syllable_clip.present);
  EXPECT_FALSE(report.passes());
  EXPECT_TRUE(Json(report)["durations_ms"].is_null());
}

TEST(BankCheck, FolderThatCannotBeListed) {
  TempFolder folder;
  folder.Write("file.wav", GoodClip(100));
  struct Case {
    std::string path;
    const char* error_part;
  };
  const Case cases[] = {
      {(folder.path() / "absent").string(), "cannot open clip folder"},
      {(folder.path() / "file.wav").string(), "is not a folder"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(CheckBank(c.path, kSyllables, error).has_value()) << c.path;
    EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace sylbank_test
