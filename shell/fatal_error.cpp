#include "fatal_error.h"

#include <windows.h>


#include "main_window.h"
#include "shell_app.h"

namespace {

// Appends formatted text to a fixed buffer, cutting it off at the end. The
// report must not depend on the heap: it may be reporting the heap's refusal.
// wsprintfA writes at most 1024 bytes a call.
class ReportText {
 public:
  template <typename... Args>
  void Append(const char* format, Args... args) {
    char piece[1025];
    const int n = wsprintfA(piece, format, args...);
    for (int i = 0; i < n && used_ < sizeof text_ - 1; ++i) text_[used_++] = piece[i];
    text_[used_] = '\0';
  }
  const char* c_str() const { return text_; }

 private:
  char text_[2048] = {};
  size_t used_ = 0;
};

const WindowRecord* FindWindowRecord(int32_t id) {
  for (const WindowRecord& record : g_app.windows) {
    if (static_cast<int32_t>(record.id) == id) return &record;
  }
  return nullptr;
}

}  // namespace

void ReportFatalError(const char* message, int32_t code, int32_t first_detail,
                      int32_t second_detail) {
  ++g_app.busy_count;  // the box's own loop keeps dispatching; no handler runs

  ReportText text;
  text.Append("运行时出错!\r\n");
  if (code != 0) text.Append("错误代码：%d\r\n", static_cast<int>(code));
  if (message != nullptr && message[0] != '\0') text.Append("错误信息：%s\r\n", message);
  text.Append("\r\n详细信息：%d, %d", static_cast<int>(first_detail),
              static_cast<int>(second_detail));
  if (const WindowRecord* record = FindWindowRecord(first_detail)) {
    text.Append("\r\n窗口标记：%s", record->tag);
    if (const char* tag = ControlTag(second_detail)) text.Append("\r\n组件标记：%s", tag);
  }

  MessageBoxA(nullptr, text.c_str(), "错误", MB_ICONERROR | MB_OK);

  g_app.exit_routine_count = 0;  // a failed run skips them
  ShellShutdown(-1);
  ExitProcess(static_cast<UINT>(-1));
}
