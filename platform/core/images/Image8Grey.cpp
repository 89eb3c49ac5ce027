#include "interfaces/core/Image8Grey.h"

#include <algorithm>
#include <string>
#include <utility>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "platform/core/images/ImageDetail.h"

namespace Tamrix::Vision {

namespace {

// Checked here so that a bad size is reported under the name of the class the caller used.
std::shared_ptr<Image8Root> NewRoot(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                                    int width, int height) {
  detail::CheckedPixelCount("Image8Grey", width, height);
  return std::make_shared<Image8Root>(token, width, height);
}

}  // namespace

const long long Image8Grey::SfPixels = 1;

Image8Grey::Image8Grey(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width,
                       int height)
    : ChangedEventShareableBase(token),
      root_(NewRoot(token, width, height)),
      width_(width),
      height_(height) {}

Image8Grey::Image8Grey(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                       std::shared_ptr<IImage8RootBuffer> root)
    : Image8Grey(token, root, 0, 0, root ? root->Width() : 0, root ? root->Height() : 0) {}

Image8Grey::Image8Grey(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                       std::shared_ptr<IImage8RootBuffer> root, int x, int y, int width, int height)
    : ChangedEventShareableBase(token),
      root_(std::move(root)),
      offsetX_(x),
      offsetY_(y),
      width_(width),
      height_(height) {
  if (!root_) throw ArgumentException("Image8Grey: root must not be null");
  detail::CheckRectangle("Image8Grey", x, y, width, height, root_->Width(), root_->Height());
}

std::shared_ptr<Image8Grey> Image8Grey::FromPixels(int width, int height,
                                                   const std::uint8_t* pixels,
                                                   std::ptrdiff_t stride) {
  const std::size_t count = detail::CheckedPixelCount("Image8Grey::FromPixels", width, height);
  if (stride < width) {
    throw ArgumentException("Image8Grey::FromPixels: stride must be >= the width " +
                            std::to_string(width) + ", found " + std::to_string(stride));
  }
  if (pixels == nullptr && count > 0) {
    throw ArgumentException("Image8Grey::FromPixels: pixels must not be null for a " +
                            std::to_string(width) + " x " + std::to_string(height) + " image");
  }
  auto image =
      std::make_shared<Image8Grey>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{}, width, height);
  for (int y = 0; y < height; ++y) {
    std::copy_n(pixels + y * stride, width, image->RowAddress("Image8Grey::FromPixels", y));
  }
  return image;
}

std::shared_ptr<Image8Grey> Image8Grey::SubImage(int x, int y, int width, int height) const {
  detail::CheckRectangle("Image8Grey::SubImage", x, y, width, height, width_, height_);
  return std::make_shared<Image8Grey>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{}, root_,
                                      offsetX_ + x, offsetY_ + y, width, height);
}

double Image8Grey::Value(int x, int y, int channel) const {
  detail::CheckPixel("Image8Grey::Value", x, y, channel, width_, height_, 1);
  return RowAddress("Image8Grey::Value", y)[x];
}

const std::uint8_t* Image8Grey::Row(int y) const { return RowAddress("Image8Grey::Row", y); }

std::uint8_t* Image8Grey::MutableRow(int y) {
  std::uint8_t* row = RowAddress("Image8Grey::MutableRow", y);
  // Counted when the access is handed out: the caller's writes follow and cannot be observed.
  ++generation_;
  return row;
}

void Image8Grey::Fill(std::uint8_t value) {
  for (int y = 0; y < height_; ++y) std::fill_n(RowAddress("Image8Grey::Fill", y), width_, value);
  MarkPixelsChanged();
}

void Image8Grey::MarkPixelsChanged() {
  ++generation_;
  OnChanged_(SfPixels);
}

std::uint8_t* Image8Grey::RowAddress(const char* operation, int y) const {
  detail::CheckRow(operation, y, height_);
  return root_->Buffer() + (static_cast<std::ptrdiff_t>(offsetY_) + y) * root_->Stride() + offsetX_;
}

template <class Archive>
void Image8Grey::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Image8Grey::serialize()");
    std::shared_ptr<IImage8RootBuffer> root;
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    archive(cereal::base_class<ChangedEventShareableBase>(this), root, x, y, width, height);
    if (!root) detail::ThrowCorruptRecord("Image8Grey", "the root is missing (null pointer)");
    const std::string error =
        detail::RectangleError(x, y, width, height, root->Width(), root->Height());
    if (!error.empty()) detail::ThrowCorruptRecord("Image8Grey", error);
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

template void Image8Grey::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Image8Grey::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
