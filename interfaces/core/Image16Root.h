// The pixel memory of 16-bit images (see PixelRoot).
#pragma once

#include "interfaces/core/PixelRoot.h"

namespace Tamrix::Vision {

using Image16Root = PixelRoot<std::uint16_t>;

}  // namespace Tamrix::Vision
