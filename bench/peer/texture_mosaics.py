#!/usr/bin/env python3
"""Builds texture mosaics with sparse annotations and exact ground truth, segments them with the
open-source reference pipeline (multi-scale basic features and a scikit-learn random forest), and
writes everything the C++ side needs to segment the same data.

Output folder layout:
  manifest.txt   one block per mosaic:
                   image <name> <image.pgm> <truth.pgm> <label count>
                   label <index> <name>
                   polygon <label index> x0 y0 x1 y1 ...     (pixel-centre coordinates)
                   line <label index> x0 y0 x1 y1
                   peer <train seconds> <execute seconds> <mean IoU>
                   end
  *.pgm          8-bit binary greymaps; in truth.pgm a pixel's value is its label index.
"""
import argparse
import os
import time

import numpy as np
from scipy import ndimage
from skimage import data, draw
from skimage.feature import multiscale_basic_features
from skimage.future import fit_segmenter, predict_segmenter
from sklearn.ensemble import RandomForestClassifier

SIZE = 512


def normalise(texture):
    """Same mean and spread for every texture, so that texture and not brightness tells them."""
    t = texture.astype(np.float64)
    t = (t - t.mean()) / (t.std() + 1e-9)
    return t * 32.0 + 128.0


def synthetic(kind, rng):
    y, x = np.mgrid[0:SIZE, 0:SIZE].astype(np.float64)
    if kind.startswith("stripes"):
        angle = np.deg2rad(float(kind[len("stripes"):]))
        phase = (x * np.cos(angle) + y * np.sin(angle)) * 2.0 * np.pi / 9.0
        return np.sin(phase) + 0.35 * rng.standard_normal((SIZE, SIZE))
    if kind == "blobs":
        return ndimage.gaussian_filter(rng.standard_normal((SIZE, SIZE)), 3.0)
    if kind == "noise":
        return rng.standard_normal((SIZE, SIZE))
    if kind == "dots":
        base = ((x % 8) < 3) & ((y % 8) < 3)
        return base.astype(np.float64) + 0.3 * rng.standard_normal((SIZE, SIZE))
    raise ValueError(kind)


def texture(name, rng):
    if name in ("brick", "grass", "gravel"):
        image = getattr(data, name)()
        if image.shape != (SIZE, SIZE):
            image = np.resize(image, (SIZE, SIZE))
        return normalise(image)
    return normalise(synthetic(name, rng))


def voronoi(labels, rng):
    """Regions of the nearest of several random seeds; each seed belongs to one label."""
    seeds = rng.uniform(0, SIZE, size=(labels * 2, 2))
    owner = np.arange(labels * 2) % labels
    y, x = np.mgrid[0:SIZE, 0:SIZE]
    distance = (x[None] - seeds[:, 0, None, None]) ** 2 + (y[None] - seeds[:, 1, None, None]) ** 2
    return owner[np.argmin(distance, axis=0)].astype(np.uint8)


def annotate(truth, labels, rng):
    """Per label: two small quadrilaterals and two scribbles, well inside the label's regions."""
    shapes = []
    for label in range(labels):
        inside = ndimage.distance_transform_edt(truth == label)
        deep = np.argwhere(inside > 14)
        if len(deep) == 0:
            deep = np.argwhere(inside == inside.max())
        for _ in range(2):
            cy, cx = deep[rng.integers(len(deep))]
            r = min(10.0, inside[cy, cx] - 2)
            angles = np.sort(rng.uniform(0, 2 * np.pi, 4))
            radii = rng.uniform(0.6 * r, r, 4)
            shapes.append(("polygon", label,
                           [(cx + rr * np.cos(a), cy + rr * np.sin(a)) for a, rr in zip(angles, radii)]))
        for _ in range(2):
            for _attempt in range(50):
                cy, cx = deep[rng.integers(len(deep))]
                angle = rng.uniform(0, np.pi)
                half = rng.uniform(12, 30)
                ends = [(cx - half * np.cos(angle), cy - half * np.sin(angle)),
                        (cx + half * np.cos(angle), cy + half * np.sin(angle))]
                ok = True
                for t in np.linspace(0, 1, 20):
                    px = ends[0][0] + t * (ends[1][0] - ends[0][0])
                    py = ends[0][1] + t * (ends[1][1] - ends[0][1])
                    iy, ix = int(round(py)), int(round(px))
                    if not (0 <= ix < SIZE and 0 <= iy < SIZE) or inside[iy, ix] < 3:
                        ok = False
                        break
                if ok:
                    shapes.append(("line", label, ends))
                    break
    return shapes


