#!/usr/bin/env python3
"""Draws the pictures that vis_brim.rc compiles in: the dialogs' logo bitmap
and the plug-in's two icons; and the native program's desktop icon in the
sizes a desktop menu asks for. Run by the build; writes into the given
directory.

    make_images.py <output directory>

Everything is drawn from code so that the pictures can be changed by editing
this file rather than a binary.
"""

import math
import os
import struct
import sys
import zlib

LOGO_WIDTH = 99
LOGO_HEIGHT = 82
# The native program's icon in the desktop's icon theme.
DESKTOP_ICON_SIZES = (48, 256)

# One 256-colour palette for every picture, in four ramps of 64 entries.
BACKGROUND, ORANGE, TEAL, GREY = 0, 64, 128, 192
RAMP = 64


def Ramp(start, end):
    return [tuple(round(a + (b - a) * i / (RAMP - 1)) for a, b in zip(start, end)) for i in range(RAMP)]


PALETTE = (Ramp((8, 12, 40), (58, 18, 78))
           + Ramp((70, 22, 0), (255, 214, 96))
           + Ramp((0, 32, 44), (130, 255, 232))
           + Ramp((0, 0, 0), (255, 255, 255)))
assert len(PALETTE) == 256


def Shade(ramp, amount):
    """Palette index of a ramp at a brightness from 0 to 1."""
    return ramp + max(0, min(RAMP - 1, round(amount * (RAMP - 1))))


# 5 x 7 capitals for the name under the logo.
GLYPHS = {
    "B": ["1111.", "1...1", "1...1", "1111.", "1...1", "1...1", "1111."],
    "R": ["1111.", "1...1", "1...1", "1111.", "1.1..", "1..1.", "1...1"],
    "I": ["11111", "..1..", "..1..", "..1..", "..1..", "..1..", "11111"],
    "M": ["1...1", "11.11", "1.1.1", "1.1.1", "1...1", "1...1", "1...1"],
    "W": ["1...1", "1...1", "1...1", "1.1.1", "1.1.1", "11.11", "1...1"],
    "A": [".111.", "1...1", "1...1", "11111", "1...1", "1...1", "1...1"],
    "V": ["1...1", "1...1", "1...1", "1...1", ".1.1.", ".1.1.", "..1.."],
    "E": ["11111", "1....", "1....", "1111.", "1....", "1....", "11111"],
}


class Canvas:
    """Palette indices, top row first."""

    def __init__(self, width, height, fill):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def Put(self, x, y, index):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = index

    def Box(self, left, top, right, bottom, ramp):
        """A level box lit from the left: bright face, darker right edge and top."""
        for y in range(top, bottom):
            for x in range(left, right):
                across = (x - left) / max(1, right - left - 1)
                light = 0.95 - 0.55 * across
                if y == top:
                    light = 1.0
                self.Put(x, y, Shade(ramp, light))

    def Sphere(self, centreX, centreY, radius, ramp):
        """A ball lit from the upper left."""
        for y in range(centreY - radius, centreY + radius + 1):
            for x in range(centreX - radius, centreX + radius + 1):
                dx = (x - centreX) / radius
                dy = (y - centreY) / radius
                if dx * dx + dy * dy >= 1.0:
                    continue
                dz = math.sqrt(max(0.0, 1.0 - dx * dx - dy * dy))
                light = max(0.0, (-dx - dy + dz) / math.sqrt(3.0))
                self.Put(x, y, Shade(ramp, 0.15 + 0.85 * light))

    def Text(self, text, left, top, index):
        for n, letter in enumerate(text):
            for row, bits in enumerate(GLYPHS[letter]):
                for column, bit in enumerate(bits):
                    if bit == "1":
                        self.Put(left + 6 * n + column, top + row, index)


