#!/usr/bin/env python3
"""Prints Python's decoding of every single byte, and for the double-byte code pages of every
lead and trail pair whose lead does not decode alone, for the code pages Python has a codec of.
One line each: code page, the bytes in hex, then the UTF-16 units in hex joined by '.', or X when
the bytes do not decode. An independent reference for the converter's tables.

The platform maps the user-defined areas of its double-byte code pages to the private use area;
Python's cp932 has them, its gbk, cp949 and cp950 do not, so they are added here (in cp950's
0xC6A1-0xC8FE, in place of the ETEN extensions, which the platform's table does not have).

With --encode: the encoding of every unit of the Basic Multilingual Plane, lone surrogates
included, and of a few characters past it, instead, for the double-byte code pages (not EUC-KR:
Python's euc_kr spells the syllables KS X 1001 lacks as jamo sequences, which the platform does
not): code page, the units in hex, then the bytes in hex, or X when the character has none. Only
bytes that decode back to the character count: a one-way mapping is a best fit, which the platform
does not make.

With --names NAME=CODEPAGE ...: judges a charset name table by Python's codec registry, whose
aliases follow the published (IANA) charset names. For each name Python knows, the codec it names
must be the code page's own codec, or one the code page stands in for on the platform (the code
page is a superset of it: Shift_JIS in 932, GB2312 in 936, ...). Prints each name that breaks
this, then "checked N" for the N names Python knows."""

import sys

SINGLE = {
    37: "cp037", 437: "cp437", 500: "cp500", 708: "iso8859_6", 737: "cp737", 775: "cp775",
    850: "cp850", 852: "cp852", 855: "cp855", 857: "cp857", 858: "cp858", 860: "cp860",
    861: "cp861", 862: "cp862", 863: "cp863", 864: "cp864", 865: "cp865", 866: "cp866",
    869: "cp869", 874: "cp874", 875: "cp875", 1026: "cp1026", 1140: "cp1140",
    1250: "cp1250", 1251: "cp1251", 1252: "cp1252", 1253: "cp1253", 1254: "cp1254",
    1255: "cp1255", 1256: "cp1256", 1257: "cp1257", 1258: "cp1258", 10000: "mac_roman",
    10007: "mac_cyrillic", 10029: "mac_latin2", 10079: "mac_iceland", 20127: "ascii",
    20273: "cp273", 20424: "cp424", 20866: "koi8_r", 21866: "koi8_u", 28592: "iso8859_2",
    28593: "iso8859_3", 28594: "iso8859_4", 28595: "iso8859_5", 28596: "iso8859_6",
    28597: "iso8859_7", 28598: "iso8859_8", 28599: "iso8859_9", 28603: "iso8859_13",
    28605: "iso8859_15", 38598: "iso8859_8", 65000: "utf_7",
}
DOUBLE = {
    932: "cp932", 936: "gbk", 949: "cp949", 950: "cp950", 1361: "johab", 20932: "euc_jp",
    20936: "gb2312", 20949: "euc_kr", 51932: "euc_jp", 51936: "gb2312", 51949: "euc_kr",
    54936: "gb18030",
}

ENCODE = {
    932: "cp932", 936: "gbk", 949: "cp949", 950: "cp950", 1361: "johab", 20932: "euc_jp",
    20936: "gb2312", 54936: "gb18030",
}

# Code page: (first lead, last lead, trail ranges, first private use character), lead by lead.
USER_DEFINED = {
    936: [(0xAA, 0xAF, [(0xA1, 0xFE)], 0xE000), (0xF8, 0xFE, [(0xA1, 0xFE)], 0xE234),
          (0xA1, 0xA7, [(0x40, 0x7E), (0x80, 0xA0)], 0xE4C6)],
    949: [(0xC9, 0xC9, [(0xA1, 0xFE)], 0xE000), (0xFE, 0xFE, [(0xA1, 0xFE)], 0xE05E)],
    950: [(0xFA, 0xFE, [(0x40, 0x7E), (0xA1, 0xFE)], 0xE000), (0x8E, 0xA0, [(0x40, 0x7E), (0xA1, 0xFE)], 0xE311),
          (0x81, 0x8D, [(0x40, 0x7E), (0xA1, 0xFE)], 0xEEB8), (0xC6, 0xC6, [(0xA1, 0xFE)], 0xF6B1),
          (0xC7, 0xC8, [(0x40, 0x7E), (0xA1, 0xFE)], 0xF70F)],
}


