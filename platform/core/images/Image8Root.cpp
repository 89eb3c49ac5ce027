#include "interfaces/core/Image8Root.h"

#include "interfaces/core/Settings.h"
#include "platform/core/images/ImageDetail.h"

namespace Tamrix::Vision {

Image8Root::Image8Root(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width,
                       int height)
    : ShareableBase(token),
      width_(width),
      height_(height),
      pixels_(detail::CheckedPixelCount("Image8Root", width, height)) {}

template <class Archive>
void Image8Root::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Image8Root::serialize()");
    archive(cereal::base_class<ShareableBase>(this));
    detail::LoadPixelBlock(archive, "Image8Root", width_, height_, pixels_);
  } else {
    archive(cereal::base_class<ShareableBase>(this));
    detail::SavePixelBlock(archive, width_, height_, pixels_);
  }
}

template void Image8Root::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Image8Root::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
