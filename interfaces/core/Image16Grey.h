// 16-bit grey images: rectangular views of shared 16-bit pixel memory (see GreyImage).
#pragma once

#include "interfaces/core/GreyImage.h"

namespace Tamrix::Vision {

using Image16Grey = GreyImage<std::uint16_t>;

}  // namespace Tamrix::Vision
