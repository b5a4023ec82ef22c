// The syllables the program can ask a clip for.
#pragma once

#include <string>
#include <vector>

namespace sylbank {

// Every distinct syllable that reading 1 gives for the GB2312 characters,
// taken from the program's own lookup tables, sorted.
std::vector<std::string> BankSyllables();

}  // namespace sylbank
