# What `cmake --install` and the Debian package deliver: the libraries, the helper module, their
# public headers, the smartseg program with its browser host smartseg-serve, and a package
# configuration through which a host project finds everything with
# find_package(TamrixVisionSmartSegmenter) and links Tamrix::SmartSegmenter.
#
# Everything goes to lib/, bin/ and include/ under the prefix, never to a multiarch folder: the
# operator finds its helper module beside the system-support library, and smartseg finds the
# libraries through its run path $ORIGIN/../lib. The headers keep their paths from the repository
# root (interfaces/..., vision/...) inside a folder of their own, so that /usr/include gains one
# entry and not a generic "interfaces" folder.
include(CMakePackageConfigHelpers)

set(TAMRIX_PACKAGE TamrixVisionSmartSegmenter)
set(TAMRIX_INSTALL_CMAKEDIR lib/cmake/${TAMRIX_PACKAGE})
set(TAMRIX_INSTALL_INCLUDEDIR include/${TAMRIX_PACKAGE})

# The names hosts see after the Tamrix:: namespace.
set_target_properties(sys PROPERTIES EXPORT_NAME Sys)
set_target_properties(core PROPERTIES EXPORT_NAME Core)
set_target_properties(smartcore PROPERTIES EXPORT_NAME SmartCore)
set_target_properties(engine PROPERTIES EXPORT_NAME SmartSegmenterEngine)
set_target_properties(SmartSegmenter PROPERTIES EXPORT_NAME SmartSegmenter)
set_target_properties(helper PROPERTIES EXPORT_NAME SmartSegmenterHelper)

install(TARGETS sys core smartcore engine SmartSegmenter helper smartseg smartseg-serve
  EXPORT ${TAMRIX_PACKAGE}Targets
  LIBRARY DESTINATION lib
  ARCHIVE DESTINATION lib
  RUNTIME DESTINATION bin
  FILE_SET HEADERS DESTINATION ${TAMRIX_INSTALL_INCLUDEDIR})
install(EXPORT ${TAMRIX_PACKAGE}Targets
  NAMESPACE Tamrix::
  DESTINATION ${TAMRIX_INSTALL_CMAKEDIR})

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/${TAMRIX_PACKAGE}Config.cmake.in
  ${PROJECT_BINARY_DIR}/${TAMRIX_PACKAGE}Config.cmake
  INSTALL_DESTINATION ${TAMRIX_INSTALL_CMAKEDIR})
# Before 1.0 a minor version may change the archive format or the interfaces.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/${TAMRIX_PACKAGE}ConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/${TAMRIX_PACKAGE}Config.cmake
  ${PROJECT_BINARY_DIR}/${TAMRIX_PACKAGE}ConfigVersion.cmake
  DESTINATION ${TAMRIX_INSTALL_CMAKEDIR})

# `cpack` in the build folder makes the Debian package of the same installation, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamrix-vision-smartsegmenter)
set(CPACK_PACKAGE_VENDOR Tamrix)
set(CPACK_PACKAGE_CONTACT "Tamrix Vision <vision@tamrix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Learning segmentation operator with its framework libraries and the smartseg program")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
# Run-time libraries are found by dpkg-shlibdeps; a host building against the headers and the
# package configuration also needs the header-only and development packages they name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${TAMRIX_STAGE_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcereal-dev, librttr-dev, libboost-dev")
include(CPack)
