#!/usr/bin/python3
"""The own algorithms against Pillow's LANCZOS on one photo, turn about, in one run.

  bench/own_vs_pillow.py [--build DIR] [--runs N] [--percent P] [--threads T] [PHOTO]

PHOTO (default ~/.cache/batch-bench/photo-13mp.jpg) is decoded once to a PPM. Each run times,
every one in a fresh process and counting the resize call only: Pillow's LANCZOS, then the
engine's algorithm (build/bench/photo_resize), for algorithms 5, 6 and 7 in turn. The ratio of each
engine resize to the Pillow resize just before it is one pair; the table gives the median of the
pairs (and their range) and the median seconds. A fresh process has its memory fresh from the
system on both sides, as a command-line resize does. Pillow is Debian's python3-pil, measured here
only, never linked.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

PILLOW = r'''
import sys, time
from PIL import Image
image = Image.open(sys.argv[1]); image.load()
percent = int(sys.argv[2])
size = (image.width * percent // 100, image.height * percent // 100)
start = time.perf_counter()
image.resize(size, Image.LANCZOS)
print(time.perf_counter() - start)
'''


def run(command):
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    return float(out.split()[0])


def main():
    root = Path(__file__).resolve().parents[1]
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('photo', nargs='?',
                        default=str(Path.home() / '.cache/batch-bench/photo-13mp.jpg'))
    parser.add_argument('--build', default=str(root / 'build'))
    parser.add_argument('--runs', type=int, default=5)
    parser.add_argument('--percent', type=int, default=200)
    parser.add_argument('--threads', type=int, default=0, help='engine threads (0: all)')
    parser.add_argument('--algorithms', default='5,6,7')
    args = parser.parse_args()
    tool = Path(args.build) / 'bench' / 'photo_resize'
    if not tool.exists():
        sys.exit(f'own_vs_pillow: {tool} not found (build the photo_resize target)')
    from PIL import Image
    algorithms = [int(a) for a in args.algorithms.split(',')]
    with tempfile.TemporaryDirectory() as work:
        ppm = os.path.join(work, 'photo.ppm')
        image = Image.open(args.photo).convert('RGB')
        image.save(ppm)
        print(f'{args.photo}: {image.width} x {image.height} to {args.percent}%, '
              f'{args.runs} runs; load {os.getloadavg()[0]:.2f} on {os.cpu_count()} cores')
        pillow = [sys.executable, '-c', PILLOW, ppm, str(args.percent)]
        times = {a: [] for a in algorithms}
        ratios = {a: [] for a in algorithms}
        pillow_times = []
        for _ in range(args.runs):
            for a in algorithms:
                p = run(pillow)
                e = run([str(tool), ppm, str(a), str(args.percent), str(args.threads)])
                pillow_times.append(p)
                times[a].append(e)
                ratios[a].append(e / p)
    print(f'Pillow LANCZOS: median {statistics.median(pillow_times):.3f} s')
    print('algorithm  engine s  engine/Pillow median  (min-max)')
    for a in algorithms:
        r = ratios[a]
        print(f'{a:9}  {statistics.median(times[a]):8.3f}  {statistics.median(r):20.2f}  '
              f'({min(r):.2f}-{max(r):.2f})')


if __name__ == '__main__':
    main()
