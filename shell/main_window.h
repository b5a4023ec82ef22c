// The program's only window: a one-line text box and a button that speaks
// what the box holds.
#pragma once

#include <windows.h>

#include <cstdint>

#include "scoped_handles.h"
#include "text.h"

// Identifiers of the window and its two controls. They show only in the
// fatal error report.
constexpr uint32_t kMainWindowId = 1;
constexpr int32_t kTextBoxId = 100;  // 编辑框1
constexpr int32_t kButtonId = 110;   // 按钮1

class MainWindow {
 public:
  MainWindow() = default;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  uint32_t text_box_version() const { return text_box_version_; }

  // Makes the window and its controls and shows them. False when the
  // platform refused the window or a control.
  static bool Load();

  // The key filter, offered every message addressed to the window or one of
  // its controls before it is translated. True when it took the message.
  bool PreTranslate(const MSG& msg);

  // A fresh copy of the text box's content; absent when the box is empty.
  Text ReadTextBox() const;

 private:
  static bool RegisterWindowClass();
  // Creates the window hidden, its controls, and shows it all. On failure
  // the object is gone.
  bool Create();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK TextBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  bool CreateControls();
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnCtlColorEdit(HDC dc);
  void OnCommand(int id, int code, HWND control);
  void OnButtonClick();
  void OnTextBoxChanged();
  void UpdateScrollBar();
  void OnActivate(int state);
  void OnSetFocus(HWND previous);
  void OnNcDestroy();

  void SaveFocus();
  void MoveFocus(int step);
  void Close();

  HWND hwnd_ = nullptr;
  HWND text_box_ = nullptr;
  HWND button_ = nullptr;
  // The control that had the focus when the window last went inactive.
  HWND saved_focus_ = nullptr;
  // The text box's control procedure, called from the program's own.
  WNDPROC text_box_proc_ = nullptr;
  // Changes with every change of the text box's content.
  uint32_t text_box_version_ = 1;
  int line_height_ = 0;
  bool scroll_bar_shown_ = false;
  ScopedBrush white_brush_;
  ScopedIcon big_icon_;
  ScopedIcon small_icon_;
};

// Makes and shows the main window; false when the platform refused it.
bool LoadMainWindow();

// The text box's content, read afresh. Reading it once the window is gone
// is a fatal error.
Text TextBoxContent();

// A number that changes whenever the text box's content may have changed;
// 0 once the window is gone.
uint32_t TextBoxVersion();

// The main window, or null when it is not there (owner of message boxes).
HWND MainWindowHandle();

// The tag of one of the main window's controls; null for an unknown id.
const char* ControlTag(int32_t control_id);

// Gives the window class back at shutdown.
void ReleaseMainWindowClass();
