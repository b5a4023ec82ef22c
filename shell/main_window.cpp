#include "main_window.h"

#include <commctrl.h>

#include <cstring>

#include "fatal_error.h"
#include "shell_app.h"
#include "speak_run.h"

namespace {

const char kWindowClass[] = "SylSpeakMainWindow";

// Outer size, title bar and frame included.
constexpr int kWindowWidth = 380;
constexpr int kWindowHeight = 250;

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Several lines, wrapped at the box's edge, with a vertical scroll bar shown
// while the text is taller than the box: pasted text keeps every line.
constexpr DWORD kTextBoxStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | ES_LEFT |
                                ES_MULTILINE | ES_AUTOVSCROLL;
constexpr DWORD kButtonStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON |
                               BS_CENTER | BS_VCENTER | BS_MULTILINE;

HINSTANCE ProgramInstance() { return GetModuleHandleA(nullptr); }

HICON LoadProgramIcon(int size) {
  return static_cast<HICON>(
      LoadImageA(ProgramInstance(), "DEFAULT_ICON", IMAGE_ICON, size, size, 0));
}

// The height of one line of the control's font, as an edit control spaces
// its lines.
int FontLineHeight(HWND control) {
  HDC dc = GetDC(control);
  if (dc == nullptr) return 0;
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return metrics.tmHeight;
}

bool IsUsable(HWND control) { return IsWindowVisible(control) && IsWindowEnabled(control); }

WindowRecord& MainRecord() { return g_app.windows[kMainWindowRecord]; }

}  // namespace

bool MainWindow::RegisterWindowClass() {
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(ProgramInstance(), kWindowClass, &existing)) return true;

  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ProgramInstance();
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = nullptr;  // the window paints its own background
  wc.lpszClassName = kWindowClass;
  return RegisterClassExA(&wc) != 0;
}

bool MainWindow::Load() {
  BusyScope loading;
  const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterWindowClass()) return false;

  auto* window = new MainWindow();
  window->white_brush_.Reset(CreateSolidBrush(RGB(255, 255, 255)));
  // Linked before its window exists; the window's last clean-up unlinks it.
  MainRecord().window = window;
  return window->Create();
}

bool MainWindow::Create() {
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  HWND hwnd = CreateWindowExA(0, kWindowClass, "", kWindowStyle, x, y, kWindowWidth,
                              kWindowHeight, nullptr, nullptr, ProgramInstance(), this);
  if (hwnd == nullptr) {
    // Refused before any message arrived, the object is still linked; refused
    // later, the last clean-up has already deleted it.
    if (MainRecord().window == this) {
      MainRecord().window = nullptr;
      delete this;
    }
    return false;
  }

  RECT outer = {};
  GetWindowRect(hwnd_, &outer);
  if (outer.right - outer.left != kWindowWidth || outer.bottom - outer.top != kWindowHeight) {
    SetWindowPos(hwnd_, nullptr, 0, 0, kWindowWidth, kWindowHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  big_icon_.Reset(LoadProgramIcon(32));
  small_icon_.Reset(LoadProgramIcon(16));
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.get()));
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.get()));
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);

  if (!CreateControls()) {
    DestroyWindow(hwnd_);  // its clean-up deletes this object
    return false;
  }

  ShowWindow(text_box_, SW_SHOWNA);
  ShowWindow(button_, SW_SHOWNA);
  // Activation hands the focus to the window, which passes it to the text box.
  ShowWindow(hwnd_, SW_SHOW);
  return true;
}

// The text box's own procedure, ahead of the control's: it notes every change
// of the content that the control does not announce. A multi-line edit
// sends no EN_CHANGE for WM_SETTEXT (another program may send one) or for a
// replaced edit buffer.
LRESULT CALLBACK MainWindow::TextBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  const WNDPROC control_proc = window != nullptr ? window->text_box_proc_ : DefWindowProcA;
  const LRESULT result = CallWindowProcA(control_proc, hwnd, message, wparam, lparam);
  if (window != nullptr) {
    switch (message) {
      case WM_SETTEXT:
      case EM_REPLACESEL:
      case EM_SETHANDLE:
        window->OnTextBoxChanged();
        break;
      case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        break;
      default:
        break;
    }
  }
  return result;
}

