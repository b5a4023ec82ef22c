// Tiny owners for the Win32 handles the shell holds: each releases its
// handle with the one call that belongs to it.
#pragma once

#include <windows.h>

template <typename Handle, typename Traits>
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() { Reset(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  Handle get() const { return handle_; }
  bool valid() const { return Traits::IsValid(handle_); }
  void Reset(Handle handle = Traits::Invalid()) {
    if (Traits::IsValid(handle_)) Traits::Release(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct IconTraits {
  static HICON Invalid() { return nullptr; }
  static bool IsValid(HICON h) { return h != nullptr; }
  static void Release(HICON h) { DestroyIcon(h); }
};
using ScopedIcon = ScopedHandle<HICON, IconTraits>;

struct BrushTraits {
  static HBRUSH Invalid() { return nullptr; }
  static bool IsValid(HBRUSH h) { return h != nullptr; }
  static void Release(HBRUSH h) { DeleteObject(h); }
};
using ScopedBrush = ScopedHandle<HBRUSH, BrushTraits>;

struct FindTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE; }
  static void Release(HANDLE h) { FindClose(h); }
};
using ScopedFindHandle = ScopedHandle<HANDLE, FindTraits>;
