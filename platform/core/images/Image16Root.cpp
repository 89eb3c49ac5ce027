#include "interfaces/core/Image16Root.h"

#include "interfaces/core/Settings.h"
#include "platform/core/images/ImageDetail.h"

namespace Tamrix::Vision {

Image16Root::Image16Root(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width,
                         int height)
    : ShareableBase(token),
      width_(width),
      height_(height),
      pixels_(detail::CheckedPixelCount("Image16Root", width, height)) {}

template <class Archive>
void Image16Root::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Image16Root::serialize()");
    archive(cereal::base_class<ShareableBase>(this));
    detail::LoadPixelBlock(archive, "Image16Root", width_, height_, pixels_);
  } else {
    archive(cereal::base_class<ShareableBase>(this));
    detail::SavePixelBlock(archive, width_, height_, pixels_);
  }
}

template void Image16Root::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Image16Root::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
