#include "tools/smartseg/ImageFiles.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>
#include <vector>

#include <opencv2/imgproc.hpp>

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

std::string DescribeFormat(const cv::Mat& pixels) {
  const std::string bits = pixels.depth() == CV_16U ? "16-bit" : "8-bit";
  switch (pixels.channels()) {
    case 1:
      return bits + " grey";
    case 2:
      return bits + " grey with alpha";
    case 3:
      return bits + " colour";
    default:
      return bits + " colour with alpha";
  }
}

std::shared_ptr<Tamrix::Vision::IImage> ToFrameworkImage(const cv::Mat& pixels) {
  const int width = pixels.cols;
  const int height = pixels.rows;
  if (pixels.type() == CV_8UC1) {
    auto image = std::make_shared<Image8Grey>(kToken, width, height);
    for (int y = 0; y < height; ++y) {
      std::copy_n(pixels.ptr<std::uint8_t>(y), width, image->MutableRow(y));
    }
    return image;
  }
  if (pixels.type() == CV_16UC1) {
    auto image = std::make_shared<Image16Grey>(kToken, width, height);
    for (int y = 0; y < height; ++y) {
      std::copy_n(pixels.ptr<std::uint16_t>(y), width, image->MutableRow(y));
    }
    return image;
  }
  auto image = std::make_shared<Image24PlanarColor>(kToken, width, height);
  for (int y = 0; y < height; ++y) {
    const cv::Vec3b* source = pixels.ptr<cv::Vec3b>(y);
    std::uint8_t* red = image->MutableRow(0, y);
    std::uint8_t* green = image->MutableRow(1, y);
    std::uint8_t* blue = image->MutableRow(2, y);
    for (int x = 0; x < width; ++x) {
      blue[x] = source[x][0];
      green[x] = source[x][1];
      red[x] = source[x][2];
    }
  }
  return image;
}

// Drops an alpha channel; warns when it made some pixel less than opaque, since the image then
// looks different from what the user sees in a viewer.
cv::Mat WithoutAlpha(const cv::Mat& pixels, const std::filesystem::path& source) {
  const int channels = pixels.channels();
  if (channels != 2 && channels != 4) return pixels;
  cv::Mat alpha;
  cv::extractChannel(pixels, alpha, channels - 1);
  double lowest = 0.0, highest = 0.0;
  cv::minMaxLoc(alpha, &lowest, &highest);
  const double opaque = pixels.depth() == CV_16U ? 65535.0 : 255.0;
  if (lowest < opaque) {
    Warn(source.string() +
         ": the image has transparent pixels; smartseg ignores the alpha "
         "channel and uses the colours underneath (save the image without "
         "alpha to silence this warning)");
  }
  cv::Mat colour;
  if (channels == 2) {
    cv::extractChannel(pixels, colour, 0);
  } else {
    cv::cvtColor(pixels, colour, cv::COLOR_BGRA2BGR);
  }
  return colour;
}

bool AllGrey(const cv::Mat& bgr) {
  for (int y = 0; y < bgr.rows; ++y) {
    const cv::Vec3b* row = bgr.ptr<cv::Vec3b>(y);
    for (int x = 0; x < bgr.cols; ++x) {
      if (row[x][0] != row[x][1] || row[x][1] != row[x][2]) return false;
    }
  }
  return true;
}

// The decoded picture as one of the three layouts the framework takes.
cv::Mat Fitted(const detail::DecodedPixels& decoded, const std::filesystem::path& source) {
  cv::Mat pixels = WithoutAlpha(decoded.pixels, source);
  if (pixels.type() == CV_8UC3 && decoded.fromPalette && AllGrey(pixels)) {
    cv::Mat grey;
    cv::extractChannel(pixels, grey, 0);
    return grey;
  }
  if (pixels.type() != CV_8UC1 && pixels.type() != CV_16UC1 && pixels.type() != CV_8UC3) {
    throw WorkError(source,
                    "unsupported pixels: expected 8-bit or 16-bit grey or 8-bit colour, "
                    "found " +
                        DescribeFormat(decoded.pixels) + " (convert it to 8-bit colour)");
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
    const cv::Mat pixels = Fitted(Decode(bytes, source), source);
    return LoadedImage{ToFrameworkImage(pixels), pixels};
  } catch (const std::bad_alloc&) {
    throw WorkError(source,
                    "out of memory while reading the image; free memory or lower "
                    "--max-pixels to refuse such images early");
  } catch (const cv::Exception& error) {
    if (error.code == cv::Error::StsNoMem) {
      throw WorkError(source,
                      "out of memory while reading the image; free memory or lower "
                      "--max-pixels to refuse such images early");
    }
    throw WorkError(source, "cannot read the image: " + error.err);
  }
}

LoadedImage ReadImage(const std::filesystem::path& path) {
  // Reading the bytes first tells a missing file from an undecodable one.
  const std::string bytes = ReadWholeFile(path);
  if (bytes.empty()) throw WorkError(path, "the file is empty (expected a PNG, TIFF or JPEG file)");
  return DecodeImage(bytes, path);
}

std::string EncodePng(const cv::Mat& pixels, const std::filesystem::path& path, int workers) {
  if (pixels.type() != CV_8UC1 && pixels.type() != CV_16UC1 && pixels.type() != CV_8UC3) {
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
