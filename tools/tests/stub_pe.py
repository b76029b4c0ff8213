"""A minimal Windows executable (PE32+, one section) to pack in tests: nothing runs it,
the tools and the signer only read its headers."""
import struct


def stub_pe(pe32plus=True, section_bytes=0x200):
    pe = 0x80
    opt_size = 240 if pe32plus else 224
    headers = 0x200
    out = bytearray(headers + section_bytes)
    out[0:2] = b"MZ"
    struct.pack_into("<I", out, 0x3C, pe)
    out[pe:pe + 4] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", out, pe + 4, 0x8664 if pe32plus else 0x14C, 1, 0, 0, 0, opt_size,
                     0x0022 if pe32plus else 0x0102)
    opt = pe + 24
    struct.pack_into("<H", out, opt, 0x20B if pe32plus else 0x10B)
    struct.pack_into("<I", out, opt + 16, 0x1000)           # AddressOfEntryPoint
    struct.pack_into("<I", out, opt + 20, 0x1000)           # BaseOfCode
    if pe32plus:
        struct.pack_into("<Q", out, opt + 24, 0x140000000)  # ImageBase
    else:
        struct.pack_into("<I", out, opt + 28, 0x400000)
    struct.pack_into("<II", out, opt + 32, 0x1000, 0x200)   # section and file alignment
    struct.pack_into("<HH", out, opt + 40, 6, 0)            # OS version
    struct.pack_into("<HH", out, opt + 48, 6, 0)            # subsystem version
    struct.pack_into("<I", out, opt + 56, 0x2000)           # SizeOfImage
    struct.pack_into("<I", out, opt + 60, headers)          # SizeOfHeaders
    struct.pack_into("<H", out, opt + 68, 2)                # GUI subsystem
    struct.pack_into("<I", out, opt + (108 if pe32plus else 92), 16)
    sec = opt + opt_size
    out[sec:sec + 8] = b".text\0\0\0"
    struct.pack_into("<IIII", out, sec + 8, section_bytes, 0x1000, section_bytes, headers)
    struct.pack_into("<I", out, sec + 36, 0x60000020)
    out[headers] = 0xC3  # ret
    return bytes(out)


if __name__ == "__main__":
    import sys
    with open(sys.argv[1], "wb") as f:
        f.write(stub_pe())
