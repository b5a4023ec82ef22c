// The speaking code's literals, kept together in one constant block so that
// TextFree can tell them from heap blocks by address: a variable holding one
// of them can be freed like any other Text, and nothing happens.
#pragma once

struct ConstantTexts {
  // Clip paths: "sylbank\" + syllable + ".wav", played under one alias.
  char clip_prefix[9];
  char clip_extension[5];
  char clip_alias[4];
  // Pieces of the MCI commands.
  char close_command[7];
  char open_command[6];
  char quote[2];
  char alias_keyword[8];
  char play_command[6];
  char status_command[8];
  char length_keyword[8];
  // Reply buffers for commands whose reply is not taken (capacity 0).
  char play_reply[2];
  char measure_reply[3];
};

extern const ConstantTexts kConstantTexts;

// True for an address inside the constant block.
bool IsConstantText(const void* p);
