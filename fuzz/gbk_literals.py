#!/usr/bin/env python3
"""Copies a C++ source with every non-ASCII character of its narrow literals written as GB18030
octal escapes.

Usage: gbk_literals.py INPUT OUTPUT

The program's narrow literals are GBK bytes: GCC emits them so from UTF-8 sources with
-fexec-charset=GB18030. Clang knows no execution character set but UTF-8, so the fuzz build
compiles copies in which those characters are already bytes. Octal escapes, because a hexadecimal
escape would run on into a following digit or letter; escapes, because a raw GBK trailing byte of
0x5C would be read as a backslash. Comments, wide and u8 literals are copied unchanged. A raw
literal holding a non-ASCII character is refused rather than copied wrong.
"""
import os
import sys

ENCODING_PREFIXES = {"L", "u", "U", "u8"}


def escaped(char):
    return "".join("\\%03o" % b for b in char.encode("gb18030"))


def token_before(text, i):
    """The identifier or number characters right before position i."""
    j = i
    while j > 0 and (text[j - 1].isalnum() or text[j - 1] in "_."):
        j -= 1
    return text[j:i]


def convert(text, path):
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(text[i:end])
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise ValueError("%s: unterminated comment" % path)
            out.append(text[i:end + 2])
            i = end + 2
        elif c == '"' or c == "'":
            prefix = token_before(text, i)
            if c == "'" and prefix[:1].isdigit():  # a digit separator: 1'000
                out.append(c)
                i += 1
                continue
            raw = c == '"' and prefix.endswith("R") and prefix[:-1] in ENCODING_PREFIXES | {""}
            narrow = prefix.rstrip("R") not in ENCODING_PREFIXES
            if raw:
                open_paren = text.index("(", i)
                closing = ")" + text[i + 1:open_paren] + '"'
                end = text.index(closing, open_paren) + len(closing)
                body = text[i:end]
                if narrow and any(ord(ch) > 127 for ch in body):
                    raise ValueError("%s: non-ASCII text in a raw literal" % path)
                out.append(body)
                i = end
                continue
            j = i + 1
            piece = [c]
            while j < n and text[j] != c:
                if text[j] == "\n":
                    raise ValueError("%s: unterminated literal at offset %d" % (path, i))
                if text[j] == "\\":
                    piece.append(text[j:j + 2])
                    j += 2
                    continue
                ch = text[j]
                piece.append(escaped(ch) if narrow and ord(ch) > 127 else ch)
                j += 1
            piece.append(c)
            out.append("".join(piece))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    converted = convert(text, source)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "w", encoding="utf-8", newline="") as f:
        f.write(converted)


if __name__ == "__main__":
    try:
        main()
    except ValueError as e:
        sys.exit("gbk_literals: %s" % e)
