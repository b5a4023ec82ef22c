/*
 * e2e-helper.exe: looks at and drives the program's window from another
 * process, for the end-to-end tests.
 *
 * The main window is found as the visible top-level window that has an Edit
 * child with control id 100 and a Button child with control id 110.
 * Everything is printed as key=value lines; texts are printed as hex bytes
 * (UTF-8 for wide texts, the raw code page 936 bytes for the text box), so
 * that the harness gets them exactly.
 *
 *   e2e-helper info            window, controls, focus and caret, ANSI code page
 *                              (window=none when there is no window)
 *   e2e-helper settext HEX     WM_SETTEXT of the given bytes (code page 936)
 *                              into the text box
 *   e2e-helper gettext         the text box's bytes in code page 936 (bytes=HEX)
 *   e2e-helper msgbox TITLE    the visible message box with that title: its
 *                              text, its rectangle and the screen rectangle of
 *                              its icon (exit code 1 when there is none)
 *   e2e-helper closebox        the screen point of the main window's close box
 *   e2e-helper ping [TIMEOUT_MS [COUNT [INTERVAL_MS]]]
 *                              sends WM_NULL to the main window COUNT times
 *                              (default 1), INTERVAL_MS apart (default 50),
 *                              and prints each answer time in ms, or "none"
 *                              when no answer came within TIMEOUT_MS
 *                              (default 5000)
 *   e2e-helper showbox TITLE TEXT info|error
 *                              shows a message box of its own and prints the
 *                              button that closed it (for the driver's own
 *                              tests of reading message boxes)
 *
 * Exit code 0 on success, 1 when the window asked for is not there, 2 on a
 * usage error.
 */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#define EDIT_ID 100
#define BUTTON_ID 110
#define SEND_TIMEOUT_MS 5000

static void out(const char *text)
{
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, (DWORD)strlen(text), &written, NULL);
}

static void outf(const char *format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    out(buffer);
}

/* In pieces of a few KB: a write per byte would take seconds for a long
 * text under Wine. */
static void out_hex_bytes(const char *key, const unsigned char *bytes, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    char piece[4097];
    size_t used = 0;
    outf("%s=", key);
    for (size_t i = 0; i < n; i++) {
        piece[used++] = digits[bytes[i] >> 4];
        piece[used++] = digits[bytes[i] & 15];
        if (used == sizeof piece - 1 || i + 1 == n) {
            piece[used] = '\0';
            out(piece);
            used = 0;
        }
    }
    out("\n");
}