void MainWindow::OnTextBoxChanged() {
  ++text_box_version_;
  UpdateScrollBar();
}

// Shows the vertical scroll bar while the text has more lines than the box
// shows, hides it otherwise. Showing it narrows the text and can only add
// lines, hiding it widens the text and can only take lines away, so the
// decision never flips back.
void MainWindow::UpdateScrollBar() {
  RECT format = {};
  SendMessageA(text_box_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  const int lines = static_cast<int>(SendMessageA(text_box_, EM_GETLINECOUNT, 0, 0));
  const int shown = line_height_ > 0 ? (format.bottom - format.top) / line_height_ : lines;
  const bool needed = lines > shown;
  if (needed != scroll_bar_shown_) {
    scroll_bar_shown_ = needed;
    ShowScrollBar(text_box_, SB_VERT, needed);
  }
}

bool MainWindow::CreateControls() {
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));

  text_box_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", kTextBoxStyle, 72, 80, 200, 64,
                              hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextBoxId)),
                              ProgramInstance(), nullptr);
  if (text_box_ == nullptr) return false;
  SendMessageA(text_box_, WM_SETFONT, font, FALSE);
  SendMessageA(text_box_, EM_SETLIMITTEXT, 0, 0);  // the platform's largest
  SetWindowLongPtrA(text_box_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  text_box_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(text_box_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextBoxProc)));
  line_height_ = FontLineHeight(text_box_);
  scroll_bar_shown_ = true;
  UpdateScrollBar();

  button_ = CreateWindowExA(0, "BUTTON", "按钮", kButtonStyle, 296, 104, 80, 32, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)),
                            ProgramInstance(), nullptr);
  if (button_ == nullptr) return false;
  SendMessageA(button_, WM_SETFONT, font, FALSE);
  return true;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                        LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  return window->HandleMessage(message, wparam, lparam);
}

// Only a table of what the window reacts to; after a handler that may have
// destroyed the window (the click, the last clean-up) nothing of the object
// is touched again.
LRESULT MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return OnEraseBackground(reinterpret_cast<HDC>(wparam));
    case WM_CTLCOLOREDIT:
      return OnCtlColorEdit(reinterpret_cast<HDC>(wparam));
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wparam));
      break;  // the default handling gives the window the focus
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_MINIMIZE) SaveFocus();
      break;
    case WM_SETFOCUS:
      OnSetFocus(reinterpret_cast<HWND>(wparam));
      return 0;
    case WM_NCDESTROY: {
      HWND hwnd = hwnd_;
      OnNcDestroy();
      return DefWindowProcA(hwnd, message, wparam, lparam);
    }
    default:
      break;
  }
  return DefWindowProcA(hwnd_, message, wparam, lparam);
}

LRESULT MainWindow::OnEraseBackground(HDC dc) {
  RECT client = {};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  return 1;
}

LRESULT MainWindow::OnCtlColorEdit(HDC dc) {
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(white_brush_.get());
}

void MainWindow::OnCommand(int id, int code, HWND control) {
  if (id == kButtonId && code == BN_CLICKED && control == button_) OnButtonClick();
  // Typing, pasting, cutting, deleting and undoing all announce themselves.
  if (id == kTextBoxId && code == EN_CHANGE && control == text_box_) OnTextBoxChanged();
}

// May run for a long time and dispatch messages meanwhile, the window's
// destruction among them.
void MainWindow::OnButtonClick() {
  if (g_app.busy_count > 0) return;  // no event while loading, failing or shutting down
  SpeakRun();
}

void MainWindow::OnActivate(int state) {
  if (state == WA_INACTIVE) SaveFocus();
}

// Remembers which control had the focus, so that coming back to the window
// (from another program, or after minimising it) puts it there again.
void MainWindow::SaveFocus() {
  HWND focus = GetFocus();
  if (focus != nullptr && IsChild(hwnd_, focus)) saved_focus_ = focus;
}

