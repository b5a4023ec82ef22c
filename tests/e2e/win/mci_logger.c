/*
 * A stand-in winmm.dll for the end-to-end tests. The program loads
 * winmm.dll from its own folder first, so a copy of this DLL placed there
 * (and Wine told to prefer it: WINEDLLOVERRIDES=winmm=n,b) receives every
 * MCI command string the program sends.
 *
 * Each call of mciSendStringA appends one line to the file named by the
 * environment variable SYLSPEAK_E2E_MCI_LOG (nothing is logged when it is
 * unset). Fields are separated by tabs:
 *
 *   <ms> mci cap=<capacity> hwnd=<callback window> len=<n> head=<bytes> ret=<r> cmd=<command>
 *
 *   ms        milliseconds since an arbitrary start, from the performance
 *             counter, with three decimals
 *   capacity  the reply capacity the caller declared
 *   n         bytes in the reply buffer before its first NUL, as the caller
 *             handed it over (counted up to 4096 at most)
 *   bytes     the first bytes of the reply buffer (at most 8, up to the NUL),
 *             non-printable ones and backslashes written as \xHH
 *   r         the value returned to the caller
 *
 * Loading and unloading the DLL are logged too, as "<ms> attach" and
 * "<ms> detach", so a test can tell whether the program loaded it at all.
 *
 * Answers: it keeps the devices the program opens, as MCI would, so that
 * the program sees what it relies on:
 *   open "<path>" alias <a>   opens <path> (read relative to the current
 *                             directory) under <a>: MCIERR_FILE_NOT_FOUND
 *                             (275) when it cannot be read as a WAV file,
 *                             MCIERR_DUPLICATE_ALIAS (289) when <a> is open
 *   status <a> length         the clip's length in milliseconds from its WAV
 *                             header: data chunk size * 1000 / byte rate
 *   play <a> from 0           starts the clock of <a>; nothing sounds
 *   status <a> mode           "playing" until the length has passed since
 *                             the play, "stopped" before and after
 *   close <a>                 forgets <a>
 * A command naming an alias that is not open gives MCIERR_INVALID_DEVICE_NAME
 * (263). Replies are written within the declared capacity. Every other
 * command returns 0 and writes nothing.
 *
 * Built a second time with SYLSPEAK_E2E_NO_EXPORT defined, the DLL exports
 * nothing, which is what a winmm.dll lacking mciSendStringA looks like.
 */
/* Lean: the full windows.h declares mciSendStringA as an import. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define MCIERR_FILE_NOT_FOUND_CODE 275

static double now_ms(void)
{
    LARGE_INTEGER freq, count;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart * 1000.0 / (double)freq.QuadPart;
}

static void append_line(const char *line)
{
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("SYLSPEAK_E2E_MCI_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
    CloseHandle(file);
}

#ifndef SYLSPEAK_E2E_NO_EXPORT

/* Writes at most max_bytes of text, escaping what is not printable ASCII, so
 * that one log line stays one line whatever the program sends. */
static void append_escaped(char *out, size_t out_size, const char *text, size_t max_bytes)
{
    size_t used = strlen(out);
    for (size_t i = 0; i < max_bytes && text[i] != '\0'; i++) {
        unsigned char c = (unsigned char)text[i];
        if (used + 5 >= out_size)
            break;
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out[used++] = (char)c;
            out[used] = '\0';
        } else {
            used += (size_t)snprintf(out + used, out_size - used, "\\x%02X", c);
        }
    }
}

static unsigned read_le32(const unsigned char *p)
{
    return (unsigned)p[0] | (unsigned)p[1] << 8 | (unsigned)p[2] << 16 | (unsigned)p[3] << 24;
}

/* The length of a WAV file in milliseconds, or -1 when it is not one. */
static long wav_length_ms(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    unsigned char header[4096];
    DWORD got = 0;
    BOOL ok = ReadFile(file, header, sizeof header, &got, NULL);
    CloseHandle(file);
    if (!ok || got < 12 || memcmp(header, "RIFF", 4) != 0 || memcmp(header + 8, "WAVE", 4) != 0)
        return -1;
    unsigned byte_rate = 0;
    for (DWORD pos = 12; pos + 8 <= got;) {
        unsigned size = read_le32(header + pos + 4);
        if (memcmp(header + pos, "fmt ", 4) == 0 && pos + 16 <= got)
            byte_rate = read_le32(header + pos + 8 + 8);
        if (memcmp(header + pos, "data", 4) == 0)
            return byte_rate ? (long)((unsigned long long)size * 1000u / byte_rate) : -1;
        pos += 8 + size + (size & 1);
    }
    return -1;
}

