#!/usr/bin/env python3
"""Makes key blocks independently of the program, with the Python cryptography package (OpenSSL's
Triple-DES, AES and CMAC): the vector rows of key_block_vectors.txt, and the blocks the CLI cases
use. Run: make_key_block_vectors.py > rows.txt"""
import warnings
warnings.filterwarnings("ignore")
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from cryptography.hazmat.primitives.cmac import CMAC
try:
    from cryptography.hazmat.decrepit.ciphers.algorithms import TripleDES
except ImportError:
    TripleDES = algorithms.TripleDES


def algorithm(key, aes):
    return algorithms.AES(key) if aes else TripleDES(key)


def cbc(key, aes, iv, data):
    e = Cipher(algorithm(key, aes), modes.CBC(iv)).encryptor()
    return e.update(data) + e.finalize()


def cmac(key, aes, data):
    c = CMAC(algorithm(key, aes))
    c.update(data)
    return c.finalize()


def derive(kbpk, aes, use):
    indicator = ({16: 2, 24: 3, 32: 4} if aes else {16: 0, 24: 1})[len(kbpk)]
    out = b"".join(cmac(kbpk, aes, bytes([i, 0, use, 0, 0, indicator]) + (len(kbpk) * 8).to_bytes(2, "big"))
                   for i in range(1, 4))
    return out[:len(kbpk)]


def block(version, kbpk, fields, key, padding, optional="", bits=None):
    """fields: usage, algorithm, mode, key version, exportability, e.g. 'P0TE00E'."""
    aes, n = version == "D", 16 if version == "D" else 8
    if (16 + len(optional)) % n:
        size = 4 + (n - (16 + len(optional) + 4) % n) % n
        optional += "PB%02X" % size + "0" * (size - 4)
    count = 0
    rest = optional
    while rest:
        length = int(rest[2:4], 16) or int(rest[6:6 + int(rest[4:6], 16)], 16)
        rest, count = rest[length:], count + 1
    data = ((bits if bits is not None else len(key) * 8).to_bytes(2, "big") + key + padding)
    mac_size = 4 if version in "AC" else n
    header = f"{version}{16 + len(optional) + 2 * (len(data) + mac_size):04d}{fields}{count:02d}00{optional}"
    if version in "AC":
        kbek, kbak = bytes(b ^ 0x45 for b in kbpk), bytes(b ^ 0x4D for b in kbpk)
        enc = cbc(kbek, False, header[:8].encode(), data)
        mac = cbc(kbak, False, bytes(8), header.encode() + enc)[-8:][:4]
    else:
        mac = cmac(derive(kbpk, aes, 1), aes, header.encode() + data)
        enc = cbc(derive(kbpk, aes, 0), aes, mac, data)
    return header + enc.hex().upper() + mac.hex().upper()


def pad(length):
    return bytes((0xA5 + 7 * i) % 256 for i in range(length))


def ours(key, n, aes):
    """The padding the program writes: to the longest key of the family, then whole blocks."""
    size = -(-(2 + (32 if aes else 24)) // n) * n - 2 - len(key)
    return pad(size)


H = bytes.fromhex
K2, K3 = H("0123456789ABCDEFFEDCBA9876543210"), H("0123456789ABCDEFFEDCBA987654321089ABCDEF01234567")
A128, A192, A256 = H("000102030405060708090A0B0C0D0E0F"), H("00" * 8 + "1122334455667788AABBCCDDEEFF0011"), H("F0" * 32)
KS = "KS1800604B120F9292800000"
EXT = "HM0004" + "0016" + "21" + "0123456789"  # the extended length form: 00, 2 digits of length, length
rows = [  # version, kbpk, fields, key, optional, written by the program too
    ("B", K2, "P0TE00E", H("3F419E1CB7079442AA37474C2EFBF8B8"), "", True),
    ("B", K3, "V2TG01S", K3, KS, True),
    ("B", K2, "C0DC00N", H("0123456789ABCDEF"), "KP0C00ABCDEF", True),
    ("D", A128, "P0AB00N", A128, "", True),
    ("D", A192, "B0TX00E", K3, KS, True),
    ("D", A256, "K0AB00E", A256, EXT, True),
    ("D", A256, "D0AB00E", A192, "", True),
    ("C", K2, "P0TD00E", H("F039121BEC83D26B169BDCD5B22AAF8F"), "", False),
    ("A", K3, "M3TC00N", K3, "KS1800604B120F9292800000", False),
    # HMAC keys (algorithm H), with and without the HM block that names their hash.
    ("D", A256, "M7HC00N", H("0B" * 20), "HM0621", False),
    ("B", K3, "M7HG00N", H("22" * 16), "", False),
]
for version, kbpk, fields, key, optional, written in rows:
    n = 16 if version == "D" else 8
    padding = ours(key, n, fields[2] == "A") if written else pad(-(-(2 + len(key)) // n) * n - 2 - len(key))
    print(kbpk.hex().upper(), key.hex().upper(), padding.hex().upper() if written else "-",
          block(version, kbpk, fields, key, padding, optional))
print("# for the CLI cases, under", K2.hex().upper())
for name, fields, key, padding, bits in [
        ("KPV V2 G", "V2TG00N", K2, pad(14), None), ("KPV V1 G", "V1TG00N", K2, pad(14), None),
        ("KPV V2 V", "V2TV00N", K2, pad(14), None), ("KPE P0 D", "P0TD00N", K2, pad(14), None),
        ("KPE P0 E", "P0TE00N", K2, pad(14), None), ("CVK C0 three-key", "C0TC00N", K3, pad(6), None),
        ("BDK B0 X", "B0TX00N", K2, pad(14), None), ("key N", "P0TB00N", K2, pad(14), None),
        ("length 112 bits", "P0TB00E", K2, pad(14), 112), ("length 192, 24 bytes", "P0TB00E", K2, pad(6), 192),
        ("three-key under two-key", "P0TB00E", K3, pad(6), None)]:
    print(name, block("B", K2, fields, key, padding, bits=bits))
print("# HMAC keys for the CLI cases, under", A256.hex().upper())
for name, fields, key, optional in [
        ("SHA-256 key, HM 21, mode C", "M7HC00N", H("0B" * 20), "HM0621"),
        ("SHA-512 key, HM 23, mode G", "M7HG00N", bytes(range(64)), "HM0623"),
        ("no HM, mode V", "M7HV00N", H("0B" * 20), "")]:
    print(name, block("D", A256, fields, key, pad(-(-(2 + len(key)) // 16) * 16 - 2 - len(key)), optional))
print("# an HMAC key of 32 bytes under", K2.hex().upper(), "(stronger than the KBPK)")
print(block("B", K2, "M7HC00N", H("11" * 32), pad(6)))
