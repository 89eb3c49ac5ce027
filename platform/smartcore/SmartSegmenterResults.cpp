#include "interfaces/smartcore/SmartSegmenterResults.h"

#include <utility>

#include "interfaces/core/Settings.h"

namespace Tamrix::Vision::SmartCore {

SmartSegmenterResults::SmartSegmenterResults(
    std::vector<std::shared_ptr<ISmartSegmenterResult>> results)
    : Base(Tamrix::Vorn::IObject::ObjectCreateAccessToken{}, std::move(results)) {}

SmartSegmenterResults::SmartSegmenterResults(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
    std::vector<std::shared_ptr<ISmartSegmenterResult>> results)
    : Base(token, std::move(results)) {}

template <class Archive>
void SmartSegmenterResults::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "SmartSegmenterResults::serialize()");
  }
  archive(cereal::base_class<Base>(this));
}

template void SmartSegmenterResults::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void SmartSegmenterResults::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision::SmartCore
