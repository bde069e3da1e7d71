#!/usr/bin/env python3
"""Checks a screenshot of the main window (binary PPM) against the source image (binary PPM):
the preview shows the source's exact pixels at 100 %, and right of the preview the settings
panel shows the navigator's overview of the same picture between plain panel controls.
With --picture first, only that the given picture (the source at 200 %) is on the screen."""
import sys


def read_ppm(path):
    with open(path, 'rb') as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b'#':
            pos = data.index(b'\n', pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b'P6' or fields[3] != b'255':
        raise SystemExit(f'{path}: not an 8-bit binary PPM')
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos:pos + w * h * 3]


def find_exact(screen, source):
    sw, sh, spix = screen
    w, h, pix = source
    row0 = pix[:w * 3]
    start = 0
    while True:
        at = spix.find(row0, start)
        if at < 0:
            return None
        start = at + 1
        if at % 3:
            continue
        y, x = divmod(at // 3, sw)
        if x + w > sw or y + h > sh:
            continue
        if all(spix[((y + r) * sw + x) * 3:((y + r) * sw + x + w) * 3] == pix[r * w * 3:(r + 1) * w * 3]
               for r in range(h)):
            return x, y


class Integral:
    """Summed-area tables of the red, green and blue values and of the squared grey sum, so
    that the mean and spread of any rectangle cost a few lookups."""

    def __init__(self, pix, w, h, x0=0):
        self.w = w - x0 + 1
        self.x0 = x0
        zero = [0] * self.w
        self.tables = [[zero] for _ in range(4)]
        for y in range(h):
            row = pix[(y * w + x0) * 3:(y + 1) * w * 3]
            sums = [0, 0, 0, 0]
            lines = [[0], [0], [0], [0]]
            for i in range(0, len(row), 3):
                r, g, b = row[i], row[i + 1], row[i + 2]
                sums[0] += r
                sums[1] += g
                sums[2] += b
                sums[3] += (r + g + b) ** 2
                for c in range(4):
                    lines[c].append(sums[c])
            for c in range(4):
                above = self.tables[c][-1]
                self.tables[c].append([a + b for a, b in zip(above, lines[c])])

    def stats(self, x0, y0, x1, y1):
        x0 -= self.x0
        x1 -= self.x0
        n = (x1 - x0) * (y1 - y0)
        s = [t[y1][x1] - t[y0][x1] - t[y1][x0] + t[y0][x0] for t in self.tables]
        mean = [v / n for v in s[:3]]
        grey = sum(mean)
        return mean, max(0.0, s[3] / n - grey * grey) ** 0.5


def main():
    # --picture: only that the picture is on the screen exactly (a zoomed preview).
    picture_only = sys.argv[1] == '--picture'
    args = sys.argv[2:] if picture_only else sys.argv[1:]
    screen = read_ppm(args[0])
    source = read_ppm(args[1])
    sw, sh, spix = screen
    w, h, pix = source
    found = find_exact(screen, source)
    if found is None:
        print(f'FAIL: the {w}x{h} picture is not on the screen')
        return 1
    x, y = found
    print(f'preview: the exact {w}x{h} picture at ({x}, {y})')
    if picture_only:
        print('OK')
        return 0

    # The navigator overview: a smaller window of the same picture right of the preview.
    src_mean, src_spread = Integral(pix, w, h).stats(0, 0, w, h)
    left = x + w + 40
    screen_sums = Integral(spix, sw, sh, left)
    bw, bh = w // 3, h // 3
    best = None
    for ty in range(0, sh - bh, 4):
        for tx in range(left, sw - bw, 4):
            mean, spread = screen_sums.stats(tx, ty, tx + bw, ty + bh)
            diff = max(abs(a - b) for a, b in zip(mean, src_mean))
            if spread > 0.5 * src_spread and (best is None or diff < best[0]):
                best = (diff, tx, ty)
    if best is None or best[0] > 40:
        print(f'FAIL: no overview of the picture right of the preview (best {best})')
        return 1
    print(f'panel: overview-like area at ({best[1]}, {best[2]}), colour difference {best[0]:.1f}')

    # Panel controls: text (dark pixels) below the overview, on the panel's light background.
    # Only rows that are mostly light count: the screen outside the window is black.
    dark = light = 0
    for yy in range(min(sh, best[2] + bh + 60), min(sh, best[2] + bh + 400)):
        row = spix[(yy * sw + x + w + 40) * 3:(yy * sw + sw) * 3]
        sums = [row[i] + row[i + 1] + row[i + 2] for i in range(0, len(row), 3)]
        while sums and sums[-1] <= 600:  # past the window's right edge
            sums.pop()
        row_light = sum(1 for v in sums if v > 600)
        if row_light * 2 < len(sums):
            continue
        light += row_light
        dark += sum(1 for v in sums if v < 200)
    print(f'panel: {dark} dark and {light} light pixels below the overview')
    if dark < 500 or light < 10 * dark:
        print('FAIL: no panel controls below the overview')
        return 1
    print('OK')
    return 0


if __name__ == '__main__':
    sys.exit(main())
