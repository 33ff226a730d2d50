"""An independent producer of encrypted data for the cipher tests, over Python's cryptography.

    cipher_tool.py frame ALGORITHM:KEYBITS:PASSWORD:LENGTH ...
        stdin: plain bytes; stdout: for each case, its size (4 bytes, little-endian) and the header
        and ciphertext of the first LENGTH plain bytes

The key is the stored format's: MD5 of the password, then MD5 of its base64, zero-filled to the
key length. AES is CBC with a zero IV; Blowfish is ECB with each 32-bit word read little-endian.
The plain bytes are zero-filled to whole blocks and the header records their real length."""

import base64
import hashlib
import struct
import sys
import warnings

warnings.simplefilter("ignore")
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes  # noqa: E402


def key_material(password):
    if not password:
        return bytes(16)
    return hashlib.md5(password).digest() + hashlib.md5(base64.b64encode(password)).digest()


def swap_words(data):
    return b"".join(data[i:i + 4][::-1] for i in range(0, len(data), 4))


def frame(algorithm, key_bits, password, plain):
    key = key_material(password)[:key_bits // 8].ljust(key_bits // 8, b"\0")
    block = 16 if algorithm == 1 else 8
    padded = plain + bytes(-len(plain) % block)
    if algorithm == 1:
        enc = Cipher(algorithms.AES(key), modes.CBC(bytes(16))).encryptor()
        body = enc.update(padded) + enc.finalize()
    else:
        enc = Cipher(algorithms.Blowfish(key), modes.ECB()).encryptor()
        body = swap_words(enc.update(swap_words(padded)) + enc.finalize())
    header = b"vexmira\0" + bytes([algorithm, 0, 1, 0]) + struct.pack("<II", len(plain), key_bits) + bytes(4)
    return header + body


if __name__ == "__main__":
    assert sys.argv[1] == "frame"
    plain = sys.stdin.buffer.read()
    for case in sys.argv[2:]:
        algorithm, key_bits, password, length = case.split(":")
        framed = frame(int(algorithm), int(key_bits), password.encode(), plain[:int(length)])
        sys.stdout.buffer.write(struct.pack("<I", len(framed)) + framed)
