# Image sources of the core library, relative to platform/core.
set(TAMRIX_CORE_IMAGE_SRCS
  images/ImageDetail.cpp
  images/PixelRoot.cpp
  images/GreyImage.cpp
  images/Image24PlanarColor.cpp
  images/ImageRegistration.cpp
)

# Their public headers, relative to the repository root.
set(TAMRIX_CORE_IMAGE_HDRS
  interfaces/core/GreyImage.h
  interfaces/core/Image16Grey.h
  interfaces/core/Image16Root.h
  interfaces/core/Image24PlanarColor.h
  interfaces/core/Image8Grey.h
  interfaces/core/Image8Root.h
  interfaces/core/ImageInterfaces.h
  interfaces/core/PixelRoot.h
)
