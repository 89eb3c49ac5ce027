#include "interfaces/smartcore/SmartLabel.h"

#include <utility>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/SmartLabelCollection.h"

namespace Tamrix::Vision::SmartCore {

const long long SmartLabel::SfName;

SmartLabel::SmartLabel(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                       std::string name)
    : ChangedEventShareableBase(token), name_(std::move(name)) {}

void SmartLabel::setName(const std::string& name) {
  if (name == name_) return;
  name_ = name;
  OnChanged_(SfName);
}

template <class Archive>
void SmartLabel::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "SmartLabel::serialize()");
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    Archiving::LoadString(archive, name_);
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    Archiving::SaveString(archive, name_);
  }
}

template void SmartLabel::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void SmartLabel::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

SmartLabelCollection::SmartLabelCollection(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
    : Base(token) {}

template <class Archive>
void SmartLabelCollection::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "SmartLabelCollection::serialize()");
  }
  archive(cereal::base_class<Base>(this));
}

template void SmartLabelCollection::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void SmartLabelCollection::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision::SmartCore
