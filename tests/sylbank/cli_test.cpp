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

TEST(SylbankCheckProgram, ListsTheSyllablesSorted) {
  TempFolder cwd;
  const std::vector<std::string> syllables = Syllables(cwd);
  ASSERT_EQ(syllables.size(), 397u);
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

TEST(SylbankCheckProgram, CompleteBankExitsZero) {
  TempFolder cwd;
  // No folder argument: the folder "sylbank" in the current directory.
  MakeBank(cwd, "sylbank");
  ProgramRun run = RunCheck(cwd.path(), {});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Syllable clips: 397 of 397 present\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ok       zhong.wav   160 ms, 22050 Hz 16-bit mono\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("Result: complete and valid\n"), std::string::npos);

  run = RunCheck(cwd.path(), {"--json", "sylbank"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const nlohmann::json json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["syllables_expected"], 397);
  EXPECT_EQ(json["syllables_present"], 397);
  EXPECT_EQ(json["passes"], true);
  EXPECT_EQ(json["clips"].size(), 397u);
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
  EXPECT_NE(run.out.find("Syllable clips: 396 of 397 present, 1 missing: ni\n"),
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
