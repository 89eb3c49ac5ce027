#include "interfaces/core/ShareableBase.h"

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/ObjectBase.h"
#include "interfaces/core/Settings.h"

namespace Tamrix::Vision {

std::string ShareableBase::ToString() const { return get_type().get_name().to_string(); }

template <class Archive>
void ShareableBase::serialize(Archive&, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "ShareableBase::serialize()");
  }
}

std::string ObjectBase::ToString() const { return get_type().get_name().to_string(); }

template <class Archive>
void ObjectBase::serialize(Archive&, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "ObjectBase::serialize()");
  }
}

template void ShareableBase::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void ShareableBase::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);
template void ObjectBase::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void ObjectBase::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
