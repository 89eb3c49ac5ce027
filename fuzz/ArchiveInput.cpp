#include "fuzz/ArchiveInput.h"

#include <exception>
#include <memory>
#include <sstream>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/sys/SysLibrary.h"

namespace Tamrix::Fuzzing {
namespace {

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// A small image with some structure, so that trained engines have something to tell apart.
const Tamrix::Vision::IImage& ProbeImage() {
  static const auto image = [] {
    auto made = std::make_shared<Tamrix::Vision::Image8Grey>(
        Tamrix::Vorn::IObject::ObjectCreateAccessToken{}, 24, 16);
    for (int y = 0; y < made->Height(); ++y) {
      for (int x = 0; x < made->Width(); ++x) {
        made->MutableRow(y)[x] = static_cast<std::uint8_t>((x * 11 + y * 7) % 256);
      }
    }
    return made;
  }();
  return *image;
}

}  // namespace

void PrepareArchiveInputs(const std::string& moduleDirectory) {
  sysSetLibrarySearchDirectory(Widen(moduleDirectory));
  Tamrix::Vision::VisionToolMultiThreading::setEnable(false);
}

void RunArchiveInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::shared_ptr<Tamrix::Vorn::IObject> object;
  try {
    object = Tamrix::Vision::Archiving::LoadObject(in);
  } catch (const std::exception&) {
    return;
  }
  if (!object) return;
  if (auto segmenter =
          std::dynamic_pointer_cast<Tamrix::Vision::SmartCore::ISmartSegmenter>(object)) {
    try {
      segmenter->Execute(ProbeImage(), nullptr);
    } catch (const std::exception&) {
    }
  }
  try {
    std::ostringstream out;
    Tamrix::Vision::Archiving::SaveObject(out, object);
  } catch (const std::exception&) {
  }
}

}  // namespace Tamrix::Fuzzing
