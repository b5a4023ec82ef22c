"""Wine on this machine: the zh_CN locale and the template prefix (made once
and kept in the cache folder), a private copy of the prefix for a session,
its wineserver, and the environment every Wine program runs with.

Only 64-bit Wine runs here (the kernel cannot execute 32-bit ELF binaries),
so everything goes through the wine64 loader directly.

The cache folder is $SYLSPEAK_WINE_CACHE, by default
~/.cache/sylspeak-wine; it holds locale/ and prefix-template/.
"""

import fcntl
import logging
import os
import shutil
import subprocess
import tempfile
from contextlib import contextmanager
from pathlib import Path

log = logging.getLogger(__name__)

WINE64 = os.environ.get("WINE64", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("WINESERVER", "/usr/lib/wine/wineserver64")

# Marks a finished template prefix; a folder without it is a half-made one.
DONE_MARK = ".sylspeak-prefix-done"


def cache_dir():
    if os.environ.get("SYLSPEAK_WINE_CACHE"):
        return Path(os.environ["SYLSPEAK_WINE_CACHE"])
    return Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache") / "sylspeak-wine"


def locale_dir():
    return cache_dir() / "locale"


def template_dir():
    return cache_dir() / "prefix-template"


def wine_env(prefix=None, display=None, extra=None):
    """The environment of a Wine program. Wine takes its ANSI code page from
    the Unix locale, and the locale has to exist for real: code page 936
    needs the generated zh_CN.UTF-8 of the cache. DISPLAY is removed unless
    one is given; no program gets the desktop's sound server by chance."""
    env = dict(os.environ)
    for name in ("DISPLAY", "WINEPREFIX", "PULSE_SERVER", "PULSE_SINK", "PULSE_CLIENTCONFIG"):
        env.pop(name, None)
    env.update(WINEARCH="win64", LOCPATH=str(locale_dir()), LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8")
    env.setdefault("WINEDEBUG", "-all")
    # No desktop integration: no menu entries, no file associations, no mono
    # or gecko download prompts.
    env.setdefault("WINEDLLOVERRIDES", "winemenubuilder.exe=d;mscoree=d;mshtml=d")
    if prefix is not None:
        env["WINEPREFIX"] = str(prefix)
    if display is not None:
        env["DISPLAY"] = display
    env.update(extra or {})
    return env


@contextmanager
def _locked(path):
    """Holds an exclusive lock on path, so that two runs making the same
    cache entry wait for each other."""
    path.parent.mkdir(parents=True, exist_ok=True)
    with open(path, "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def _quiet(args, env, limit_s):
    return subprocess.run(args, env=env, timeout=limit_s, stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def ensure_locale():
    """Generates zh_CN.UTF-8 into the cache (a few seconds, once); nothing
    outside the cache is written."""
    target = locale_dir() / "zh_CN.UTF-8"
    if (target / "LC_CTYPE").exists():
        return
    with _locked(locale_dir().parent / "locale.lock"):
        if (target / "LC_CTYPE").exists():
            return
        log.info("generating the zh_CN.UTF-8 locale into %s (a few seconds, once)", locale_dir())
        locale_dir().mkdir(parents=True, exist_ok=True)
        with tempfile.TemporaryDirectory(dir=locale_dir(), prefix=".new.") as tmp:
            made = Path(tmp) / "zh_CN.UTF-8"
            # localedef exits 1 on mere warnings; the files are written all the same.
            subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8", str(made)], timeout=120,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
            if not (made / "LC_CTYPE").exists():
                raise RuntimeError("localedef did not make the zh_CN.UTF-8 locale")
            shutil.rmtree(target, ignore_errors=True)
            made.rename(target)


def ensure_template():
    """Makes the template prefix once (about 15 s), to be copied for each
    session:
      - Wine draws the frame itself and gives the focus without a window
        manager (X11 Driver / Managed = N);
      - a crash ends the process with a non-zero exit code instead of waiting
        on a debugger dialog (ShowCrashDialog = 0 and an AeDebug debugger
        command that does not exist);
      - the caption-button and frame fonts are installed."""
    ensure_locale()
    template = template_dir()
    if (template / DONE_MARK).exists():
        return
    with _locked(Path(str(template) + ".lock")):
        if (template / DONE_MARK).exists():
            return
        log.info("initialising a Wine prefix in %s (about 15 s, once)", template)
        new = Path(str(template) + ".new")
        shutil.rmtree(template, ignore_errors=True)
        shutil.rmtree(new, ignore_errors=True)
        new.mkdir(parents=True)
        env = wine_env(new)
        try:
            if _quiet([WINE64, "wineboot", "-i"], env, 180) != 0:
                raise RuntimeError("wineboot -i failed")
            for key, name, kind, value in [
                (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N"),
                (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
                (r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug", "Debugger", "REG_SZ",
                 "no-such-debugger.exe"),
                (r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug", "Auto", "REG_SZ", "1"),
            ]:
                if _quiet([WINE64, "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"], env, 60) != 0:
                    raise RuntimeError(f"reg add {key} {name} failed")
            fonts = new / "drive_c" / "windows" / "Fonts"
            fonts.mkdir(parents=True, exist_ok=True)
            for font in [Path("/usr/share/wine/fonts/marlett.ttf"),
                         *Path("/usr/share/wine/fonts").glob("tahoma*.ttf")]:
                shutil.copy2(font, fonts)
            _quiet([WINESERVER, "-w"], env, 120)
        except BaseException:
            _quiet([WINESERVER, "-k"], env, 20)
            shutil.rmtree(new, ignore_errors=True)
            raise
        (new / DONE_MARK).touch()
        new.rename(template)
        log.info("the template prefix is ready")


def new_prefix(folder):
    """A private copy of the template prefix in folder (about 1 s)."""
    ensure_template()
    folder = Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    folder.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["cp", "-a", str(template_dir()), str(folder)], check=True, timeout=120)
    return folder


def start_server(env):
    """A persistent wineserver for the prefix of env, kept for the whole
    session so that each program starts warm. It runs as a daemon of its own."""
    _quiet([WINESERVER, "-p"], env, 30)


def stop_server(env):
    """Ends every Wine process of the prefix and its wineserver."""
    for flag in ("-k", "-w"):
        try:
            _quiet([WINESERVER, flag], env, 20)
        except subprocess.TimeoutExpired:
            pass
