// Archive and reflection registrations of the image types, made in the library that defines them
// so that every library of the process finds them in force.
#include <rttr/registration>

#include "interfaces/core/ArchiveNames.h"

TAMRIX_ARCHIVE_TYPE(Image8Grey, "Tamrix::Vision::Image8Grey")
TAMRIX_ARCHIVE_TYPE(Image16Grey, "Tamrix::Vision::Image16Grey")
TAMRIX_ARCHIVE_TYPE(Image24PlanarColor, "Tamrix::Vision::Image24PlanarColor")
TAMRIX_ARCHIVE_TYPE(Image8Root, "Tamrix::Vision::Image8Root")
TAMRIX_ARCHIVE_TYPE(Image16Root, "Tamrix::Vision::Image16Root")

TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Image8Grey)
TAMRIX_ARCHIVE_RELATION(IImage, Image8Grey)
TAMRIX_ARCHIVE_RELATION(IImage8GreyData, Image8Grey)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Image16Grey)
TAMRIX_ARCHIVE_RELATION(IImage, Image16Grey)
TAMRIX_ARCHIVE_RELATION(IImage16GreyData, Image16Grey)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Image24PlanarColor)
TAMRIX_ARCHIVE_RELATION(IImage, Image24PlanarColor)
TAMRIX_ARCHIVE_RELATION(IImage24PlanarColorData, Image24PlanarColor)
TAMRIX_ARCHIVE_RELATION(IImage8RootBuffer, Image8Root)
TAMRIX_ARCHIVE_RELATION(ShareableBase, Image8Root)
TAMRIX_ARCHIVE_RELATION(IImage16RootBuffer, Image16Root)
TAMRIX_ARCHIVE_RELATION(ShareableBase, Image16Root)
// The roots also serve as raw pixel memory; without these a root could not be archived through
// its memory interface.
TAMRIX_ARCHIVE_RELATION(IImage8PixelMemory, Image8Root)
TAMRIX_ARCHIVE_RELATION(IImage16PixelMemory, Image16Root)
TAMRIX_ARCHIVE_RELATION(IImage8Root, IImage8RootBuffer)
TAMRIX_ARCHIVE_RELATION(IImage16Root, IImage16RootBuffer)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, IImage)
TAMRIX_ARCHIVE_RELATION(IObject, IImage8GreyData)
TAMRIX_ARCHIVE_RELATION(IObject, IImage16GreyData)
TAMRIX_ARCHIVE_RELATION(IObject, IImage24PlanarColorData)
TAMRIX_ARCHIVE_RELATION(IObject, IImage8PixelMemory)
TAMRIX_ARCHIVE_RELATION(IObject, IImage16PixelMemory)
TAMRIX_ARCHIVE_RELATION(IObject, IImage8Root)
TAMRIX_ARCHIVE_RELATION(IObject, IImage16Root)

// RTTR registers a class when the temporary registration object is destroyed, at the end of
// each statement: these are no unused objects.
// NOLINTBEGIN(bugprone-unused-raii)
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
// NOLINTEND(bugprone-unused-raii)
