// The codecs behind ImageFiles: each decoder reads the header, has the size checked, then
// decodes. Private to ImageFiles.
#pragma once

#include <filesystem>
#include <string>

#include "tools/smartseg/Picture.h"
#include "tools/smartseg/PngRows.h"

namespace Smartseg::detail {

// A decoded picture before it is fitted to what the framework takes: 8-bit or 16-bit, 1 to 4
// channels (grey, grey + alpha, blue-green-red, blue-green-red + alpha).
struct DecodedPixels {
  Picture pixels;
  // The colours came from a palette (such images are often grey stored as colour).
  bool fromPalette = false;
};

// Throws WorkError naming `source` when width x height exceeds the pixel limit or either is 0.
void CheckImageSize(std::uint64_t width, std::uint64_t height, const std::filesystem::path& source);

bool IsPng(const std::string& bytes);
bool IsTiff(const std::string& bytes);
bool IsJpeg(const std::string& bytes);

// Each throws WorkError naming `source` with the library's reason when the data cannot be
// decoded.
DecodedPixels DecodePng(const std::string& bytes, const std::filesystem::path& source);
DecodedPixels DecodeTiff(const std::string& bytes, const std::filesystem::path& source);
DecodedPixels DecodeJpeg(const std::string& bytes, const std::filesystem::path& source);

// PNG bytes of `rows`, deflated in bands on up to `workers` threads; the bytes do not depend on
// `workers`.
std::string EncodePngBytes(const PngRows& rows, const std::filesystem::path& path, int workers);

}  // namespace Smartseg::detail
