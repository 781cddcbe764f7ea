#!/usr/bin/env python3
"""Builds the Windows start-up step for Windows with MinGW-w64 and runs it
under Wine: arguments outside the ANSI code page and the Basic Multilingual
Plane must arrive as UTF-8, standard input and output must carry bytes
unchanged, and standard error must stay a text stream. Also checks that every
source file of the program compiles for Windows.

    wine_check.py SOURCE_DIR WORK_DIR
"""
import glob
import os
import shutil
import subprocess
import sys

CXX = "x86_64-w64-mingw32-g++"
WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"

passed, failed = 0, 0


def check(name, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print("ok   " + name)
    else:
        failed += 1
        print("FAIL " + name + (": " + detail if detail else ""))


def main():
    src, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    env = dict(os.environ, WINEPREFIX=os.path.join(work, "wineprefix"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    probe = os.path.join(work, "windows_probe.exe")
    subprocess.run([CXX, "-std=c++17", "-O2", "-Wall", "-Wextra", "-Wpedantic", "-Werror",
                    "-static", "-I" + os.path.join(src, "src"), "-o", probe,
                    os.path.join(src, "tests/startup/windows_probe.cpp"),
                    os.path.join(src, "src/startup/utf8_arguments.cpp"),
                    os.path.join(src, "src/startup/standard_streams.cpp")], check=True)

    # The whole program compiles for Windows (the decoding library's headers
    # are plain C; the libraries themselves are not available for Windows here).
    headers = os.path.join(work, "include")
    for lib in ("opus", "ogg"):
        shutil.copytree("/usr/include/" + lib, os.path.join(headers, lib), dirs_exist_ok=True)
    for source in sorted(glob.glob(os.path.join(src, "src/*/*.cpp"))):
        r = subprocess.run([CXX, "-std=c++17", "-Wall", "-Wextra", "-Wpedantic", "-Werror",
                            "-fsyntax-only", "-I" + os.path.join(src, "src"),
                            "-isystem", headers, "-isystem", os.path.join(headers, "opus"),
                            source], capture_output=True, text=True)
        check("compiles for Windows: " + os.path.relpath(source, src), r.returncode == 0,
              r.stderr)

    def wine(args, data=b""):
        return subprocess.run([WINE, probe] + args, input=data, capture_output=True, env=env,
                              timeout=300)

    args = ["plain", "\u00e9t\u00e9", "\u03a9", "\u65e5\u672c", "\U0001F600", "", "a b"]
    r = wine(args)
    out = r.stdout.decode("ascii", "replace").replace("\r", "").split("\n")
    after = [line[6:] for line in out if line.startswith("after ")]
    before = [line[7:] for line in out if line.startswith("before ")]
    check("argument count", "argc=%d" % (len(args) + 1) in out, repr(out))
    for i, arg in enumerate(args):
        want = arg.encode("utf-8").hex().upper()
        got = after[i] if i < len(after) else None
        check("argument %r arrives as UTF-8 %s" % (arg, want), got == want, repr(got))
    # Without the step, the runtime's ANSI arguments lose these characters.
    check("the runtime alone loses characters outside the code page",
          len(before) > 4 and before[2] != after[2] and before[4] != after[4], repr(before))

    data = b"x\ny\r\nz\x1a\x00tail\n" + bytes(range(256))
    r = wine(["copy"], data)
    check("standard input and output carry 0x0A, 0x0D and 0x1A unchanged", r.stdout == data,
          repr(r.stdout[:40]))
    check("standard error stays a text stream", b"<<a\r\nb>>" in r.stderr, repr(r.stderr[-40:]))
    r = wine(["copy-untouched"], data)
    check("without the step the same copy is not byte-exact", r.stdout != data)

    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
