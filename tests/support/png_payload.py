#!/usr/bin/env python3
"""Reads a picture cartridge with nothing but zlib, independently of the
console's PNG code, and prints:
    size <width> <height> <colour type> <bit depth>
    payload <hex of the bytes hidden in the first 32773 pixels>
    stray <pixels after the payload whose low bits are not all 0>
Only what the console writes is understood: 8-bit RGBA, not interlaced."""
import struct
import sys
import zlib

PAYLOAD = 32773


def main(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if zlib.crc32(kind + body) != struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]:
            sys.exit("bad CRC in " + kind.decode())
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    print("size", width, height, colour, depth)
    if depth != 8 or colour != 6 or interlace != 0:
        return
    raw, stride = zlib.decompress(idat), width * 4
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    pixels = b"".join(rows)
    payload, stray = bytearray(), 0
    for i in range(width * height):
        r, g, b, a = pixels[i * 4:i * 4 + 4]
        byte = (b & 3) | (g & 3) << 2 | (r & 3) << 4 | (a & 3) << 6
        if i < PAYLOAD:
            payload.append(byte)
        elif byte:
            stray += 1
    print("payload", payload.hex())
    print("stray", stray)


if __name__ == "__main__":
    main(sys.argv[1])
