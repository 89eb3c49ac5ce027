# Image sources of the core library, relative to platform/core.
set(TAMRIX_CORE_IMAGE_SRCS
  images/ImageDetail.cpp
  images/PixelRoot.cpp
  images/GreyImage.cpp
  images/Image24PlanarColor.cpp
  images/ImageRegistration.cpp
)
