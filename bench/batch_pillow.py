#!/usr/bin/python3
"""Pillow's side of bench/batch_peers.sh: fit each JPEG into 1920x1920 with LANCZOS and save it
as JPEG quality 90 with its EXIF block.

  batch_pillow.py OUT_DIR DRAFT FILE...     DRAFT 1: let the decoder shrink on load (draft mode)
"""
import os
import sys

from PIL import Image


def main():
    out, draft, files = sys.argv[1], sys.argv[2] == '1', sys.argv[3:]
    for f in files:
        im = Image.open(f)
        exif = im.info.get('exif')
        w, h = im.size
        s = 1920 / max(w, h)
        tw, th = round(w * s), round(h * s)
        if draft:
            im.draft('RGB', (tw, th))
        im = im.convert('RGB').resize((tw, th), Image.LANCZOS)
        kw = {'quality': 90}
        if exif:
            kw['exif'] = exif
        im.save(os.path.join(out, os.path.basename(f)), **kw)


if __name__ == '__main__':
    main()
