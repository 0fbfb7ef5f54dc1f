#!/usr/bin/env python3
"""An independent INI reader and writer for the profile file tests, built on configparser.

    ini_peer.py write PATH [--keep-case] SECTION KEY VALUE [SECTION KEY VALUE ...]
        writes the keys with configparser (keys lower-cased unless --keep-case)
    ini_peer.py read PATH
        prints every key as SECTION<TAB>KEY<TAB>VALUE, one a line, in file order
"""
import configparser
import sys


def parser(keep_case):
    p = configparser.ConfigParser(interpolation=None, delimiters=("=",), strict=False)
    if keep_case:
        p.optionxform = str
    return p


def write(path, args):
    keep_case = bool(args) and args[0] == "--keep-case"
    if keep_case:
        args = args[1:]
    p = parser(keep_case)
    for i in range(0, len(args) - 2, 3):
        section, key, value = args[i:i + 3]
        if not p.has_section(section):
            p.add_section(section)
        p.set(section, key, value)
    with open(path, "w", newline="\r\n" if keep_case else "\n") as f:
        p.write(f)


def read(path):
    p = parser(True)
    with open(path, newline="") as f:
        p.read_file(f)
    for section in p.sections():
        for key, value in p.items(section):
            print(f"{section}\t{key}\t{value}")


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(sys.argv[2], sys.argv[3:])
    else:
        read(sys.argv[2])
