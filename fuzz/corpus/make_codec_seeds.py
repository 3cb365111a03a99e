# Writes the hand-made seed files of the codec fuzz targets (run once; the
# JPEG seeds come from small pictures made with ImageMagick into /tmp).
import struct, zlib, os
base = '/work/wt/codecs/fuzz/corpus'
def w(target, name, data):
    open(os.path.join(base, target, name), 'wb').write(data)

# ---- BMP ----
def bmp(width, height, bits, comp=0, palette=b'', pixels=b'', hsize=40, masks=b'', clr=0, off=None, extra=b''):
    info = struct.pack('<IiiHHIIiiII', hsize, width, height, 1, bits, comp, len(pixels), 2835, 2835, clr, 0)
    if hsize > 40: info += masks.ljust(hsize - 40, b'\0')
    elif masks: info += masks
    o = 14 + len(info) + len(palette) if off is None else off
    return b'BM' + struct.pack('<IHHI', o + len(pixels), 0, 0, o) + info + palette + extra + pixels
pal2 = b'\0\0\0\0\xff\xff\xff\0'
good24 = bmp(4, 4, 24, pixels=bytes(range(48)))
w('bmp', 'rgb24.bmp', good24)
w('bmp', 'pal8.bmp', bmp(4, 2, 8, palette=pal2, clr=2, pixels=bytes([0,1,0,1]*2)))
w('bmp', 'rle8.bmp', bmp(4, 2, 8, 1, pal2, bytes([2,1,0,2,1,1,1,0,0,1]), clr=2))
w('bmp', 'rle4.bmp', bmp(4, 2, 4, 2, pal2, bytes([0,3,0x10,0x10,0,0,4,0x01,0,1]), clr=2))
w('bmp', 'bitfields565.bmp', bmp(2, 2, 16, 3, masks=struct.pack('<III', 0xF800, 0x7E0, 0x1F), pixels=b'\xff\xff\x1f\x00'*2))
w('bmp', 'v5alpha.bmp', bmp(2, 1, 32, 3, masks=struct.pack('<IIII', 0xff0000, 0xff00, 0xff, 0xff000000), hsize=124, pixels=b'\x10\x20\x30\x40'*2))
w('bmp', 'core12.bmp', b'BM' + struct.pack('<IHHI', 40, 0, 0, 32) + struct.pack('<IHHHH', 12, 3, 1, 1, 1) + b'\0\0\0\xff\xff\xff' + b'\xa0\0\0\0')
for cut in (2, 14, 20, 54, 60):
    w('bmp', 'truncated_%d.bmp' % cut, good24[:cut])
w('bmp', 'empty.bmp', b'')
w('bmp', 'huge_dims.bmp', bmp(0x7fffffff, 0x7fffffff, 24, pixels=b'\0'*16))
w('bmp', 'int_min_height.bmp', bmp(4, -0x80000000, 24, pixels=b'\0'*16))
w('bmp', 'lying_palette_count.bmp', bmp(4, 2, 8, palette=pal2, clr=0xFFFFFFFF, pixels=b'\0'*8))
w('bmp', 'offset_past_end.bmp', bmp(4, 2, 24, pixels=b'\0'*24, off=0x7ffffff0))
w('bmp', 'header_size_huge.bmp', good24[:14] + struct.pack('<I', 0xFFFFFFF0) + good24[18:])
w('bmp', 'rle_delta_out.bmp', bmp(4, 2, 8, 1, pal2, bytes([0,2,200,200,1,0,0,1]), clr=2))
w('bmp', 'rle_absolute_out.bmp', bmp(4, 2, 8, 1, pal2, bytes([0,255]) + b'\0'*20, clr=2))
w('bmp', 'rle_no_end.bmp', bmp(4, 2, 8, 1, pal2, bytes([4,1]), clr=2))
w('bmp', 'zero_width.bmp', bmp(0, 2, 24, pixels=b'\0'*24))
w('bmp', 'bitfields_zero_masks.bmp', bmp(2, 2, 32, 3, masks=b'\0'*12, pixels=b'\0'*16))
w('bmp', 'embedded_png_garbage.bmp', bmp(4, 4, 0, 5, pixels=b'\x89PNG\r\n\x1a\n' + b'\0'*30, hsize=124))
w('bmp', 'embedded_jpeg_garbage.bmp', bmp(4, 4, 0, 4, pixels=b'\xff\xd8\xff\xc0\0\x11\x08\xff\xff\xff\xff\x03', hsize=124))
w('bmp', 'v5_profile_out_of_range.bmp', bmp(2, 1, 24, pixels=b'\0'*8, hsize=124, masks=b'\0'*68 + b'DEBM' + b'\0'*44 + struct.pack('<II', 0xFFFFFF00, 0xFFFF)))

