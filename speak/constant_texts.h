// The speaking code's literals, kept together in one constant block so that
// TextFree can tell them from heap blocks by address: a variable holding one
// of them can be freed like any other Text, and nothing happens.
#pragma once

struct ConstantTexts {
  // The clip folder beside the program, and the clip paths in it:
  // "sylbank\" + syllable (+ tone digit) + ".wav".
  char clip_folder[8];
  char clip_prefix[9];
  char clip_extension[5];
  // The MCI aliases of the clips open at one time.
  char clip_aliases[3][5];
  // Pieces of the MCI commands.
  char close_command[7];
  char open_command[6];
  char quote[2];
  char alias_keyword[8];
  char play_command[6];
  char from_start[8];
  char status_command[8];
  char length_keyword[8];
  char mode_keyword[6];
  // The reply buffer of commands whose reply is not taken (capacity 0).
  char no_reply[2];
};

extern const ConstantTexts kConstantTexts;

// True for an address inside the constant block.
bool IsConstantText(const void* p);
