#!/usr/bin/python3
"""Writes thumbnails as file managers share them (the freedesktop thumbnail rules).

Usage: make_shared_thumbnails.py CACHE_HOME LIST.json

LIST is a list of objects: path (the image), folder (normal, large, x-large, xx-large), width and
height of the thumbnail, colour [r, g, b], and optional mtime_delta / size_delta (added to the
file's values, to make an outdated thumbnail), uri (instead of the image's own), image_size
[w, h] (written as Thumb::Image::Width/Height when given).

The file is CACHE_HOME/thumbnails/FOLDER/MD5(URI).png with the tEXt chunks Thumb::URI,
Thumb::MTime and Thumb::Size, the URI being file:// and the absolute path percent-encoded byte
by byte as GLib's g_filename_to_uri does (letters, digits and -_.!~*'()$&+,:=@/ stay).
"""
import hashlib
import json
import os
import sys
import urllib.parse

from PIL import Image
from PIL.PngImagePlugin import PngInfo


def file_uri(path):
    raw = os.fsencode(os.path.abspath(path))
    return "file://" + urllib.parse.quote_from_bytes(raw, safe="/-_.!~*'()$&+,:=@")


def main():
    cache, list_file = sys.argv[1], sys.argv[2]
    with open(list_file, encoding="utf-8") as f:
        entries = json.load(f)
    for entry in entries:
        path = os.fsdecode(os.fsencode(entry["path"]))
        st = os.stat(path)
        uri = entry.get("uri") or file_uri(path)
        info = PngInfo()
        info.add_text("Thumb::URI", uri)
        info.add_text("Thumb::MTime", str(int(st.st_mtime) + entry.get("mtime_delta", 0)))
        info.add_text("Thumb::Size", str(st.st_size + entry.get("size_delta", 0)))
        if "image_size" in entry:
            info.add_text("Thumb::Image::Width", str(entry["image_size"][0]))
            info.add_text("Thumb::Image::Height", str(entry["image_size"][1]))
        folder = os.path.join(cache, "thumbnails", entry["folder"])
        os.makedirs(folder, mode=0o700, exist_ok=True)
        name = hashlib.md5(uri.encode("utf-8")).hexdigest() + ".png"
        image = Image.new("RGB", (entry["width"], entry["height"]), tuple(entry["colour"]))
        # Written under a temporary name and renamed, as the rules ask of writers.
        temporary = os.path.join(folder, name + ".part")
        image.save(temporary, "PNG", pnginfo=info)
        os.chmod(temporary, 0o600)
        os.replace(temporary, os.path.join(folder, name))


if __name__ == "__main__":
    main()
