#include "tools/smartseg/ImageFiles.h"

#include <algorithm>
#include <limits>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Errors.h"

namespace Smartseg {
namespace {

using Tamrix::Vision::Image16Grey;
using Tamrix::Vision::Image24PlanarColor;
using Tamrix::Vision::Image8Grey;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

std::string DescribeFormat(const cv::Mat& pixels) {
  const int depth = pixels.depth();
  const std::string bits = depth == CV_8U    ? "8-bit"
                           : depth == CV_16U ? "16-bit"
                           : depth == CV_32F ? "32-bit floating-point"
                                             : "depth " + std::to_string(depth);
  return bits + " with " + std::to_string(pixels.channels()) + " channel(s)";
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

}  // namespace

LoadedImage ReadImage(const std::filesystem::path& path) {
  // Reading the bytes first tells a missing file from an undecodable one.
  const std::string bytes = ReadWholeFile(path);
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw WorkError(path, "the file is too large for an image (more than 2 GiB)");
  }
  cv::Mat pixels;
  try {
    const cv::Mat buffer(1, static_cast<int>(bytes.size()), CV_8UC1,
                         const_cast<char*>(bytes.data()));
    if (!bytes.empty()) pixels = cv::imdecode(buffer, cv::IMREAD_UNCHANGED);
  } catch (const cv::Exception& error) {
    throw WorkError(path, "cannot decode the image: " + error.msg);
  }
  if (pixels.empty()) {
    throw WorkError(path, "cannot decode the image (expected a PNG or TIFF file)");
  }
  if (pixels.type() != CV_8UC1 && pixels.type() != CV_16UC1 && pixels.type() != CV_8UC3) {
    throw WorkError(path, "unsupported pixels: expected 8-bit or 16-bit grey or 8-bit RGB, found " +
                              DescribeFormat(pixels));
  }
  return LoadedImage{ToFrameworkImage(pixels), pixels};
}

std::string EncodePng(const cv::Mat& pixels, const std::filesystem::path& path) {
  std::vector<std::uint8_t> encoded;
  try {
    if (!cv::imencode(".png", pixels, encoded)) throw WorkError(path, "cannot encode as PNG");
  } catch (const cv::Exception& error) {
    throw WorkError(path, "cannot encode as PNG: " + error.msg);
  }
  return std::string(encoded.begin(), encoded.end());
}

cv::Mat ToDisplayColour(const cv::Mat& pixels) {
  cv::Mat grey8;
  if (pixels.depth() == CV_16U) {
    pixels.convertTo(grey8, CV_8U, 1.0 / 256.0);
  } else {
    grey8 = pixels;
  }
  if (grey8.channels() == 3) return grey8.clone();
  cv::Mat colour;
  cv::cvtColor(grey8, colour, cv::COLOR_GRAY2BGR);
  return colour;
}

}  // namespace Smartseg
