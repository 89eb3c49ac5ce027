#include "interfaces/core/PixelRoot.h"

#include <string>

#include "interfaces/core/Settings.h"
#include "platform/core/images/ImageDetail.h"

namespace Tamrix::Vision {

template <typename Pixel>
PixelRoot<Pixel>::PixelRoot(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width,
                            int height)
    : ShareableBase(token),
      width_(width),
      height_(height),
      pixels_(detail::CheckedPixelCount(PixelRootKind<Pixel>::kName, width, height)) {}

template <typename Pixel>
template <class Archive>
void PixelRoot<Pixel>::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1,
                                      std::string(PixelRootKind<Pixel>::kName) + "::serialize()");
    archive(cereal::base_class<ShareableBase>(this));
    detail::LoadPixelBlock(archive, PixelRootKind<Pixel>::kName, width_, height_, pixels_);
  } else {
    archive(cereal::base_class<ShareableBase>(this));
    detail::SavePixelBlock(archive, width_, height_, pixels_);
  }
}

template class PixelRoot<std::uint8_t>;
template class PixelRoot<std::uint16_t>;
template void PixelRoot<std::uint8_t>::serialize(cereal::PortableBinaryOutputArchive&,
                                                 std::uint32_t);
template void PixelRoot<std::uint8_t>::serialize(cereal::PortableBinaryInputArchive&,
                                                 std::uint32_t);
template void PixelRoot<std::uint16_t>::serialize(cereal::PortableBinaryOutputArchive&,
                                                  std::uint32_t);
template void PixelRoot<std::uint16_t>::serialize(cereal::PortableBinaryInputArchive&,
                                                  std::uint32_t);

}  // namespace Tamrix::Vision
