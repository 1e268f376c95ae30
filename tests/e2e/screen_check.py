#!/usr/bin/env python3
"""Checks a screenshot (binary PPM) of the program's window: prints its size and whether it shows a scene.

usage: screen_check.py SHOT.ppm X0 Y0 WIDTH HEIGHT
Exit 0 when the region holds a picture (many colours, not all dark), 1 otherwise.
"""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit(f"{path}: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[at + 1:]


def main():
    path, x0, y0, w, h = sys.argv[1], *map(int, sys.argv[2:6])
    width, height, pixels = read_ppm(path)

    def pixel(x, y):
        i = 3 * ((y0 + y) * width + x0 + x)
        return tuple(pixels[i:i + 3])

    samples = [pixel(x, y) for y in range(0, h, 3) for x in range(0, w, 3)]
    colours = len(set(samples))
    brightness = sum(sum(p) for p in samples) / (3 * len(samples))
    print(f"{colours} colours in the window, mean brightness {brightness:.1f}")
    return 0 if colours > 200 and brightness > 20 else 1


if __name__ == "__main__":
    sys.exit(main())
