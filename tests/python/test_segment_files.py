"""Many image files, one task each, on a local cluster of two worker processes: the program's
outputs, and a run that lost a worker or was killed is finished by running it again."""

import json
import os
import signal
import subprocess
import sys
import threading
import time

import numpy as np
import pytest
from PIL import Image

import smartseg
import smartseg.dask as sd
from conftest import LABELS, run, scene, train, write_tiff

OUTPUTS = ["_labels.png", "_overlay.png", ".json"] + [f"_{name}.png" for name in LABELS]


@pytest.fixture(scope="module")
def inputs(tmp_path_factory):
    folder = tmp_path_factory.mktemp("inputs")
    train(3.0).save(folder / "model.ssm")
    images = []
    for i in range(10):
        image, _ = scene(height=360, width=480, seed=40 + i, shift=i)
        images.append(os.fspath(write_tiff(folder / f"image{i}.tif", image)))
    return folder / "model.ssm", images


def outputs_of(folder, image):
    stem = os.path.splitext(os.path.basename(image))[0]
    return [os.path.join(folder, stem + suffix) for suffix in OUTPUTS]


def snapshot(folder):
    """The outputs in `folder` and when each was written; temporaries are not outputs."""
    return {name: os.stat(os.path.join(folder, name)).st_mtime_ns for name in os.listdir(folder)
            if ".smartseg-tmp-" not in name}


def test_outputs_are_those_of_the_program(tmp_path, client, program, inputs):
    model, images = inputs
    done = sd.segment_files(model, images[:3], tmp_path / "python", client=client)
    assert done == [{"image": image, "status": "segmented"} for image in images[:3]]
    run(program, "segment", "--quiet", "--model", model, "--out", tmp_path / "program",
        *images[:3])
    assert sorted(os.listdir(tmp_path / "python")) == sorted(os.listdir(tmp_path / "program"))
    for name in os.listdir(tmp_path / "program"):
        ours = (tmp_path / "python" / name).read_bytes()
        theirs = (tmp_path / "program" / name).read_bytes()
        if name.endswith(".json"):
            ours, theirs = json.loads(ours), json.loads(theirs)
            del ours["seconds"], theirs["seconds"]
        assert ours == theirs, name


def test_a_run_that_loses_a_worker_completes_and_a_second_run_rewrites_nothing(
        tmp_path, client, inputs):
    model, images = inputs
    out = tmp_path / "out"
    pids = client.run(os.getpid)
    runner = threading.Thread(
        target=lambda: results.append(sd.segment_files(model, images, out, client=client)))
    results = []
    runner.start()
    # Kill one worker process while images are still to be done.
    deadline = time.monotonic() + 60
    while not (out.exists() and any(n.endswith(".json") for n in os.listdir(out))):
        assert time.monotonic() < deadline
        time.sleep(0.01)
    unfinished = [i for i in images if not os.path.exists(outputs_of(out, i)[2])]
    os.kill(list(pids.values())[0], signal.SIGKILL)
    runner.join(90)
    assert not runner.is_alive()
    assert unfinished, "every image was done before the worker was killed; nothing was tested"
    assert [r["image"] for r in results[0]] == images
    for image in images:
        assert all(os.path.isfile(f) for f in outputs_of(out, image)), image

    before = snapshot(out)
    again = sd.segment_files(model, images, out, client=client)
    assert [r["status"] for r in again] == ["skipped"] * len(images)
    assert snapshot(out) == before
    # What the killed worker was writing is gone by now, whichever run cleared it.
    assert [n for n in os.listdir(out) if ".smartseg-tmp-" in n] == []


def test_a_killed_run_is_finished_by_the_next_one(tmp_path, inputs):
    """A process running segment_files is killed outright; what it finished stays, what it
    left half-done (temporaries) is cleared, and the next run does only the rest."""
    model, images = inputs
    out = tmp_path / "out"
    script = (f"import smartseg.dask as sd\n"
              f"sd.segment_files({os.fspath(model)!r}, {images!r}, {os.fspath(out)!r})\n")
    killed = subprocess.Popen([sys.executable, "-c", script])
    deadline = time.monotonic() + 60
    while not (out.exists() and sum(n.endswith(".json") for n in os.listdir(out)) >= 2):
        assert time.monotonic() < deadline and killed.poll() is None
        time.sleep(0.01)
    killed.send_signal(signal.SIGKILL)
    killed.wait(10)
    complete = [i for i in images if all(os.path.isfile(f) for f in outputs_of(out, i))]
    assert 2 <= len(complete) < len(images)
    # As a kill in the middle of writing would leave them.
    (out / f".image9_labels.png.smartseg-tmp-{killed.pid}-AbCdEf").write_bytes(b"partial")
    os.remove(outputs_of(out, complete[0])[0])
    before = snapshot(out)

    results = sd.segment_files(model, images, out)
    status = {r["image"]: r["status"] for r in results}
    assert [i for i in images if status[i] == "skipped"] == complete[1:]
    for image in complete[1:]:
        for f in outputs_of(out, image):
            name = os.path.basename(f)
            assert os.stat(f).st_mtime_ns == before[name], name
    assert not any("smartseg-tmp" in n for n in os.listdir(out))
    for image in images:
        assert all(os.path.isfile(f) for f in outputs_of(out, image))


def test_inputs_refused_before_anything_is_written(tmp_path, inputs):
    model, images = inputs
    out = tmp_path / "out"
    os.makedirs(tmp_path / "b")
    twin = os.fspath(write_tiff(tmp_path / "b" / "image0.tif", np.zeros((8, 8), np.uint8)))
    with pytest.raises(ValueError, match="would write the same files \\(both are named 'image0'\\)"):
        sd.segment_files(model, [images[0], twin], out)
    with pytest.raises(smartseg.Error, match="nothing.tif: no such file"):
        sd.segment_files(model, [images[1], tmp_path / "nothing.tif"], out)
    (out / "image2.json").write_text('{"shapes": [], "imagePath": "image2.tif"}')
    with pytest.raises(ValueError, match="image2.json exists and is not a smartseg summary"):
        sd.segment_files(model, [images[2]], out)
    assert os.listdir(out) == ["image2.json"]
    # image4_labels.png is an input beside image4.tif, and the output for image4.tif.
    folder = os.path.dirname(images[4])
    labels_input = os.path.join(folder, "image4_labels.png")
    Image.fromarray(np.zeros((8, 8), np.uint8)).save(labels_input)
    try:
        with pytest.raises(ValueError, match="image4_labels.png, an output of .*image4.tif, "
                                             "would replace an input"):
            sd.segment_files(model, [images[4], labels_input], folder)
    finally:
        os.remove(labels_input)
