#include "tools/smartseg/LabelMask.h"

#include <array>
#include <map>
#include <string>
#include <tuple>

#include "interfaces/core/RectangleAffine.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageFiles.h"

namespace Smartseg {
namespace {

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

// Pixels x0..x1 (inclusive) of rows y0..y1 (inclusive). Pixel centres sit on whole numbers and
// the rectangle's left and top edges are inside, its right and bottom edges outside.
std::shared_ptr<Tamrix::Vision::IShape> PixelBlock(int x0, int x1, int y0, int y1) {
  const Tamrix::Vision::Point2D centre{(x0 + x1) / 2.0, (y0 + y1) / 2.0};
  return std::make_shared<Tamrix::Vision::RectangleAffine>(kToken, centre, x1 - x0 + 1.0,
                                                           y1 - y0 + 1.0);
}

}  // namespace

Picture ReadLabelMask(const std::filesystem::path& path, int width, int height) {
  const LoadedImage loaded = ReadImage(path);
  if (!loaded.pixels.IsGrey8()) {
    throw WorkError(path, "a label mask must be 8-bit grey");
  }
  if (loaded.pixels.Width() != width || loaded.pixels.Height() != height) {
    throw WorkError(path, "the mask is " + std::to_string(loaded.pixels.Width()) + " x " +
                              std::to_string(loaded.pixels.Height()) + ", but its image is " +
                              std::to_string(width) + " x " + std::to_string(height));
  }
  return loaded.pixels;
}

std::vector<MaskLabelShapes> MaskToShapes(const Picture& mask) {
  return MaskToShapes(mask.Row(0), mask.Width(), mask.Height());
}

std::vector<MaskLabelShapes> MaskToShapes(const std::uint8_t* values, int width, int height) {
  // Open blocks keyed by (value, x0, x1), with the row they started on.
  using Key = std::tuple<int, int, int>;
  std::map<Key, int> open;
  std::array<MaskLabelShapes, 256> byValue;
  const auto close = [&byValue](const Key& key, int y0, int y1) {
    const auto [value, x0, x1] = key;
    byValue[value].shapes.push_back(PixelBlock(x0, x1, y0, y1));
  };
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row =
        values + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    std::map<Key, int> next;
    for (int x = 0; x < width;) {
      const int value = row[x];
      int end = x;
      while (end + 1 < width && row[end + 1] == value) ++end;
      if (value != 0) {
        const Key key{value, x, end};
        const auto found = open.find(key);
        next[key] = found == open.end() ? y : found->second;
        if (found != open.end()) open.erase(found);
      }
      x = end + 1;
    }
    for (const auto& [key, y0] : open) close(key, y0, y - 1);
    open = std::move(next);
  }
  for (const auto& [key, y0] : open) close(key, y0, height - 1);

  std::vector<MaskLabelShapes> result;
  for (int value = 1; value < 256; ++value) {
    if (byValue[value].shapes.empty()) continue;
    byValue[value].value = value;
    result.push_back(std::move(byValue[value]));
  }
  return result;
}

}  // namespace Smartseg
