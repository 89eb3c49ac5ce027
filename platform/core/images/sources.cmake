# Image sources of the core library, relative to platform/core.
set(TAMRIX_CORE_IMAGE_SRCS)