# ---- TGA ----
def tga(typ, w_, h_, bits, desc=0, cmap=b'', first=0, mapbits=0, data=b'', idf=b'', footer=None):
    n = len(cmap) // ((mapbits + 7) // 8) if mapbits else 0
    hdr = struct.pack('<BBBHHBHHHHBB', len(idf), 1 if cmap else 0, typ, first, n, mapbits, 0, 0, w_, h_, bits, desc)
    out = hdr + idf + cmap + data
    if footer is not None:
        ext = len(out)
        area = bytearray(495); area[0:2] = struct.pack('<H', 495); area[494] = footer
        out += bytes(area) + struct.pack('<II', ext, 0) + b'TRUEVISION-XFILE.\0'
    return out
goodtga = tga(2, 2, 2, 24, data=bytes(range(12)))
w('tga', 'rgb24.tga', goodtga)
w('tga', 'rgba_rle_top.tga', tga(10, 3, 2, 32, 0x28, data=bytes([0x83,1,2,3,4,0x01,5,6,7,8,9,10,11,12]), footer=3))
w('tga', 'mapped.tga', tga(1, 2, 1, 8, cmap=b'\0\0\xff\xff\0\0', first=5, mapbits=24, data=b'\x05\x06'))
w('tga', 'mapped16_rle.tga', tga(9, 4, 1, 8, cmap=b'\x1f\x00\x00\x7c', mapbits=16, data=b'\x83\x01'))
w('tga', 'gray_alpha.tga', tga(3, 2, 1, 16, 0x28, data=b'\x10\x80\x20\xff'))
w('tga', 'rgb15.tga', tga(2, 2, 1, 15, data=b'\x1f\x00\xe0\x03'))
for cut in (1, 10, 18, 20):
    w('tga', 'truncated_%d.tga' % cut, goodtga[:cut])
w('tga', 'empty.tga', b'')
w('tga', 'huge_no_data.tga', tga(2, 65535, 65535, 32))
w('tga', 'huge_rle_one_packet.tga', tga(10, 65535, 65535, 24, data=b'\xff\0\0\0'))
w('tga', 'map_length_lies.tga', tga(1, 2, 2, 8, cmap=b'\0\0\0', mapbits=24, data=b'\0\0\0\0')[:12] + struct.pack('<H', 65535) + tga(1, 2, 2, 8, cmap=b'\0\0\0', mapbits=24, data=b'\0\0\0\0')[14:])
w('tga', 'index_out_of_map.tga', tga(1, 2, 1, 8, cmap=b'\0\0\xff', mapbits=24, data=b'\x00\xfe'))
w('tga', 'id_longer_than_file.tga', tga(2, 2, 2, 24, idf=b'x' * 10)[:20] + b'\xff')
w('tga', 'ext_offset_wild.tga', goodtga + b'\0'*10 + struct.pack('<II', 0xFFFFFFF0, 0) + b'TRUEVISION-XFILE.\0')
w('tga', 'rle_crosses_end.tga', tga(10, 2, 2, 24, data=b'\x85\1\2\3\x83\4'))
w('tga', 'zero_height.tga', tga(2, 2, 0, 24))
w('tga', 'premultiplied.tga', tga(2, 1, 1, 32, 0x28, data=b'\0\0\x40\x80', footer=4))

# ---- EXIF ----
def ifd_le(entries, nxt=0):
    out = struct.pack('<H', len(entries))
    for tag, typ, cnt, val in entries: out += struct.pack('<HHII', tag, typ, cnt, val)
    return out + struct.pack('<I', nxt)
