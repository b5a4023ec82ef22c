// Whether the clip folder beside the program can be used, and the words to
// the user when it cannot.
#include <windows.h>

#include <cwchar>
#include <initializer_list>

#include "constant_texts.h"
#include "host.h"
#include "main_window.h"
#include "pinyin.h"
#include "shell_app.h"

namespace {

// The longest clip name the program asks for: the longest syllable, a tone
// digit and ".wav".
constexpr int kLongestClipName =
    kSyllableMaxLength + 1 + static_cast<int>(sizeof(ConstantTexts::clip_extension)) - 1;
static_assert(MAX_PATH == 260, "the message names the limit as 259 characters");

// The program asks MCI and the file search for clips through the ANSI calls,
// whose whole path, the folder's included, must fit in MAX_PATH characters
// with its terminator.
bool ClipPathsFit(const wchar_t* folder) {
  return std::wcslen(folder) + 1 + kLongestClipName < MAX_PATH;
}

// The pieces joined, cut off where the buffer ends.
void Join(wchar_t* out, size_t size, std::initializer_list<const wchar_t*> pieces) {
  size_t used = 0;
  for (const wchar_t* piece : pieces) {
    for (; *piece != L'\0' && used + 1 < size; ++piece) out[used++] = *piece;
  }
  out[used] = L'\0';
}

// A notice about the folder, named between what is wrong and what to do.
void Tell(const wchar_t* what, const wchar_t* folder, const wchar_t* what_to_do) {
  static wchar_t text[kLongPathChars + 512];
  Join(text, sizeof text / sizeof text[0], {what, folder, what_to_do});
  MessageBoxW(MainWindowHandle(), text, L"提示", MB_ICONINFORMATION | MB_OK);
}

}  // namespace

namespace host {

bool VoiceFolderUsable() {
  static wchar_t folder[kLongPathChars + 16];
  Join(folder, sizeof folder / sizeof folder[0], {g_app.program_folder, L"\\sylbank"});
  const DWORD attributes = GetFileAttributesW(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    Tell(L"没有找到语音文件夹：\r\n", folder,
         L"\r\n\r\n语音片段放在这个文件夹里，每个音节一个 <音节>.wav 文件，"
         L"例如“你”的 ni.wav。");
    return false;
  }
  if (!ClipPathsFit(folder)) {
    Tell(L"语音文件夹的路径太长：\r\n", folder,
         L"\r\n\r\n片段的完整路径不能超过 259 个字符（Windows 的 MAX_PATH 限制），"
         L"这个文件夹里的片段无法播放。请把程序放到路径较短的文件夹里。");
    return false;
  }
  return true;
}

}  // namespace host
