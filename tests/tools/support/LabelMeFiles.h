// LabelMe annotation files for tests, written from the format: a JSON object with "imagePath",
// "imageData" (the base64 of the image file, or null), "imageWidth", "imageHeight" and "shapes",
// each shape with "label", "points" ([x, y] pairs in pixels from the image's top-left corner),
// "shape_type" and, for masks, "mask" (the base64 of a PNG).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

namespace SmartsegTest {

// Base64 with padding, written here from the RFC so that the program's decoder is checked
// against an independent encoder.
inline std::string Base64(const std::string& bytes) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (left > 1) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (left > 2) group |= static_cast<std::uint8_t>(bytes[i + 2]);
    text += kLetters[(group >> 18) & 63];
    text += kLetters[(group >> 12) & 63];
    text += left > 1 ? kLetters[(group >> 6) & 63] : '=';
    text += left > 2 ? kLetters[group & 63] : '=';
  }
  return text;
}

// The bytes of `pixels` encoded as `extension` (".png", ".jpg", ".tif").
inline std::string EncodeImage(const cv::Mat& pixels, const std::string& extension,
                               const std::vector<int>& parameters = {}) {
  std::vector<std::uint8_t> bytes;
  if (!cv::imencode(extension, pixels, bytes, parameters)) {
    throw std::runtime_error("cannot encode " + extension);
  }
  return std::string(bytes.begin(), bytes.end());
}

// An 8-bit grey image from rows of '#' (255) and '.' (0).
inline cv::Mat MaskFromArt(const std::vector<std::string>& rows) {
  cv::Mat mask(static_cast<int>(rows.size()), static_cast<int>(rows.at(0).size()), CV_8UC1,
               cv::Scalar(0));
  for (int y = 0; y < mask.rows; ++y) {
    for (int x = 0; x < mask.cols; ++x) {
      if (rows[y][x] == '#') mask.at<std::uint8_t>(y, x) = 255;
    }
  }
  return mask;
}

// A LabelMe shape object; `points` is the JSON array text, `extra` more members (",..." form).
inline std::string Shape(const std::string& label, const std::string& type,
                         const std::string& points, const std::string& extra = "") {
  return R"({"label": ")" + label + R"(", "points": )" + points +
         R"(, "group_id": null, "description": "", "shape_type": ")" + type +
         R"(", "flags": {}, "mask": null)" + extra + "}";
}

// A LabelMe 5 document: `image` is the text of the "imagePath" and "imageData" members.
inline std::string Document(const std::string& shapes, int width, int height,
                            const std::string& image) {
  return R"({"version": "5.5.0", "flags": {}, "shapes": [)" + shapes + "], " + image +
         R"(, "imageHeight": )" + std::to_string(height) + R"(, "imageWidth": )" +
         std::to_string(width) + "}";
}

// The "imagePath" and "imageData" members for an image file beside the annotation.
inline std::string ImageFile(const std::string& path) {
  return R"("imagePath": ")" + path + R"(", "imageData": null)";
}

// The members for an embedded image, with "imagePath" naming `path` (LabelMe 4.0 named the
// annotation itself there).
inline std::string Embedded(const std::string& fileBytes, const std::string& path) {
  return R"("imagePath": ")" + path + R"(", "imageData": ")" + Base64(fileBytes) + "\"";
}

}  // namespace SmartsegTest
