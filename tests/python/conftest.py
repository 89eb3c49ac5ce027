"""Synthetic scenes, trained models and the smartseg program, shared by the Python tests."""

import os
import subprocess

import numpy as np
import pytest
import tifffile

from distributed import Client, LocalCluster

import smartseg

LABELS = ["disc", "stripes", "background"]


def scene(height=120, width=160, seed=1, shift=0):
    """An 8-bit image of a bright disc and a striped square on fine noise, and its label mask
    (1 disc, 2 stripes, 3 background), as in LABELS."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width]
    image = (100 + rng.integers(-25, 26, (height, width))).astype(np.int32)
    disc = (x - width * 0.3 - shift) ** 2 + (y - height * 0.5) ** 2 <= (min(height, width) * 0.22) ** 2
    square = (abs(x - width * 0.72 + shift) <= width * 0.15) & (abs(y - height * 0.45) <= height * 0.25)
    image[disc] = 190 + rng.integers(-12, 13, disc.sum())
    stripes = (128 + 60 * np.sin(2 * np.pi * x / 6.0)).astype(np.int32)
    image[square] = stripes[square] + rng.integers(-10, 11, square.sum())
    truth = np.full((height, width), 3, np.uint8)
    truth[disc] = 1
    truth[square] = 2
    return np.clip(image, 0, 255).astype(np.uint8), truth


def sparse(truth, step=7):
    """Training mask: a sparse grid of the true labels, as scribbles would give, 0 elsewhere."""
    mask = np.zeros_like(truth)
    mask[::step, ::step] = truth[::step, ::step]
    mask[3::step, 2::step] = truth[3::step, 2::step]
    return mask


def train(sample_size=3.0, image=None, truth=None):
    if image is None:
        image, truth = scene()
    model = smartseg.Model(sample_size=sample_size)
    model.add_image(image, sparse(truth), label_names=LABELS)
    model.train()
    return model


@pytest.fixture(scope="session")
def trained():
    return train()


@pytest.fixture(scope="session")
def program():
    path = os.environ.get("SMARTSEG_PROGRAM")
    if not path or not os.access(path, os.X_OK):
        pytest.fail("SMARTSEG_PROGRAM must name the smartseg program (ctest sets it)")
    return path


def run(program, *args):
    done = subprocess.run([program, *map(str, args)], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    return done


def write_tiff(path, array):
    tifffile.imwrite(os.fspath(path), array)
    return path


@pytest.fixture(scope="module")
def client():
    """A local cluster of two worker processes on loopback, one per test module, each worker
    bounded to 1 GiB; it is shut down when the module's tests are done."""
    cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                           dashboard_address=None, memory_limit="1GiB", silence_logs=40)
    client = Client(cluster, timeout=30)
    yield client
    client.close(timeout=30)
    cluster.close(timeout=30)
