#!/usr/bin/python3
"""Times other libraries' resizers on one image, for bench/compare_peers.sh.

  peer_resize.py make-photo OUT.ppm        a 4224 x 3168 photo-like test image
  peer_resize.py time IMAGE.ppm ROUNDS     JSON timings (seconds, best of ROUNDS) of Pillow's
                                           resize and OpenCV's single-thread INTER_CUBIC

The libraries are measured here only; the program never links them.
"""
import json
import sys
import time
from pathlib import Path

WIDTH, HEIGHT = 4224, 3168


def make_photo(out):
    """A real photograph enlarged to 13 MP, with sensor-like noise so no area is flat."""
    import numpy as np
    from PIL import Image
    corpus = [Path(__file__).resolve().parents[2] / 'shared' / 'corpus', Path('/work/shared/corpus')]
    source = None
    for folder in corpus:
        candidate = folder / 'FurnaceCreekInn.jpg'
        if candidate.exists():
            source = Image.open(candidate).convert('RGB')
            break
    if source is None:  # no corpus: a synthetic scene
        y, x = np.mgrid[0:HEIGHT, 0:WIDTH]
        base = 128 + 90 * np.sin(x * 0.0031)[..., None] * np.cos(y * 0.005)[..., None] * [1, 0.7, 0.4]
        photo = base
    else:
        photo = np.asarray(source.resize((WIDTH, HEIGHT), Image.BICUBIC), dtype=np.float64)
    rng = np.random.default_rng(7)
    photo = photo + rng.normal(0, 3, photo.shape)
    Image.fromarray(np.clip(photo, 0, 255).astype(np.uint8), 'RGB').save(out)


def best_of(rounds, fn):
    best = float('inf')
    for _ in range(rounds):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best


def time_peers(path, rounds):
    from PIL import Image
    image = Image.open(path).convert('RGB')
    image.load()
    w, h = image.size
    sizes = {'200': (2 * w, 2 * h), '25': (w // 4, h // 4)}
    results = {'pillow_version': Image.__version__}
    filters = {'LANCZOS': Image.LANCZOS, 'BICUBIC': Image.BICUBIC, 'BILINEAR': Image.BILINEAR}
    for percent, size in sizes.items():
        for name, flt in filters.items():
            results[f'pillow_{name}_{percent}'] = best_of(rounds, lambda: image.resize(size, flt))
    try:
        import cv2
        import numpy as np
        cv2.setNumThreads(1)
        pixels = np.asarray(image)[:, :, ::-1].copy()
        results['opencv_version'] = cv2.__version__
        results['opencv_CUBIC_200'] = best_of(
            rounds, lambda: cv2.resize(pixels, sizes['200'], interpolation=cv2.INTER_CUBIC))
        results['opencv_CUBIC_25'] = best_of(
            rounds, lambda: cv2.resize(pixels, sizes['25'], interpolation=cv2.INTER_CUBIC))
    except ImportError:
        results['opencv_version'] = None
    print(json.dumps(results))


if __name__ == '__main__':
    if len(sys.argv) == 3 and sys.argv[1] == 'make-photo':
        make_photo(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == 'time':
        time_peers(sys.argv[2], int(sys.argv[3]))
    else:
        sys.exit(__doc__)
