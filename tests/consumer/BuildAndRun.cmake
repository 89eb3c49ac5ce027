# Configures, builds and runs the consumer project against an installed package.
#   cmake -DPREFIX=<installed tree> -DWORK=<scratch folder> [-DCOMPILER=...] [-DLAUNCHER=...]
#         [-DCXX_FLAGS=...] [-DLINKER_FLAGS=...] -P BuildAndRun.cmake
# Only PREFIX is searched for the package (besides the system's own packages), so a header or a
# target missing from the installation fails here.
foreach(required PREFIX WORK)
  if(NOT ${required})
    message(FATAL_ERROR "BuildAndRun.cmake: -D${required}=... is required")
  endif()
endforeach()

# The installation holds the public headers alone: nothing of platform/, and of the operator's
# folder only what its build file declares public.
set(headers ${PREFIX}/include/TamrixVisionSmartSegmenter)
if(NOT EXISTS ${headers}/vision/SmartSegmenter/SmartSegmenterOperator)
  message(FATAL_ERROR "${headers} holds no operator header")
endif()
if(EXISTS ${headers}/platform OR EXISTS ${headers}/vision/SmartSegmenter/OperatorBinding.h)
  message(FATAL_ERROR "${headers} holds private headers")
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/output)
set(options -DCMAKE_PREFIX_PATH=${PREFIX} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
foreach(setting COMPILER:CMAKE_CXX_COMPILER LAUNCHER:CMAKE_CXX_COMPILER_LAUNCHER
                CXX_FLAGS:CMAKE_CXX_FLAGS LINKER_FLAGS:CMAKE_EXE_LINKER_FLAGS)
  string(REPLACE ":" ";" pair ${setting})
  list(GET pair 0 variable)
  list(GET pair 1 cache)
  if(${variable})
    list(APPEND options "-D${cache}=${${variable}}")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endfunction()

get_filename_component(source ${CMAKE_CURRENT_LIST_DIR} ABSOLUTE)
run(${CMAKE_COMMAND} -S ${source} -B ${WORK}/build ${options})
run(${CMAKE_COMMAND} --build ${WORK}/build)
run(${WORK}/build/consumer ${WORK}/output)
if(NOT EXISTS ${WORK}/output/operator.bin)
  message(FATAL_ERROR "the consumer wrote no operator.bin")
endif()
