#!/usr/bin/python3
"""The own algorithms against Pillow's LANCZOS on one photo, turn about, in one run.

  bench/own_vs_pillow.py [--build DIR] [--before DIR] [--runs N] [--percent P] [--threads T]
                         [--algorithms 5,6,7] [PHOTO]

PHOTO (default ~/.cache/batch-bench/photo-13mp.jpg) is decoded once to a PPM. Each run times, for
every algorithm in turn, Pillow's LANCZOS and then the engine (DIR/bench/photo_resize; with
--before, an earlier build's too), each in a fresh process that resizes twice and counts the
resize calls only. The first resize of a process has its memory fresh from the system (as a
command-line resize does), the second reuses it (as a batch does). Each engine resize over the
Pillow resize just before it is one pair; the table gives the median of the pairs with their range,
and the median seconds; the last column pairs the processor seconds (all threads) of the second
resizes, which a busy machine disturbs less than the wall-clock. Pillow is Debian's python3-pil, measured here only, never linked.
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
wall, cpu = [], []
for _ in range(2):
    start, start_cpu = time.perf_counter(), time.process_time()
    image.resize(size, Image.LANCZOS)
    cpu.append(time.process_time() - start_cpu)
    wall.append(time.perf_counter() - start)
print(*wall)
print(*cpu)
'''


def run(command):
    """The wall-clock and the processor seconds of each resize the command made."""
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    wall, cpu = out.splitlines()[:2]
    return [float(t) for t in wall.split()], [float(t) for t in cpu.split()]


def summary(values):
    return f'{statistics.median(values):.2f} ({min(values):.2f}-{max(values):.2f})'


def main():
    root = Path(__file__).resolve().parents[1]
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('photo', nargs='?',
                        default=str(Path.home() / '.cache/batch-bench/photo-13mp.jpg'))
    parser.add_argument('--build', default=str(root / 'build'))
    parser.add_argument('--before', help='an earlier build directory, measured in the same runs')
    parser.add_argument('--runs', type=int, default=5)
    parser.add_argument('--percent', type=int, default=200)
    parser.add_argument('--threads', type=int, default=0, help='engine threads (0: all)')
    parser.add_argument('--algorithms', default='5,6,7')
    args = parser.parse_args()
    builds = ([('before', args.before)] if args.before else []) + [('engine', args.build)]
    tools = {label: Path(d) / 'bench' / 'photo_resize' for label, d in builds}
    for tool in tools.values():
        if not tool.exists():
            sys.exit(f'own_vs_pillow: {tool} not found (build the photo_resize target)')
    from PIL import Image
    algorithms = [int(a) for a in args.algorithms.split(',')]
    # ratios[(label, algorithm)] = ([first-resize ratios], [second-resize ratios], [processor
    # seconds of the second resizes])
    ratios = {(label, a): ([], [], []) for label, _ in builds for a in algorithms}
    seconds = {(label, a): [] for label, _ in builds for a in algorithms}
    pillow_seconds = []
    with tempfile.TemporaryDirectory() as work:
        ppm = os.path.join(work, 'photo.ppm')
        image = Image.open(args.photo).convert('RGB')
        image.save(ppm)
        print(f'{args.photo}: {image.width} x {image.height} to {args.percent}%, {args.runs} runs, '
              f'engine threads {args.threads or "all"}; load {os.getloadavg()[0]:.2f} on '
              f'{os.cpu_count()} cores')
        for _ in range(args.runs):
            for a in algorithms:
                for label, _ in builds:
                    p, p_cpu = run([sys.executable, '-c', PILLOW, ppm, str(args.percent)])
                    e, e_cpu = run([str(tools[label]), ppm, str(a), str(args.percent),
                                    str(args.threads), '2'])
                    pillow_seconds.append(p[1])
                    seconds[(label, a)].append(e[1])
                    for i in range(2):
                        ratios[(label, a)][i].append(e[i] / p[i])
                    ratios[(label, a)][2].append(e_cpu[1] / p_cpu[1])
    print(f'Pillow LANCZOS: second resize median {statistics.median(pillow_seconds):.3f} s; '
          f'load now {os.getloadavg()[0]:.2f}')
    print('build   algorithm  engine s (2nd)  engine/Pillow 1st resize  engine/Pillow 2nd resize'
          '  processor s, 2nd')
    for label, _ in builds:
        for a in algorithms:
            first, second, cpu = ratios[(label, a)]
            print(f'{label:7} {a:9}  {statistics.median(seconds[(label, a)]):14.3f}  '
                  f'{summary(first):>24}  {summary(second):>24}  {summary(cpu):>17}')


if __name__ == '__main__':
    main()
