"""Models in Python and in the smartseg program: the same files, the same training, the same
results; training state, labels, annotations and the failures of each."""

import json
import os

import numpy as np
import pytest
from PIL import Image

import smartseg
from conftest import LABELS, run, scene, sparse, train, write_tiff


def read_png(path):
    return np.asarray(Image.open(path))


@pytest.fixture
def program_model(tmp_path, program):
    """A model trained by the program on the scene, the image and the path."""
    image, truth = scene()
    write_tiff(tmp_path / "scene.tif", image)
    write_tiff(tmp_path / "mask.tif", sparse(truth))
    model = tmp_path / "program.ssm"
    run(program, "train", "--quiet", "--model", model, "--sample-size", 3,
        "--label-names", ",".join(LABELS), f"{tmp_path / 'scene.tif'}={tmp_path / 'mask.tif'}")
    return model, image


def test_a_model_the_program_wrote_segments_in_python_as_the_program_does(tmp_path, program,
                                                                          program_model):
    path, image = program_model
    model = smartseg.Model.load(path)
    assert model.labels == LABELS
    assert not model.is_dirty
    assert model.sample_size == 3.0
    test_image, truth = scene(seed=7, shift=6)
    write_tiff(tmp_path / "test.tif", test_image)
    run(program, "segment", "--quiet", "--model", path, "--out", tmp_path / "out",
        tmp_path / "test.tif")
    result = model.segment(test_image)
    assert result.label_image.dtype == np.uint16
    np.testing.assert_array_equal(result.label_image, read_png(tmp_path / "out/test_labels.png"))
    for name in LABELS:
        np.testing.assert_array_equal(result.masks[name],
                                      read_png(tmp_path / f"out/test_{name}.png") > 0)
    # Not trivially equal: the model tells the regions apart.
    assert (result.label_image == truth).mean() > 0.9


def test_python_trains_the_same_model_file_as_the_program_and_the_program_reads_it(
        tmp_path, program, program_model):
    path, image = program_model
    _, truth = scene()
    model = train(3.0, image, truth)
    model.save(tmp_path / "python.ssm")
    # Same pixels, same labels, same engine: the very same bytes.
    assert (tmp_path / "python.ssm").read_bytes() == path.read_bytes()

    info = run(program, "info", tmp_path / "python.ssm").stdout
    assert all(name in info for name in LABELS)
    test_image, _ = scene(seed=3, shift=-4)
    write_tiff(tmp_path / "test.tif", test_image)
    run(program, "segment", "--quiet", "--model", tmp_path / "python.ssm", "--out",
        tmp_path / "out", tmp_path / "test.tif")
    np.testing.assert_array_equal(model.segment(test_image).label_image,
                                  read_png(tmp_path / "out/test_labels.png"))

    # The program extends the Python model; Python reads the result, labels in the same order.
    other, other_truth = scene(seed=11, shift=3)
    other_truth[other_truth == 2] = 4
    write_tiff(tmp_path / "other.tif", other)
    write_tiff(tmp_path / "other_mask.tif", sparse(other_truth))
    run(program, "train", "--quiet", "--model", tmp_path / "python.ssm", "--label-names",
        ",".join(LABELS + ["squares"]), f"{tmp_path / 'other.tif'}={tmp_path / 'other_mask.tif'}")
    extended = smartseg.Model.load(tmp_path / "python.ssm")
    assert extended.labels == LABELS + ["squares"]
    assert not extended.is_dirty


def test_training_state_follows_additions_and_the_sample_size(tmp_path):
    image, truth = scene()
    model = smartseg.Model()
    assert model.labels == [] and not model.is_dirty and model.sample_size == 5.0
    with pytest.raises(smartseg.Error, match="no labelled pixels to train on"):
        model.train()
    model.add_image(image, sparse(truth))
    assert model.labels == ["label1", "label2", "label3"]
    assert model.is_dirty
    with pytest.raises(smartseg.Error, match="has changed since it was last trained"):
        model.segment(image)
    model.train()
    assert not model.is_dirty
    model.sample_size = 2.0
    assert model.sample_size == 2.0 and model.is_dirty
    model.retrain()
    assert not model.is_dirty
    for bad in (0.0, -1.0, float("nan"), float("inf"), 1e6):
        with pytest.raises(ValueError, match="sample_size: expected a number from 0.01 to 1000"):
            model.sample_size = bad
    assert model.sample_size == 2.0
    with pytest.raises(ValueError, match="sample_size"):
        smartseg.Model(sample_size=0)
    with pytest.raises(ValueError, match="threads: expected a count of 1 or more, found 0"):
        smartseg.Model(threads=0)
    with pytest.raises(smartseg.Error, match="the model has not been trained"):
        smartseg.Model().segment(np.zeros((8, 8), np.uint8))


def test_label_names_and_mask_values(tmp_path):
    image, truth = scene()
    model = smartseg.Model()
    with pytest.raises(smartseg.Error, match="holds the value 3, but only 2 label names were given"):
        model.add_image(image, sparse(truth), label_names=["a", "b"])
    assert model.labels == [] and not model.is_dirty
    with pytest.raises(ValueError, match="label_names: name 2 is empty"):
        model.add_image(image, sparse(truth), label_names=["a", "", "c"])
    # __ignore__ pixels belong to no label.
    model.add_image(image, sparse(truth), label_names=["a", "__ignore__", "c"])
    assert model.labels == ["a", "c"]
    # The same pixels again teach nothing new: skipped, with a warning.
    with pytest.warns(UserWarning, match="already in the model; skipped"):
        model.add_image(image, sparse(truth), label_names=["a", "__ignore__", "c"])
    with pytest.warns(UserWarning, match="no labelled pixel"):
        model.add_image(image, np.zeros_like(truth))


