// Images held in memory, such as the ones LabelMe embeds in its files as base64.
#pragma once

#include <filesystem>
#include <string>

#include "tools/smartseg/ImageFiles.h"

namespace Smartseg {

// Decodes the bytes of a PNG, TIFF or JPEG file holding 8-bit or 16-bit grey or 8-bit RGB pixels,
// as ReadImage does for a file. `source` names where the bytes came from in messages: throws
// WorkError naming it for bytes that do not decode and for any other pixel format.
LoadedImage DecodeEmbeddedImage(const std::string& bytes, const std::filesystem::path& source);

}  // namespace Smartseg
