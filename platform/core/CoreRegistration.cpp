// Archive and reflection registrations of the object model's own types. Registered here, in the
// library that defines them, so that every library of the process finds them in force.
#include <rttr/registration>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Meta.h"
#include "interfaces/core/ObjectBase.h"

CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::ShareableBase, "Tamrix::Vision::ShareableBase")
CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::ChangedEventShareableBase,
                               "Tamrix::Vision::ChangedEventShareableBase")
CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::ObjectBase, "Tamrix::Vision::ObjectBase")

CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::ShareableBase)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::ObjectBase)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::IChangedEvent)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ShareableBase,
                                     Tamrix::Vision::ChangedEventShareableBase)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IChangedEvent,
                                     Tamrix::Vision::ChangedEventShareableBase)

RTTR_REGISTRATION {
  using namespace Tamrix::Vision;
  using Tamrix::Vorn::IObject;
  rttr::registration::class_<IObject>("Tamrix::Vorn::IObject")
      .method("ToString", &IObject::ToString);
  rttr::registration::class_<Tamrix::Vorn::IException>("Tamrix::Vorn::IException");
  rttr::registration::class_<IChangedEvent>("Tamrix::Vision::IChangedEvent")
      .method("ChangedEventSuspended", &IChangedEvent::ChangedEventSuspended)
      .method("SuspendChangedEvent", &IChangedEvent::SuspendChangedEvent)
      .method("ResumeAndRaiseChangedEvent", &IChangedEvent::ResumeAndRaiseChangedEvent);
  rttr::registration::class_<ShareableBase>("Tamrix::Vision::ShareableBase");
  rttr::registration::class_<ChangedEventShareableBase>(
      "Tamrix::Vision::ChangedEventShareableBase");
  rttr::registration::class_<ObjectBase>("Tamrix::Vision::ObjectBase");
  rttr::registration::class_<VisionException>("Tamrix::Vision::VisionException");
  rttr::registration::class_<ArgumentException>("Tamrix::Vision::ArgumentException");
  rttr::registration::class_<FileOpenException>("Tamrix::Vision::FileOpenException");
  rttr::registration::class_<Meta::IMemberMeta>("Tamrix::Vision::Meta::IMemberMeta");
  rttr::registration::class_<Meta::IPropertyMeta>("Tamrix::Vision::Meta::IPropertyMeta");
  rttr::registration::class_<Meta::IHaveFakePropertyMeta>(
      "Tamrix::Vision::Meta::IHaveFakePropertyMeta");
  rttr::registration::class_<Meta::MethodMeta>("Tamrix::Vision::Meta::MethodMeta");
  rttr::registration::class_<Meta::FakePropertyMeta>("Tamrix::Vision::Meta::FakePropertyMeta");
}
