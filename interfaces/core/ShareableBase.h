// Shared-ownership support for framework objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/IObject.h"

namespace Tamrix::Vision {

// Base of every framework object owned through std::shared_ptr. shared_from_this() works once the
// object is owned by a std::shared_ptr (std::make_shared does that).
class ShareableBase : public std::enable_shared_from_this<ShareableBase>,
                      public virtual Tamrix::Vorn::IObject {
 public:
  explicit ShareableBase(const Tamrix::Vorn::IObject::ObjectCreateAccessToken&) {}
  ~ShareableBase() override = default;

  // The object's reflected type name.
  std::string ToString() const override;

 protected:
  ShareableBase() = default;
  // Copies carry no ownership: each copy gets its own enable_shared_from_this state.
  ShareableBase(const ShareableBase&) : std::enable_shared_from_this<ShareableBase>() {}
  ShareableBase& operator=(const ShareableBase&) { return *this; }

 private:
  friend class cereal::access;
  // The record is empty; its class version word marks the base part in archives.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::ShareableBase, 1)