def rasterise(shapes):
    """Training labels for the peer (0 = unlabelled, label + 1 otherwise): polygon insides and
    strokes 3 pixels wide, as the C++ side draws them."""
    mask = np.zeros((SIZE, SIZE), np.uint8)
    y, x = np.mgrid[0:SIZE, 0:SIZE].astype(np.float64)
    for kind, label, points in shapes:
        if kind == "polygon":
            xs = [p[0] for p in points]
            ys = [p[1] for p in points]
            rr, cc = draw.polygon(np.array(ys), np.array(xs), (SIZE, SIZE))
            mask[rr, cc] = label + 1
        else:
            (x0, y0), (x1, y1) = points
            dx, dy = x1 - x0, y1 - y0
            t = np.clip(((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy), 0, 1)
            d2 = (x - x0 - t * dx) ** 2 + (y - y0 - t * dy) ** 2
            mask[d2 <= 1.5 ** 2] = label + 1
    return mask


def mean_iou(predicted, truth, labels):
    scores = []
    for label in range(labels):
        p, t = predicted == label, truth == label
        union = np.logical_or(p, t).sum()
        scores.append(np.logical_and(p, t).sum() / union if union else 1.0)
    return float(np.mean(scores))


def write_pgm(path, image):
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (image.shape[1], image.shape[0]))
        f.write(np.ascontiguousarray(image, dtype=np.uint8).tobytes())


MOSAICS = [
    ("natural3", ["brick", "grass", "gravel"]),
    ("natural4", ["brick", "grass", "gravel", "blobs"]),
    ("oriented4", ["stripes0", "stripes90", "blobs", "noise"]),
    ("mixed5", ["grass", "gravel", "stripes45", "dots", "brick"]),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", help="output folder")
    parser.add_argument("--seed", type=int, default=2026)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    rng = np.random.default_rng(args.seed)
    with open(os.path.join(args.out, "manifest.txt"), "w") as manifest:
        for name, textures in MOSAICS:
            labels = len(textures)
            truth = voronoi(labels, rng)
            image = np.zeros((SIZE, SIZE))
            for label, texture_name in enumerate(textures):
                image[truth == label] = texture(texture_name, rng)[truth == label]
            image = np.clip(np.round(image), 0, 255).astype(np.uint8)
            shapes = annotate(truth, labels, rng)
            training = rasterise(shapes)

            start = time.perf_counter()
            features = multiscale_basic_features(image, intensity=True, edges=True, texture=True,
                                                 sigma_min=0.5, sigma_max=16)
            classifier = RandomForestClassifier(n_estimators=50, max_depth=10, n_jobs=-1,
                                                random_state=0)
            classifier = fit_segmenter(training, features, classifier)
            trained = time.perf_counter()
            predicted = predict_segmenter(features, classifier) - 1
            executed = time.perf_counter()
            score = mean_iou(predicted, truth, labels)

            image_path = os.path.join(args.out, name + ".pgm")
            truth_path = os.path.join(args.out, name + "_truth.pgm")
            write_pgm(image_path, image)
            write_pgm(truth_path, truth)
            manifest.write("image %s %s %s %d\n" % (name, image_path, truth_path, labels))
            for label, texture_name in enumerate(textures):
                manifest.write("label %d %s\n" % (label, texture_name))
            for kind, label, points in shapes:
                coordinates = " ".join("%.3f %.3f" % p for p in points)
                manifest.write("%s %d %s\n" % (kind, label, coordinates))
            manifest.write("peer %.4f %.4f %.4f\n" % (trained - start, executed - trained, score))
            manifest.write("end\n")
            print("peer %-10s labels %d  train %.3f s  execute %.3f s  mean IoU %.4f  "
                  "(%d annotated pixels)" % (name, labels, trained - start, executed - trained,
                                             score, int((training > 0).sum())), flush=True)


if __name__ == "__main__":
    main()
