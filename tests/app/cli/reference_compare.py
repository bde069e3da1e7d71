#!/usr/bin/python3
"""Compares decoded images with two independent decoders (Pillow and ImageMagick).

Reads lines "SOURCE<TAB>OUTPUT" on stdin (OUTPUT empty when the program refused SOURCE) and
prints one line per pair:

    SOURCE<TAB>pillow=<verdict><TAB>magick=<verdict>

where a verdict is "refused" (the reference decoder does not open SOURCE), "absent" (no
OUTPUT), "size:WxH-WxH" (OUTPUT has another size), "exact" (every channel equal at 8 bits), or
the PSNR in dB over the straight RGBA channels at 8 bits (the colours of pixels that both
decoders make fully transparent are not compared). Pillow applies the EXIF orientation;
ImageMagick auto-orients.
"""

import math
import subprocess
import sys

import numpy as np
from PIL import Image, ImageOps

Image.MAX_IMAGE_PIXELS = None


def pillow_rgba(path, orient):
    """RGBA as float64 0..255 from Pillow, 16-bit grey kept at its precision."""
    with Image.open(path) as image:
        image.load()
        if orient:
            image = ImageOps.exif_transpose(image)
        if image.mode in ("I", "I;16", "I;16B", "I;16L"):
            grey = np.asarray(image, dtype=np.float64)
            alpha = np.full(grey.shape, 255.0)
            key = image.info.get("transparency")
            if key is not None:
                alpha[np.asarray(image) == key] = 0.0
            grey = grey / 257.0
            return np.dstack([grey, grey, grey, alpha])
        if image.mode == "F":
            grey = np.clip(np.asarray(image, dtype=np.float64), 0.0, 1.0) * 255.0
            return np.dstack([grey, grey, grey, np.full(grey.shape, 255.0)])
        return np.asarray(image.convert("RGBA"), dtype=np.float64)


def magick_rgba(path):
    """RGBA as float64 0..255 from ImageMagick's 16-bit output (the first frame)."""
    info = subprocess.run(["/usr/bin/convert", path + "[0]", "-auto-orient", "-format",
                           "%w %h %[colorspace]", "info:"], capture_output=True, timeout=60)
    if info.returncode != 0 or len(info.stdout.split()) < 3:
        return None
    w, h, space = info.stdout.split()[:3]
    w, h = int(w), int(h)
    # A PNG with gamma 1.0 is labelled linear; its samples are taken as they are stored.
    relabel = ["-set", "colorspace", "sRGB"] if space in (b"LinearGray", b"RGB") else []
    pixels = subprocess.run(["/usr/bin/convert", path + "[0]"] + relabel +
                            ["-auto-orient", "-depth", "16", "-endian", "MSB", "rgba:-"],
                            capture_output=True, timeout=60)
    if pixels.returncode != 0 or not pixels.stdout:
        return None
    data = np.frombuffer(pixels.stdout, dtype=">u2").astype(np.float64) / 257.0
    if data.size != w * h * 4:
        return None
    return data.reshape(h, w, 4)


def nearest(reference, shape):
    """The reference enlarged by nearest neighbour to the program's smallest output size."""
    rows = ((2 * np.arange(shape[0]) + 1) * reference.shape[0]) // (2 * shape[0])
    cols = ((2 * np.arange(shape[1]) + 1) * reference.shape[1]) // (2 * shape[1])
    return reference[rows][:, cols]


def verdict(reference, ours):
    if reference is None:
        return "refused"
    if ours is None:
        return "absent"
    smallest = 3  # the program's smallest output side
    if reference.shape != ours.shape and all(
            r == o or (r < smallest and o == smallest)
            for r, o in zip(reference.shape[:2], ours.shape[:2])):
        reference = nearest(reference, ours.shape)
    if reference.shape != ours.shape:
        return "size:%dx%d-%dx%d" % (reference.shape[1], reference.shape[0], ours.shape[1],
                                     ours.shape[0])
    # The colour of a fully transparent pixel shows nowhere: decoders and encoders differ there.
    hidden = (np.rint(reference[..., 3]) == 0) & (np.rint(ours[..., 3]) == 0)
    reference = reference.copy()
    ours = ours.copy()
    reference[hidden, :3] = 0.0
    ours[hidden, :3] = 0.0
    a = np.rint(reference)
    b = np.rint(ours)
    if np.array_equal(a, b):
        return "exact"
    mse = float(np.mean((reference - ours) ** 2))
    return "%.2f" % (99.0 if mse == 0 else 10.0 * math.log10(255.0 ** 2 / mse))


def safely(read, *args):
    try:
        return read(*args)
    except Exception:  # a decoder that refuses the file
        return None


def main():
    for line in sys.stdin:
        line = line.rstrip("\n")
        if not line:
            continue
        source, _, output = line.partition("\t")
        ours_pillow = safely(pillow_rgba, output, False) if output else None
        ours_magick = safely(magick_rgba, output) if output else None
        pillow = verdict(safely(pillow_rgba, source, True), ours_pillow)
        magick = verdict(safely(magick_rgba, source), ours_magick)
        print("%s\tpillow=%s\tmagick=%s" % (source, pillow, magick), flush=True)


if __name__ == "__main__":
    main()
