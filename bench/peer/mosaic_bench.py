#!/usr/bin/env python3
"""Texture mosaics with sparse LabelMe annotations, the reference pipeline on them, and scoring.

  mosaic_bench.py generate OUT   writes OUT/<name>.png (8-bit grey), OUT/<name>.json (LabelMe
                                 polygons and scribbles), OUT/<name>_truth.png (label index per
                                 pixel) and OUT/mosaics.json (names, labels, annotated pixels)
  mosaic_bench.py peer OUT       fits and predicts the reference on every mosaic in this one
                                 process: multiscale_basic_features(intensity, edges, texture,
                                 sigma_min=1, sigma_max=16) and RandomForestClassifier(50 trees,
                                 depth 10, all cores); prints one line per mosaic and the sums
  mosaic_bench.py score OUT SEG  mean IoU of the label images smartseg segment wrote to SEG

Textures come from two sources: photographs of natural textures bundled with scikit-image
(brick, grass, gravel, and the lunar surface `moon`; 512 x 512, mirrored out to 768 x 768) and
synthetic patterns (oriented stripes, blobs, noise, dots, checks). Every texture is brought to the
same mean and spread, so texture and not brightness tells them apart.
"""
import argparse
import json
import os
import sys
import time

import numpy as np
from PIL import Image
from scipy import ndimage

SIZE = 768
SEED = 2026

MOSAICS = [
    ("natural3", ["brick", "grass", "gravel"]),
    ("natural4", ["brick", "grass", "gravel", "moon"]),
    ("oriented4", ["stripes0", "stripes90", "blobs", "noise"]),
    ("mixed5", ["grass", "gravel", "stripes45", "dots", "brick"]),
    ("mixed4", ["moon", "blobs", "gravel", "stripes135"]),
    ("patterns5", ["checks", "noise", "stripes0", "dots", "grass"]),
]


def normalise(texture):
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
    if kind == "checks":
        base = ((x // 12 + y // 12) % 2).astype(np.float64)
        return ndimage.gaussian_filter(base, 1.0) + 0.4 * rng.standard_normal((SIZE, SIZE))
    raise ValueError(kind)


def texture(name, rng):
    if name in ("brick", "grass", "gravel", "moon"):
        from skimage import data

        photo = getattr(data, name)().astype(np.float64)
        pad = SIZE - photo.shape[0]
        return normalise(np.pad(photo, ((0, pad), (0, SIZE - photo.shape[1])), mode="reflect"))
    return normalise(synthetic(name, rng))


def voronoi(labels, rng):
    seeds = rng.uniform(0, SIZE, size=(labels * 2, 2))
    owner = np.arange(labels * 2) % labels
    y, x = np.mgrid[0:SIZE, 0:SIZE]
    distance = (x[None] - seeds[:, 0, None, None]) ** 2 + (y[None] - seeds[:, 1, None, None]) ** 2
    return owner[np.argmin(distance, axis=0)].astype(np.uint8)


def annotate(truth, labels, rng):
    """Per label: two small quadrilaterals and two straight scribbles, well inside its regions.
    Points are pixel indices (pixel centres)."""
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
                           [(cx + q * np.cos(a), cy + q * np.sin(a)) for a, q in zip(angles, radii)]))
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
    """The peer's training labels (0 unlabelled, label + 1): polygon insides by pixel centre and
    strokes 3 pixels wide, as smartseg draws the LabelMe shapes."""
    from skimage import draw

    mask = np.zeros((SIZE, SIZE), np.uint8)
    y, x = np.mgrid[0:SIZE, 0:SIZE].astype(np.float64)
    for kind, label, points in shapes:
        if kind == "polygon":
            rr, cc = draw.polygon(np.array([p[1] for p in points]),
                                  np.array([p[0] for p in points]), (SIZE, SIZE))
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


