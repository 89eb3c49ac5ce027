// Archive and reflection registrations of the image types, made in the library that defines them
// so that every library of the process finds them in force.
#include <rttr/registration>

#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image16Root.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/Image8Root.h"

CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::Image8Grey, "Tamrix::Vision::Image8Grey")
CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::Image16Grey, "Tamrix::Vision::Image16Grey")
CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::Image24PlanarColor,
                               "Tamrix::Vision::Image24PlanarColor")
CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::Image8Root, "Tamrix::Vision::Image8Root")
CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::Image16Root, "Tamrix::Vision::Image16Root")

CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ChangedEventShareableBase,
                                     Tamrix::Vision::Image8Grey)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage, Tamrix::Vision::Image8Grey)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage8GreyData, Tamrix::Vision::Image8Grey)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ChangedEventShareableBase,
                                     Tamrix::Vision::Image16Grey)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage, Tamrix::Vision::Image16Grey)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage16GreyData, Tamrix::Vision::Image16Grey)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ChangedEventShareableBase,
                                     Tamrix::Vision::Image24PlanarColor)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage, Tamrix::Vision::Image24PlanarColor)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage24PlanarColorData,
                                     Tamrix::Vision::Image24PlanarColor)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage8RootBuffer, Tamrix::Vision::Image8Root)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ShareableBase, Tamrix::Vision::Image8Root)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage16RootBuffer,
                                     Tamrix::Vision::Image16Root)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ShareableBase, Tamrix::Vision::Image16Root)
// The roots also serve as raw pixel memory; without these a root could not be archived through
// its memory interface.
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage8PixelMemory, Tamrix::Vision::Image8Root)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage16PixelMemory,
                                     Tamrix::Vision::Image16Root)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage8Root, Tamrix::Vision::IImage8RootBuffer)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IImage16Root,
                                     Tamrix::Vision::IImage16RootBuffer)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::IChangedEvent, Tamrix::Vision::IImage)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::IImage8GreyData)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::IImage16GreyData)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::IImage24PlanarColorData)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::IImage8PixelMemory)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::IImage16PixelMemory)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::IImage8Root)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject, Tamrix::Vision::IImage16Root)

RTTR_REGISTRATION {
  using namespace Tamrix::Vision;
  rttr::registration::class_<IImage>("Tamrix::Vision::IImage")
      .property_readonly("Width", &IImage::Width)
      .property_readonly("Height", &IImage::Height)
      .property_readonly("Format", &IImage::Format)
      .property_readonly("ChannelCount", &IImage::ChannelCount)
      .property_readonly("PixelGeneration", &IImage::PixelGeneration);
  rttr::registration::class_<IImage8GreyData>("Tamrix::Vision::IImage8GreyData");
  rttr::registration::class_<IImage16GreyData>("Tamrix::Vision::IImage16GreyData");
  rttr::registration::class_<IImage24PlanarColorData>("Tamrix::Vision::IImage24PlanarColorData");
  rttr::registration::class_<IImage8PixelMemory>("Tamrix::Vision::IImage8PixelMemory");
  rttr::registration::class_<IImage16PixelMemory>("Tamrix::Vision::IImage16PixelMemory");
  rttr::registration::class_<IImage8Root>("Tamrix::Vision::IImage8Root")
      .property_readonly("Width", &IImage8Root::Width)
      .property_readonly("Height", &IImage8Root::Height);
  rttr::registration::class_<IImage8RootBuffer>("Tamrix::Vision::IImage8RootBuffer");
  rttr::registration::class_<IImage16Root>("Tamrix::Vision::IImage16Root")
      .property_readonly("Width", &IImage16Root::Width)
      .property_readonly("Height", &IImage16Root::Height);
  rttr::registration::class_<IImage16RootBuffer>("Tamrix::Vision::IImage16RootBuffer");
  rttr::registration::enumeration<PixelFormat>("Tamrix::Vision::PixelFormat")(
      rttr::value("Grey8", PixelFormat::Grey8), rttr::value("Grey16", PixelFormat::Grey16),
      rttr::value("PlanarColor24", PixelFormat::PlanarColor24));

  rttr::registration::class_<Image8Root>("Tamrix::Vision::Image8Root")
      .property_readonly("Width", &Image8Root::Width)
      .property_readonly("Height", &Image8Root::Height);
  rttr::registration::class_<Image16Root>("Tamrix::Vision::Image16Root")
      .property_readonly("Width", &Image16Root::Width)
      .property_readonly("Height", &Image16Root::Height);
  rttr::registration::class_<Image8Grey>("Tamrix::Vision::Image8Grey")
      .property_readonly("Width", &Image8Grey::Width)
      .property_readonly("Height", &Image8Grey::Height)
      .property_readonly("SfPixels", &Image8Grey::SfPixels);
  rttr::registration::class_<Image16Grey>("Tamrix::Vision::Image16Grey")
      .property_readonly("Width", &Image16Grey::Width)
      .property_readonly("Height", &Image16Grey::Height)
      .property_readonly("SfPixels", &Image16Grey::SfPixels);
  rttr::registration::class_<Image24PlanarColor>("Tamrix::Vision::Image24PlanarColor")
      .property_readonly("Width", &Image24PlanarColor::Width)
      .property_readonly("Height", &Image24PlanarColor::Height)
      .property_readonly("SfPixels", &Image24PlanarColor::SfPixels);
}
