// Size and rectangle checks and the pixel-block record shared by the image classes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Cereal.h"

namespace Tamrix::Vision::detail {

// Beyond this many pixels a size is treated as a mistake rather than a request.
constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 31;

// The operation named in an error message: "Owner" or "Owner::method". Only two pointers, so
// checks on busy paths build no text unless they fail.
struct Operation {
  Operation(const char* ownerName, const char* methodName = nullptr)
      : owner(ownerName), method(methodName) {}
  std::string Text() const;

  const char* owner;
  const char* method;
};

// Empty when `width` x `height` is a valid image size, otherwise why not.
std::string ImageSizeError(std::int64_t width, std::int64_t height);

// Empty when the rectangle lies inside a `outerWidth` x `outerHeight` image, otherwise why not.
std::string RectangleError(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                           std::int64_t outerWidth, std::int64_t outerHeight);

// width * height; throws ArgumentException "<operation>: ..." for an invalid size.
std::size_t CheckedPixelCount(Operation operation, int width, int height);

// Throws ArgumentException "<operation>: ..." when the rectangle leaves the outer image.
void CheckRectangle(Operation operation, int x, int y, int width, int height, int outerWidth,
                    int outerHeight);

// Throws ArgumentException "<operation>: ..." when (x, y) or `channel` is outside the image.
void CheckPixel(Operation operation, int x, int y, int channel, int width, int height,
                int channelCount);

// Throws ArgumentException "<operation>: row <y> is outside [0, <height>)".
void CheckRow(Operation operation, int y, int height);

// Throws cereal::Exception "<record>: <problem>" for data that contradicts itself.
[[noreturn]] void ThrowCorruptRecord(const char* record, const std::string& problem);

// A root record: width, height (signed 32-bit), then the pixels as one counted block in the
// archive's byte order (unsigned 64-bit count, then the values).
template <class Archive, typename T>
void SavePixelBlock(Archive& archive, int width, int height, const std::vector<T>& pixels) {
  archive(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
  Archiving::SaveArithmeticVector(archive, pixels);
}

// Reads what SavePixelBlock wrote. The count is checked against width * height before any pixel
// is read, and storage grows only as the pixels arrive, so a corrupt count cannot demand more
// memory than the stream holds.
template <class Archive, typename T>
void LoadPixelBlock(Archive& archive, const char* record, int& width, int& height,
                    std::vector<T>& pixels) {
  std::int32_t storedWidth = 0;
  std::int32_t storedHeight = 0;
  archive(storedWidth, storedHeight);
  const std::string sizeError = ImageSizeError(storedWidth, storedHeight);
  if (!sizeError.empty()) ThrowCorruptRecord(record, sizeError);
  const std::uint64_t expected =
      static_cast<std::uint64_t>(storedWidth) * static_cast<std::uint64_t>(storedHeight);
  const std::uint64_t count = Archiving::LoadCount(archive);
  if (count != expected) {
    ThrowCorruptRecord(record, "pixel count " + std::to_string(count) +
                                   " does not match the size " + std::to_string(storedWidth) +
                                   " x " + std::to_string(storedHeight) + " (" +
                                   std::to_string(expected) + " pixels)");
  }
  std::vector<T> loaded;
  constexpr std::uint64_t kChunk = 64 * 1024 / sizeof(T);
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t chunk = std::min(count - done, kChunk);
    loaded.resize(static_cast<std::size_t>(done + chunk));
    archive(cereal::binary_data(loaded.data() + done, static_cast<std::size_t>(chunk * sizeof(T))));
    done += chunk;
  }
  width = storedWidth;
  height = storedHeight;
  pixels = std::move(loaded);
}

}  // namespace Tamrix::Vision::detail