def generate(out):
    os.makedirs(out, exist_ok=True)
    rng = np.random.default_rng(SEED)
    index = []
    for name, textures in MOSAICS:
        labels = len(textures)
        truth = voronoi(labels, rng)
        image = np.zeros((SIZE, SIZE))
        for label, texture_name in enumerate(textures):
            image[truth == label] = texture(texture_name, rng)[truth == label]
        image = np.clip(np.round(image), 0, 255).astype(np.uint8)
        shapes = annotate(truth, labels, rng)
        training = rasterise(shapes)
        Image.fromarray(image).save(os.path.join(out, name + ".png"))
        Image.fromarray(truth).save(os.path.join(out, name + "_truth.png"))
        np.save(os.path.join(out, name + "_training.npy"), training)
        labelme = {
            "version": "5.0.1", "flags": {}, "imagePath": name + ".png", "imageData": None,
            "imageHeight": SIZE, "imageWidth": SIZE,
            # LabelMe's pixel (x, y) covers [x, x+1): its centre is (x + 0.5, y + 0.5).
            "shapes": [{"label": textures[label], "shape_type": kind, "group_id": None,
                        "flags": {}, "points": [[px + 0.5, py + 0.5] for px, py in points]}
                       for kind, label, points in shapes],
        }
        with open(os.path.join(out, name + ".json"), "w") as f:
            json.dump(labelme, f)
        annotated = int((training > 0).sum())
        index.append({"name": name, "labels": textures, "annotated": annotated})
        print("mosaic %-10s %d labels  %d annotated pixels (%.2f %%)"
              % (name, labels, annotated, 100.0 * annotated / SIZE / SIZE))
    with open(os.path.join(out, "mosaics.json"), "w") as f:
        json.dump(index, f, indent=1)


def peer(out):
    from skimage.feature import multiscale_basic_features
    from skimage.future import fit_segmenter, predict_segmenter
    from sklearn.ensemble import RandomForestClassifier

    with open(os.path.join(out, "mosaics.json")) as f:
        index = json.load(f)
    total_time = 0.0
    total_cpu = 0.0
    scores = []
    for entry in index:
        name, labels = entry["name"], len(entry["labels"])
        image = np.asarray(Image.open(os.path.join(out, name + ".png")))
        truth = np.asarray(Image.open(os.path.join(out, name + "_truth.png")))
        training = np.load(os.path.join(out, name + "_training.npy"))
        start = time.perf_counter()
        cpu_start = time.process_time()
        features = multiscale_basic_features(image, intensity=True, edges=True, texture=True,
                                             sigma_min=1, sigma_max=16)
        classifier = RandomForestClassifier(n_estimators=50, max_depth=10, n_jobs=-1,
                                            random_state=0)
        classifier = fit_segmenter(training, features, classifier)
        predicted = predict_segmenter(features, classifier) - 1
        seconds = time.perf_counter() - start
        cpu = time.process_time() - cpu_start
        score = mean_iou(predicted, truth, labels)
        total_time += seconds
        total_cpu += cpu
        scores.append(score)
        print("peer   %-10s %.3f s  (CPU %.3f s)  mean IoU %.4f" % (name, seconds, cpu, score),
              flush=True)
    # Fields: total, wall seconds, "s", "CPU", CPU seconds (all threads of this process).
    print("peer   total %.3f s CPU %.3f s  mean IoU %.4f"
          % (total_time, total_cpu, float(np.mean(scores))))


def score(out, segmented):
    with open(os.path.join(out, "mosaics.json")) as f:
        index = json.load(f)
    scores = []
    for entry in index:
        name, names = entry["name"], entry["labels"]
        truth = np.asarray(Image.open(os.path.join(out, name + "_truth.png")))
        with open(os.path.join(segmented, name + ".json")) as f:
            summary = json.load(f)
        labels = np.asarray(Image.open(os.path.join(segmented, name + "_labels.png")))
        # The label image holds each pixel's label value; map values back to mosaic indices.
        predicted = np.full(truth.shape, 255, np.uint8)
        for item in summary["labels"]:
            predicted[labels == item["value"]] = names.index(item["name"])
        value = mean_iou(predicted, truth, len(names))
        scores.append(value)
        print("engine %-10s mean IoU %.4f" % (name, value))
    print("engine mean IoU %.4f" % float(np.mean(scores)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("command", choices=["generate", "peer", "score"])
    parser.add_argument("out")
    parser.add_argument("segmented", nargs="?")
    args = parser.parse_args()
    if args.command == "generate":
        generate(args.out)
    elif args.command == "peer":
        peer(args.out)
    else:
        if not args.segmented:
            sys.exit("score: expected the folder smartseg segment wrote")
        score(args.out, args.segmented)


if __name__ == "__main__":
    main()
