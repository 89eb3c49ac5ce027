// The pixel memory of 8-bit images (see PixelRoot).
#pragma once

#include "interfaces/core/PixelRoot.h"

namespace Tamrix::Vision {

using Image8Root = PixelRoot<std::uint8_t>;

}  // namespace Tamrix::Vision
