#!/usr/bin/env python3
"""Writes decompression bombs: tiny files whose headers claim 30000 x 30000
pixels (900 megapixels, above the decoders' default limit). The decoders
must refuse them from the header, before allocating. Run from this folder;
the codec tests read the files in decode_image/ by name."""
import os
import struct
import zlib

W = H = 30000


def png():
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    ihdr = struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0)
    idat = zlib.compress(b"\0" * (1 + 3 * W) * 4, 9)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def jpeg():
    dqt = b"\xff\xdb" + struct.pack(">H", 67) + b"\x00" + bytes([1] * 64)
    sof = b"\xff\xc0" + struct.pack(">HBHHB", 17, 8, H, W, 3) + b"\x01\x11\x00\x02\x11\x00\x03\x11\x00"
    sos = b"\xff\xda" + struct.pack(">HB", 12, 3) + b"\x01\x00\x02\x00\x03\x00" + b"\x00\x3f\x00"
    return b"\xff\xd8" + dqt + sof + sos + b"\x00" * 64 + b"\xff\xd9"


def tiff():
    tags = [(256, 4, 1, W), (257, 4, 1, H), (258, 3, 1, 8), (259, 3, 1, 1), (262, 3, 1, 1),
            (273, 4, 1, 0), (277, 3, 1, 1), (278, 4, 1, H), (279, 4, 1, W * H)]
    ifd_at = 8
    data_at = ifd_at + 2 + 12 * len(tags) + 4
    out = b"II*\0" + struct.pack("<I", ifd_at) + struct.pack("<H", len(tags))
    for tag, kind, count, value in tags:
        if tag == 273:
            value = data_at
        packed = struct.pack("<H", value) + b"\0\0" if kind == 3 else struct.pack("<I", value)
        out += struct.pack("<HHI", tag, kind, count) + packed
    return out + b"\0\0\0\0" + b"\0" * 64


def bmp():
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, 0, 2835, 2835, 0, 0)
    pixels = b"\0" * 64
    head = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


def tga():
    head = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, W, H, 24, 0x20)
    footer = struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\0"
    return head + b"\0" * 64 + footer


def gif():
    screen = b"GIF89a" + struct.pack("<HHBBB", W, H, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
    image = b"," + struct.pack("<HHHHB", 0, 0, W, H, 0) + b"\x02\x02\x44\x01\x00"
    return screen + image + b";"


def psd():
    head = b"8BPS" + struct.pack(">H", 1) + b"\0" * 6 + struct.pack(">HIIHH", 3, H, W, 8, 3)
    return head + struct.pack(">III", 0, 0, 0) + struct.pack(">H", 0) + b"\0" * 64


def main():
    files = {
        "decode_image": [("bomb_30000x30000.png", png), ("bomb_30000x30000.jpg", jpeg),
                              ("bomb_30000x30000.tif", tiff), ("bomb_30000x30000.bmp", bmp),
                              ("bomb_30000x30000.tga", tga), ("bomb_30000x30000.gif", gif),
                              ("bomb_30000x30000.psd", psd)],
        "bmp": [("bomb_30000x30000.bmp", bmp)],
        "tga": [("bomb_30000x30000.tga", tga)],
        "psd": [("bomb_30000x30000.psd", psd)],
    }
    here = os.path.dirname(os.path.abspath(__file__))
    for folder, entries in files.items():
        os.makedirs(os.path.join(here, folder), exist_ok=True)
        for name, make in entries:
            with open(os.path.join(here, folder, name), "wb") as f:
                f.write(make())


if __name__ == "__main__":
    main()
