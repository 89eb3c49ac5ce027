// Reading images into framework images and encoding result pictures, through OpenCV's codecs.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

#include "interfaces/core/ImageInterfaces.h"

namespace Smartseg {

// An image file as the framework sees it (`image`) and as it was decoded (`pixels`: CV_8UC1,
// CV_16UC1 or CV_8UC3 in OpenCV's blue-green-red order).
struct LoadedImage {
  std::shared_ptr<Tamrix::Vision::IImage> image;
  cv::Mat pixels;
};

// Reads a PNG or TIFF file holding 8-bit or 16-bit grey or 8-bit RGB pixels; RGB becomes the
// framework's planar colour image. Throws WorkError naming `path` for a missing or unreadable file
// and for any other pixel format.
LoadedImage ReadImage(const std::filesystem::path& path);

// The PNG encoding of `pixels`. Throws WorkError naming `path` (the file it is meant for).
std::string EncodePng(const cv::Mat& pixels, const std::filesystem::path& path);

// `pixels` as 8-bit blue-green-red for pictures: 16-bit grey is scaled by 1/256.
cv::Mat ToDisplayColour(const cv::Mat& pixels);

}  // namespace Smartseg