def DrawLogo():
    canvas = Canvas(LOGO_WIDTH, LOGO_HEIGHT, BACKGROUND)
    for y in range(LOGO_HEIGHT):
        for x in range(LOGO_WIDTH):
            canvas.Put(x, y, Shade(BACKGROUND, y / (LOGO_HEIGHT - 1)))

    # A waveform behind the scene.
    for x in range(LOGO_WIDTH):
        phase = x / LOGO_WIDTH * 2.0 * math.pi
        y = 30 + round(9 * math.sin(3 * phase) * math.cos(phase / 2))
        canvas.Put(x, y, Shade(GREY, 0.55))
        canvas.Put(x, y + 1, Shade(GREY, 0.35))

    # Two level boxes on a floor line, and a ball between them.
    floor = 62
    for x in range(6, LOGO_WIDTH - 6):
        canvas.Put(x, floor, Shade(GREY, 0.5))
    canvas.Box(14, 22, 30, floor, ORANGE)
    canvas.Box(69, 34, 85, floor, TEAL)
    canvas.Sphere(49, 46, 12, TEAL)

    name = "BRIMWAVE"
    canvas.Text(name, (LOGO_WIDTH - (6 * len(name) - 1)) // 2, 68, Shade(GREY, 1.0))
    return canvas


def DrawBarsIcon(size):
    """Two level boxes on a transparent ground; None marks a transparent pixel."""
    canvas = Canvas(size, size, None)
    unit = size / 16
    canvas.Box(round(2 * unit), round(3 * unit), round(7 * unit), size - round(unit), ORANGE)
    canvas.Box(round(9 * unit), round(7 * unit), round(14 * unit), size - round(unit), TEAL)
    return canvas


def DrawSphereIcon(size):
    canvas = Canvas(size, size, None)
    canvas.Sphere(size // 2, size // 2, size // 2 - 1, TEAL)
    return canvas


def PaletteBytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def RowStride(bytesPerRow):
    return (bytesPerRow + 3) // 4 * 4


def PixelRows(canvas):
    """Bottom-up 8-bit rows, each padded to four bytes."""
    stride = RowStride(canvas.width)
    data = bytearray()
    for row in reversed(canvas.pixels):
        line = bytes(0 if index is None else index for index in row)
        data += line + bytes(stride - len(line))
    return bytes(data)


def MaskRows(canvas):
    """Bottom-up 1-bit AND mask: set where the icon is transparent."""
    stride = RowStride((canvas.width + 7) // 8)
    data = bytearray()
    for row in reversed(canvas.pixels):
        line = bytearray(stride)
        for x, index in enumerate(row):
            if index is None:
                line[x // 8] |= 0x80 >> (x % 8)
        data += line
    return bytes(data)


def InfoHeader(width, height, imageSize):
    # 8 bits per pixel, uncompressed (BI_RGB), all 256 palette entries used.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, imageSize, 2835, 2835, 256, 0)


def BitmapFile(canvas):
    pixels = PixelRows(canvas)
    info = InfoHeader(canvas.width, canvas.height, len(pixels)) + PaletteBytes()
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + pixels


def IconFile(canvases):
    images = []
    for canvas in canvases:
        pixels = PixelRows(canvas)
        mask = MaskRows(canvas)
        # An icon image's height counts the colour rows and the mask rows.
        images.append(InfoHeader(canvas.width, 2 * canvas.height, len(pixels) + len(mask))
                      + PaletteBytes() + pixels + mask)
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for canvas, image in zip(canvases, images):
        # Width, height, colour count (0 for 256), reserved, planes, bits, size, offset.
        entries += struct.pack("<BBBBHHII", canvas.width, canvas.height, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    return directory + entries + b"".join(images)


def PngFile(canvas):
    """8-bit RGBA, transparent where the canvas is None."""
    def Chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    rows = bytearray()
    for row in canvas.pixels:
        rows.append(0)  # no filter
        for index in row:
            rows += bytes(4) if index is None else bytes(PALETTE[index]) + b"\xff"
    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + Chunk(b"IHDR", header) + Chunk(b"IDAT", zlib.compress(bytes(rows), 9)) \
        + Chunk(b"IEND", b"")


def Write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def Main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_images.py <output directory>")
    directory = sys.argv[1]
    os.makedirs(directory, exist_ok=True)
    Write(os.path.join(directory, "logo.bmp"), BitmapFile(DrawLogo()))
    Write(os.path.join(directory, "bars.ico"), IconFile([DrawBarsIcon(32), DrawBarsIcon(16)]))
    Write(os.path.join(directory, "sphere.ico"), IconFile([DrawSphereIcon(32), DrawSphereIcon(16)]))
    for size in DESKTOP_ICON_SIZES:
        Write(os.path.join(directory, "brimwave-%d.png" % size), PngFile(DrawBarsIcon(size)))


if __name__ == "__main__":
    Main()
