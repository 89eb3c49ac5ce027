// A named class label.
#pragma once

#include <cstdint>
#include <string>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/smartcore/ISmartLabel.h"

namespace Tamrix::Vision::SmartCore {

// A label with a name. setName() stores the new name and then raises OnChanged_(SfName); setting
// the current name raises nothing. Not synchronised: one thread edits a label at a time.
class SmartLabel : public ChangedEventShareableBase, public virtual ISmartLabel {
 public:
  // Raised after the name changed.
  static const long long SfName = 1;

  SmartLabel(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, std::string name);
  ~SmartLabel() override = default;

  std::string Name() const override { return name_; }
  void setName(const std::string& name) override;

 private:
  friend class cereal::access;
  SmartLabel() = default;

  // Record: ChangedEventShareableBase part, then the name.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  std::string name_;

  RTTR_ENABLE(ChangedEventShareableBase, ISmartLabel)
};

}  // namespace Tamrix::Vision::SmartCore

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartCore::SmartLabel, 1)
