#!/usr/bin/env python3
"""A UTF-8 text as Windows Notepad expects it: code page 1251, CR LF.

    windows_text.py IN OUT

A character that code page 1251 lacks stops the build instead of becoming '?'.
"""
import sys

text = open(sys.argv[1], encoding="utf-8").read()
with open(sys.argv[2], "wb") as out:
    out.write(text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp1251"))
