#include "interfaces/core/GreyImage.h"

#include <algorithm>
#include <string>
#include <utility>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "platform/core/images/ImageDetail.h"

namespace Tamrix::Vision {

namespace {

template <typename Pixel>
constexpr const char* kName = GreyImageKind<Pixel>::kName;

// Checked here so that a bad size is reported under the name of the class the caller used.
template <typename Pixel>
auto NewRoot(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width, int height) {
  detail::CheckedPixelCount(kName<Pixel>, width, height);
  return std::make_shared<typename GreyImageKind<Pixel>::Root>(token, width, height);
}

}  // namespace

template <typename Pixel>
GreyImage<Pixel>::GreyImage(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width,
                            int height)
    : ChangedEventShareableBase(token),
      root_(NewRoot<Pixel>(token, width, height)),
      width_(width),
      height_(height) {}

template <typename Pixel>
GreyImage<Pixel>::GreyImage(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                            std::shared_ptr<RootBuffer> root)
    : GreyImage(token, root, 0, 0, root ? root->Width() : 0, root ? root->Height() : 0) {}

template <typename Pixel>
GreyImage<Pixel>::GreyImage(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                            std::shared_ptr<RootBuffer> root, int x, int y, int width, int height)
    : ChangedEventShareableBase(token),
      root_(std::move(root)),
      offsetX_(x),
      offsetY_(y),
      width_(width),
      height_(height) {
  if (!root_) throw ArgumentException(std::string(kName<Pixel>) + ": root must not be null");
  detail::CheckRectangle(kName<Pixel>, x, y, width, height, root_->Width(), root_->Height());
}

template <typename Pixel>
std::shared_ptr<GreyImage<Pixel>> GreyImage<Pixel>::FromPixels(int width, int height,
                                                               const Pixel* pixels,
                                                               std::ptrdiff_t stride) {
  const detail::Operation operation(kName<Pixel>, "FromPixels");
  const std::size_t count = detail::CheckedPixelCount(operation, width, height);
  if (stride < width) {
    throw ArgumentException(operation.Text() + ": stride must be >= the width " +
                            std::to_string(width) + ", found " + std::to_string(stride));
  }
  if (pixels == nullptr && count > 0) {
    throw ArgumentException(operation.Text() + ": pixels must not be null for a " +
                            std::to_string(width) + " x " + std::to_string(height) + " image");
  }
  auto image =
      std::make_shared<GreyImage>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{}, width, height);
  for (int y = 0; y < height; ++y) {
    std::copy_n(pixels + y * stride, width, image->RowAddress("FromPixels", y));
  }
  return image;
}

template <typename Pixel>
std::shared_ptr<GreyImage<Pixel>> GreyImage<Pixel>::SubImage(int x, int y, int width,
                                                             int height) const {
  detail::CheckRectangle({kName<Pixel>, "SubImage"}, x, y, width, height, width_, height_);
  return std::make_shared<GreyImage>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{}, root_,
                                     offsetX_ + x, offsetY_ + y, width, height);
}

template <typename Pixel>
double GreyImage<Pixel>::Value(int x, int y, int channel) const {
  detail::CheckPixel({kName<Pixel>, "Value"}, x, y, channel, width_, height_, 1);
  return RowAddress("Value", y)[x];
}

template <typename Pixel>
const Pixel* GreyImage<Pixel>::Row(int y) const {
  return RowAddress("Row", y);
}

template <typename Pixel>
Pixel* GreyImage<Pixel>::MutableRow(int y) {
  Pixel* row = RowAddress("MutableRow", y);
  // Counted when the access is handed out: the caller's writes follow and cannot be observed.
  ++generation_;
  return row;
}

template <typename Pixel>
void GreyImage<Pixel>::Fill(Pixel value) {
  for (int y = 0; y < height_; ++y) std::fill_n(RowAddress("Fill", y), width_, value);
  MarkPixelsChanged();
}

template <typename Pixel>
void GreyImage<Pixel>::MarkPixelsChanged() {
  ++generation_;
  OnChanged_(SfPixels);
}

template <typename Pixel>
Pixel* GreyImage<Pixel>::RowAddress(const char* method, int y) const {
  detail::CheckRow({kName<Pixel>, method}, y, height_);
  return root_->Buffer() + (static_cast<std::ptrdiff_t>(offsetY_) + y) * root_->Stride() + offsetX_;
}

template <typename Pixel>
template <class Archive>
void GreyImage<Pixel>::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, std::string(kName<Pixel>) + "::serialize()");
    std::shared_ptr<RootBuffer> root;
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    archive(cereal::base_class<ChangedEventShareableBase>(this), root, x, y, width, height);
    if (!root) detail::ThrowCorruptRecord(kName<Pixel>, "the root is missing (null pointer)");
    const std::string error =
        detail::RectangleError(x, y, width, height, root->Width(), root->Height());
    if (!error.empty()) detail::ThrowCorruptRecord(kName<Pixel>, error);
    root_ = std::move(root);
    offsetX_ = x;
    offsetY_ = y;
    width_ = width;
    height_ = height;
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this), root_,
            static_cast<std::int32_t>(offsetX_), static_cast<std::int32_t>(offsetY_),
            static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_));
  }
}

template class GreyImage<std::uint8_t>;
template class GreyImage<std::uint16_t>;
template void GreyImage<std::uint8_t>::serialize(cereal::PortableBinaryOutputArchive&,
                                                 std::uint32_t);
template void GreyImage<std::uint8_t>::serialize(cereal::PortableBinaryInputArchive&,
                                                 std::uint32_t);
template void GreyImage<std::uint16_t>::serialize(cereal::PortableBinaryOutputArchive&,
                                                  std::uint32_t);
template void GreyImage<std::uint16_t>::serialize(cereal::PortableBinaryInputArchive&,
                                                  std::uint32_t);

}  // namespace Tamrix::Vision
