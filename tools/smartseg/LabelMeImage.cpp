#include "tools/smartseg/LabelMeImage.h"

#include <system_error>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageFiles.h"

namespace Smartseg {
namespace {

std::string Size(const Picture& pixels) {
  return std::to_string(pixels.Width()) + " x " + std::to_string(pixels.Height());
}

// The file "imagePath" names beside an embedded image, when it is a regular file other than the
// annotation itself (LabelMe 4.0 wrote the annotation's own name there).
bool HasSeparateImageFile(const LabelMeAnnotation& annotation) {
  std::error_code error;
  if (annotation.imagePath.empty() ||
      !std::filesystem::is_regular_file(annotation.imagePath, error)) {
    return false;
  }
  return !std::filesystem::equivalent(annotation.imagePath, annotation.file, error) && !error;
}

}  // namespace

LoadedImage ReadLabelMeImage(const LabelMeAnnotation& annotation, const WarningSink& warn) {
  if (!annotation.imageData.empty()) {
    LoadedImage embedded =
        DecodeImage(annotation.imageData, annotation.file.string() + " (\"imageData\")");
    CheckAgainstImage(annotation, embedded.pixels.Width(), embedded.pixels.Height(),
                      "the embedded image (\"imageData\")");
    if (HasSeparateImageFile(annotation)) {
      try {
        const LoadedImage named = ReadImage(annotation.imagePath);
        if (named.pixels.Width() != embedded.pixels.Width() ||
            named.pixels.Height() != embedded.pixels.Height()) {
          warn(annotation.file.string() + ": the embedded image (\"imageData\") is " +
               Size(embedded.pixels) + ", but " + annotation.imagePath.string() +
               " (\"imagePath\") is " + Size(named.pixels) +
               "; the shapes are read on the embedded image");
        }
      } catch (const WorkError&) {
        // The embedded image is the one to use; a file beside it that cannot be read changes
        // nothing.
      }
    }
    return embedded;
  }
  LoadedImage named;
  try {
    named = ReadImage(annotation.imagePath);
  } catch (const WorkError& error) {
    throw WorkError(annotation.file,
                    std::string("cannot read its image (\"imagePath\"): ") + error.what());
  }
  CheckAgainstImage(annotation, named.pixels.Width(), named.pixels.Height());
  return named;
}

}  // namespace Smartseg
