"""Label images of chunked images on a local cluster of two worker processes equal the in-memory
result bit for bit, whatever the chunks; Zarr and tiled TIFF in and out."""

import dask
import dask.array as da
import numpy as np
import pytest

import smartseg
import smartseg.dask as sd
from conftest import scene, train


@pytest.fixture(scope="module")
def saved(tmp_path_factory):
    model = train(3.0)
    path = tmp_path_factory.mktemp("model") / "model.ssm"
    model.save(path)
    return path, model


@pytest.mark.parametrize("chunks", [(64, 64), (50, 70), (97, 300), (7, 9), (300, 1)])
def test_chunked_label_images_equal_the_whole_image_result(client, saved, chunks):
    path, model = saved
    image, truth = scene(height=192, width=256, seed=8, shift=20)
    expected = model.segment(image).label_image
    assert (expected == truth).mean() > 0.85
    radius = model.context_radius
    assert radius > 0
    labels = sd.segment_labels(path, da.from_array(image, chunks=chunks))
    assert labels.dtype == np.uint16 and labels.shape == image.shape
    # Blocks thinner than the margin are merged so that each takes its margin from neighbours.
    assert min(min(c) for c in labels.chunks) >= min(radius, min(image.shape))
    result = client.compute(labels).result(timeout=60)
    np.testing.assert_array_equal(result, expected)


def test_chunks_move_onto_the_classification_grid(tmp_path):
    # Sample size 5 classifies every fourth pixel: chunk boundaries move up onto multiples of 4.
    image, _ = scene(height=150, width=170, seed=4)
    model = train(5.0)
    assert model.context_step == 4
    assert model.context_radius % 4 == 0
    model.save(tmp_path / "coarse.ssm")
    with dask.config.set(scheduler="threads"):
        labels = sd.segment_labels(tmp_path / "coarse.ssm", da.from_array(image, chunks=(75, 85)))
        assert all(c % 4 == 0 for axis in labels.chunks for c in axis[:-1]), labels.chunks
        result = labels.compute()
    np.testing.assert_array_equal(result, model.segment(image).label_image)
    assert sd._aligned((75, 75), 2) == (76, 74)
    assert sd._aligned((1, 1, 1, 1, 3), 2) == (2, 2, 3)


def test_without_a_cluster_and_on_16_bit_pixels(tmp_path):
    image, truth = scene(height=150, width=130, seed=2)
    wide = image.astype(np.uint16) * 257
    model = train(2.0, wide, truth)
    model.save(tmp_path / "wide.ssm")
    with dask.config.set(scheduler="threads"):
        result = sd.segment_labels(tmp_path / "wide.ssm", da.from_array(wide, chunks=40)).compute()
    np.testing.assert_array_equal(result, model.segment(wide).label_image)


def test_each_worker_loads_the_model_once(client, saved):
    path, _ = saved
    image, _ = scene(height=192, width=256, seed=9)
    client.run(lambda: sd._models.clear())
    client.compute(sd.segment_labels(path, da.from_array(image, chunks=32))).result(timeout=60)
    loaded = client.run(lambda: len(sd._models))
    assert sorted(loaded.values()) == [1, 1], loaded


def test_bad_arrays_and_models(tmp_path, saved):
    path, _ = saved
    with pytest.raises(ValueError, match="expected a 2-D image, found shape"):
        sd.segment_labels(path, da.zeros((4, 4, 3), dtype=np.uint8))
    with pytest.raises(ValueError, match="expected uint8 or uint16 pixels, found dtype float32"):
        sd.segment_labels(path, da.zeros((4, 4), dtype=np.float32))
    smartseg.Model().save(tmp_path / "empty.ssm")
    with pytest.raises(smartseg.Error, match="the model has not been trained"):
        sd.segment_labels(tmp_path / "empty.ssm", da.zeros((4, 4), dtype=np.uint8))
    with pytest.raises(smartseg.Error, match="missing.ssm"):
        sd.segment_labels(tmp_path / "missing.ssm", da.zeros((4, 4), dtype=np.uint8))


def test_zarr_and_tiled_tiff_in_and_out(tmp_path, client, saved):
    path, model = saved
    image, _ = scene(height=300, width=260, seed=12)
    expected = model.segment(image).label_image

    sd.write_zarr(da.from_array(image, chunks=(128, 128)), tmp_path / "image.zarr")
    stored = sd.read_zarr(tmp_path / "image.zarr")
    assert stored.chunks == ((128, 128, 44), (128, 128, 4))
    sd.write_zarr(sd.segment_labels(path, stored), tmp_path / "labels.zarr", client=client)
    np.testing.assert_array_equal(sd.read_zarr(tmp_path / "labels.zarr").compute(), expected)

    sd.write_tiff(da.from_array(image, chunks=100), tmp_path / "image.tif", tile=(64, 64))
    tiled = sd.read_tiff(tmp_path / "image.tif")
    assert tiled.chunks[0][0] == 64 and tiled.chunks[1][0] == 64
    np.testing.assert_array_equal(tiled.compute(), image)
    sd.write_tiff(sd.segment_labels(path, tiled), tmp_path / "labels.tif", tile=(128, 128))
    np.testing.assert_array_equal(sd.read_tiff(tmp_path / "labels.tif").compute(), expected)
    with pytest.raises(ValueError, match="tile: expected positive multiples of 16"):
        sd.write_tiff(tiled, tmp_path / "bad.tif", tile=(10, 10))


def test_a_thin_last_block_joins_its_own_neighbour_and_zarr_takes_the_result(tmp_path, client,
                                                                             saved):
    path, model = saved
    radius = model.context_radius
    width = 3 * 100 + radius // 2
    image, _ = scene(height=120, width=width, seed=13)
    labels = sd.segment_labels(path, da.from_array(image, chunks=(120, 100)))
    # Only the last block grows; the ones before keep their size.
    assert labels.chunks[1] == (100, 100, 100 + radius // 2)
    sd.write_zarr(labels, tmp_path / "labels.zarr", client=client)
    np.testing.assert_array_equal(sd.read_zarr(tmp_path / "labels.zarr").compute(),
                                  model.segment(image).label_image)
