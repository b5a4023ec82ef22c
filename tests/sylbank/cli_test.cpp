// The built sylbank-check program, run as a user runs it: its arguments, its
// exit codes and the key lines of both report forms, on folders made here.
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "wav_fixtures.h"

namespace sylbank_test {
namespace {

struct ProgramRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the program in `cwd` with the given arguments.
ProgramRun RunCheck(const std::filesystem::path& cwd, const std::vector<std::string>& args) {
  const std::filesystem::path out = cwd / "stdout.txt";
  const std::filesystem::path err = cwd / "stderr.txt";
  std::string cmd = "cd " + Quote(cwd.string()) + " && " + Quote(SYLBANK_CHECK_EXE);
  for (const std::string& a : args) cmd += " " + Quote(a);
  cmd += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
  const int status = std::system(cmd.c_str());
  ProgramRun run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The syllables the program itself names; every other test builds on them.
std::vector<std::string> Syllables(const TempFolder& cwd) {
  const ProgramRun run = RunCheck(cwd.path(), {"--syllables"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  return Lines(run.out);
}

// A complete bank of tiny clips in `cwd`/`name`.
std::filesystem::path MakeBank(const TempFolder& cwd, const std::string& name) {
  const std::filesystem::path dir = cwd.path() / name;
  std::filesystem::create_directory(dir);
  const Bytes clip = GoodClip(160);
  for (const std::string& s : Syllables(cwd)) cwd.Write(name + "/" + s + ".wav", clip);
  cwd.Write(name + "/.wav", clip);
  return dir;
}

// Splits "name<TAB>spoken" lines.
std::vector<std::pair<std::string, std::string>> ClipList(const TempFolder& cwd) {
  const ProgramRun run = RunCheck(cwd.path(), {"--clips"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::pair<std::string, std::string>> clips;
  for (const std::string& line : Lines(run.out)) {
    const size_t tab = line.find('\t');
    EXPECT_NE(tab, std::string::npos) << "'" << line << "'";
    if (tab != std::string::npos) clips.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return clips;
}

bool IsLetters(const std::string& s) {
  return !s.empty() && s.size() <= 6 &&
         s.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
}

TEST(SylbankCheckProgram, ListsTheSyllablesSorted) {
  TempFolder cwd;
  const std::vector<std::string> syllables = Syllables(cwd);
  ASSERT_FALSE(syllables.empty());
  EXPECT_TRUE(std::is_sorted(syllables.begin(), syllables.end()));
  EXPECT_EQ(std::adjacent_find(syllables.begin(), syllables.end()), syllables.end());
  for (const std::string& s : syllables) {
    EXPECT_TRUE(s.size() >= 1 && s.size() <= 6 &&
                s.find_first_not_of("abcdefghijklmnopqrstuwxyz") == std::string::npos)
        << "'" << s << "'";
  }
  // Written with plain u, never v; reading 2 only (zhuai) is never asked for.
  for (const char* s : {"a", "er", "lue", "nue", "nu", "zhong", "zhuang"}) {
    EXPECT_TRUE(std::binary_search(syllables.begin(), syllables.end(), s)) << s;
  }
  EXPECT_FALSE(std::binary_search(syllables.begin(), syllables.end(), "zhuai"));
}

// The clips the default bank is made of: the toneless clip of every
// syllable, spoken in a tone, and toned clips whose name and spoken tone
// agree; espeak-ng's v for u-umlaut in lue and nue only.
TEST(SylbankCheckProgram, ListsTheClipsToMake) {
  TempFolder cwd;
  const std::vector<std::string> syllables = Syllables(cwd);
  const std::vector<std::pair<std::string, std::string>> clips = ClipList(cwd);
  std::vector<std::string> toneless;
  std::vector<std::string> names;
  for (const auto& [name, spoken] : clips) {
    names.push_back(name);
    ASSERT_GE(spoken.size(), 2u) << name;
    const char tone = spoken.back();
    const std::string spelled = spoken.substr(0, spoken.size() - 1);
    EXPECT_TRUE(tone >= '1' && tone <= '5') << name << " " << spoken;
    EXPECT_TRUE(IsLetters(spelled)) << name << " " << spoken;
    const bool toned = name.back() >= '1' && name.back() <= '5';
    const std::string syllable = toned ? name.substr(0, name.size() - 1) : name;
    EXPECT_TRUE(std::binary_search(syllables.begin(), syllables.end(), syllable)) << name;
    if (toned) {
      EXPECT_EQ(name.back(), tone) << name << " " << spoken;
    } else {
      toneless.push_back(name);
    }
    const std::string expected_spelling =
        syllable == "lue" ? "lve" : syllable == "nue" ? "nve" : syllable;
    EXPECT_EQ(spelled, expected_spelling) << name;
  }
  EXPECT_EQ(toneless, syllables);
  // A toneless clip is spoken in a tone its syllable is asked for in.
  for (const auto& [name, spoken] : clips) {
    const bool toned = name.back() >= '1' && name.back() <= '5';
    if (toned) continue;
    const std::string as_toned = name + spoken.back();
    EXPECT_TRUE(std::any_of(clips.begin(), clips.end(),
                            [&](const auto& c) { return c.first == as_toned; }))
        << name << " spoken as " << spoken;
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
  // 一 and 不 change tone with the next character: yi1 to yi2 or yi4, bu4 to
  // bu2.
  for (const char* changed : {"yi2", "yi4", "bu2"}) {
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), changed)) << changed;
  }
  // A third tone can turn second before another third.
  for (const std::string& n : names) {
    if (n.back() == '3') {
      const std::string second = n.substr(0, n.size() - 1) + "2";
      EXPECT_TRUE(std::binary_search(names.begin(), names.end(), second)) << n;
    }
  }
}

TEST(SylbankCheckProgram, CompleteBankExitsZero) {
  TempFolder cwd;
  // No folder argument: the folder "sylbank" in the current directory.
  MakeBank(cwd, "sylbank");
  const size_t count = Syllables(cwd).size();
  const std::string all = std::to_string(count);
  ProgramRun run = RunCheck(cwd.path(), {});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Syllable clips: " + all + " of " + all + " present\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("ok       zhong.wav   160 ms, 22050 Hz 16-bit mono\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("Result: complete and valid\n"), std::string::npos);

  run = RunCheck(cwd.path(), {"--json", "sylbank"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const nlohmann::json json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["syllables_expected"], count);
  EXPECT_EQ(json["syllables_present"], count);
  EXPECT_EQ(json["passes"], true);
  EXPECT_EQ(json["clips"].size(), count);
  EXPECT_EQ(json["no_syllable_clip"]["present"], true);
}

TEST(SylbankCheckProgram, DamagedBankExitsOne) {
  TempFolder cwd;
  const std::filesystem::path bank = MakeBank(cwd, "bank");
  std::filesystem::remove(bank / "ni.wav");
  std::filesystem::remove(bank / "hao.wav");
  std::filesystem::create_directory(bank / "hao.wav");
  std::ofstream(bank / "zhong.wav", std::ios::binary) << "not a wav at all";

  ProgramRun run = RunCheck(cwd.path(), {"bank"});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_NE(run.out.find("missing  ni.wav\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("INVALID  hao.wav     a folder, not a file"), std::string::npos);
  EXPECT_NE(run.out.find("INVALID  zhong.wav   not a RIFF file: it starts with 'not '"),
            std::string::npos);
  const std::string all = std::to_string(Syllables(cwd).size());
  const std::string one_less = std::to_string(Syllables(cwd).size() - 1);
  EXPECT_NE(run.out.find("Syllable clips: " + one_less + " of " + all +
                         " present, 1 missing: ni\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("Invalid clips: 2 hao.wav zhong.wav\n"), std::string::npos);
  EXPECT_NE(run.out.find("Result: clips missing or invalid\n"), std::string::npos);

  run = RunCheck(cwd.path(), {"bank", "--json"});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  const nlohmann::json json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["missing"], nlohmann::json::array({"ni"}));
  EXPECT_EQ(json["invalid"], nlohmann::json::array({"hao.wav", "zhong.wav"}));
  EXPECT_EQ(json["passes"], false);
}

// The whole default clip list made of tiny clips, toned clips included, and
// a name written the way espeak-ng spells u-umlaut: complete, with a hint.
TEST(SylbankCheckProgram, TonedBankExitsZeroWithHints) {
  TempFolder cwd;
  const std::filesystem::path dir = cwd.path() / "bank";
  std::filesystem::create_directory(dir);
  const Bytes clip = GoodClip(160);
  size_t toned = 0;
  for (const auto& [name, spoken] : ClipList(cwd)) {
    cwd.Write("bank/" + name + ".wav", clip);
    toned += (name.back() >= '1' && name.back() <= '5') ? 1 : 0;
  }
  cwd.Write("bank/lv3.wav", clip);
  ProgramRun run = RunCheck(cwd.path(), {"bank"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  const std::string pairs = std::to_string(toned);
  EXPECT_NE(run.out.find("Toned clips: " + pairs + " of " + pairs + " syllable and tone pairs"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Hint: lv3.wav: this program writes u-umlaut as u; name it lu3.wav\n"),
            std::string::npos)
      << run.out;

  run = RunCheck(cwd.path(), {"--json", "bank"});
  const nlohmann::json json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["toned_pairs_present"], toned);
  EXPECT_EQ(json["toned_pairs_expected"], toned);
  EXPECT_EQ(json["passes"], true);
}

TEST(SylbankCheckProgram, BadArgumentsAndFoldersExitTwo) {
  TempFolder cwd;
  MakeBank(cwd, "bank");
  std::ofstream(cwd.path() / "plain.txt") << "x";
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{}, "cannot open clip folder \"sylbank\""},  // no sylbank folder here
      {{"nowhere"}, "cannot open clip folder \"nowhere\""},
      {{"plain.txt"}, "\"plain.txt\" is not a folder"},
      {{"--loud", "bank"}, "unknown option --loud"},
      {{"bank", "bank"}, "more than one folder given"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = RunCheck(cwd.path(), c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(run.exit_code, 2) << shown << run.out << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << shown << run.err;
    EXPECT_EQ(run.out, "") << shown;
  }
}

}  // namespace
}  // namespace sylbank_test
