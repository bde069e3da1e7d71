#!/usr/bin/python3
"""Prints the engine-to-peer ratios from peer_resize.py and engine_bench JSON output.

  compare_peers.py PEERS.json... -- ENGINE.json...   (best time of each case over all files)
"""
import json
import sys


def load(args):
    split = args.index('--')
    peers, engine = {}, {}
    for path in args[:split]:
        for key, value in json.load(open(path)).items():
            if isinstance(value, float):
                peers[key] = min(value, peers.get(key, float('inf')))
            else:
                peers[key] = value
    for path in args[split + 1:]:
        for run in json.load(open(path))['benchmarks']:
            if run.get('run_type') != 'iteration':
                continue
            # BM_Photo/algorithm:6/percent:200/threads:2/... (BM_PhotoFirst: the first resize of
            # a process, its memory fresh from the system)
            parts = dict(p.split(':') for p in run['name'].split('/') if ':' in p)
            first = run['name'].startswith('BM_PhotoFirst/')
            key = (int(parts['algorithm']), parts['percent'], int(parts['threads'])) + (
                ('first',) if first else ())
            seconds = run['real_time'] / 1000.0  # the benchmark reports milliseconds
            if key not in engine or seconds < engine[key]['s']:
                engine[key] = {'s': seconds, 'peak': run.get('peak_MB', 0.0)}
    return peers, engine


def main():
    peers, engine = load(sys.argv[1:])
    print(f"Pillow {peers.get('pillow_version')}, OpenCV {peers.get('opencv_version')} "
          f"(single thread); engine on 1 and 2 threads; best of all rounds\n")
    rows = [
        # (label, algorithm, percent, peer key, target ratio); a 'first' row is the first resize
        # of a process (memory fresh from the system), the others are resizes one after another
        ('alg 6 Smart Natural  2x', 6, '200', 'pillow_LANCZOS_200', 1.0),
        ('alg 5 Smart Artif.   2x', 5, '200', 'pillow_LANCZOS_200', 0.5),
        ('alg 7 Advanced Nat.  2x', 7, '200', 'pillow_LANCZOS_200', 0.5),
        ('alg 5 2x, first resize', (5, 'first'), '200', 'pillow_LANCZOS_200', 0.5),
        ('alg 7 2x, first resize', (7, 'first'), '200', 'pillow_LANCZOS_200', 0.5),
        ('alg 5 Smart Artif.  25%', 5, '25', 'pillow_LANCZOS_25', 1.0),
        ('alg 6 Smart Natural 25%', 6, '25', 'pillow_LANCZOS_25', 1.0),
        ('alg 7 Advanced Nat. 25%', 7, '25', 'pillow_LANCZOS_25', 1.0),
        ('mode 2 HQ bilinear   2x', 2, '200', 'pillow_BILINEAR_200', 1.0),
        ('mode 2 HQ bilinear  25%', 2, '25', 'pillow_BILINEAR_25', 1.0),
        ('mode 4 HQ bicubic    2x', 4, '200', 'pillow_BICUBIC_200', 1.0),
        ('mode 4 HQ bicubic   25%', 4, '25', 'pillow_BICUBIC_25', 1.0),
        ('mode 4 HQ bicubic    2x', 4, '200', 'opencv_CUBIC_200', 1.5),
    ]
    print(f"{'case':25} {'1 thr s':>8} {'2 thr s':>8} {'peer':>20} {'peer s':>8} "
          f"{'ratio':>6} {'target':>7} {'peak MB':>8}")
    failures = 0
    for label, algorithm, percent, peer, target in rows:
        extra = algorithm[1:] if isinstance(algorithm, tuple) else ()
        algorithm = algorithm[0] if isinstance(algorithm, tuple) else algorithm
        one = engine.get((algorithm, percent, 1) + extra)
        two = engine.get((algorithm, percent, 2) + extra)
        peer_s = peers.get(peer)
        if two is None or not isinstance(peer_s, float):
            print(f'{label:25} (missing)')
            continue
        ratio = two['s'] / peer_s
        ok = ratio < target
        failures += not ok
        print(f"{label:25} {one['s'] if one else float('nan'):8.3f} {two['s']:8.3f} {peer:>20} "
              f"{peer_s:8.3f} {ratio:6.2f} {'<' + str(target):>7} {two['peak']:8.0f}"
              f"{'' if ok else '  MISSED'}")
    print()
    for algorithm in (5, 6, 7):
        for percent in ('200', '25'):
            one, two = engine.get((algorithm, percent, 1)), engine.get((algorithm, percent, 2))
            if one and two:
                speedup = one['s'] / two['s']
                ok = speedup >= 1.7
                failures += not ok
                print(f"alg {algorithm} {percent:>3}%: 2 threads {speedup:.2f}x faster than 1 "
                      f"(target 1.7){'' if ok else '  MISSED'}")
    print(f'\n{failures} target(s) missed')


if __name__ == '__main__':
    main()
