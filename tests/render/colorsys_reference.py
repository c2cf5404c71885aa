#!/usr/bin/env python3
"""Writes colorsys_reference.txt: RGB <-> HLS pairs computed by Python's own
colorsys module (hue in turns there, written here in degrees).

Every input is rounded to single precision first and written with nine
significant digits, so the C++ side reads back exactly the values the
reference converted. Lines:
  rgb2hls r g b  h l s
  hls2rgb h l s  r g b
"""
import colorsys
import random
import struct


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def main():
    rnd = random.Random(20261209)
    lines = []
    inputs = []
    for _ in range(800):  # 8-bit colours, as the colour parameters deliver them
        inputs.append(tuple(f32(rnd.randrange(256) / 255.0) for _ in range(3)))
    for _ in range(800):  # arbitrary channels in [0, 1]
        inputs.append(tuple(f32(rnd.random()) for _ in range(3)))
    for r, g, b in inputs:
        h, l, s = colorsys.rgb_to_hls(r, g, b)
        lines.append("rgb2hls %.9g %.9g %.9g %.12g %.12g %.12g" % (r, g, b, h * 360.0, l, s))
    for _ in range(1400):
        h = f32(rnd.random() * 360.0)
        l = f32(rnd.random())
        s = f32(rnd.random())
        r, g, b = colorsys.hls_to_rgb(h / 360.0, l, s)
        lines.append("hls2rgb %.9g %.9g %.9g %.12g %.12g %.12g" % (h, l, s, r, g, b))
    with open(__file__.replace(".py", ".txt"), "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
