#!/usr/bin/env python3
"""Writes the hand-made hostile inputs of the descriptor and set-file corpora:
files that once cost memory or time out of proportion to their size. Run from
the repository root; the files are checked in, so this is only needed to
change them."""
import os
import struct


def i32(v):
    return struct.pack('<i', v)


def f32(v):
    return struct.pack('<f', v)


def body(slots, placements, slot_of=None):
    out = i32(0) + i32(0) + i32(slots)
    out += (i32(1) + i32(0)) * slots
    for i in range(placements):
        slot = slot_of(i) if slot_of else 1
        out += b'\x43' + i32(slot) + i32(0) + f32(0) + f32(0) + f32(1) + f32(1)
    out += b'\x80' + b'\0' * ((8 - (len(out) + 1) % 8) % 8)
    return out


def text(s):
    b = s.encode()
    return i32(len(b)) + b


def record(folder, slots):
    out = text(folder) + f32(8) + f32(10) + i32(1) + i32(0) + text('10x8') + i32(0) + text('2009_03_07')
    out += i32(len(slots))
    for photo in slots:
        out += i32(photo) + f32(0) * 3 + f32(1) + f32(0) + b'\0\0'
    return out


def set_file(folders, photos, slots=(0, 1, -1)):
    out = b''
    for _ in range(2):
        out += i32(len(folders)) + b''.join(record(f, list(slots)) for f in folders)
    return out + i32(len(photos)) + b''.join(text(p) for p in photos)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


d = 'fuzz/corpus/descriptor/'
write(d + 'hostile_20000_slots', body(20000, 0))
write(d + 'hostile_placements_over_cap', body(3, 1100, lambda i: 3 - i % 3))
write(d + 'hostile_placements_falling_1000', body(200, 1000, lambda i: 200 - i % 200))

s = 'fuzz/corpus/setfile/'
write(s + 'hostile_one_package_50_times', set_file(['/big/'] * 50, ['/p/1.jpg', '/p/2.png']))
write(s + 'hostile_repeated_packages', set_file(['/a/', '/b/', '/a/', '/bad/', '/b/', '/none/'] * 4,
                                                ['/p/1.jpg', '/p/2.png', '/p/1.jpg', '/p/none.jpg']))
write(s + 'hostile_negative_length', i32(1) + i32(-7) + b'\0' * 64)
