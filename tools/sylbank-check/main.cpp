// sylbank-check: tells whether a clip folder lets the program speak every
// character, and what is wrong with the clips that would not play.
//
//   sylbank-check [--json] [--syllables] [--clips] [FOLDER]
//
// Exit code 0: every character finds a playable clip. 1: clips are missing
// or invalid. 2: bad arguments, or the folder is missing or cannot be read.
#include <cstdio>
#include <string>

#include "bank_check.h"
#include "syllables.h"

namespace {

const char kUsage[] =
    "usage: sylbank-check [--json] [--syllables] [--clips] [FOLDER]\n"
    "  Checks the clip folder FOLDER (default: sylbank): a clip per syllable,\n"
    "  <syllable>.wav, optional toned clips <syllable><tone>.wav (tone 1 to 4,\n"
    "  5 for the neutral tone), and the no-syllable clip .wav.\n"
    "  --json       write the report as JSON\n"
    "  --syllables  print the syllable names, one per line, and exit\n"
    "  --clips      print the clips of the default bank, one per line: the\n"
    "               name and what espeak-ng says for it, and exit\n"
    "Exit code: 0 complete and valid, 1 clips missing or invalid,\n"
    "2 bad arguments or a folder that cannot be read.\n";

// Writes the whole text; false when the stream refuses (a full disk, a
// closed pipe), so that a cut report never passes for a whole one.
bool Write(std::FILE* out, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

int BadArguments(const std::string& message) {
  Write(stderr, "sylbank-check: " + message + "\n" + kUsage);
  return 2;
}

int Finish(const std::string& text, int code) {
  if (!Write(stdout, text)) {
    std::fputs("sylbank-check: cannot write the output\n", stderr);
    return 2;
  }
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  bool list_syllables = false;
  bool list_clips = false;
  std::string folder;
  bool have_folder = false;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options_done && arg == "--json") {
      json = true;
    } else if (!options_done && arg == "--syllables") {
      list_syllables = true;
    } else if (!options_done && arg == "--clips") {
      list_clips = true;
    } else if (!options_done && (arg == "--help" || arg == "-h")) {
      return Finish(kUsage, 0);
    } else if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      return BadArguments("unknown option " + arg);
    } else if (have_folder) {
      return BadArguments("more than one folder given (" + folder + ", " + arg + ")");
    } else {
      folder = arg;
      have_folder = true;
    }
  }

  const std::vector<sylbank::Syllable> syllables = sylbank::BankSyllables();
  if (list_syllables) {
    std::string text;
    for (const sylbank::Syllable& s : syllables) text += s.name + "\n";
    return Finish(text, 0);
  }
  if (list_clips) {
    std::string text;
    for (const sylbank::ClipToMake& c : sylbank::ClipsToMake(syllables)) {
      text += c.name + "\t" + c.spoken + "\n";
    }
    return Finish(text, 0);
  }

  if (!have_folder) folder = "sylbank";
  std::string error;
  const std::optional<sylbank::BankReport> report = sylbank::CheckBank(folder, syllables, error);
  if (!report) {
    Write(stderr, "sylbank-check: " + error + "\n");
    return 2;
  }
  return Finish(json ? sylbank::JsonReport(*report) : sylbank::TextReport(*report),
                report->passes() ? 0 : 1);
}
