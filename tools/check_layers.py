#!/usr/bin/env python3
"""Checks that the code keeps its layers: which folder may include which.

Each folder of the product is one library; its includes may only reach the
folders listed for it below, so the dependencies run one way. Qt belongs to
the Qt wizard alone, and windows.h to files made for Windows (named
*_win32.cpp, in the Win32 wizard too: its headers hold no Windows types).
No code declares a thread_local: a MinGW program may free a thread's
thread_local objects before their destructors run (platform/ObjectPool.h).
Prints every breach as
file:line and exits 1 when there is one.
"""
import pathlib
import re
import subprocess
import sys

# folder -> the folders it may include (besides itself).
ALLOWED = {
    "platform": set(),
    "format": {"platform"},
    "html": {"platform"},
    "project": {"platform", "format"},
    "wizard": {"platform", "project", "format", "builder"},
    "builder": {"platform", "format", "html", "project"},
    "viewer": {"platform", "format", "html"},
    "resources": set(),
    "cli": {"platform", "format", "html", "project", "builder", "resources"},
    "gui/qt": {"platform", "format", "html", "project", "builder", "resources", "wizard"},
    "gui/win32": {"platform", "format", "html", "project", "builder", "resources", "wizard"},
}
QT_FOLDERS = ("gui/qt/", "tests/gui/")
WINDOWS_HEADERS = re.compile(r'#\s*include\s*<(windows|winsock2|ws2tcpip|shellapi|commctrl|'
                             r'commdlg|shlobj|shlwapi|objbase|prsht)\.h>', re.I)
QT_INCLUDE = re.compile(r'#\s*include\s*<Q[A-Za-z]')
THREAD_LOCAL = re.compile(r'^\s*(?:static\s+)?thread_local\b')
OUR_INCLUDE = re.compile(r'#\s*include\s*"([a-z0-9_]+(?:/qt|/win32)?)/')


def folder_of(path: str) -> str:
    for name in sorted(ALLOWED, key=len, reverse=True):
        if path.startswith(name + "/"):
            return name
    return ""


def breaches(path: str, text: str):
    folder = folder_of(path)
    windows_ok = path.endswith("_win32.cpp")
    for number, line in enumerate(text.splitlines(), 1):
        if QT_INCLUDE.search(line) and not path.startswith(QT_FOLDERS):
            yield number, "Qt outside the Qt wizard"
        if WINDOWS_HEADERS.search(line) and not windows_ok:
            yield number, "a Windows header outside *_win32.cpp"
        if THREAD_LOCAL.search(line):
            yield number, "a thread_local (borrow from an ObjectPool instead)"
        m = OUR_INCLUDE.search(line)
        if m and folder:
            target = m.group(1)
            if target != folder and target not in ALLOWED[folder]:
                yield number, f"{folder}/ includes {target}/"


def main() -> int:
    files = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], capture_output=True, text=True,
                           check=True).stdout.split()
    found = 0
    for path in files:
        text = pathlib.Path(path).read_text(encoding="utf-8", errors="replace")
        for number, what in breaches(path, text):
            print(f"{path}:{number}: {what}")
            found += 1
    if found:
        print(f"check_layers: {found} breach(es)", file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
