// 8-bit grey images: rectangular views of shared 8-bit pixel memory (see GreyImage).
#pragma once

#include "interfaces/core/GreyImage.h"

namespace Tamrix::Vision {

using Image8Grey = GreyImage<std::uint8_t>;

}  // namespace Tamrix::Vision
