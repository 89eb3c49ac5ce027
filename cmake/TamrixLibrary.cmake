# One helper declares every library of the project, so that flags, visibility and the output
# layout are decided in one place.

set(TAMRIX_WARNINGS -Wall -Wextra -Wpedantic -Wshadow)

# Compiles each library as a few large translation units, so that cereal's, RTTR's and Boost's
# headers and their instantiations are processed once per batch instead of once per source. It
# saves most in builds without a compiler cache (the sanitizer builds of CI) and costs the
# incremental rebuilds of a developer, hence off by default. Library sources keep their
# file-local names unique, which a unity build requires; tests and tools are not batched.
option(TAMRIX_UNITY_BUILD "Build the libraries as unity builds" OFF)

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

# tamrix_library(NAME <target> OUTPUT <file stem> [MODULE]
#                HDRS <public headers> SRCS ... DEPS ... PRIVATE_DEPS ...)
# HDRS, given relative to the repository root, are the library's public boundary: they are
# installed and what a host may include. Every other header beside the sources is private.
function(tamrix_library)
  cmake_parse_arguments(ARG "MODULE" "NAME;OUTPUT" "HDRS;SRCS;DEPS;PRIVATE_DEPS" ${ARGN})
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
  # Sources include their private neighbours by their path from the root, as everything else.
  target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  if(ARG_HDRS)
    list(TRANSFORM ARG_HDRS PREPEND ${PROJECT_SOURCE_DIR}/)
    target_sources(${ARG_NAME} PUBLIC
      FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES ${ARG_HDRS})
  endif()
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  tamrix_target_settings(${ARG_NAME})
  # A library's calls of its own functions (and the function pointers of its vtables) bind at link
  # time instead of by a symbol lookup at every start; data stays interposable, so the template
  # statics above still resolve to one instance.
  target_link_options(${ARG_NAME} PRIVATE LINKER:-Bsymbolic-functions
    LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/LocalTypeNames.map)
  set_property(TARGET ${ARG_NAME} APPEND PROPERTY LINK_DEPENDS
    ${PROJECT_SOURCE_DIR}/cmake/LocalTypeNames.map)
  set_target_properties(${ARG_NAME} PROPERTIES UNITY_BUILD ${TAMRIX_UNITY_BUILD})
  if(TAMRIX_UNITY_BUILD)
    # RTTR_REGISTRATION defines one fixed function name per translation unit: such sources stay
    # on their own.
    foreach(source ${ARG_SRCS})
      file(STRINGS ${source} registers REGEX "RTTR_REGISTRATION" LIMIT_COUNT 1)
      if(registers)
        set_source_files_properties(${source} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
      endif()
    endforeach()
  endif()
endfunction()

# tamrix_test(NAME <target> [THREADED] SRCS ... DEPS ...)
# THREADED marks a program whose tests start threads: scripts/test-sanitizers thread runs those
# under ThreadSanitizer (the list is written to threaded-tests.txt in the build folder).
function(tamrix_test)
  cmake_parse_arguments(ARG "THREADED" "NAME" "SRCS;DEPS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SRCS})
  target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  set_target_properties(${ARG_NAME} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    BUILD_RPATH "${TAMRIX_STAGE_DIR}/lib")
  tamrix_target_settings(${ARG_NAME})
  gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60)
  if(ARG_THREADED)
    tamrix_threaded_test(${ARG_NAME})
  endif()
endfunction()

# Marks an existing test program as threaded (see tamrix_test).
function(tamrix_threaded_test target)
  set_property(GLOBAL APPEND PROPERTY TAMRIX_THREADED_TESTS ${target})
  get_property(threaded GLOBAL PROPERTY TAMRIX_THREADED_TESTS)
  list(JOIN threaded "\n" lines)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/threaded-tests.txt CONTENT "${lines}\n")
endfunction()
