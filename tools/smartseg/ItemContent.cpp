#include "tools/smartseg/ItemContent.h"

#include <algorithm>
#include <type_traits>

#include "interfaces/smartcore/SmartLabelToShapeAssignmentCollection.h"
#include "tools/smartseg/LabelMeGeometry.h"

namespace Smartseg {
namespace {

using Tamrix::Vision::IImage;

template <class Data, class Pixel>
bool SameRows(const Data* a, const Data* b, int width, int height, int channels) {
  for (int c = 0; c < channels; ++c) {
    for (int y = 0; y < height; ++y) {
      const Pixel* rowA;
      const Pixel* rowB;
      if constexpr (std::is_same_v<Data, Tamrix::Vision::IImage24PlanarColorData>) {
        rowA = a->Row(c, y), rowB = b->Row(c, y);
      } else {
        rowA = a->Row(y), rowB = b->Row(y);
      }
      if (!std::equal(rowA, rowA + width, rowB)) return false;
    }
  }
  return true;
}

bool SameMask(const Tamrix::Vision::PixelMask& a, const Tamrix::Vision::PixelMask& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() && a.Data() == b.Data();
}

}  // namespace

ItemContent ContentOf(const Tamrix::Vision::SmartCore::SmartTrainData& item) {
  ItemContent content{item.Image(), {}};
  if (!content.image) return content;
  const int width = content.image->Width();
  const int height = content.image->Height();
  const auto assignments = item.Assignments();
  if (!assignments) return content;
  Tamrix::Vision::PixelMask scratch(width, height);
  for (const auto& assignment : *assignments) {
    if (!assignment || !assignment->Label() || !assignment->Shape()) continue;
    auto entry = content.pixelsByLabel.try_emplace(assignment->Label()->Name(), width, height);
    AddCoveredPixels(entry.first->second, *assignment->Shape(), scratch);
  }
  return content;
}

bool SamePixels(const IImage& a, const IImage& b) {
  using namespace Tamrix::Vision;
  const int width = a.Width(), height = a.Height(), channels = a.ChannelCount();
  if (width != b.Width() || height != b.Height() || a.Format() != b.Format() ||
      channels != b.ChannelCount()) {
    return false;
  }
  if (a.Format() == PixelFormat::Grey8) {
    const auto* dataA = dynamic_cast<const IImage8GreyData*>(&a);
    const auto* dataB = dynamic_cast<const IImage8GreyData*>(&b);
    if (dataA && dataB) {
      return SameRows<IImage8GreyData, std::uint8_t>(dataA, dataB, width, height, 1);
    }
  } else if (a.Format() == PixelFormat::Grey16) {
    const auto* dataA = dynamic_cast<const IImage16GreyData*>(&a);
    const auto* dataB = dynamic_cast<const IImage16GreyData*>(&b);
    if (dataA && dataB) {
      return SameRows<IImage16GreyData, std::uint16_t>(dataA, dataB, width, height, 1);
    }
  } else if (a.Format() == PixelFormat::PlanarColor24) {
    const auto* dataA = dynamic_cast<const IImage24PlanarColorData*>(&a);
    const auto* dataB = dynamic_cast<const IImage24PlanarColorData*>(&b);
    if (dataA && dataB) {
      return SameRows<IImage24PlanarColorData, std::uint8_t>(dataA, dataB, width, height, channels);
    }
  }
  for (int c = 0; c < channels; ++c) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (a.Value(x, y, c) != b.Value(x, y, c)) return false;
      }
    }
  }
  return true;
}

bool SameContent(const ItemContent& a, const ItemContent& b) {
  if (!a.image || !b.image || !SamePixels(*a.image, *b.image)) return false;
  if (a.pixelsByLabel.size() != b.pixelsByLabel.size()) return false;
  return std::equal(a.pixelsByLabel.begin(), a.pixelsByLabel.end(), b.pixelsByLabel.begin(),
                    [](const auto& x, const auto& y) {
                      return x.first == y.first && SameMask(x.second, y.second);
                    });
}

}  // namespace Smartseg
