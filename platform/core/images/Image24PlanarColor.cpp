#include "interfaces/core/Image24PlanarColor.h"

#include <algorithm>
#include <string>
#include <utility>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "platform/core/images/ImageDetail.h"

namespace Tamrix::Vision {

namespace {

const char* const kChannelNames[3] = {"red", "green", "blue"};

// Empty when the planes can form one image, otherwise why not.
std::string PlanesError(const Image24PlanarColor::Planes& planes) {
  for (int c = 0; c < 3; ++c) {
    if (!planes[c]) return std::string("the ") + kChannelNames[c] + " plane is null";
  }
  for (int c = 1; c < 3; ++c) {
    if (planes[c]->Width() != planes[0]->Width() || planes[c]->Height() != planes[0]->Height() ||
        planes[c]->Stride() != planes[0]->Stride()) {
      return std::string("the ") + kChannelNames[c] + " plane (" +
             std::to_string(planes[c]->Width()) + " x " + std::to_string(planes[c]->Height()) +
             ", stride " + std::to_string(planes[c]->Stride()) + ") must match the red plane (" +
             std::to_string(planes[0]->Width()) + " x " + std::to_string(planes[0]->Height()) +
             ", stride " + std::to_string(planes[0]->Stride()) + ")";
    }
  }
  return {};
}

Image24PlanarColor::Planes NewPlanes(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                                     int width, int height) {
  detail::CheckedPixelCount("Image24PlanarColor", width, height);
  return {std::make_shared<Image8Root>(token, width, height),
          std::make_shared<Image8Root>(token, width, height),
          std::make_shared<Image8Root>(token, width, height)};
}

}  // namespace

const long long Image24PlanarColor::SfPixels = 1;

Image24PlanarColor::Image24PlanarColor(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                                       int width, int height)
    : Image24PlanarColor(token, NewPlanes(token, width, height), 0, 0, width, height) {}

Image24PlanarColor::Image24PlanarColor(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                                       Planes planes)
    : Image24PlanarColor(token, planes, 0, 0, planes[0] ? planes[0]->Width() : 0,
                         planes[0] ? planes[0]->Height() : 0) {}

Image24PlanarColor::Image24PlanarColor(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                                       Planes planes, int x, int y, int width, int height)
    : ChangedEventShareableBase(token),
      planes_(std::move(planes)),
      offsetX_(x),
      offsetY_(y),
      width_(width),
      height_(height) {
  const std::string error = PlanesError(planes_);
  if (!error.empty()) throw ArgumentException("Image24PlanarColor: " + error);
  detail::CheckRectangle("Image24PlanarColor", x, y, width, height, planes_[0]->Width(),
                         planes_[0]->Height());
}

std::shared_ptr<Image24PlanarColor> Image24PlanarColor::SubImage(int x, int y, int width,
                                                                 int height) const {
  detail::CheckRectangle("Image24PlanarColor::SubImage", x, y, width, height, width_, height_);
  return std::make_shared<Image24PlanarColor>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{},
                                              planes_, offsetX_ + x, offsetY_ + y, width, height);
}

std::shared_ptr<Image8Grey> Image24PlanarColor::Channel(int channel) const {
  if (channel < 0 || channel >= 3) {
    throw ArgumentException("Image24PlanarColor::Channel: channel " + std::to_string(channel) +
                            " is outside [0, 3)");
  }
  return std::make_shared<Image8Grey>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{},
                                      planes_[channel], offsetX_, offsetY_, width_, height_);
}

double Image24PlanarColor::Value(int x, int y, int channel) const {
  detail::CheckPixel("Image24PlanarColor::Value", x, y, channel, width_, height_, 3);
  return RowAddress("Image24PlanarColor::Value", channel, y)[x];
}

const std::uint8_t* Image24PlanarColor::Row(int channel, int y) const {
  return RowAddress("Image24PlanarColor::Row", channel, y);
}

std::uint8_t* Image24PlanarColor::MutableRow(int channel, int y) {
  std::uint8_t* row = RowAddress("Image24PlanarColor::MutableRow", channel, y);
  // Counted when the access is handed out: the caller's writes follow and cannot be observed.
  ++generation_;
  return row;
}

void Image24PlanarColor::Fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint8_t values[3] = {red, green, blue};
  for (int c = 0; c < 3; ++c) {
    for (int y = 0; y < height_; ++y) {
      std::fill_n(RowAddress("Image24PlanarColor::Fill", c, y), width_, values[c]);
    }
  }
  MarkPixelsChanged();
}

void Image24PlanarColor::MarkPixelsChanged() {
  ++generation_;
  OnChanged_(SfPixels);
}

std::uint8_t* Image24PlanarColor::RowAddress(const char* operation, int channel, int y) const {
  if (channel < 0 || channel >= 3) {
    throw ArgumentException(std::string(operation) + ": channel " + std::to_string(channel) +
                            " is outside [0, 3)");
  }
  detail::CheckRow(operation, y, height_);
  const auto& plane = planes_[channel];
  return plane->Buffer() + (static_cast<std::ptrdiff_t>(offsetY_) + y) * plane->Stride() + offsetX_;
}

template <class Archive>
void Image24PlanarColor::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Image24PlanarColor::serialize()");
    Planes planes;
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    archive(cereal::base_class<ChangedEventShareableBase>(this), planes[0], planes[1], planes[2], x,
            y, width, height);
    std::string error = PlanesError(planes);
    if (error.empty()) {
      error = detail::RectangleError(x, y, width, height, planes[0]->Width(), planes[0]->Height());
    }
    if (!error.empty()) detail::ThrowCorruptRecord("Image24PlanarColor", error);
    planes_ = std::move(planes);
    offsetX_ = x;
    offsetY_ = y;
    width_ = width;
    height_ = height;
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this), planes_[0], planes_[1], planes_[2],
            static_cast<std::int32_t>(offsetX_), static_cast<std::int32_t>(offsetY_),
            static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_));
  }
}

template void Image24PlanarColor::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Image24PlanarColor::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
