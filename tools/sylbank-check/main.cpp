// sylbank-check: tells whether a clip folder lets the program speak every
// syllable, and what is wrong with the clips that would not play.
//
//   sylbank-check [--json] [--syllables] [FOLDER]
//
// Exit code 0: every syllable has a playable clip. 1: clips are missing or
// invalid. 2: bad arguments, or the folder is missing or cannot be read.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "bank_check.h"
#include "syllables.h"

namespace {

void Usage(std::ostream& out) {
  out << "usage: sylbank-check [--json] [--syllables] [FOLDER]\n"
         "  Checks the clip folder FOLDER (default: sylbank) for one WAV clip per\n"
         "  syllable, <syllable>.wav, and the no-syllable clip .wav.\n"
         "  --json       write the report as JSON\n"
         "  --syllables  print the syllable names, one per line, and exit\n"
         "Exit code: 0 complete and valid, 1 clips missing or invalid,\n"
         "2 bad arguments or a folder that cannot be read.\n";
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  bool list = false;
  std::string folder;
  bool have_folder = false;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options_done && arg == "--json") {
      json = true;
    } else if (!options_done && arg == "--syllables") {
      list = true;
    } else if (!options_done && (arg == "--help" || arg == "-h")) {
      Usage(std::cout);
      return 0;
    } else if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      std::cerr << "sylbank-check: unknown option " << arg << "\n";
      Usage(std::cerr);
      return 2;
    } else if (have_folder) {
      std::cerr << "sylbank-check: more than one folder given (" << folder << ", " << arg
                << ")\n";
      Usage(std::cerr);
      return 2;
    } else {
      folder = arg;
      have_folder = true;
    }
  }

  const std::vector<std::string> syllables = sylbank::BankSyllables();
  if (list) {
    for (const std::string& s : syllables) std::cout << s << "\n";
    return 0;
  }

  if (!have_folder) folder = "sylbank";
  std::string error;
  const std::optional<sylbank::BankReport> report = sylbank::CheckBank(folder, syllables, error);
  if (!report) {
    std::cerr << "sylbank-check: " << error << "\n";
    return 2;
  }
  if (json) {
    sylbank::WriteJsonReport(*report, std::cout);
  } else {
    sylbank::WriteTextReport(*report, std::cout);
  }
  std::cout.flush();
  return report->passes() ? 0 : 1;
}
