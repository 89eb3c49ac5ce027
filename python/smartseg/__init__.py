"""Train pixel classifiers and segment images with the smartseg operator.

    import smartseg
    model = smartseg.Model(sample_size=5.0)
    model.add_image(image, mask, label_names=["cell", "background"])
    model.train()
    result = model.segment(other_image)
    result.label_image       # uint16: 0 no label, k the k-th of model.labels
    result.masks["cell"]     # bool

Model files are those of the `smartseg` program: either reads what the other writes.
`smartseg.dask` segments images larger than memory, and many image files, on a Dask cluster.

Failures of the operator, its files and its inputs raise `smartseg.Error` with the operator's
message; arguments of the wrong type, dtype or shape raise `TypeError` or `ValueError`.
"""

from ._smartseg import Error, Model, Segmentation

__all__ = ["Error", "Model", "Segmentation"]