hdr_le = b'II*\0' + struct.pack('<I', 8)
good_exif = hdr_le + ifd_le([(0x112, 3, 1, 6), (0x11a, 5, 1, 62), (0x11b, 5, 1, 62), (0x128, 3, 1, 2)], 70) + struct.pack('<II', 300, 1) + ifd_le([(0x201, 4, 1, 200), (0x202, 4, 1, 4)]) + b'\0' * 100 + b'\xff\xd8\xff\xd9'
w('exif', 'good_le.exif', good_exif)
w('exif', 'good_be.exif', b'MM\0*' + struct.pack('>I', 8) + struct.pack('>H', 1) + struct.pack('>HHIHH', 0x112, 3, 1, 8, 0) + b'\0\0\0\0')
for cut in (0, 4, 8, 12, 30, 60):
    w('exif', 'truncated_%d.exif' % cut, good_exif[:cut])
w('exif', 'ifd_loop.exif', hdr_le + ifd_le([(0x112, 3, 1, 3), (0x8769, 4, 1, 8)], 8))
w('exif', 'count_lies.exif', hdr_le + struct.pack('<H', 0xFFFF) + b'\0' * 24)
w('exif', 'offsets_wild.exif', hdr_le + ifd_le([(0x11a, 5, 0xFFFFFFFF, 0xFFFFFFF0), (0x201, 4, 1, 0xFFFFFFF0), (0x202, 4, 1, 0xFFFFFFFF)], 0xFFFFFFF0))
w('exif', 'ifd0_wild.exif', b'II*\0' + struct.pack('<I', 0xFFFFFFFF))
w('exif', 'zero_denominator.exif', hdr_le + ifd_le([(0x11a, 5, 1, 26)]) + struct.pack('<II', 72, 0))
w('exif', 'thumb_past_end.exif', hdr_le + ifd_le([(0x112, 3, 1, 1)], 26) + ifd_le([(0x201, 4, 1, 40), (0x202, 4, 1, 0xFFFFFF)]))

# ---- decode_image (library-backed formats) ----
def png_chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
def png(wd, ht, depth, ctype, raw, extra=b'', interlace=0):
    return b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', struct.pack('>IIBBBBB', wd, ht, depth, ctype, 0, 0, interlace)) + extra + png_chunk(b'IDAT', zlib.compress(raw)) + png_chunk(b'IEND', b'')
goodpng = png(2, 2, 8, 2, b'\0' + bytes(6) + b'\0' + bytes(range(6)))
w('decode_image', 'rgb.png', goodpng)
w('decode_image', 'gray16_gamma.png', png(2, 1, 16, 0, b'\0\x12\x34\xff\xff', png_chunk(b'gAMA', struct.pack('>I', 100000))))
w('decode_image', 'palette_trns.png', png(2, 1, 8, 3, b'\0\0\1', png_chunk(b'PLTE', b'\xff\0\0\0\xff\0') + png_chunk(b'tRNS', b'\x80')))
w('decode_image', 'iccp_garbage.png', png(1, 1, 8, 2, b'\0\1\2\3', png_chunk(b'iCCP', b'x\0\0' + zlib.compress(b'garbage' * 30))))
w('decode_image', 'exif_chunk.png', png(2, 1, 8, 0, b'\0\1\2', png_chunk(b'eXIf', good_exif)))
for cut in (8, 20, 33, 45):
    w('decode_image', 'png_truncated_%d.png' % cut, goodpng[:cut])
w('decode_image', 'png_huge_ihdr.png', png(0x7fffffff, 0x7fffffff, 8, 6, b'\0' * 10))
w('decode_image', 'png_big_but_empty.png', png(30000, 30000, 8, 6, b'\0' * 10))
gif = b'GIF89a' + struct.pack('<HHBBB', 4, 4, 0xf0, 0, 0) + b'\0\0\0\xff\xff\xff' + b'\x21\xf9\x04\x01\0\0\0\0' + b'\x2c' + struct.pack('<HHHHB', 0, 0, 4, 4, 0) + b'\x02\x05\x84\x1d\x81\x7a\x50\0\x3b'
w('decode_image', 'tiny.gif', gif)
w('decode_image', 'gif_frame_bigger_than_screen.gif', gif[:21 + 8] + b'\x2c' + struct.pack('<HHHHB', 0, 0, 65535, 65535, 0x40) + b'\x02\x02\x44\x01\0\x3b')
w('decode_image', 'gif_screen_huge.gif', b'GIF89a' + struct.pack('<HHBBB', 65535, 65535, 0, 0, 0) + b'\x2c' + struct.pack('<HHHHB', 0, 0, 1, 1, 0) + b'\x02\x02\x44\x01\0\x3b')
w('decode_image', 'gif_truncated.gif', gif[:30])
w('decode_image', 'gif_no_image.gif', gif[:13 + 6] + b'\x3b')
def tiff(width, height, bps, spp, photometric, data, extra_entries=(), strip_offset=None):
    entries = [(256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, bps), (259, 3, 1, 1), (262, 3, 1, photometric), (277, 3, 1, spp), (278, 4, 1, height), (279, 4, 1, len(data))] + list(extra_entries)
    entries.sort()
    n = len(entries)
    off = 8 + 2 + n * 12 + 4
    so = off if strip_offset is None else strip_offset
    entries.append((273, 4, 1, so)); entries.sort()
    n = len(entries); off = 8 + 2 + n * 12 + 4
    if strip_offset is None: entries = [(t, ty, c, off if t == 273 else v) for t, ty, c, v in entries]
    body = struct.pack('<H', n) + b''.join(struct.pack('<HHII', t, ty, c, v) for t, ty, c, v in entries) + b'\0\0\0\0'
    return b'II*\0' + struct.pack('<I', 8) + body + data
