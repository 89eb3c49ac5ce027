# One helper declares every library of the project, so that flags, visibility and the output
# layout are decided in one place.

set(TAMRIX_WARNINGS -Wall -Wextra -Wpedantic -Wshadow)

# Applies the project's compile settings to a target.
function(tamrix_target_settings target)
  target_compile_options(${target} PRIVATE ${TAMRIX_WARNINGS})
  if(TAMRIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # cereal's registries are shared through vague linkage across our shared libraries; a thread-safe
  # cereal is required because worker threads archive and look up bindings concurrently.
  target_compile_definitions(${target} PUBLIC CEREAL_THREAD_SAFE=1)
  # Default visibility is load-bearing: cereal's binding, version and caster tables and RTTR's
  # registry are template statics that must resolve to one instance in the process.
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET default
    VISIBILITY_INLINES_HIDDEN OFF
    INTERPROCEDURAL_OPTIMIZATION OFF)
endfunction()

# tamrix_library(NAME <target> OUTPUT <file stem> [MODULE] SRCS ... DEPS ... PRIVATE_DEPS ...)
function(tamrix_library)
  cmake_parse_arguments(ARG "MODULE" "NAME;OUTPUT" "SRCS;DEPS;PRIVATE_DEPS" ${ARGN})
  if(ARG_MODULE)
    add_library(${ARG_NAME} MODULE ${ARG_SRCS})
    set_target_properties(${ARG_NAME} PROPERTIES PREFIX "")
  else()
    add_library(${ARG_NAME} SHARED ${ARG_SRCS})
    add_library(tamrix::${ARG_NAME} ALIAS ${ARG_NAME})
  endif()
  if(ARG_OUTPUT)
    set_target_properties(${ARG_NAME} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT})
  endif()
  set_target_properties(${ARG_NAME} PROPERTIES
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN")
  target_include_directories(${ARG_NAME} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:include>)
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  tamrix_target_settings(${ARG_NAME})
endfunction()

# tamrix_test(NAME <target> SRCS ... DEPS ...)
function(tamrix_test)
  cmake_parse_arguments(ARG "" "NAME" "SRCS;DEPS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SRCS})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  set_target_properties(${ARG_NAME} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    BUILD_RPATH "${TAMRIX_STAGE_DIR}/lib")
  tamrix_target_settings(${ARG_NAME})
  gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60)
endfunction()