def test_labelme_annotations(tmp_path):
    image, _ = scene()
    Image.fromarray(image).save(tmp_path / "scene.png")
    height, width = image.shape
    document = {
        "version": "5.2.1", "flags": {}, "imagePath": "scene.png", "imageData": None,
        "imageHeight": height, "imageWidth": width,
        "shapes": [
            {"label": "disc", "shape_type": "polygon", "flags": {}, "group_id": None,
             "points": [[40, 55], [55, 55], [55, 70], [40, 70]]},
            {"label": "background", "shape_type": "rectangle", "flags": {}, "group_id": None,
             "points": [[2, 2], [25, 20]]},
            {"label": "background", "shape_type": "rectangle", "flags": {}, "group_id": None,
             "points": [[60, 100], [150, 118]]},
        ],
    }
    (tmp_path / "scene.json").write_text(json.dumps(document))
    model = smartseg.Model(sample_size=2.0)
    model.add_labelme(tmp_path / "scene.json")
    assert model.labels == ["disc", "background"]
    model.train()
    result = model.segment(image)
    assert result.masks["disc"][62, 47] and result.masks["background"][10, 10]

    (tmp_path / "broken.json").write_text("{ not json")
    with pytest.raises(smartseg.Error, match="broken.json"):
        model.add_labelme(tmp_path / "broken.json")
    with pytest.raises(smartseg.Error, match="missing.json"):
        model.add_labelme(tmp_path / "missing.json")
    assert model.labels == ["disc", "background"] and not model.is_dirty


def test_probabilities_and_region(trained):
    image, _ = scene(seed=5)
    plain = trained.segment(image)
    assert plain.probabilities is None
    result = trained.segment(image, probabilities=True)
    np.testing.assert_array_equal(result.label_image, plain.label_image)
    stack = np.stack([result.probabilities[name] for name in LABELS])
    assert stack.dtype == np.float32 and stack.shape == (3,) + image.shape
    assert stack.min() >= 0.0 and stack.max() <= 1.0
    best = np.where(stack.max(axis=0) > 0, stack.argmax(axis=0) + 1, 0)
    np.testing.assert_array_equal(result.label_image, best)
    for name in LABELS:
        np.testing.assert_array_equal(result.masks[name], result.probabilities[name] >= 0.5)

    # Only pixels whose centres lie inside the polygon are classified.
    region = [(20.0, 10.0), (100.0, 10.0), (100.0, 90.0), (20.0, 90.0)]
    inside = trained.segment(image, region=region).label_image
    assert (inside[:, :20] == 0).all() and (inside[:, 101:] == 0).all()
    assert (inside[:10] == 0).all() and (inside[91:] == 0).all()
    assert (inside[11:90, 21:100] > 0).all()
    with pytest.raises(ValueError, match="region: expected the \\(x, y\\) corners of a polygon"):
        trained.segment(image, region=[(0, 0), (1, 1)])
    with pytest.raises(ValueError, match="corner 1 is not a finite number"):
        trained.segment(image, region=[(0, 0), (np.nan, 1), (5, 5)])


def test_model_files_that_cannot_be_read_or_written(tmp_path, trained):
    (tmp_path / "text.ssm").write_text("hello")
    with pytest.raises(smartseg.Error, match="text.ssm: not a smartseg model"):
        smartseg.Model.load(tmp_path / "text.ssm")
    with pytest.raises(smartseg.Error, match="missing.ssm"):
        smartseg.Model.load(tmp_path / "missing.ssm")
    trained.save(tmp_path / "model.ssm")
    data = (tmp_path / "model.ssm").read_bytes()
    (tmp_path / "cut.ssm").write_bytes(data[: len(data) // 2])
    with pytest.raises(smartseg.Error, match="cut.ssm"):
        smartseg.Model.load(tmp_path / "cut.ssm")
    with pytest.raises(smartseg.Error, match="no-such-folder"):
        trained.save(tmp_path / "no-such-folder" / "model.ssm")
    # A failed save leaves the file it would replace as it was, and no temporaries.
    # (A user that ignores file modes, such as root, would succeed here.)
    os.chmod(tmp_path, 0o500)
    try:
        if not os.access(tmp_path, os.W_OK):
            with pytest.raises(smartseg.Error):
                trained.save(tmp_path / "model.ssm")
    finally:
        os.chmod(tmp_path, 0o700)
    # A save into a folder where the lock file cannot be made fails likewise.
    (tmp_path / "file").write_text("not a folder")
    with pytest.raises(smartseg.Error, match="file"):
        trained.save(tmp_path / "file" / "model.ssm")
    (tmp_path / "file").unlink()
    assert (tmp_path / "model.ssm").read_bytes() == data
    assert sorted(p.name for p in tmp_path.iterdir()) == ["cut.ssm", "model.ssm", "text.ssm"]
    loaded = smartseg.Model.load(tmp_path / "model.ssm")
    image, _ = scene(seed=9)
    np.testing.assert_array_equal(loaded.segment(image).label_image,
                                  trained.segment(image).label_image)
