// The common base of the framework's shapes.
#pragma once

#include <cstdint>
#include <string>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/GraphicInterfaces.h"

namespace Tamrix::Vision {

// A named, editable graphic with a changed event. setName raises OnChanged_(SfName) when the name
// actually changes. Derived shapes number their own flags from SfNextSf_ upwards.
class GraphicInteractiveBase : public ChangedEventShareableBase,
                               public virtual IGraphicInteractive,
                               public virtual IGraphicParentChild {
 public:
  static constexpr long long sf0_ = 1;
  static constexpr long long SfName = sf0_;
  static constexpr long long SfNextSf_ = SfName << 1;

  explicit GraphicInteractiveBase(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ChangedEventShareableBase(token) {}
  ~GraphicInteractiveBase() override = default;

  std::string Name() const override { return name_; }
  void setName(const std::string& name) override;

 protected:
  GraphicInteractiveBase() = default;

 private:
  friend class cereal::access;
  // Record: ChangedEventShareableBase part, then the name (byte count and bytes).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  std::string name_;

  RTTR_ENABLE(ChangedEventShareableBase, IGraphicInteractive, IGraphicParentChild)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::GraphicInteractiveBase, 1)
