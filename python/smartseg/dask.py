"""Segmenting on Dask: images larger than memory, and many image files.

Both functions take the path of a model file rather than a model: each worker process loads it once
(see `load_model`) and keeps it for every later task, so nothing large travels to the workers.
"""

import json
import os
import threading

import dask
import dask.array as da
import numpy as np

from . import _smartseg

_models = {}
_models_lock = threading.Lock()


def load_model(model_path):
    """The model of `model_path`, loaded once per process and file version.

    A file rewritten since (another size or modification time) is loaded again.
    """
    path = os.path.realpath(os.fspath(model_path))
    try:
        stat = os.stat(path)
    except OSError:
        # Fails with the message of the model files.
        return _smartseg.Model.load(path)
    key = (path, stat.st_mtime_ns, stat.st_size)
    with _models_lock:
        model = _models.get(key)
        if model is None:
            model = _smartseg.Model.load(path)
            for old in [k for k in _models if k[0] == path]:
                del _models[old]
            _models[key] = model
        return model


def _aligned(chunks, step):
    """`chunks` of one axis with every boundary moved up to a multiple of `step` (blocks left
    empty disappear), so that each block starts on the model's classification grid."""
    total = sum(chunks)
    bounds, position = [], 0
    for chunk in chunks:
        position += chunk
        bound = min(total, -(-position // step) * step)
        if not bounds or bound > bounds[-1]:
            bounds.append(bound)
    return tuple(b - a for a, b in zip([0] + bounds[:-1], bounds))


def _at_least(chunks, size):
    """`chunks` of one axis merged so that each holds at least `size` elements, where possible.

    Overlapping blocks take their margin from direct neighbours only, so no block may be thinner
    than the margin.
    """
    merged = []
    for chunk in chunks:
        if merged and merged[-1] < size:
            merged[-1] += chunk
        else:
            merged.append(chunk)
    if len(merged) > 1 and merged[-1] < size:
        last = merged.pop()
        merged[-1] += last
    return tuple(merged)


def _segment_block(block, model_path, chunks, radius, block_info=None):
    row, column = block_info[0]["chunk-location"]
    top = radius if row > 0 else 0
    left = radius if column > 0 else 0
    height, width = chunks[0][row], chunks[1][column]
    labels = load_model(model_path).segment(np.ascontiguousarray(block)).label_image
    return labels[top:top + height, left:left + width]


def segment_labels(model_path, array):
    """The label image of a 2-D image, lazily, block by block.

    `array` is a 2-D dask array (or anything `dask.array.asarray` takes) of uint8 or uint16 pixels.
    Each block is segmented together with a margin of the model's context radius taken from its
    neighbours, so the result equals `Model.segment(whole).label_image` bit for bit, whatever the
    chunks; blocks start at multiples of the model's context step (their boundaries move up to
    one) and are never thinner than the margin (thinner ones are merged). Each worker holds
    one block with its margin, its features tile by tile, and the block's result at a time.
    """
    array = da.asarray(array)
    if array.ndim != 2:
        raise ValueError(f"array: expected a 2-D image, found shape {array.shape}")
    if array.dtype not in (np.uint8, np.uint16):
        raise ValueError(f"array: expected uint8 or uint16 pixels, found dtype {array.dtype}")
    if 0 in array.shape:
        raise ValueError(f"array: the image is empty {array.shape}")
    model_path = os.path.realpath(os.fspath(model_path))
    model = load_model(model_path)
    if not model.labels or model.is_dirty:
        raise _smartseg.Error(f"{model_path}: the model has not been trained")
    radius = model.context_radius
    step = model.context_step
    chunks = tuple(_at_least(_aligned(c, step), radius) for c in array.chunks)
    if chunks != array.chunks:
        array = array.rechunk(chunks)
    # An axis of one block has no neighbour to take a margin from.
    depth = {axis: radius if len(chunks[axis]) > 1 else 0 for axis in (0, 1)}
    extended = da.overlap.overlap(array, depth=depth, boundary={0: "none", 1: "none"}) \
        if any(depth.values()) else array
    return extended.map_blocks(_segment_block, model_path, chunks, radius, dtype=np.uint16,
                               chunks=chunks, meta=np.empty((0, 0), np.uint16))


def _summary_complete(model, image, out_dir, probabilities):
    """Whether every output of `image` is there and its summary names this model's labels."""
    stem = os.path.splitext(os.path.basename(image))[0]
    files = [os.fspath(f) for f in model._output_files(stem, out_dir, probabilities)]
    if not all(os.path.isfile(f) for f in files):
        return False
    try:
        with open(files[-1], "rb") as summary_file:
            summary = json.load(summary_file)
        return [label["name"] for label in summary["labels"]] == model.labels
    except (OSError, ValueError, KeyError, TypeError):
        return False


def _segment_one(model_path, image, out_dir, probabilities):
    model = load_model(model_path)
    if _summary_complete(model, image, out_dir, probabilities):
        return {"image": image, "status": "skipped"}
    model._segment_file(image, out_dir, probabilities)
    return {"image": image, "status": "segmented"}


def _check_plan(images, out_dir):
    """Refuses, before anything is written, images that would write the same files, and summaries
    that would replace a file that is no smartseg summary (a LabelMe annotation of that name)."""
    stems = {}
    for image in images:
        stem = os.path.splitext(os.path.basename(image))[0]
        if stem in stems:
            raise ValueError(f"{image} and {stems[stem]} would write the same files "
                             f"(both are named '{stem}')")
        stems[stem] = image
        if not os.path.isfile(image):
            raise _smartseg.Error(f"{image}: no such file")
        summary = os.path.join(out_dir, stem + ".json")
        if os.path.exists(summary):
            try:
                with open(summary, "rb") as summary_file:
                    data = json.load(summary_file)
                ours = isinstance(data, dict) and "labels" in data and "seconds" in data \
                    and "shapes" not in data
            except (OSError, ValueError):
                ours = False
            if not ours:
                raise ValueError(f"{summary} exists and is not a smartseg summary (an annotation?);"
                                 " choose another out_dir so that it is not replaced")


def segment_files(model_path, images, out_dir, client=None, probabilities=False):
    """Segments image files, one task each, writing what `smartseg segment` writes.

    For every image STEM.png (PNG, TIFF or JPEG) `out_dir` receives STEM_labels.png, one 0/255
    mask per label, STEM_overlay.png, with `probabilities` STEM_LABEL_prob.png, and STEM.json; an
    image's files are replaced all together. Images whose outputs are already complete for this
    model's labels are skipped, so a run that was stopped (or lost a worker) is finished by
    running it again. `out_dir` must be a folder every worker sees. With `client` (a
    dask.distributed Client) the tasks run on its cluster, otherwise on Dask's default scheduler.
    Returns one {"image", "status"} per image, status "segmented" or "skipped", in input order.
    """
    model_path = os.path.realpath(os.fspath(model_path))
    images = [os.path.abspath(os.fspath(image)) for image in images]
    out_dir = os.path.abspath(os.fspath(out_dir))
    os.makedirs(out_dir, exist_ok=True)
    model = load_model(model_path)
    if not model.labels or model.is_dirty:
        raise _smartseg.Error(f"{model_path}: the model has not been trained")
    _check_plan(images, out_dir)
    inputs = {os.path.realpath(p) for p in images + [model_path]}
    for image in images:
        stem = os.path.splitext(os.path.basename(image))[0]
        for output in model._output_files(stem, out_dir, probabilities):
            if os.path.realpath(output) in inputs:
                raise ValueError(f"{output}, an output of {image}, would replace an input; "
                                 "choose another out_dir")
    # Temporaries of runs that were killed; those of live processes stay.
    _smartseg._remove_stale_temporaries(out_dir)
    if client is not None:
        futures = client.map(_segment_one, [model_path] * len(images), images,
                             [out_dir] * len(images), [probabilities] * len(images),
                             pure=False)
        return client.gather(futures)
    tasks = [dask.delayed(_segment_one, pure=False)(model_path, image, out_dir, probabilities)
             for image in images]
    return list(dask.compute(*tasks))


def read_zarr(path, component=None):
    """A Zarr array on disk as a lazy dask array, chunked as stored."""
    return da.from_zarr(os.fspath(path), component=component)


def _regular(chunks):
    """Whether every axis has blocks of one size, but for a last block that may be smaller."""
    return all(len(set(axis[:-1])) <= 1 and axis[-1] <= axis[0] for axis in chunks)


def write_zarr(array, path, chunks=None, overwrite=False, client=None):
    """Writes `array` to a Zarr array at `path`, block by block (never whole in memory).

    With `chunks` the array is rechunked first; Zarr's chunks follow the dask chunks.
    """
    array = da.asarray(array)
    if chunks is not None:
        array = array.rechunk(chunks)
    elif not _regular(array.chunks):
        # Zarr needs one chunk size per axis (the last chunk may be smaller): a label image whose
        # thin last block was merged into its neighbour is written in chunks of its largest block.
        array = array.rechunk(tuple(max(axis) for axis in array.chunks))
    stored = da.to_zarr(array, os.fspath(path), overwrite=overwrite, compute=False)
    if client is not None:
        client.compute(stored).result()
    else:
        stored.compute()


def _tiff_block(path, level, block_info=None):
    import tifffile
    import zarr
    where = tuple(slice(start, stop) for start, stop in block_info[None]["array-location"])
    with tifffile.imread(path, aszarr=True, level=level) as store:
        return zarr.open(store, mode="r")[where]


def read_tiff(path, level=0):
    """A tiled (or striped) TIFF as a lazy dask array, chunked by its tiles.

    Each block opens the file and reads only its own tiles, so the array can be computed on any
    worker that sees the file at the same path.
    """
    import tifffile
    import zarr
    path = os.path.abspath(os.fspath(path))
    with tifffile.imread(path, aszarr=True, level=level) as store:
        stored = zarr.open(store, mode="r")
        shape, chunks, dtype = stored.shape, stored.chunks, stored.dtype
    return da.map_blocks(_tiff_block, path, level, dtype=dtype,
                         chunks=da.core.normalize_chunks(chunks, shape),
                         meta=np.empty((0,) * len(shape), dtype))


def write_tiff(array, path, tile=(512, 512), compression="zlib"):
    """Writes a 2-D dask array as a tiled TIFF, one band of tiles in memory at a time."""
    import tifffile
    array = da.asarray(array)
    if array.ndim != 2:
        raise ValueError(f"array: expected a 2-D image, found shape {array.shape}")
    tile_height, tile_width = tile
    if tile_height % 16 or tile_width % 16 or tile_height <= 0 or tile_width <= 0:
        raise ValueError(f"tile: expected positive multiples of 16, found {tile}")
    height, width = array.shape

    def tiles():
        for y in range(0, height, tile_height):
            band = np.asarray(array[y:y + tile_height].compute())
            for x in range(0, width, tile_width):
                piece = band[:, x:x + tile_width]
                if piece.shape != (tile_height, tile_width):
                    padded = np.zeros((tile_height, tile_width), array.dtype)
                    padded[:piece.shape[0], :piece.shape[1]] = piece
                    piece = padded
                yield piece

    tifffile.imwrite(os.fspath(path), tiles(), shape=array.shape, dtype=array.dtype,
                     tile=tile, compression=compression)
