#include "interfaces/core/GraphicInteractiveBase.h"

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Settings.h"

namespace Tamrix::Vision {

void GraphicInteractiveBase::setName(const std::string& name) {
  if (name == name_) return;
  name_ = name;
  OnChanged_(SfName);
}

template <class Archive>
void GraphicInteractiveBase::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "GraphicInteractiveBase::serialize()");
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    Archiving::LoadString(archive, name_);
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    Archiving::SaveString(archive, name_);
  }
}

template void GraphicInteractiveBase::serialize(cereal::PortableBinaryOutputArchive&,
                                                std::uint32_t);
template void GraphicInteractiveBase::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
