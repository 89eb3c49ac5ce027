// The image a LabelMe annotation was drawn on.
#pragma once

#include <functional>
#include <string>

#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/LabelMe.h"

namespace Smartseg {

// Receives one warning line (without a prefix such as "warning: ").
using WarningSink = std::function<void(const std::string&)>;

// The embedded image ("imageData") when the annotation holds one, since that is what LabelMe
// showed while the shapes were drawn; otherwise the file "imagePath" names. When both exist and
// their sizes disagree, `warn` is told and the embedded image is used. Throws WorkError naming the
// annotation file for an image that cannot be read or decoded, and for a size that disagrees with
// "imageWidth" and "imageHeight".
LoadedImage ReadLabelMeImage(const LabelMeAnnotation& annotation, const WarningSink& warn);

}  // namespace Smartseg