// Passes the focus on to a control: the saved one if there is one, else
// the first in tab order that can take it. Minimising and restoring can park
// the focus on the window itself for a moment; a control that just lost it
// that way takes it back.
void MainWindow::OnSetFocus(HWND previous) {
  HWND saved = saved_focus_;
  if (saved != nullptr && IsWindow(saved) && IsChild(hwnd_, saved)) {
    saved_focus_ = nullptr;
    SetFocus(saved);
    return;
  }
  if (previous != nullptr && IsChild(hwnd_, previous) && IsUsable(previous)) {
    SetFocus(previous);
    return;
  }
  for (HWND control : {text_box_, button_}) {
    if (IsUsable(control)) {
      SetFocus(control);
      return;
    }
  }
}

// The native window is gone; what is left is this object and its record.
void MainWindow::OnNcDestroy() {
  // The window has no accelerator table and its controls no cursors of
  // their own, so there is nothing to release before the record goes.
  MainRecord().window = nullptr;
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  if (!AnyWindowAlive() && g_app.loop_entered) PostQuitMessage(0);
  delete this;
}

bool MainWindow::PreTranslate(const MSG& msg) {
  if (msg.message != WM_KEYDOWN) return false;
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  switch (msg.wParam) {
    case VK_TAB:
      MoveFocus(shift ? -1 : 1);
      return true;
    case VK_ESCAPE:
      if (shift) return false;
      Close();  // the window, and this object, may be gone now
      return true;
    default:
      return false;
  }
}

// Steps through the tab order from the focused control, wrapping at either
// end, to the next control that can take the focus.
void MainWindow::MoveFocus(int step) {
  const HWND order[] = {text_box_, button_};
  constexpr int count = sizeof order / sizeof order[0];
  HWND focus = GetFocus();
  int at = step > 0 ? -1 : count;  // from outside the order: the first, or the last
  for (int i = 0; i < count; ++i) {
    if (order[i] == focus) at = i;
  }
  for (int n = 0; n < count; ++n) {
    at = ((at + step) % count + count) % count;
    if (IsUsable(order[at])) {
      SetFocus(order[at]);
      return;
    }
  }
}

void MainWindow::Close() { SendMessageA(hwnd_, WM_CLOSE, 0, 0); }

Text MainWindow::ReadTextBox() const {
  const int n = GetWindowTextLengthA(text_box_);
  if (n <= 0) return Text();
  Text buffer = Text::Adopt(TextAlloc(n + 1));
  GetWindowTextA(text_box_, buffer.data(), n + 1);
  buffer.data()[n] = '\0';
  // The length asked first can exceed what the copy gives; the usual case
  // needs no second block.
  const int32_t length = buffer.length();
  if (length == n) return buffer;
  if (length == 0) return Text();
  char* copy = TextAlloc(length + 1);
  std::memcpy(copy, buffer.get(), static_cast<size_t>(length) + 1);
  return Text::Adopt(copy);
}

bool LoadMainWindow() { return MainWindow::Load(); }

Text TextBoxContent() {
  MainWindow* window = MainRecord().window;
  if (window == nullptr) {
    ReportFatalError("读取组件属性时发现指定窗口尚未载入", 0,
                     static_cast<int32_t>(kMainWindowId), kTextBoxId);
  }
  return window->ReadTextBox();
}

uint32_t TextBoxVersion() {
  const MainWindow* window = MainRecord().window;
  return window != nullptr ? window->text_box_version() : 0;
}

HWND MainWindowHandle() {
  const MainWindow* window = MainRecord().window;
  return window != nullptr ? window->hwnd() : nullptr;
}

const char* ControlTag(int32_t control_id) {
  switch (control_id) {
    case kTextBoxId:
    case kButtonId:
      return "";  // neither control has a tag
    default:
      return nullptr;
  }
}

void ReleaseMainWindowClass() { UnregisterClassA(kWindowClass, ProgramInstance()); }
