#!/usr/bin/python3
"""Segments a large 8-bit Zarr image on a local Dask cluster and, for comparison, in memory.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_dask_bench.py [--size 16384]

Makes (once, in --work) a synthetic SIZE x SIZE 8-bit image of four textures in Zarr and a model
of 4 labels trained on a 1024 x 1024 scene of the same textures, then
  1. segments the Zarr image with smartseg.dask.segment_labels on a LocalCluster of --workers
     processes (one thread each) and writes the label image to Zarr: wall time, and each worker's
     peak resident memory (VmHWM) at the end;
  2. unless --no-in-memory, in a fresh process, reads the whole image and runs Model.segment on
     it: wall time and that process's peak resident memory; and checks the two label images are
     identical.
Prints one line per figure. Not a test: nothing is asserted but the identity.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time

import dask.array as da
import numpy as np


def textures(y, x, seed):
    """Pixel values and labels (1..4) of the four-texture scene at the coordinates y, x."""
    rng = np.random.default_rng(seed)
    label = 1 + ((x // 700 + y // 900 + (x + y) // 1300) % 4)
    noise = rng.integers(-20, 21, y.shape)
    value = np.select(
        [label == 1, label == 2, label == 3, label == 4],
        [60 + noise,
         128 + 60 * np.sin(2 * np.pi * x / 6.0) + noise // 2,
         128 + 60 * np.sin(2 * np.pi * (x + y) / 9.0) + noise // 2,
         190 + noise])
    return np.clip(value, 0, 255).astype(np.uint8), label.astype(np.uint8)


def make_block(block_info=None):
    (y0, y1), (x0, x1) = block_info[None]["array-location"]
    y, x = np.mgrid[y0:y1, x0:x1]
    seed = block_info[None]["chunk-location"]
    return textures(y, x, hash(seed) & 0xFFFF)[0]


def prepare(work, size, chunk):
    import smartseg
    image_path = os.path.join(work, f"image{size}.zarr")
    if not os.path.exists(image_path):
        image = da.map_blocks(make_block, dtype=np.uint8, chunks=((chunk,) * (size // chunk),) * 2)
        image.to_zarr(image_path)
    model_path = os.path.join(work, "model4.ssm")
    if not os.path.exists(model_path):
        y, x = np.mgrid[0:1024, 0:1024]
        pixels, labels = textures(y, x, 1)
        mask = np.zeros_like(labels)
        mask[::5, ::5] = labels[::5, ::5]
        model = smartseg.Model()
        model.add_image(pixels, mask, label_names=["dark", "stripes", "diagonal", "bright"])
        model.train()
        model.save(model_path)
    return image_path, model_path


def peak_rss_mb():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def on_cluster(image_path, model_path, out_path, workers):
    from distributed import Client, LocalCluster
    import smartseg.dask as sd
    cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                           host="127.0.0.1", dashboard_address=None, memory_limit=0)
    client = Client(cluster)
    try:
        start = time.monotonic()
        labels = sd.segment_labels(model_path, sd.read_zarr(image_path))
        sd.write_zarr(labels, out_path, overwrite=True, client=client)
        seconds = time.monotonic() - start
        peaks = client.run(peak_rss_mb)
    finally:
        client.close()
        cluster.close()
    return seconds, sorted(peaks.values()), labels.chunks


def in_memory(image_path, model_path, out_path):
    import smartseg
    import zarr
    image = zarr.open(image_path, mode="r")[:]
    model = smartseg.Model.load(model_path)
    start = time.monotonic()
    labels = model.segment(image).label_image
    seconds = time.monotonic() - start
    np.save(out_path, labels)
    return {"seconds": seconds, "peak_rss_mb": peak_rss_mb()}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--size", type=int, default=16384)
    parser.add_argument("--chunk", type=int, default=2048, help="Zarr chunk side")
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--work", default="/tmp/smartseg-dask-bench")
    parser.add_argument("--no-in-memory", action="store_true")
    parser.add_argument("--in-memory-child", nargs=3, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.in_memory_child:
        print(json.dumps(in_memory(*args.in_memory_child)))
        return
    os.makedirs(args.work, exist_ok=True)
    image_path, model_path = prepare(args.work, args.size, args.chunk)
    megabytes = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(image_path)
                    for f in fs) / 1e6
    print(f"image: {args.size} x {args.size} uint8 in Zarr, chunks {args.chunk}, "
          f"{megabytes:.0f} MB on disk")
    out_path = os.path.join(args.work, "labels.zarr")
    seconds, peaks, chunks = on_cluster(image_path, model_path, out_path, args.workers)
    print(f"dask: {args.workers} worker processes x 1 thread: {seconds:.1f} s wall; peak RSS per "
          f"worker {', '.join(f'{p:.0f}' for p in peaks)} MB")
    if args.no_in_memory:
        return
    child = subprocess.run(
        [sys.executable, __file__, "--in-memory-child", image_path, model_path,
         os.path.join(args.work, "labels.npy")], capture_output=True, text=True)
    if child.returncode != 0:
        print(f"in memory: failed ({child.stderr.strip().splitlines()[-1:]})")
        return
    figures = json.loads(child.stdout)
    print(f"in memory: one Model.segment: {figures['seconds']:.1f} s; peak RSS "
          f"{figures['peak_rss_mb']:.0f} MB")
    import zarr
    same = np.array_equal(zarr.open(out_path, mode="r")[:],
                          np.load(os.path.join(args.work, "labels.npy")))
    print(f"label images identical: {same}")
    shutil.rmtree(out_path, ignore_errors=True)


if __name__ == "__main__":
    main()
