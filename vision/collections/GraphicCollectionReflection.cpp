// Reflection of the read-only graphic collection, so that generic hosts list one pseudo-property
// per element (see ReadOnlyCollectionBase::GetFakeProperties).
#include <rttr/registration>

#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/ReadOnlyCollectionBase.h"

RTTR_REGISTRATION {
  using GraphicReadOnlyCollection = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
      std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
  rttr::registration::class_<GraphicReadOnlyCollection>(
      "Tamrix::Vision::Implementation::ReadOnlyCollectionBase<Tamrix::Vision::"
      "IGraphicParentChildPtr>")
      .method("Count", &GraphicReadOnlyCollection::Count)
      .method("Item", &GraphicReadOnlyCollection::Item);
}
