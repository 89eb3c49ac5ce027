#include "python/src/ArrayImages.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "interfaces/core/GreyImage.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"

namespace SmartsegPython {
namespace {

namespace py = pybind11;
using Tamrix::Vision::GreyImage;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

// The framework addresses pixels with int and refuses more than 2^31 of them.
constexpr py::ssize_t kLargestSide = 1 << 30;
constexpr py::ssize_t kMostPixels = py::ssize_t{1} << 31;

std::string ShapeText(const py::array& array) {
  std::string text = "(";
  for (py::ssize_t i = 0; i < array.ndim(); ++i) {
    text += (i ? ", " : "") + std::to_string(array.shape(i));
  }
  return text + (array.ndim() == 1 ? ",)" : ")");
}

std::string DtypeText(const py::array& array) { return py::str(array.dtype()).cast<std::string>(); }

py::array AsArray(const py::object& object, const char* what) {
  if (!py::isinstance<py::array>(object)) {
    // Lists and other sequences are accepted as NumPy would take them, dask arrays are not: they
    // are computed by whoever knows where the memory should come from.
    if (py::hasattr(object, "__array__") || py::isinstance<py::sequence>(object)) {
      return py::module_::import("numpy").attr("asarray")(object).cast<py::array>();
    }
    throw py::type_error(std::string(what) + ": expected a NumPy array, found " +
                         py::str(py::type::of(object).attr("__name__")).cast<std::string>());
  }
  return object.cast<py::array>();
}

void CheckSize(py::ssize_t width, py::ssize_t height, const char* what) {
  if (width < 1 || height < 1) {
    throw py::value_error(std::string(what) + ": the image is empty (" + std::to_string(height) +
                          " x " + std::to_string(width) + ")");
  }
  if (width > kLargestSide || height > kLargestSide || width * height >= kMostPixels) {
    throw py::value_error(std::string(what) + ": " + std::to_string(height) + " x " +
                          std::to_string(width) +
                          " pixels are more than one image can hold (2^31); cut it into tiles");
  }
}

// Pixel memory that belongs to a NumPy array: the root keeps the array alive, and gives it back
// only while holding the interpreter, since the last owner may be an engine thread.
template <typename Pixel,
          typename RootInterface = typename Tamrix::Vision::GreyImageKind<Pixel>::RootBuffer>
class BorrowedRoot : public Tamrix::Vision::ShareableBase, public virtual RootInterface {
 public:
  BorrowedRoot(py::array array, int width, int height, std::ptrdiff_t stride)
      : Tamrix::Vision::ShareableBase(kToken),
        pixels_(static_cast<const Pixel*>(array.data())),
        array_(array.release().ptr()),
        width_(width),
        height_(height),
        stride_(stride) {}
  ~BorrowedRoot() override {
    const PyGILState_STATE state = PyGILState_Ensure();
    Py_DECREF(array_);
    PyGILState_Release(state);
  }
  BorrowedRoot(const BorrowedRoot&) = delete;
  BorrowedRoot& operator=(const BorrowedRoot&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::ptrdiff_t Stride() const override { return stride_; }
  // The engine only reads; a read-only array (a memory map, a view of bytes) serves as well.
  Pixel* Buffer() override { return const_cast<Pixel*>(pixels_); }
  const Pixel* Buffer() const override { return pixels_; }

 private:
  const Pixel* pixels_;
  // The reference that keeps the array, and so its memory, alive.
  PyObject* array_;
  int width_, height_;
  std::ptrdiff_t stride_;

  RTTR_ENABLE(Tamrix::Vision::ShareableBase, RootInterface)
};

template <typename Pixel>
std::shared_ptr<Tamrix::Vision::IImage> GreyFromArray(const py::array& array, PixelUse use) {
  const auto height = static_cast<int>(array.shape(0));
  const auto width = static_cast<int>(array.shape(1));
  const auto size = static_cast<py::ssize_t>(sizeof(Pixel));
  const bool rowsContiguous = array.strides(1) == size && array.strides(0) >= width * size &&
                              array.strides(0) % size == 0 &&
                              reinterpret_cast<std::uintptr_t>(array.data()) % sizeof(Pixel) == 0;
  if (use == PixelUse::Borrow && rowsContiguous) {
    auto root =
        std::make_shared<BorrowedRoot<Pixel>>(array, width, height, array.strides(0) / size);
    return std::make_shared<GreyImage<Pixel>>(kToken, std::move(root));
  }
  auto image = std::make_shared<GreyImage<Pixel>>(kToken, width, height);
  const auto view = array.template unchecked<Pixel, 2>();
  for (int y = 0; y < height; ++y) {
    Pixel* row = image->MutableRow(y);
    for (int x = 0; x < width; ++x) row[x] = view(y, x);
  }
  return image;
}

std::shared_ptr<Tamrix::Vision::IImage> ColourFromArray(const py::array& array) {
  const auto height = static_cast<int>(array.shape(0));
  const auto width = static_cast<int>(array.shape(1));
  auto image = std::make_shared<Tamrix::Vision::Image24PlanarColor>(kToken, width, height);
  const auto view = array.unchecked<std::uint8_t, 3>();
  for (int channel = 0; channel < 3; ++channel) {
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = image->MutableRow(channel, y);
      for (int x = 0; x < width; ++x) row[x] = view(y, x, channel);
    }
  }
  return image;
}

}  // namespace

std::shared_ptr<Tamrix::Vision::IImage> ImageFromArray(const py::object& object, PixelUse use) {
  const py::array array = AsArray(object, "image");
  const bool grey = array.ndim() == 2;
  const bool colour = array.ndim() == 3 && array.shape(2) == 3;
  if (!grey && !colour) {
    throw py::value_error(
        "image: expected a 2-D array (grey) or an H x W x 3 array (colour), "
        "found shape " +
        ShapeText(array));
  }
  CheckSize(array.shape(1), array.shape(0), "image");
  if (grey && py::isinstance<py::array_t<std::uint8_t>>(array)) {
    return GreyFromArray<std::uint8_t>(array, use);
  }
  if (grey && py::isinstance<py::array_t<std::uint16_t>>(array)) {
    return GreyFromArray<std::uint16_t>(array, use);
  }
  if (colour && py::isinstance<py::array_t<std::uint8_t>>(array)) return ColourFromArray(array);
  throw py::value_error(std::string("image: expected ") +
                        (grey ? "uint8 or uint16" : "uint8 (colour images have 8 bits)") +
                        " pixels, found dtype " + DtypeText(array));
}

Smartseg::Picture LabelMaskFromArray(const py::object& object, int width, int height) {
  const py::array array = AsArray(object, "mask");
  if (array.ndim() != 2) {
    throw py::value_error("mask: expected a 2-D array, found shape " + ShapeText(array));
  }
  if (array.shape(0) != height || array.shape(1) != width) {
    throw py::value_error("mask: expected the image's shape (" + std::to_string(height) + ", " +
                          std::to_string(width) + "), found " + ShapeText(array));
  }
  const char kind = array.dtype().kind();
  if (kind != 'i' && kind != 'u' && kind != 'b') {
    throw py::value_error("mask: expected integer label values, found dtype " + DtypeText(array));
  }
  const py::array values =
      py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(array);
  const auto view = values.unchecked<std::int64_t, 2>();
  Smartseg::Picture mask = Smartseg::Picture::Grey8(width, height);
  for (int y = 0; y < height; ++y) {
    auto* row = mask.Row(y);
    for (int x = 0; x < width; ++x) {
      const std::int64_t value = view(y, x);
      if (value < 0 || value > 255) {
        throw py::value_error("mask: expected label values from 0 to 255, found " +
                              std::to_string(value) + " at row " + std::to_string(y) + ", column " +
                              std::to_string(x));
      }
      row[x] = static_cast<std::uint8_t>(value);
    }
  }
  return mask;
}

py::array_t<float> FloatArray(std::vector<float>&& values, int width, int height) {
  auto* owned = new std::vector<float>(std::move(values));
  const py::capsule free(owned, [](void* data) { delete static_cast<std::vector<float>*>(data); });
  return py::array_t<float>({height, width}, owned->data(), free);
}

py::array_t<bool> BoolArray(const Tamrix::Vision::PixelMask& mask) {
  py::array_t<bool> array({mask.Height(), mask.Width()});
  const auto& bits = mask.Data();
  bool* out = array.mutable_data();
  for (std::size_t i = 0; i < bits.size(); ++i) out[i] = bits[i] != 0;
  return array;
}

py::array_t<std::uint16_t> LabelArray(const Smartseg::Picture& values) {
  const int width = values.Width();
  py::array_t<std::uint16_t> array({values.Height(), width});
  std::uint16_t* out = array.mutable_data();
  for (int y = 0; y < values.Height(); ++y) {
    std::uint16_t* row = out + static_cast<std::size_t>(y) * width;
    if (values.IsGrey16()) {
      std::memcpy(row, values.Row<std::uint16_t>(y), sizeof(std::uint16_t) * width);
    } else {
      std::copy_n(values.Row(y), width, row);
    }
  }
  return array;
}

}  // namespace SmartsegPython
