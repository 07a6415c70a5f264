#!/usr/bin/env python3
"""Writes the seed files of fuzz_bmp_load and fuzz_jpeg_load into fuzz/corpus/bmp and
fuzz/corpus/jpeg: small BMP files of every variant the reader knows, built byte by byte, and small
JPEG files made through the system's libturbojpeg (colour, grey, CMYK, progressive).
    python3 fuzz/make_image_seeds.py
"""
import ctypes
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def rows(width, height, bits, value):
    """Bottom-up rows padded to 4 bytes; value(x, y) with y = 0 the top row."""
    stride = (width * bits + 31) // 32 * 4
    out = bytearray()
    for y in reversed(range(height)):
        line = bytearray(stride)
        for x in range(width):
            v = value(x, y)
            if bits < 8:
                line[x * bits // 8] |= v << (8 - bits - x * bits % 8)
            else:
                line[x * bits // 8:x * bits // 8 + bits // 8] = v.to_bytes(bits // 8, 'little')
        out += line
    return bytes(out)


def bmp(header_size, width, height, bits, compression, table, pixels, masks=(), used=0):
    if header_size == 12:
        header = struct.pack('<IHHHH', 12, width, height, 1, bits)
    else:
        header = struct.pack('<IiiHHIIiiII', header_size, width, height, 1, bits, compression,
                             len(pixels), 2835, 2835, used, 0)
        if header_size > 40:
            header += b''.join(struct.pack('<I', m) for m in masks)
        header = header[:header_size].ljust(header_size, b'\0')
        if header_size == 40:
            header += b''.join(struct.pack('<I', m) for m in masks)
    off = 14 + len(header) + len(table)
    return b'BM' + struct.pack('<IHHI', off + len(pixels), 0, 0, off) + header + table + pixels


def table(count, entry=4):
    return b''.join(bytes([i * 37 % 256, i * 91 % 256, 255 - i]) + (b'\0' if entry == 4 else b'')
                    for i in range(count))


def bmp_seeds():
    idx = lambda n: (lambda x, y: (x + 2 * y) % n)
    word = lambda mask: (lambda x, y: (x * 2654435761 + y * 977) & mask)
    return {
        '1bit.bmp': bmp(40, 13, 5, 1, 0, table(2), rows(13, 5, 1, idx(2))),
        '4bit.bmp': bmp(40, 9, 4, 4, 0, table(16), rows(9, 4, 4, idx(16))),
        '8bit_short_table.bmp': bmp(40, 7, 3, 8, 0, table(5), rows(7, 3, 8, idx(5)), used=5),
        '24bit_topdown.bmp': bmp(40, 5, -3, 24, 0, b'', rows(5, 3, 24, word(0xFFFFFF))),
        '16bit.bmp': bmp(40, 6, 3, 16, 0, b'', rows(6, 3, 16, word(0x7FFF))),
        '16bit_565.bmp': bmp(40, 6, 3, 16, 3, b'', rows(6, 3, 16, word(0xFFFF)),
                             (0xF800, 0x7E0, 0x1F)),
        '32bit.bmp': bmp(40, 4, 3, 32, 0, b'', rows(4, 3, 32, word(0xFFFFFFFF))),
        '32bit_v5.bmp': bmp(124, 4, 3, 32, 3, b'', rows(4, 3, 32, word(0xFFFFFFFF)),
                            (0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
        'core_8bit.bmp': bmp(12, 5, 3, 8, 0, table(256, 3), rows(5, 3, 8, idx(256))),
        'rle8.bmp': bmp(40, 6, 4, 8, 1, table(16), bytes([3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 2, 7, 0, 2,
                        2, 1, 2, 9, 0, 0, 0, 4, 10, 11, 12, 13, 0, 1]), used=16),
        'rle4.bmp': bmp(40, 7, 3, 4, 2, table(16), bytes([2, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0,
                        3, 0xAB, 0, 2, 3, 0, 1, 0xCC, 0, 0, 0, 1]), used=16),
    }


def jpeg_seeds():
    tj = ctypes.CDLL('libturbojpeg.so.0')
    tj.tjInitCompress.restype = ctypes.c_void_p
    seeds = {}
    # name: width, height, pixel format (bytes a pixel), subsampling, flags
    kinds = {'444.jpg': (11, 9, 0, 3, 0, 0), '420.jpg': (17, 9, 0, 3, 2, 0),
             'grey.jpg': (9, 7, 6, 1, 3, 0), 'cmyk.jpg': (8, 8, 11, 4, 0, 0),
             'progressive.jpg': (12, 10, 0, 3, 2, 16384)}
    for name, (w, h, fmt, size, sub, flags) in kinds.items():
        pixels = bytes((i * 37 + i // 7) % 256 for i in range(w * h * size))
        handle = ctypes.c_void_p(tj.tjInitCompress())
        buf = ctypes.POINTER(ctypes.c_ubyte)()
        length = ctypes.c_ulong(0)
        if tj.tjCompress2(handle, pixels, w, 0, h, fmt, ctypes.byref(buf), ctypes.byref(length),
                          sub, 60, flags) != 0:
            raise SystemExit('tjCompress2 failed for ' + name)
        seeds[name] = ctypes.string_at(buf, length.value)
        tj.tjFree(buf)
        tj.tjDestroy(handle)
    seeds['cut_short.jpg'] = seeds['420.jpg'][:len(seeds['420.jpg']) * 2 // 3]
    return seeds


for folder, seeds in (('bmp', bmp_seeds()), ('jpeg', jpeg_seeds())):
    os.makedirs(os.path.join(HERE, 'corpus', folder), exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(HERE, 'corpus', folder, name), 'wb') as f:
            f.write(data)
