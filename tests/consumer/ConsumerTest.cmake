# The consumer test: installs this build into build/consumer/install, then builds and runs the
# consumer project against that installation alone.
set(TAMRIX_CONSUMER_DIR ${CMAKE_BINARY_DIR}/consumer)
add_test(NAME consumer_install
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${TAMRIX_CONSUMER_DIR}/install)
add_test(NAME consumer_build_and_run
  COMMAND ${CMAKE_COMMAND}
    -DPREFIX=${TAMRIX_CONSUMER_DIR}/install
    -DWORK=${TAMRIX_CONSUMER_DIR}/work
    -DCOMPILER=${CMAKE_CXX_COMPILER}
    -DLAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    "-DCXX_FLAGS=${CMAKE_CXX_FLAGS}"
    "-DLINKER_FLAGS=${CMAKE_EXE_LINKER_FLAGS}"
    -P ${CMAKE_CURRENT_LIST_DIR}/BuildAndRun.cmake)
set_tests_properties(consumer_install PROPERTIES FIXTURES_SETUP consumer_installation)
set_tests_properties(consumer_build_and_run PROPERTIES
  FIXTURES_REQUIRED consumer_installation
  TIMEOUT 900)
