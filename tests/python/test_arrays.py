"""Arrays in: dtypes and shapes accepted and refused, memory layouts read in place or copied,
shared and read-only memory, colour and 16-bit images."""

import sys
from multiprocessing import shared_memory

import numpy as np
import pytest

import smartseg
from conftest import scene, train


@pytest.mark.parametrize("image, message", [
    (np.zeros((10, 10), np.float32), "image: expected uint8 or uint16 pixels, found dtype float32"),
    (np.zeros((10, 10), np.int16), "found dtype int16"),
    (np.zeros((10, 10, 3), np.uint16), "colour images have 8 bits"),
    (np.zeros((10, 10, 4), np.uint8), r"found shape \(10, 10, 4\)"),
    (np.zeros((10,), np.uint8), r"found shape \(10,\)"),
    (np.zeros((2, 10, 10), np.uint8), r"found shape \(2, 10, 10\)"),
    (np.zeros((0, 10), np.uint8), r"the image is empty \(0 x 10\)"),
])
def test_images_of_other_dtypes_and_shapes_are_refused(trained, image, message):
    with pytest.raises(ValueError, match=message):
        trained.segment(image)
    model = smartseg.Model()
    with pytest.raises(ValueError, match=message):
        model.add_image(image, np.ones(image.shape[:2], np.uint8))
    assert model.labels == []


@pytest.mark.parametrize("mask, message", [
    (np.ones((10, 11), np.uint8), r"mask: expected the image's shape \(10, 10\), found \(10, 11\)"),
    (np.ones((10, 10), np.float64), "mask: expected integer label values, found dtype float64"),
    (np.full((10, 10), 256, np.int32), "from 0 to 255, found 256 at row 0, column 0"),
    (np.full((10, 10), -1, np.int64), "found -1"),
    (np.ones((10, 10, 1), np.uint8), r"mask: expected a 2-D array, found shape \(10, 10, 1\)"),
])
def test_masks_of_other_dtypes_shapes_and_values_are_refused(mask, message):
    model = smartseg.Model()
    with pytest.raises(ValueError, match=message):
        model.add_image(np.zeros((10, 10), np.uint8), mask)
    assert model.labels == [] and not model.is_dirty


def test_objects_that_are_no_arrays_and_nested_lists(trained):
    with pytest.raises(TypeError, match="image: expected a NumPy array, found int"):
        smartseg.Model().add_image(3, np.zeros((2, 2), np.uint8))
    with pytest.raises(TypeError):
        smartseg.Model().segment()
    # Lists are taken as NumPy takes them: Python integers become int64, which is no pixel type,
    # and the message says which dtype to use.
    with pytest.raises(ValueError, match="found dtype int64"):
        trained.segment(np.zeros((4, 4), np.uint8).tolist())


def test_row_strided_views_are_read_in_place_and_others_copied_with_equal_results(trained):
    image, _ = scene(height=140, width=200, seed=4)
    for view in (image[10:130, 20:180],          # rows apart by more than their width: in place
                 image[::2, ::2],                # pixels apart: copied
                 np.asfortranarray(image),       # columns first: copied
                 image[::-1]):                   # negative row stride: copied
        expected = trained.segment(np.ascontiguousarray(view)).label_image
        refs = sys.getrefcount(view)
        np.testing.assert_array_equal(trained.segment(view).label_image, expected)
        # The borrowed array is given back, and its pixels are left alone.
        assert sys.getrefcount(view) == refs
    np.testing.assert_array_equal(image, scene(height=140, width=200, seed=4)[0])


def test_shared_and_read_only_memory(trained):
    image, _ = scene(seed=6)
    expected = trained.segment(image).label_image
    memory = shared_memory.SharedMemory(create=True, size=image.nbytes)
    try:
        shared = np.ndarray(image.shape, np.uint8, buffer=memory.buf)
        shared[:] = image
        np.testing.assert_array_equal(trained.segment(shared).label_image, expected)
        del shared
    finally:
        memory.close()
        memory.unlink()
    frozen = np.frombuffer(image.tobytes(), np.uint8).reshape(image.shape)
    assert not frozen.flags.writeable
    np.testing.assert_array_equal(trained.segment(frozen).label_image, expected)


def test_an_unaligned_16_bit_array_is_copied_rather_than_misread():
    image, truth = scene()
    wide = image.astype(np.uint16) * 200
    model = train(3.0, wide, truth)
    expected = model.segment(wide).label_image
    raw = np.zeros(wide.nbytes + 1, np.uint8)
    unaligned = np.ndarray(wide.shape, np.uint16, buffer=raw.data, offset=1)
    unaligned[:] = wide
    assert unaligned.ctypes.data % 2 == 1
    np.testing.assert_array_equal(model.segment(unaligned).label_image, expected)
    assert (expected == truth).mean() > 0.9
    # A model of 16-bit images refuses 8-bit ones with the engine's message.
    with pytest.raises(smartseg.Error, match="Grey16|16"):
        model.segment(image)


def test_colour_images_in_red_green_blue_order():
    grey, truth = scene()
    colour = np.zeros(grey.shape + (3,), np.uint8)
    # Only the red channel carries the scene: swapping channels must change the result.
    colour[..., 0] = grey
    colour[..., 1] = 90
    model = train(3.0, colour, truth)
    result = model.segment(colour).label_image
    assert (result == truth).mean() > 0.9
    swapped = colour[..., ::-1]
    assert (model.segment(swapped).label_image == truth).mean() < 0.9
    np.testing.assert_array_equal(model.segment(np.ascontiguousarray(colour)).label_image, result)