w('decode_image', 'rgb8.tif', tiff(2, 2, 8, 3, 2, bytes(range(12))))
w('decode_image', 'cmyk8.tif', tiff(2, 1, 8, 4, 5, bytes(range(8))))
w('decode_image', 'gray16_alpha.tif', tiff(1, 1, 16, 2, 1, b'\xff\x7f\x00\x80', [(338, 3, 1, 1)]))
w('decode_image', 'tiff_strip_past_end.tif', tiff(100, 100, 8, 3, 2, b'', strip_offset=0xFFFFFF00))
w('decode_image', 'tiff_huge.tif', tiff(0xFFFFFF, 0xFFFFFF, 8, 3, 2, b'\0' * 16))
w('decode_image', 'tiff_orientation8.tif', tiff(2, 1, 8, 1, 1, b'\0\xff', [(274, 3, 1, 8)]))
w('decode_image', 'tiff_truncated.tif', tiff(2, 2, 8, 3, 2, bytes(range(12)))[:30])

# JPEG seeds made from small generated pictures.
small = open('/tmp/small.jpg', 'rb').read()
thumb = open('/tmp/thumb.jpg', 'rb').read()
for n in ('small', 'prog', 'gray', 'cmyk', 'rst'):
    w('decode_image', n + '.jpg', open('/tmp/%s.jpg' % n, 'rb').read())
ifd0 = ifd_le([(0x112, 3, 1, 6)], 26)
ifd1 = ifd_le([(0x103, 3, 1, 6), (0x201, 4, 1, 26 + 42), (0x202, 4, 1, len(thumb))])
exif = b'Exif\0\0' + hdr_le + ifd0 + ifd1 + thumb
app1 = b'\xff\xe1' + struct.pack('>H', len(exif) + 2) + exif
withthumb = small[:2] + app1 + small[2:]
w('decode_image', 'exif_thumbnail.jpg', withthumb)
for cut in (2, 4, 40, len(withthumb) // 2, len(withthumb) - 3):
    w('decode_image', 'jpeg_truncated_%d.jpg' % cut, withthumb[:cut])
sof = small.find(b'\xff\xc0')
huge = bytearray(small); huge[sof + 5:sof + 9] = b'\xff\xff\xff\xff'
w('decode_image', 'jpeg_sof_huge.jpg', bytes(huge))
zero = bytearray(small); zero[sof + 5:sof + 7] = b'\0\0'
w('decode_image', 'jpeg_sof_zero_height.jpg', bytes(zero))
comps = bytearray(small); comps[sof + 9] = 2
w('decode_image', 'jpeg_two_components.jpg', bytes(comps))
badlen = small[:2] + b'\xff\xe1\x00\x01' + small[2:]
w('decode_image', 'jpeg_marker_length_1.jpg', badlen)
icc = b'\xff\xe2' + struct.pack('>H', 2 + 14 + 200) + b'ICC_PROFILE\0\x01\x01' + b'\x00' * 200
w('decode_image', 'jpeg_icc_garbage.jpg', small[:2] + icc + small[2:])
thumbcut = small[:2] + b'\xff\xe1' + struct.pack('>H', len(exif) + 2) + exif[:len(exif) - len(thumb) + 10] 
w('decode_image', 'jpeg_thumbnail_cut.jpg', thumbcut)
