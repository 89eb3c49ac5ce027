// What a training item teaches, to tell an annotation that is already in a model.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/core/PixelMask.h"
#include "interfaces/smartcore/SmartTrainData.h"

namespace Smartseg {

// An image and, for each label name, the pixels of it that the label's shapes cover. Two items
// with equal content train the same, whatever shapes spell their pixels.
struct ItemContent {
  std::shared_ptr<Tamrix::Vision::IImage> image;
  std::map<std::string, Tamrix::Vision::PixelMask> pixelsByLabel;
};

// The content of `item`; assignments without a label or a shape are left out.
ItemContent ContentOf(const Tamrix::Vision::SmartCore::SmartTrainData& item);

// True when both images have the same size, format and pixel values.
bool SamePixels(const Tamrix::Vision::IImage& a, const Tamrix::Vision::IImage& b);

// True when `a` and `b` hold the same pixels and the same labels cover the same pixels.
bool SameContent(const ItemContent& a, const ItemContent& b);

}  // namespace Smartseg
