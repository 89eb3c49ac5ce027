#include "platform/core/images/ImageDetail.h"

#include "interfaces/core/Exceptions.h"

namespace Tamrix::Vision::detail {

namespace {

std::string Size(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

std::string Operation::Text() const {
  return method ? std::string(owner) + "::" + method : std::string(owner);
}

std::string ImageSizeError(std::int64_t width, std::int64_t height) {
  if (width < 0) return "width must be >= 0, found " + std::to_string(width);
  if (height < 0) return "height must be >= 0, found " + std::to_string(height);
  // Both factors fit in 32 bits, so the product cannot overflow 64 bits.
  if (width * height > kMaxImagePixels) {
    return "size " + Size(width, height) + " has " + std::to_string(width * height) +
           " pixels, more than the limit of " + std::to_string(kMaxImagePixels);
  }
  return {};
}

std::string RectangleError(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                           std::int64_t outerWidth, std::int64_t outerHeight) {
  if (x >= 0 && y >= 0 && width >= 0 && height >= 0 && x + width <= outerWidth &&
      y + height <= outerHeight) {
    return {};
  }
  return "rectangle at (" + std::to_string(x) + ", " + std::to_string(y) + ") of size " +
         Size(width, height) + " must lie inside the " + Size(outerWidth, outerHeight) + " image";
}

std::size_t CheckedPixelCount(Operation operation, int width, int height) {
  const std::string error = ImageSizeError(width, height);
  if (!error.empty()) throw ArgumentException(operation.Text() + ": " + error);
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

void CheckRectangle(Operation operation, int x, int y, int width, int height, int outerWidth,
                    int outerHeight) {
  const std::string error = RectangleError(x, y, width, height, outerWidth, outerHeight);
  if (!error.empty()) throw ArgumentException(operation.Text() + ": " + error);
}

void CheckPixel(Operation operation, int x, int y, int channel, int width, int height,
                int channelCount) {
  if (x < 0 || y < 0 || x >= width || y >= height) {
    throw ArgumentException(operation.Text() + ": pixel (" + std::to_string(x) + ", " +
                            std::to_string(y) + ") is outside the " + Size(width, height) +
                            " image");
  }
  if (channel < 0 || channel >= channelCount) {
    throw ArgumentException(operation.Text() + ": channel " + std::to_string(channel) +
                            " is outside [0, " + std::to_string(channelCount) + ")");
  }
}

void CheckRow(Operation operation, int y, int height) {
  if (y < 0 || y >= height) {
    throw ArgumentException(operation.Text() + ": row " + std::to_string(y) + " is outside [0, " +
                            std::to_string(height) + ")");
  }
}

void ThrowCorruptRecord(const char* record, const std::string& problem) {
  throw cereal::Exception(std::string(record) + ": " + problem);
}

}  // namespace Tamrix::Vision::detail
