// The folder check on small clip folders made in the tests, and the two
// report forms written from it.
#include "bank_check.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "wav_fixtures.h"

namespace sylbank_test {
namespace {

using sylbank::BankReport;
using sylbank::CheckBank;
using sylbank::Syllable;
using sylbank::SyllableResult;
using sylbank::ToneBit;

// What a program with four syllables could ask for: hao is spoken in tones
// 2, 3 and 4, ni in 2 and 3 (a third tone that turns second before another
// third), a in 1, and zhong, read by one character with no known tone, in
// none.
std::vector<Syllable> Asked() {
  Syllable a{"a", ToneBit(1), false, 1};
  Syllable ni{"ni", ToneBit(2) | ToneBit(3), false, 3};
  Syllable hao{"hao", ToneBit(2) | ToneBit(3) | ToneBit(4), false, 3};
  Syllable zhong{"zhong", 0, true, 0};
  return {a, ni, hao, zhong};
}

BankReport CheckOk(const TempFolder& folder, const std::vector<Syllable>& syllables = Asked()) {
  std::string error;
  std::optional<BankReport> report = CheckBank(folder.str(), syllables, error);
  EXPECT_TRUE(report.has_value()) << error;
  return report ? *report : BankReport{};
}

const SyllableResult& Entry(const BankReport& report, const std::string& syllable) {
  for (const SyllableResult& s : report.syllables) {
    if (s.asked.name == syllable) return s;
  }
  static const SyllableResult none;
  ADD_FAILURE() << "no entry for " << syllable;
  return none;
}

nlohmann::json Json(const BankReport& report) {
  // Throws, and fails the test, when malformed.
  return nlohmann::json::parse(sylbank::JsonReport(report));
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A toneless clip for every syllable and the pause.
void WriteToneless(const TempFolder& folder) {
  for (const Syllable& s : Asked()) folder.Write(s.name + ".wav", GoodClip(200));
  folder.Write(".wav", Wav(Format{}, Samples16(120, 0.0)));
}

TEST(BankCheck, TonelessBankPasses) {
  TempFolder folder;
  WriteToneless(folder);
  const BankReport report = CheckOk(folder);
  EXPECT_TRUE(report.passes());
  EXPECT_EQ(report.missing_count(), 0);
  EXPECT_EQ(report.invalid_count(), 0);
  EXPECT_EQ(report.pairs_asked(), 6);
  EXPECT_EQ(report.pairs_present(), 0);
  EXPECT_TRUE(report.no_syllable_clip.present);
  EXPECT_EQ(Entry(report, "ni").toneless.file, "ni.wav");
  EXPECT_EQ(Entry(report, "ni").toneless.info.duration_ms, 200u);
  // The pause clip is all silence by design and is not flagged for it.
  EXPECT_FALSE(report.no_syllable_clip.silence_flagged());

  const std::string text = sylbank::TextReport(report);
  EXPECT_TRUE(Has(text, "ok       ni.wav      200 ms, 22050 Hz 16-bit mono\n")) << text;
  EXPECT_TRUE(Has(text, "Syllable clips: 4 of 4 present\n")) << text;
  EXPECT_TRUE(Has(text, "Toned clips: 0 of 6 syllable and tone pairs the program can ask for "
                        "(optional: the toneless clips serve every tone)\n"))
      << text;
  EXPECT_TRUE(Has(text, "No-syllable clip .wav: present, 120 ms\n")) << text;
  EXPECT_TRUE(Has(text, "Result: complete and valid\n")) << text;
  EXPECT_FALSE(Has(text, "tones present")) << text;

  const nlohmann::json json = Json(report);
  EXPECT_EQ(json["syllables_expected"], 4);
  EXPECT_EQ(json["syllables_present"], 4);
  EXPECT_TRUE(json["missing"].empty());
  EXPECT_EQ(json["toned_pairs_expected"], 6);
  EXPECT_EQ(json["toned_pairs_present"], 0);
  EXPECT_EQ(json["passes"], true);
  EXPECT_EQ(json["durations_ms"]["median"], 200);
  EXPECT_EQ(json["silence_threshold_dbfs"], -40);
  ASSERT_EQ(json["clips"].size(), 4u);
  const nlohmann::json& ni = json["clips"][1];
  EXPECT_EQ(ni["file"], "ni.wav");
  EXPECT_EQ(ni["status"], "ok");
  EXPECT_EQ(ni["duration_ms"], 200);
  EXPECT_EQ(ni["tones_asked"], nlohmann::json::array({2, 3}));
  EXPECT_TRUE(ni["tones_present"].empty());
}

// Toned clips beside the toneless ones: listed per syllable, counted
// against the pairs the program asks for, and checked like any clip.
TEST(BankCheck, TonedClipsAreCountedPerSyllable) {
  TempFolder folder;
  WriteToneless(folder);
  folder.Write("ni2.wav", GoodClip(180));
  folder.Write("ni3.wav", GoodClip(220));
  folder.Write("hao3.wav", GoodClip(240));
  folder.Write("Hao4.WAV", GoodClip(160));  // found as Windows finds it
  folder.Write("a5.wav", GoodClip(140));    // a tone no character of a takes
  const BankReport report = CheckOk(folder);
  EXPECT_TRUE(report.passes());
  EXPECT_EQ(report.pairs_asked(), 6);
  EXPECT_EQ(report.pairs_present(), 4);
  EXPECT_EQ(Entry(report, "ni").tones_present(), ToneBit(2) | ToneBit(3));
  ASSERT_EQ(Entry(report, "hao").toned.size(), 2u);
  EXPECT_TRUE(Entry(report, "hao").toned[1].case_differs);

  const std::string text = sylbank::TextReport(report);
  EXPECT_TRUE(Has(text, "ok       ni.wav      200 ms, 22050 Hz 16-bit mono\n"
                        "         tones present: 2 3; asked for: 2 3\n"))
      << text;
  EXPECT_TRUE(Has(text, "         tones present: 3 4; asked for: 2 3 4\n"
                        "ok       Hao4.WAV    160 ms, 22050 Hz 16-bit mono\n"
                        "         note: named Hao4.WAV, not hao4.wav"))
      << text;
  EXPECT_TRUE(Has(text, "         tones present: 5; asked for: 1\n")) << text;
  EXPECT_TRUE(Has(text, "Toned clips: 4 of 6 syllable and tone pairs the program can ask for\n"))
      << text;
  EXPECT_TRUE(Has(text, "Toned clips of a tone no character takes: a5.wav\n")) << text;
  EXPECT_FALSE(Has(text, "Not asked for by the program")) << text;
  EXPECT_TRUE(Has(text, "Durations: min 140 ms (a5.wav), median 200 ms, max 240 ms (hao3.wav) "
                        "over 9 syllable clips\n"))
      << text;

  const nlohmann::json json = Json(report);
  EXPECT_EQ(json["toned_pairs_present"], 4);
  EXPECT_EQ(json["toned_missing"], nlohmann::json::array({"a1", "hao2"}));
  EXPECT_EQ(json["toned_not_asked_for"], nlohmann::json::array({"a5.wav"}));
  const nlohmann::json& hao = json["clips"][2];
  EXPECT_EQ(hao["tones_present"], nlohmann::json::array({3, 4}));
  ASSERT_EQ(hao["toned"].size(), 2u);
  EXPECT_EQ(hao["toned"][0]["file"], "hao3.wav");
  EXPECT_EQ(hao["toned"][0]["tone"], 3);
  EXPECT_EQ(hao["toned"][0]["duration_ms"], 240);
}

// Without its toneless clip a syllable is still spoken when toned clips
// cover every tone it is asked for in; a character of unknown tone needs the
// toneless clip whatever toned clips there are.
TEST(BankCheck, TonedClipsMayStandInForTheTonelessOne) {
  struct Case {
    const char* name;
    std::vector<const char*> toned;
    const char* removed;
    bool passes;
    const char* text_part;
  };
  const Case cases[] = {
      {"every tone of ni", {"ni2", "ni3"}, "ni", true,
       "absent   ni.wav      not needed: toned clips cover every tone\n"},
      {"one tone of ni", {"ni3"}, "ni", false, "1 missing: ni\n"},
      {"zhong has a reading of no known tone", {"zhong1", "zhong4"}, "zhong", false,
       "missing  zhong.wav\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    WriteToneless(folder);
    std::filesystem::remove(folder.path() / (std::string(c.removed) + ".wav"));
    for (const char* name : c.toned) folder.Write(std::string(name) + ".wav", GoodClip(200));
    const BankReport report = CheckOk(folder);
    EXPECT_EQ(report.passes(), c.passes);
    const std::string text = sylbank::TextReport(report);
    EXPECT_TRUE(Has(text, c.text_part)) << text;
    const nlohmann::json json = Json(report);
    EXPECT_EQ(json["passes"], c.passes);
    EXPECT_EQ(json["covered_by_toned_only"].size(), c.passes ? 1u : 0u);
  }
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
      {"header gives more data than the file holds",
       [](const TempFolder& f) {
         const Bytes samples = Samples16(200, 0.5);
         f.Write("hao.wav", Riff(Cat({Chunk("fmt ", FmtBody(Format{})),
                                      Chunk("data", samples, samples.size() * 2)})));
       },
       false, "INVALID  hao.wav     truncated: data chunk declares 17640 bytes but the file "
              "holds 8820"},
      {"header's byte rate disagrees with the samples",
       [](const TempFolder& f) {
         f.Write("hao.wav", Wav(FormatWith(&Format::byte_rate, 88200), Samples16(200, 0.5)));
       },
       false, "INVALID  hao.wav     bytes per second 88200 does not match"},
      {"invalid toned clip", [](const TempFolder& f) { f.Write("ni3.wav", Bytes(30, 'x')); },
       false, "INVALID  ni3.wav     not a RIFF file"},
      {"folder named like a toned clip",
       [](const TempFolder& f) { std::filesystem::create_directory(f.path() / "hao4.wav"); },
       false, "INVALID  hao4.wav    a folder, not a file"},
      {"invalid no-syllable clip", [](const TempFolder& f) { f.Write(".wav", Bytes(20, 'x')); },
       false, "No-syllable clip .wav: invalid\n"},
      {"no no-syllable clip", [](const TempFolder& f) { std::filesystem::remove(f.path() / ".wav"); },
       true, "No-syllable clip .wav: missing (units without a syllable pass in silence)\n"},
      {"clip with a long lead-in",
       [](const TempFolder& f) {
         f.Write("a.wav", Wav(Format{}, Cat({Samples16(400, 0.0), Samples16(200, 0.5)})));
       },
       true, "at start or end: 1 clips a.wav (trim them"},
      {"clip longer than 3 s", [](const TempFolder& f) { f.Write("a.wav", GoodClip(3500)); },
       true, "Warning: longer than 3 s: a.wav (a syllable lasts"},
      {"toned clip longer than 3 s", [](const TempFolder& f) { f.Write("ni2.wav", GoodClip(3100)); },
       true, "ok       ni2.wav     3100 ms, 22050 Hz 16-bit mono, longer than 3 s\n"},
      {"clip named in capitals",
       [](const TempFolder& f) {
         std::filesystem::rename(f.path() / "zhong.wav", f.path() / "Zhong.WAV");
       },
       true, "note: named Zhong.WAV, not zhong.wav"},
      {"clips of neither form",
       [](const TempFolder& f) {
         f.Write("zhuai.wav", GoodClip(200));
         f.Write("ni6.wav", GoodClip(200));
         f.Write("ni0.wav", GoodClip(200));
       },
       true, "Not asked for by the program: ni0.wav ni6.wav zhuai.wav\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    WriteToneless(folder);
    c.damage(folder);
    const BankReport report = CheckOk(folder);
    EXPECT_EQ(report.passes(), c.passes);
    const std::string text = sylbank::TextReport(report);
    EXPECT_TRUE(Has(text, c.text_line)) << text;
    EXPECT_TRUE(Has(text, c.passes ? "Result: complete and valid\n"
                                    : "Result: clips missing or invalid\n"))
        << text;
    EXPECT_EQ(Json(report)["passes"], c.passes);
  }
}

// Names written with v or u-umlaut where this program writes u get a hint
// (and stay "not asked for": the program would never play them).
TEST(BankCheck, UmlautNamesGetAHint) {
  const std::vector<Syllable> asked = {{"lu", ToneBit(3) | ToneBit(4), false, 4},
                                       {"lue", ToneBit(4), false, 4},
                                       {"nu", ToneBit(3), false, 3}};
  TempFolder folder;
  for (const char* name : {"lu", "lue", "nu"}) folder.Write(std::string(name) + ".wav", GoodClip(200));
  const char* near_misses[] = {"lv.wav", "NV3.wav", "lve4.wav", "l\xC3\xBC" "3.wav",
                               "n\xA8\xB9.wav"};
  for (const char* name : near_misses) folder.Write(name, GoodClip(200));
  folder.Write("vv.wav", GoodClip(200));  // no syllable with v made u

  const BankReport report = CheckOk(folder, asked);
  EXPECT_TRUE(report.passes());
  EXPECT_EQ(report.unused.size(), 6u);
  const std::string text = sylbank::TextReport(report);
  for (const char* hint : {"Hint: lv.wav: this program writes u-umlaut as u; name it lu.wav\n",
                           "Hint: NV3.wav: this program writes u-umlaut as u; name it nu3.wav\n",
                           "Hint: lve4.wav: this program writes u-umlaut as u; name it lue4.wav\n",
                           "Hint: l\xC3\xBC" "3.wav: this program writes u-umlaut as u; name it "
                           "lu3.wav\n",
                           "Hint: n\xA8\xB9.wav: this program writes u-umlaut as u; name it "
                           "nu.wav\n"}) {
    EXPECT_TRUE(Has(text, hint)) << hint << "\n" << text;
  }
  EXPECT_FALSE(Has(text, "Hint: vv.wav")) << text;
  const nlohmann::json json = Json(report);
  ASSERT_EQ(json["hints"].size(), 5u);
  EXPECT_EQ(json["hints"][0]["file"], "NV3.wav");
  EXPECT_EQ(json["hints"][0]["suggested"], "nu3.wav");
}

TEST(BankCheck, JsonNamesMissingAndInvalidClips) {
  TempFolder folder;
  WriteToneless(folder);
  std::filesystem::remove(folder.path() / "zhong.wav");
  std::filesystem::remove(folder.path() / "a.wav");
  folder.Write("hao.wav", Wav(FloatFormat(), Bytes(800, 0)));
  folder.Write("hao2.wav", Bytes(10, 'x'));
  const nlohmann::json json = Json(CheckOk(folder));
  EXPECT_EQ(json["missing"], nlohmann::json::array({"a", "zhong"}));
  EXPECT_EQ(json["invalid"], nlohmann::json::array({"hao.wav", "hao2.wav"}));
  EXPECT_EQ(json["syllables_present"], 2);
  EXPECT_EQ(json["complete"], false);
  EXPECT_EQ(json["valid"], false);
  EXPECT_EQ(json["passes"], false);
  const nlohmann::json& hao = json["clips"][2];
  EXPECT_EQ(hao["syllable"], "hao");
  EXPECT_EQ(hao["status"], "not-pcm");
  EXPECT_EQ(hao["message"], "non-PCM format tag 3 (IEEE float)");
  EXPECT_EQ(hao["toned"][0]["status"], "not-riff");
  EXPECT_EQ(json["clips"][0]["present"], false);
  EXPECT_EQ(json["no_syllable_clip"]["file"], ".wav");
  EXPECT_EQ(json["no_syllable_clip"]["status"], "ok");
}

// Names from disk go into the JSON as they are; odd bytes must not break it.
TEST(BankCheck, JsonStaysWellFormedForOddFileNames) {
  TempFolder folder;
  WriteToneless(folder);
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
    EXPECT_FALSE(CheckBank(c.path, Asked(), error).has_value()) << c.path;
    EXPECT_TRUE(Has(error, c.error_part)) << error;
  }
}

}  // namespace
}  // namespace sylbank_test
