# Geometry sources of the core library, relative to platform/core.
set(TAMRIX_CORE_GEOMETRY_SRCS)
