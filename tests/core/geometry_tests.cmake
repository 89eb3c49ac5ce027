# Geometry tests of the core library, relative to tests/core.
tamrix_test(
  NAME core_geometry_test
  SRCS
    geometry/raster_test.cpp
    geometry/shape_properties_test.cpp
    geometry/transforms_test.cpp
    geometry/collections_test.cpp
    geometry/archive_round_trip_test.cpp
  DEPS tamrix::core
)
