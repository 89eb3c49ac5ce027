# Image tests of the core library: views and sharing, pixel generations, archive records.
tamrix_test(
  NAME core_image_test
  SRCS
    images/image_view_test.cpp
    images/pixel_generation_test.cpp
    images/image_archive_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/LargestAllocation.cpp
  DEPS tamrix::core
)
