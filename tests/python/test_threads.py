"""The interpreter is free while the engine trains and segments: other threads run Python, and
two models segment at the same time. Calls on one model take turns."""

import threading
import time

import numpy as np

import smartseg
from conftest import scene, sparse, LABELS


def big_scene(seed):
    image, _ = scene(height=480, width=640, seed=seed)
    return image


def test_two_models_segment_at_the_same_time(tmp_path, trained):
    trained.save(tmp_path / "model.ssm")
    models = [smartseg.Model.load(tmp_path / "model.ssm") for _ in range(2)]
    images = [big_scene(21), big_scene(22)]
    expected = [trained.segment(image).label_image for image in images]
    spans, results = [None, None], [None, None]
    start = threading.Barrier(2)

    def work(i):
        start.wait()
        begin = time.monotonic()
        results[i] = models[i].segment(images[i]).label_image
        spans[i] = (begin, time.monotonic())

    threads = [threading.Thread(target=work, args=(i,)) for i in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(60)
    for result, wanted in zip(results, expected):
        np.testing.assert_array_equal(result, wanted)
    # Had either call held the interpreter, the other could not have started before it ended.
    assert max(s[0] for s in spans) < min(s[1] for s in spans), spans


def test_python_runs_while_one_model_trains_and_segments():
    # Large enough that each call takes tens of milliseconds, in which the loop below ticks.
    image, truth = scene(height=1080, width=1440, seed=3)
    model = smartseg.Model(sample_size=4.0)
    model.add_image(image, sparse(truth), label_names=LABELS)
    for work in (model.train, lambda: model.segment(image)):
        done = threading.Event()
        ticks = 0

        def call():
            work()
            done.set()

        thread = threading.Thread(target=call)
        thread.start()
        while not done.is_set():
            ticks += 1
            time.sleep(0.001)
        thread.join()
        assert ticks > 10


def test_calls_on_one_model_from_several_threads_take_turns(trained):
    images = [scene(seed=30 + i)[0] for i in range(4)]
    expected = [trained.segment(image).label_image for image in images]
    results = [None] * 8

    def work(i):
        results[i] = trained.segment(images[i % 4]).label_image
        assert trained.labels == LABELS

    threads = [threading.Thread(target=work, args=(i,)) for i in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(60)
    for i, result in enumerate(results):
        np.testing.assert_array_equal(result, expected[i % 4])
