#!/usr/bin/env python3
"""Writes the 16 skin blocks (two sets of eight themes) that the program carries.

Usage: make_skins.py OUTPUT_DIR
Writes set1_1.she ... set1_8.she and set2_1.she ... set2_8.she in the skin engine's block format
(see skin_format.h): ".SHE", version, the palette, the theme's name and an FNV-1a checksum.
"""
import os
import struct
import sys

ROLES = [
    "window", "group", "text", "face", "hot", "pressed", "border",
    "edit", "edit_text", "header", "accent",
]


def rgb(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


# Set 1: light themes. Skin 1 is the program's own look: a calm grey-green that sits well beside
# the green-on-black cookie box.
SET1 = [
    ("清雅浅绿", dict(window="#EEF2EF", group="#F6F8F6", text="#26302A", face="#E1E9E3", hot="#CFE3D5",
                    pressed="#B5D3BE", border="#93AA9A", edit="#FFFFFF", edit_text="#1E1E1E",
                    header="#DDE7E0", accent="#2E7D4F")),
    ("晴空浅蓝", dict(window="#EDF3F9", group="#F6F9FC", text="#1F2B38", face="#DFEAF5", hot="#CBDFF2",
                    pressed="#AFCBE8", border="#8AA5C2", edit="#FFFFFF", edit_text="#1B1F24",
                    header="#DAE6F2", accent="#1F6FB2")),
    ("暖沙米色", dict(window="#F5F0E6", group="#FAF7F0", text="#3A3024", face="#ECE3D2", hot="#E5D6BA",
                    pressed="#D6C29C", border="#B09C7A", edit="#FFFDF8", edit_text="#2B241A",
                    header="#EADFCB", accent="#A8641E")),
    ("淡雅薰衣", dict(window="#F1EEF7", group="#F8F6FB", text="#2E2838", face="#E5DFF0", hot="#D8CCEC",
                    pressed="#C2B1E0", border="#A092BA", edit="#FFFFFF", edit_text="#221E29",
                    header="#E2DBEE", accent="#6A4BA8")),
    ("薄荷清新", dict(window="#EAF6F3", group="#F4FBF9", text="#1E3330", face="#D8EEE8", hot="#C2E6DC",
                    pressed="#A3D7C8", border="#7FB3A5", edit="#FFFFFF", edit_text="#18211F",
                    header="#D3EBE4", accent="#138A72")),
    ("樱粉柔和", dict(window="#F8EFF1", group="#FCF7F8", text="#3A262B", face="#F0DEE3", hot="#EBCBD4",
                    pressed="#E0AEBC", border="#C08D9B", edit="#FFFFFF", edit_text="#2A1D21",
                    header="#EEDAE0", accent="#B83B5E")),
    ("经典银灰", dict(window="#F0F0F0", group="#F7F7F7", text="#202020", face="#E3E3E3", hot="#D5DDE8",
                    pressed="#BCC8D8", border="#A0A0A0", edit="#FFFFFF", edit_text="#000000",
                    header="#E6E6E6", accent="#3C6EA8")),
    ("海蓝青碧", dict(window="#E8F3F6", group="#F3F9FB", text="#1B3038", face="#D5EAF0", hot="#BDE0EA",
                    pressed="#9CCFDD", border="#77A9B8", edit="#FFFFFF", edit_text="#152228",
                    header="#D0E6EC", accent="#0E7C93")),
]

# Set 2: dark and saturated themes.
SET2 = [
    ("石墨深灰", dict(window="#2B2D30", group="#323539", text="#E3E5E8", face="#3E4247", hot="#4A5057",
                    pressed="#5A626B", border="#5F656D", edit="#1F2124", edit_text="#E8EAED",
                    header="#383C41", accent="#5FA8E8")),
    ("午夜深蓝", dict(window="#1C2433", group="#222C3D", text="#DCE4F2", face="#2C3950", hot="#364764",
                    pressed="#435879", border="#4D5E7C", edit="#141A25", edit_text="#E4EAF5",
                    header="#283449", accent="#6CA0FF")),
    ("森林墨绿", dict(window="#1E2B24", group="#24332B", text="#DCEBE2", face="#2D4337", hot="#365242",
                    pressed="#426651", border="#4C6B5A", edit="#15201A", edit_text="#E2F0E7",
                    header="#2A3D32", accent="#5CCB8A")),
    ("酒红暗夜", dict(window="#2E1E22", group="#36242A", text="#F0DEE2", face="#482D35", hot="#583641",
                    pressed="#6C4150", border="#714A56", edit="#22161A", edit_text="#F4E4E8",
                    header="#402930", accent="#E0607E")),
    ("深邃紫罗", dict(window="#251F30", group="#2C2539", text="#E6DEF2", face="#3A3050", hot="#463A61",
                    pressed="#554676", border="#5C4F78", edit="#1B1624", edit_text="#ECE5F6",
                    header="#332A46", accent="#A77BF3")),
    ("可可棕褐", dict(window="#2C241E", group="#342B24", text="#EDE2D6", face="#463A2F", hot="#554638",
                    pressed="#685644", border="#6E5D4C", edit="#211B16", edit_text="#F2E8DD",
                    header="#3E332A", accent="#E0A050")),
    ("青石板岩", dict(window="#263035", group="#2D383E", text="#DDE7EB", face="#394850", hot="#445660",
                    pressed="#526773", border="#587079", edit="#1C2428", edit_text="#E4EDF0",
                    header="#334148", accent="#4FC3C8")),
    ("高对比黑", dict(window="#000000", group="#0A0A0A", text="#FFFFFF", face="#1A1A1A", hot="#333300",
                    pressed="#4D4D00", border="#FFFF00", edit="#000000", edit_text="#FFFF00",
                    header="#1A1A1A", accent="#FFFF00")),
]


def fnv1a(data):
    h = 2166136261
    for b in data:
        h = ((h ^ b) * 16777619) & 0xFFFFFFFF
    return h


def block(name, colours):
    if sorted(colours) != sorted(ROLES):
        raise SystemExit(f"{name}: roles {sorted(colours)}")
    out = bytearray(b".SHE")
    out += struct.pack("<HH", 1, len(ROLES))
    for role, key in enumerate(ROLES):
        out += bytes([role, *rgb(colours[key])])
    label = name.encode("gbk")
    out += bytes([len(label)]) + label
    out += struct.pack("<I", fnv1a(out))
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for set_number, themes in ((1, SET1), (2, SET2)):
        for number, (name, colours) in enumerate(themes, start=1):
            path = os.path.join(folder, f"set{set_number}_{number}.she")
            with open(path, "wb") as f:
                f.write(block(name, colours))

if __name__ == "__main__":
    main()
