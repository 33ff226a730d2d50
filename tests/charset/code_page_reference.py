#!/usr/bin/env python3
"""Prints Python's decoding of every single byte, and for the double-byte code pages of every
lead and trail pair whose lead does not decode alone, for the code pages Python has a codec of.
One line each: code page, the bytes in hex, then the UTF-16 units in hex joined by '.', or X when
the bytes do not decode. An independent reference for the converter's tables.

With --encode: the encoding of every character of the Basic Multilingual Plane instead, for the
double-byte code pages whose C library converter is patched (not EUC-KR: Python's euc_kr spells
the syllables KS X 1001 lacks as jamo sequences, which the platform does not): code page, the unit
in hex, then the bytes in hex, or X when the character has none."""

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

ENCODE = {932: "cp932", 1361: "johab"}


def decoded(data, codec):
    try:
        units = data.decode(codec).encode("utf-16-le")
    except UnicodeDecodeError:
        return "X"
    return "-" + ".".join(units[i:i + 2][::-1].hex().upper() for i in range(0, len(units), 2))


def encoded(unit, codec):
    try:
        return chr(unit).encode(codec).hex().upper()
    except UnicodeEncodeError:
        return "X"


def main():
    out = []
    if "--encode" in sys.argv:
        for code_page, codec in sorted(ENCODE.items()):
            for unit in [u for u in range(0x10000) if not 0xD800 <= u < 0xE000]:
                out.append(f"{code_page} {unit:04X} {encoded(unit, codec)}")
        sys.stdout.write("\n".join(out) + "\n")
        return
    for code_page, codec in sorted({**SINGLE, **DOUBLE}.items()):
        for byte in range(256):
            single = bytes([byte])
            result = decoded(single, codec)
            out.append(f"{code_page} {single.hex().upper()} {result}")
            if result == "X" and code_page in DOUBLE:
                for trail in range(256):
                    pair = bytes([byte, trail])
                    out.append(f"{code_page} {pair.hex().upper()} {decoded(pair, codec)}")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
