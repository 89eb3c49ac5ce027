// A framework object that is not shared: values and helpers that still take part in reflection.
#pragma once

#include <cstdint>
#include <string>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/IObject.h"

namespace Tamrix::Vision {

class ObjectBase : public virtual Tamrix::Vorn::IObject {
 public:
  explicit ObjectBase(const Tamrix::Vorn::IObject::ObjectCreateAccessToken&) {}
  ObjectBase() = default;
  std::string ToString() const override;

 private:
  friend class cereal::access;
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::ObjectBase, 1)
