#!/usr/bin/env python3
"""Compares the output of the Linux build with that of the Windows build
(norvane-list.exe under Wine) for one run, knowing the differences that are
Windows' own:

- folder texts: the top folder as each system names it (Z:\\... under Wine)
  and "\\" between folders instead of "/";
- the order of a folder's files and subfolders, which is the order the file
  system hands them over in (readdir's on Linux, FindNextFileW's on
  Windows: by name on NTFS, Wine's own under Wine): the lines are compared
  as a whole, each row, heading and mark with its bytes, but not their
  order;
- names glibc's CP932 maps otherwise than Windows' code page 932: none were
  seen on the trees compared, so none is forgiven.

usage: compare.py CODE_PAGE LINUX_TOP WINDOWS_TOP LINUX_FILE WINDOWS_FILE
Exits 0 when the outputs are the same but for those, 1 with the first
differing line otherwise.
"""
import sys


def decoded(data, code_page):
    # Invalid bytes stay as they are (escaped), so they are compared too.
    return data.decode("cp932" if code_page == "932" else "utf-8", errors="surrogateescape")


def main():
    code_page, linux_top, windows_top, linux_file, windows_file = sys.argv[1:6]
    with open(linux_file, "rb") as f:
        linux = decoded(f.read(), code_page)
    with open(windows_file, "rb") as f:
        windows = decoded(f.read(), code_page)
    # The top folder first (as the program writes it, with its separator),
    # then every separator: in the decoded text a "\\" is a character of its
    # own, never the second byte of a double-byte one.
    windows = windows.replace(windows_top.rstrip("\\") + "\\", linux_top.rstrip("/") + "/")
    windows = windows.replace("\\", "/")
    a = sorted(linux.split("\n"))
    b = sorted(windows.split("\n"))
    if a == b:
        return 0
    for i in range(max(len(a), len(b))):
        la = a[i] if i < len(a) else "(none)"
        lb = b[i] if i < len(b) else "(none)"
        if la != lb:
            print(f"first line that differs, in sorted order:\n  linux:   {la!r}\n  windows: {lb!r}", file=sys.stderr)
            break
    return 1


if __name__ == "__main__":
    sys.exit(main())