static void out_hex_wide(const char *key, const wchar_t *text)
{
    char utf8[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
    out_hex_bytes(key, (const unsigned char *)utf8, n > 0 ? (size_t)n - 1 : 0);
}

/* The text of a window of another process, asked for with WM_GETTEXT so
 * that controls answer with their current content. */
static int window_text_wide(HWND window, wchar_t *text, int size)
{
    DWORD_PTR result = 0;
    text[0] = L'\0';
    if (!SendMessageTimeoutW(window, WM_GETTEXT, (WPARAM)size, (LPARAM)text, SMTO_ABORTIFHUNG,
                             SEND_TIMEOUT_MS, &result)) {
        outf("error=WM_GETTEXT failed, error %lu\n", GetLastError());
        return 0;
    }
    text[size - 1] = L'\0';
    return 1;
}

static int has_child(HWND parent, int id, const wchar_t *class_name)
{
    HWND child = GetDlgItem(parent, id);
    wchar_t name[64];
    return child && GetClassNameW(child, name, 64) && _wcsicmp(name, class_name) == 0;
}

static BOOL CALLBACK find_main(HWND window, LPARAM found)
{
    if (IsWindowVisible(window) && has_child(window, EDIT_ID, L"Edit") &&
        has_child(window, BUTTON_ID, L"Button")) {
        *(HWND *)found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND main_window(void)
{
    HWND found = NULL;
    EnumWindows(find_main, (LPARAM)&found);
    if (!found)
        out("error=no main window\n");
    return found;
}

struct message_box_search {
    const wchar_t *title;
    HWND found;
};

static BOOL CALLBACK find_message_box(HWND window, LPARAM param)
{
    struct message_box_search *search = (struct message_box_search *)param;
    wchar_t name[64], title[256];
    if (IsWindowVisible(window) && GetClassNameW(window, name, 64) && wcscmp(name, L"#32770") == 0 &&
        GetWindowTextW(window, title, 256) >= 0 && wcscmp(title, search->title) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

/* The message of a message box is the Static child that holds text (the
 * icon is a Static child too, without text). */
static BOOL CALLBACK find_message_text(HWND child, LPARAM param)
{
    wchar_t name[64], text[4096];
    if (GetClassNameW(child, name, 64) && _wcsicmp(name, L"Static") == 0 &&
        window_text_wide(child, text, 4096) && text[0] != L'\0') {
        out_hex_wide("text_hex", text);
        *(int *)param = 1;
        return FALSE;
    }
    return TRUE;
}

static const char *control_name(HWND window, HWND edit, HWND button, HWND main)
{
    if (!window)
        return "none";
    if (window == edit)
        return "100";
    if (window == button)
        return "110";
    if (window == main)
        return "main";
    return "other";
}

static void out_child(HWND main, int id)
{
    HWND child = GetDlgItem(main, id);
    wchar_t name[64], text[1024];
    RECT rect;
    char key[64];
    GetClassNameW(child, name, 64);
    snprintf(key, sizeof key, "ctl%d_class_hex", id);
    out_hex_wide(key, name);
    GetWindowRect(child, &rect);
    MapWindowPoints(NULL, main, (POINT *)&rect, 2);
    outf("ctl%d_rect=%ld,%ld,%ld,%ld\n", id, rect.left, rect.top, rect.right - rect.left,
         rect.bottom - rect.top);
    outf("ctl%d_visible=%d\nctl%d_enabled=%d\n", id, IsWindowVisible(child) ? 1 : 0, id,
         IsWindowEnabled(child) ? 1 : 0);
    outf("ctl%d_style=%08lX\nctl%d_exstyle=%08lX\n", id, (unsigned long)GetWindowLongW(child, GWL_STYLE),
         id, (unsigned long)GetWindowLongW(child, GWL_EXSTYLE));
    window_text_wide(child, text, 1024);
    snprintf(key, sizeof key, "ctl%d_text_hex", id);
    out_hex_wide(key, text);
}

static int cmd_info(void)
{
    outf("acp=%u\n", GetACP());
    outf("screen=%d,%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    HWND main = main_window();
    if (!main) {
        out("window=none\n");
        return 0;
    }
    wchar_t name[256], title[256];
    RECT rect, client;
    POINT origin = {0, 0};
    GetClassNameW(main, name, 256);
    GetWindowTextW(main, title, 256);
    GetWindowRect(main, &rect);
    GetClientRect(main, &client);
    ClientToScreen(main, &origin);
    outf("window=%p\n", (void *)main);
    out_hex_wide("class_hex", name);
    out_hex_wide("title_hex", title);
    outf("rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    outf("client_origin=%ld,%ld\nclient_size=%ld,%ld\n", origin.x, origin.y, client.right, client.bottom);
    outf("style=%08lX\nexstyle=%08lX\n", (unsigned long)GetWindowLongW(main, GWL_STYLE),
         (unsigned long)GetWindowLongW(main, GWL_EXSTYLE));
    out_child(main, EDIT_ID);
    out_child(main, BUTTON_ID);

    HWND edit = GetDlgItem(main, EDIT_ID), button = GetDlgItem(main, BUTTON_ID);
    GUITHREADINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(main, NULL), &info)) {
        outf("focus=%s\n", control_name(info.hwndFocus, edit, button, main));
        outf("caret=%s\n", control_name(info.hwndCaret, edit, button, main));
        outf("active=%s\n", control_name(info.hwndActive, edit, button, main));
    }
    outf("foreground=%s\n", control_name(GetForegroundWindow(), edit, button, main));
    return 0;
}

static int hex_digit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

static int cmd_settext(const wchar_t *hex)
{
    char bytes[4096];
    size_t n = 0, len = wcslen(hex);
    if (len % 2 != 0 || len / 2 >= sizeof bytes)
        return 2;
    for (size_t i = 0; i < len; i += 2) {
        int high = hex_digit(hex[i]), low = hex_digit(hex[i + 1]);
        if (high < 0 || low < 0)
            return 2;
        bytes[n++] = (char)(high * 16 + low);
    }
    bytes[n] = '\0';
    HWND main = main_window();
    if (!main)
        return 1;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(GetDlgItem(main, EDIT_ID), WM_SETTEXT, 0, (LPARAM)bytes, SMTO_ABORTIFHUNG,
                             SEND_TIMEOUT_MS, &result)) {
        outf("error=WM_SETTEXT failed, error %lu\n", GetLastError());
        return 1;
    }
    outf("result=%lu\n", (unsigned long)result);
    return 0;
}

static int cmd_gettext(void)
{
    HWND main = main_window();
    if (!main)
        return 1;
    HWND edit = GetDlgItem(main, EDIT_ID);
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &length)) {
        outf("error=WM_GETTEXTLENGTH failed, error %lu\n", GetLastError());
        return 1;
    }
    /* Asked for as wide text and converted back to code page 936 here: under
     * Wine an ANSI WM_GETTEXT sent to another process comes back empty. */
    int size = (int)length + 1;
    wchar_t *wide = HeapAlloc(GetProcessHeap(), 0, (size_t)size * sizeof(wchar_t));
    char *text = HeapAlloc(GetProcessHeap(), 0, (size_t)size * 2 + 1);
    if (!wide || !text || !window_text_wide(edit, wide, size))
        return 1;
    int n = WideCharToMultiByte(936, 0, wide, -1, text, size * 2 + 1, NULL, NULL);
    out_hex_bytes("bytes", (const unsigned char *)text, n > 0 ? (size_t)n - 1 : 0);
    return 0;
}

/* The icon of a message box is a Static child with the SS_ICON style; its
 * pixels on the screen tell which icon it is (the icon handle belongs to the
 * other process and cannot be looked into from here). */
static BOOL CALLBACK find_message_icon(HWND child, LPARAM param)
{
    wchar_t name[64];
    RECT rect;
    if (GetClassNameW(child, name, 64) && _wcsicmp(name, L"Static") == 0 &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
        GetWindowRect(child, &rect)) {
        outf("icon_rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right - rect.left,
             rect.bottom - rect.top);
        *(int *)param = 1;
        return FALSE;
    }
    return TRUE;
}

static int cmd_msgbox(const wchar_t *title)
{
    struct message_box_search search = {title, NULL};
    EnumWindows(find_message_box, (LPARAM)&search);
    if (!search.found)
        return 1;
    RECT rect;
    GetWindowRect(search.found, &rect);
    outf("window=%p\n", (void *)search.found);
    outf("rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    int found_icon = 0, found_text = 0;
    EnumChildWindows(search.found, find_message_icon, (LPARAM)&found_icon);
    if (!found_icon)
        out("icon_rect=none\n");
    EnumChildWindows(search.found, find_message_text, (LPARAM)&found_text);
    return found_text ? 0 : 1;
}

static double now_ms(void)
{
    LARGE_INTEGER freq, count;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart * 1000.0 / (double)freq.QuadPart;
}

/* SMTO_NORMAL: the call waits for the answer up to the timeout even when the
 * window looks hung, so a late answer is measured rather than cut short. */
static int cmd_ping(int timeout_ms, int count, int interval_ms)
{
    HWND main = main_window();
    if (!main)
        return 1;
    for (int i = 0; i < count; i++) {
        if (i > 0)
            Sleep((DWORD)interval_ms);
        DWORD_PTR result = 0;
        double start = now_ms();
        if (SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, (UINT)timeout_ms, &result))
            outf("ping=%.3f\n", now_ms() - start);
        else
            out("ping=none\n");
    }
    return 0;
}

static int cmd_showbox(const wchar_t *title, const wchar_t *text, const wchar_t *kind)
{
    UINT icon = wcscmp(kind, L"error") == 0 ? MB_ICONERROR : MB_ICONINFORMATION;
    outf("answer=%d\n", MessageBoxW(NULL, text, title, MB_OK | icon));
    return 0;
}

/* Scans the title bar from the right for a point that the window itself
 * reports as its close box. */
static int cmd_closebox(void)
{
    HWND main = main_window();
    if (!main)
        return 1;
    RECT rect;
    GetWindowRect(main, &rect);
    for (LONG y = rect.top + 2; y < rect.top + 40; y += 2) {
        for (LONG x = rect.right - 2; x > rect.right - 80; x -= 2) {
            DWORD_PTR hit = 0;
            if (SendMessageTimeoutW(main, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG,
                                    SEND_TIMEOUT_MS, &hit) &&
                hit == HTCLOSE) {
                /* Step a few pixels inside so that the point is not on the edge. */
                outf("point=%ld,%ld\n", x - 4, y + 4);
                return 0;
            }
        }
    }
    return 1;
}

int main(void)
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        return 2;
    int code = 2;
    if (wcscmp(argv[1], L"info") == 0 && argc == 2)
        code = cmd_info();
    else if (wcscmp(argv[1], L"settext") == 0 && argc == 3)
        code = cmd_settext(argv[2]);
    else if (wcscmp(argv[1], L"settext") == 0 && argc == 2)
        code = cmd_settext(L"");
    else if (wcscmp(argv[1], L"gettext") == 0 && argc == 2)
        code = cmd_gettext();
    else if (wcscmp(argv[1], L"msgbox") == 0 && argc == 3)
        code = cmd_msgbox(argv[2]);
    else if (wcscmp(argv[1], L"closebox") == 0 && argc == 2)
        code = cmd_closebox();
    else if (wcscmp(argv[1], L"ping") == 0 && argc <= 5)
        code = cmd_ping(argc > 2 ? _wtoi(argv[2]) : 5000, argc > 3 ? _wtoi(argv[3]) : 1,
                        argc > 4 ? _wtoi(argv[4]) : 50);
    else if (wcscmp(argv[1], L"showbox") == 0 && argc == 5)
        code = cmd_showbox(argv[2], argv[3], argv[4]);
    LocalFree(argv);
    return code;
}
