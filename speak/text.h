// Text: a run of bytes in code page 936 ended by one NUL, held in a block of
// the text heap. A Text owns its block and frees it when it goes; the absent
// text holds no block at all. Operations that only read a text take a
// `const char*`, where null is the absent text and reads as empty.
#pragma once

#include <cstdint>
#include <initializer_list>

// The fatal error's text for a refused allocation of `bytes` bytes:
// "分配 %d 字节内存失败!" with the count in place of %d.
struct AllocationFailure {
  char text[48];
};
AllocationFailure AllocationFailureMessage(int32_t bytes);

// A block of `bytes` bytes from the text heap. Never null: a refusal ends the
// program through the fatal error "分配 %d 字节内存失败!".
char* TextAlloc(int32_t bytes);

// Gives a block back to the text heap. Null and the program's constant texts
// are ignored.
void TextFree(const void* block);

class Text {
 public:
  Text() noexcept = default;  // the absent text
  // Takes ownership of a block from TextAlloc that holds a terminated text.
  static Text Adopt(char* block) noexcept {
    Text t;
    t.block_ = block;
    return t;
  }
  Text(Text&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  Text& operator=(Text&& other) noexcept {
    if (this != &other) {
      TextFree(block_);
      block_ = other.block_;
      other.block_ = nullptr;
    }
    return *this;
  }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() { TextFree(block_); }

  bool absent() const { return block_ == nullptr; }
  // Null for the absent text: what the read-only operations take.
  const char* get() const { return block_; }
  // Never null: the absent text reads as "".
  const char* c_str() const { return block_ != nullptr ? block_ : ""; }
  char* data() { return block_; }
  // Length in bytes up to the terminator; 0 for the absent text.
  int32_t length() const;

 private:
  char* block_ = nullptr;
};

// Byte length of a text; 0 for the absent text.
int32_t TextLength(const char* text);

// Joins the parts in order, an absent part counting as empty. Allocates
// exactly 1 + the sum of the parts' lengths and always gives a new Text.
Text ConcatText(std::initializer_list<const char*> parts);

// The min(n, length - start + 1) bytes from 1-based position `start` on, cut
// as raw bytes. Absent when start < 1, start > length or n < 1.
Text TextMid(const char* text, int32_t start, int32_t n);

// n spaces and a terminator; absent when n < 1.
Text BlankText(int32_t n);

// The decimal number at the start of `text` after folding the full-width
// forms to ASCII; 0 when there is none. Clamped to the int32 range.
int32_t TextToInt(const char* text);

// Truncates toward zero whatever the rounding mode.
int64_t TruncToInt(double x);
