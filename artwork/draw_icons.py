#!/usr/bin/env python3
"""Draws the program icon (an up arrow on a rounded blue square) as a six-size .ico and a 128x128 icon.bmp.

icon.bmp is a 32-bit bitmap whose fourth byte is the pixel's alpha (not premultiplied, as in an
icon), so that the balloon picture made from it shows the rounded square on any notice colour."""
import argparse
import struct

ICON_SIZES = (16, 24, 32, 48, 64, 128)
BALLOON_SIZE = 128
SUBSAMPLES = 4  # per axis, for smooth edges

SQUARE_COLOUR = (0x1E, 0x6F, 0xD9)  # red, green, blue
ARROW_COLOUR = (0xFF, 0xFF, 0xFF)


def inside_rounded_square(x, y):
    margin, radius = 1.0 / 16, 0.22
    low, high = margin, 1.0 - margin
    if not (low <= x <= high and low <= y <= high):
        return False
    corner_x = min(max(x, low + radius), high - radius)
    corner_y = min(max(y, low + radius), high - radius)
    return (x - corner_x) ** 2 + (y - corner_y) ** 2 <= radius ** 2


def inside_arrow(x, y):
    if 0.41 <= x <= 0.59 and 0.44 <= y <= 0.80:
        return True
    apex_y, base_y, half_width = 0.18, 0.50, 0.29
    if apex_y <= y <= base_y:
        reach = half_width * (y - apex_y) / (base_y - apex_y)
        return abs(x - 0.5) <= reach
    return False


def render(size):
    """Rows top to bottom of (red, green, blue, alpha) pixels, colours not premultiplied."""
    rows = []
    step = 1.0 / (size * SUBSAMPLES)
    for row in range(size):
        pixels = []
        for column in range(size):
            red = green = blue = covered = 0
            for sub_y in range(SUBSAMPLES):
                for sub_x in range(SUBSAMPLES):
                    x = (column * SUBSAMPLES + sub_x + 0.5) * step
                    y = (row * SUBSAMPLES + sub_y + 0.5) * step
                    if not inside_rounded_square(x, y):
                        continue
                    colour = ARROW_COLOUR if inside_arrow(x, y) else SQUARE_COLOUR
                    red, green, blue, covered = red + colour[0], green + colour[1], blue + colour[2], covered + 1
            if covered:
                pixels.append((red // covered, green // covered, blue // covered,
                               covered * 255 // (SUBSAMPLES * SUBSAMPLES)))
            else:
                pixels.append((0, 0, 0, 0))
        rows.append(pixels)
    return rows


def icon_image(size):
    """One .ico image: a 32-bit BGRA device-independent bitmap with its AND mask."""
    rows = render(size)
    mask_stride = (size + 31) // 32 * 4
    colour = bytearray()
    mask = bytearray()
    for pixels in reversed(rows):  # bottom-up
        mask_row = bytearray(mask_stride)
        for column, (red, green, blue, alpha) in enumerate(pixels):
            colour += bytes((blue, green, red, alpha))
            if alpha == 0:
                mask_row[column // 8] |= 0x80 >> (column % 8)
        mask += mask_row
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def write_ico(path):
    images = [icon_image(size) for size in ICON_SIZES]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(ICON_SIZES, images):
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as target:
        target.write(directory + b"".join(images))


def write_bmp(path):
    """A 32-bit bitmap, bottom-up, blue, green, red and alpha per pixel."""
    pixels = bytearray()
    for row in reversed(render(BALLOON_SIZE)):
        for red, green, blue, alpha in row:
            pixels += bytes((blue, green, red, alpha))
    info = struct.pack("<IiiHHIIiiII", 40, BALLOON_SIZE, BALLOON_SIZE, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as target:
        target.write(file_header + info + bytes(pixels))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--ico", required=True, help="path of the .ico to write")
    parser.add_argument("--bmp", required=True, help="path of icon.bmp to write")
    arguments = parser.parse_args()
    write_ico(arguments.ico)
    write_bmp(arguments.bmp)


if __name__ == "__main__":
    main()
