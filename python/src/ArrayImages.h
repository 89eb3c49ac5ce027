// NumPy arrays as framework images and label masks, and results as NumPy arrays.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <vector>

#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/core/PixelMask.h"
#include "tools/smartseg/Picture.h"

namespace SmartsegPython {

// How an image array becomes a framework image.
enum class PixelUse {
  // The image may keep pointing into the array's memory while the array lives (segmentation).
  Borrow,
  // The image owns a copy (training items, which outlive the call).
  Copy,
};

// `array` (2-D uint8 or uint16, or H x W x 3 uint8 in red-green-blue order) as an image. A grey
// array whose rows are contiguous runs of pixels is borrowed without a copy under PixelUse::Borrow;
// the image then holds a reference to the array. Colour arrays are always copied into the
// framework's planes. Throws pybind11::value_error for other dtypes, shapes, or an empty image,
// and pybind11::type_error for an object that is no array.
std::shared_ptr<Tamrix::Vision::IImage> ImageFromArray(const pybind11::object& array, PixelUse use);

// `mask` (2-D integer array, 0 unlabelled, k label k, values up to 255) as 8-bit grey of the given
// size. Throws pybind11::value_error naming what is wrong.
Smartseg::Picture LabelMaskFromArray(const pybind11::object& mask, int width, int height);

// Arrays that take over the memory of `values` without a copy.
pybind11::array_t<float> FloatArray(std::vector<float>&& values, int width, int height);
pybind11::array_t<bool> BoolArray(const Tamrix::Vision::PixelMask& mask);
// 8-bit or 16-bit grey as uint16.
pybind11::array_t<std::uint16_t> LabelArray(const Smartseg::Picture& values);

}  // namespace SmartsegPython