def user_defined(code_page):
    """The code page's user-defined pairs and their characters, as a dict each way."""
    by_bytes = {}
    for first, last, trails, unit in USER_DEFINED.get(code_page, []):
        for lead in range(first, last + 1):
            for low, high in trails:
                for trail in range(low, high + 1):
                    by_bytes[bytes([lead, trail])] = chr(unit)
                    unit += 1
    return by_bytes, {c: b for b, c in by_bytes.items()}


USER_BYTES = {cp: user_defined(cp)[0] for cp in USER_DEFINED}
USER_CHARS = {cp: user_defined(cp)[1] for cp in USER_DEFINED}


def decode(data, code_page, codec):
    if data in USER_BYTES.get(code_page, {}):
        return USER_BYTES[code_page][data]
    return data.decode(codec)


def decoded(data, code_page, codec):
    try:
        units = decode(data, code_page, codec).encode("utf-16-le")
    except UnicodeDecodeError:
        return "X"
    return "-" + ".".join(units[i:i + 2][::-1].hex().upper() for i in range(0, len(units), 2))


def encoded(char, code_page, codec):
    data = USER_CHARS.get(code_page, {}).get(char)
    try:
        data = data or char.encode(codec)
        return data.hex().upper() if decode(data, code_page, codec) == char else "X"
    except UnicodeError:
        return "X"


# Codecs a code page answers for besides its own: its subsets, and the forms it shares a number with.
STANDS_IN_FOR = {
    874: ["tis_620", "iso8859_11"], 932: ["shift_jis"], 936: ["gb2312"], 949: ["euc_kr"],
    950: ["big5", "big5hkscs"], 1200: ["utf_16", "utf_16_le"], 1201: ["utf_16_be"], 10001: ["shift_jis"],
    10003: ["euc_kr"], 28591: ["latin_1"], 50220: ["iso2022_jp"], 50221: ["iso2022_jp", "iso2022_jp_1"],
    50222: ["iso2022_jp_2"], 50225: ["iso2022_kr"], 52936: ["hz"], 65001: ["utf_8"],
}


def judge_names(pairs):
    import codecs
    canonical = lambda codec: codecs.lookup(codec).name
    checked = 0
    for pair in pairs:
        name, code_page = pair.rsplit("=", 1)
        try:
            python = canonical(name)
        except LookupError:
            continue
        checked += 1
        code_page = int(code_page)
        own = [c for c in [SINGLE.get(code_page), DOUBLE.get(code_page)] if c]
        if python not in {canonical(c) for c in own + STANDS_IN_FOR.get(code_page, [])}:
            print(f"{name} {code_page} {python}")
    print(f"checked {checked}")


def main():
    if "--names" in sys.argv:
        judge_names(sys.argv[sys.argv.index("--names") + 1:])
        return
    out = []
    if "--encode" in sys.argv:
        beyond = [0x10000, 0x20000, 0x2A6D6, 0x10FFFF]
        for code_page, codec in sorted(ENCODE.items()):
            for char in [chr(u) for u in range(0x10000)] + [chr(u) for u in beyond]:
                units = char.encode("utf-16-be", "surrogatepass").hex().upper()
                out.append(f"{code_page} {units} {encoded(char, code_page, codec)}")
        sys.stdout.write("\n".join(out) + "\n")
        return
    for code_page, codec in sorted({**SINGLE, **DOUBLE}.items()):
        for byte in range(256):
            single = bytes([byte])
            result = decoded(single, code_page, codec)
            out.append(f"{code_page} {single.hex().upper()} {result}")
            if result == "X" and code_page in DOUBLE:
                for trail in range(256):
                    pair = bytes([byte, trail])
                    out.append(f"{code_page} {pair.hex().upper()} {decoded(pair, code_page, codec)}")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
