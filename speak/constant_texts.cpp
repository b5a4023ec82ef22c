#include "constant_texts.h"

#include <cstdint>

const ConstantTexts kConstantTexts = {
    "sylbank\\", ".wav", "syl", "close ", "open ", "\"", " alias ",
    "play ", "status ", " length", "0", "0&",
};

bool IsConstantText(const void* p) {
  // Compare as integers: the block's bounds and an unrelated heap address are
  // not pointers into one array.
  const auto address = reinterpret_cast<std::uintptr_t>(p);
  const auto begin = reinterpret_cast<std::uintptr_t>(&kConstantTexts);
  return address >= begin && address < begin + sizeof kConstantTexts;
}