#define MCIERR_INVALID_DEVICE_NAME_CODE 263
#define MCIERR_DUPLICATE_ALIAS_CODE 289

/* The devices the program has open, by alias. */
struct device {
    char alias[32];
    long length_ms;
    double started_ms; /* 0 until played */
};
static struct device devices[16];

static struct device *find_device(const char *alias)
{
    for (size_t i = 0; i < sizeof devices / sizeof devices[0]; i++) {
        if (devices[i].alias[0] != '\0' && strcmp(devices[i].alias, alias) == 0)
            return &devices[i];
    }
    return NULL;
}

static void write_reply(char *reply, UINT capacity, const char *answer)
{
    if (reply && capacity > 0)
        lstrcpynA(reply, answer, (int)capacity);
}

/* Carries out one command on the devices; see the top of this file. */
static DWORD answer(const char *command, char *reply, UINT capacity, double now)
{
    char path[MAX_PATH], alias[32], item[32];
    if (sscanf(command, "open \"%259[^\"]\" alias %31s", path, alias) == 2) {
        long ms = wav_length_ms(path);
        if (ms < 0)
            return MCIERR_FILE_NOT_FOUND_CODE;
        if (find_device(alias))
            return MCIERR_DUPLICATE_ALIAS_CODE;
        for (size_t i = 0; i < sizeof devices / sizeof devices[0]; i++) {
            if (devices[i].alias[0] == '\0') {
                lstrcpynA(devices[i].alias, alias, sizeof devices[i].alias);
                devices[i].length_ms = ms;
                devices[i].started_ms = 0;
                return 0;
            }
        }
        return MCIERR_DUPLICATE_ALIAS_CODE;
    }
    struct device *d;
    if (sscanf(command, "status %31s %31s", alias, item) == 2) {
        if (!(d = find_device(alias)))
            return MCIERR_INVALID_DEVICE_NAME_CODE;
        char text[32];
        if (strcmp(item, "length") == 0) {
            snprintf(text, sizeof text, "%ld", d->length_ms);
        } else if (strcmp(item, "mode") == 0) {
            int playing = d->started_ms > 0 && now < d->started_ms + (double)d->length_ms;
            snprintf(text, sizeof text, "%s", playing ? "playing" : "stopped");
        } else {
            return 0;
        }
        write_reply(reply, capacity, text);
        return 0;
    }
    if (sscanf(command, "play %31s", alias) == 1) {
        if (!(d = find_device(alias)))
            return MCIERR_INVALID_DEVICE_NAME_CODE;
        d->started_ms = now;
        return 0;
    }
    if (sscanf(command, "close %31s", alias) == 1) {
        if (!(d = find_device(alias)))
            return MCIERR_INVALID_DEVICE_NAME_CODE;
        d->alias[0] = '\0';
        return 0;
    }
    return 0;
}

__declspec(dllexport) DWORD WINAPI mciSendStringA(LPCSTR command, LPSTR reply, UINT capacity,
                                                  HWND callback)
{
    double t = now_ms();
    char line[2048];

    size_t reply_len = 0;
    char head[64] = "";
    if (reply) {
        while (reply_len < 4096 && reply[reply_len] != '\0')
            reply_len++;
        append_escaped(head, sizeof head, reply, 8);
    }

    DWORD result = command ? answer(command, reply, capacity, t) : 0;

    snprintf(line, sizeof line, "%.3f\tmci\tcap=%u\thwnd=%p\tlen=%u\thead=", t, capacity,
             (void *)callback, (unsigned)reply_len);
    strncat(line, head, sizeof line - strlen(line) - 1);
    snprintf(line + strlen(line), sizeof line - strlen(line), "\tret=%lu\tcmd=", result);
    append_escaped(line, sizeof line, command ? command : "(null)", 1024);
    snprintf(line + strlen(line), sizeof line - strlen(line), "\n");
    append_line(line);
    return result;
}

#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reserved;
    char line[64];
    if (reason == DLL_PROCESS_ATTACH || reason == DLL_PROCESS_DETACH) {
        snprintf(line, sizeof line, "%.3f\t%s\n", now_ms(),
                 reason == DLL_PROCESS_ATTACH ? "attach" : "detach");
        append_line(line);
    }
    return TRUE;
}
