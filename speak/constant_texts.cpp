#include "constant_texts.h"

#include <cstdint>

const ConstantTexts kConstantTexts = {
    "sylbank", "sylbank\\", ".wav", {"syl1", "syl2", "syl3"}, "close ", "open ", "\"", " alias ",
    "play ", " from 0", "status ", " length", " mode", "0",
};

bool IsConstantText(const void* p) {
  // Compare as integers: the block's bounds and an unrelated heap address are
  // not pointers into one array.
  const auto address = reinterpret_cast<std::uintptr_t>(p);
  const auto begin = reinterpret_cast<std::uintptr_t>(&kConstantTexts);
  return address >= begin && address < begin + sizeof kConstantTexts;
}
