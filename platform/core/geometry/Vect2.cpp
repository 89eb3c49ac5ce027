#include "interfaces/core/Vect2.h"

#include "interfaces/core/Settings.h"

namespace Tamrix::Vision {

template <class Archive>
void Vect2::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Vect2::serialize()");
  }
  archive(cereal::base_class<ShareableBase>(this), x_, y_);
}

template void Vect2::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Vect2::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
