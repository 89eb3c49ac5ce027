#include "tools/smartseg/EmbeddedImage.h"

#include <algorithm>
#include <limits>

#include <opencv2/imgcodecs.hpp>

#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "tools/smartseg/Errors.h"

namespace Smartseg {
namespace {

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

std::shared_ptr<Tamrix::Vision::IImage> ToFrameworkImage(const cv::Mat& pixels) {
  using namespace Tamrix::Vision;
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

LoadedImage DecodeEmbeddedImage(const std::string& bytes, const std::filesystem::path& source) {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw WorkError(source, "the image is too large (more than 2 GiB)");
  }
  cv::Mat pixels;
  try {
    const cv::Mat buffer(1, static_cast<int>(bytes.size()), CV_8UC1,
                         const_cast<char*>(bytes.data()));
    if (!bytes.empty()) pixels = cv::imdecode(buffer, cv::IMREAD_UNCHANGED);
  } catch (const cv::Exception& error) {
    throw WorkError(source, "cannot decode the image: " + error.msg);
  }
  if (pixels.empty()) {
    throw WorkError(source, "cannot decode the image (expected a PNG, TIFF or JPEG file)");
  }
  if (pixels.type() != CV_8UC1 && pixels.type() != CV_16UC1 && pixels.type() != CV_8UC3) {
    throw WorkError(source,
                    "unsupported pixels: expected 8-bit or 16-bit grey or 8-bit RGB, found " +
                        std::to_string(pixels.channels()) + " channel(s) of depth " +
                        std::to_string(pixels.depth()));
  }
  return LoadedImage{ToFrameworkImage(pixels), pixels};
}

}  // namespace Smartseg
