// Archive and reflection registrations of the object model's own types. Registered here, in the
// library that defines them, so that every library of the process finds them in force.
#include <rttr/registration>

#include "interfaces/core/ArchiveNames.h"
#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Meta.h"
#include "interfaces/core/ObjectBase.h"

TAMRIX_ARCHIVE_TYPE(ShareableBase, "Tamrix::Vision::ShareableBase")
TAMRIX_ARCHIVE_TYPE(ChangedEventShareableBase, "Tamrix::Vision::ChangedEventShareableBase")
TAMRIX_ARCHIVE_TYPE(ObjectBase, "Tamrix::Vision::ObjectBase")

TAMRIX_ARCHIVE_RELATION(IObject, ShareableBase)
TAMRIX_ARCHIVE_RELATION(IObject, ObjectBase)
TAMRIX_ARCHIVE_RELATION(IObject, IChangedEvent)
TAMRIX_ARCHIVE_RELATION(ShareableBase, ChangedEventShareableBase)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, ChangedEventShareableBase)

// RTTR registers a class when the temporary registration object is destroyed, at the end of
// each statement: these are no unused objects.
// NOLINTBEGIN(bugprone-unused-raii)
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
// NOLINTEND(bugprone-unused-raii)
