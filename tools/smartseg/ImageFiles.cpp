#include "tools/smartseg/ImageFiles.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>
#include <vector>

#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageCodecs.h"
#include "tools/smartseg/Progress.h"

namespace Smartseg {
namespace {

using Tamrix::Vision::Image16Grey;
using Tamrix::Vision::Image24PlanarColor;
using Tamrix::Vision::Image8Grey;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

std::atomic<std::uint64_t> pixelLimit{kDefaultPixelLimit};

std::shared_ptr<Tamrix::Vision::IImage> ToFrameworkImage(const Picture& pixels) {
  const int width = pixels.Width();
  const int height = pixels.Height();
  if (pixels.IsGrey8()) {
    auto image = std::make_shared<Image8Grey>(kToken, width, height);
    for (int y = 0; y < height; ++y) std::copy_n(pixels.Row(y), width, image->MutableRow(y));
    return image;
  }
  if (pixels.IsGrey16()) {
    auto image = std::make_shared<Image16Grey>(kToken, width, height);
    for (int y = 0; y < height; ++y) {
      std::copy_n(pixels.Row<std::uint16_t>(y), width, image->MutableRow(y));
    }
    return image;
  }
  auto image = std::make_shared<Image24PlanarColor>(kToken, width, height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* source = pixels.Row(y);
    std::uint8_t* red = image->MutableRow(0, y);
    std::uint8_t* green = image->MutableRow(1, y);
    std::uint8_t* blue = image->MutableRow(2, y);
    for (int x = 0; x < width; ++x, source += 3) {
      blue[x] = source[0];
      green[x] = source[1];
      red[x] = source[2];
    }
  }
  return image;
}

// Drops an alpha channel; warns when it made some pixel less than opaque, since the image then
// looks different from what the user sees in a viewer.
Picture WithoutAlpha(const Picture& pixels, const std::filesystem::path& source) {
  const int channels = pixels.Channels();
  if (channels != 2 && channels != 4) return pixels;
  const double opaque = pixels.SampleDepth() == Picture::Depth::Bits16 ? 65535.0 : 255.0;
  if (pixels.Channel(channels - 1).SampleRange().first < opaque) {
    Warn(source.string() +
         ": the image has transparent pixels; smartseg ignores the alpha "
         "channel and uses the colours underneath (save the image without "
         "alpha to silence this warning)");
  }
  if (channels == 2) return pixels.Channel(0);
  Picture colour(pixels.Width(), pixels.Height(), 3, pixels.SampleDepth());
  const std::size_t sample = static_cast<std::size_t>(pixels.SampleDepth());
  for (int y = 0; y < pixels.Height(); ++y) {
    const std::uint8_t* from = pixels.Row(y);
    std::uint8_t* to = colour.Row(y);
    for (int x = 0; x < pixels.Width(); ++x, from += 4 * sample, to += 3 * sample) {
      std::copy_n(from, 3 * sample, to);
    }
  }
  return colour;
}

bool AllGrey(const Picture& bgr) {
  for (int y = 0; y < bgr.Height(); ++y) {
    const std::uint8_t* row = bgr.Row(y);
    for (int x = 0; x < bgr.Width(); ++x, row += 3) {
      if (row[0] != row[1] || row[1] != row[2]) return false;
    }
  }
  return true;
}

// The decoded picture as one of the three layouts the framework takes.
Picture Fitted(const detail::DecodedPixels& decoded, const std::filesystem::path& source) {
  Picture pixels = WithoutAlpha(decoded.pixels, source);
  if (pixels.IsBgr8() && decoded.fromPalette && AllGrey(pixels)) return pixels.Channel(0);
  if (!pixels.IsGrey8() && !pixels.IsGrey16() && !pixels.IsBgr8()) {
    throw WorkError(source,
                    "unsupported pixels: expected 8-bit or 16-bit grey or 8-bit colour, "
                    "found " +
                        decoded.pixels.Describe() + " (convert it to 8-bit colour)");
  }
  return pixels;
}

detail::DecodedPixels Decode(const std::string& bytes, const std::filesystem::path& source) {
  if (detail::IsPng(bytes)) return detail::DecodePng(bytes, source);
  if (detail::IsTiff(bytes)) return detail::DecodeTiff(bytes, source);
  if (detail::IsJpeg(bytes)) return detail::DecodeJpeg(bytes, source);
  throw WorkError(source, "cannot decode the image (expected a PNG, TIFF or JPEG file)");
}

}  // namespace

namespace detail {

void CheckImageSize(std::uint64_t width, std::uint64_t height,
                    const std::filesystem::path& source) {
  if (width == 0 || height == 0) {
    throw WorkError(source, "the image is empty (" + std::to_string(width) + " x " +
                                std::to_string(height) + " pixels)");
  }
  const std::uint64_t limit = PixelLimit();
  // Both come from 32-bit header fields, so the product cannot overflow.
  const std::uint64_t pixels = width * height;
  // The framework's images index rows and columns with int.
  const std::uint64_t side = std::numeric_limits<int>::max();
  if (pixels > limit || width > side || height > side) {
    throw WorkError(source, "the image is " + std::to_string(width) + " x " +
                                std::to_string(height) + " = " + std::to_string(pixels) +
                                " pixels, more than the limit of " + std::to_string(limit) +
                                "; raise it with --max-pixels if this is the image you meant");
  }
}

}  // namespace detail

void SetPixelLimit(std::uint64_t pixels) { pixelLimit = pixels; }

std::uint64_t PixelLimit() { return pixelLimit; }

LoadedImage DecodeImage(const std::string& bytes, const std::filesystem::path& source) {
  try {
    const Picture pixels = Fitted(Decode(bytes, source), source);
    return LoadedImage{ToFrameworkImage(pixels), pixels};
  } catch (const std::bad_alloc&) {
    throw WorkError(source,
                    "out of memory while reading the image; free memory or lower "
                    "--max-pixels to refuse such images early");
  }
}

LoadedImage ReadImage(const std::filesystem::path& path) {
  // Reading the bytes first tells a missing file from an undecodable one.
  const std::string bytes = ReadWholeFile(path);
  if (bytes.empty()) throw WorkError(path, "the file is empty (expected a PNG, TIFF or JPEG file)");
  return DecodeImage(bytes, path);
}

std::string EncodePng(const Picture& pixels, const std::filesystem::path& path, int workers) {
  if (!pixels.IsGrey8() && !pixels.IsGrey16() && !pixels.IsBgr8()) {
    throw WorkError(path, "cannot encode as PNG: expected 8-bit or 16-bit grey or 8-bit colour");
  }
  return EncodePng(RowsOf(pixels), path, workers);
}

std::string EncodePng(const PngRows& rows, const std::filesystem::path& path, int workers) {
  try {
    return detail::EncodePngBytes(rows, path, workers);
  } catch (const std::bad_alloc&) {
    throw WorkError(path, "out of memory while encoding the PNG image");
  }
}

}  // namespace Smartseg
