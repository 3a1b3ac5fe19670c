# One step of the Windows layer's cross build and test, run by CTest as
#   cmake -DSTEP=<build|prefix|run> -DSOURCE_DIR=... -DBUILD_DIR=... [...] -P WindowsLayerStep.cmake
#   build:  configures (once) and builds tests/windows with the mingw-w64
#           toolchain file into BUILD_DIR
#   prefix: makes the wine prefix BUILD_DIR/wineprefix (once; kept afterwards)
#   run:    runs the test executable under wine in that prefix
# A missing tool fails the step with the command that installs it.

set(_install_hint "Install the Windows tool chain with: scripts/install-deps.sh windows (./test.sh does).")
set(_prefix ${BUILD_DIR}/wineprefix)
set(_ready ${_prefix}/.clipwright-ready)
set(_exe ${BUILD_DIR}/test_windows_layer.exe)

function(require var what)
  if(NOT ${var})
    message(FATAL_ERROR "${what} was not found when this build was configured. ${_install_hint} "
                        "Then configure the build folder again.")
  endif()
endfunction()

# wine without a display, without its own debug chatter, without offering to
# install its .NET and HTML engines, in the build folder's own prefix.
set(_wine_env ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
    WINEPREFIX=${_prefix} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=" WINEARCH=win64)

if(STEP STREQUAL "build")
  require(MINGW_CXX "The mingw-w64 C++ compiler (x86_64-w64-mingw32-g++)")
  if(NOT EXISTS ${BUILD_DIR}/CMakeCache.txt)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/windows -B ${BUILD_DIR} -G ${GENERATOR}
              -DCMAKE_TOOLCHAIN_FILE=${SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
              -DCMAKE_BUILD_TYPE=Release -DCLIP_GTEST_SOURCE_DIR=${GTEST_SOURCE_DIR}
      RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      file(REMOVE ${BUILD_DIR}/CMakeCache.txt)
      message(FATAL_ERROR "Configuring the Windows layer's cross build failed (${rc}).")
    endif()
  endif()
  cmake_host_system_information(RESULT _jobs QUERY NUMBER_OF_LOGICAL_CORES)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j ${_jobs} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Building the Windows layer with mingw-w64 failed (${rc}).")
  endif()

elseif(STEP STREQUAL "prefix")
  require(WINE "wine")
  if(EXISTS ${_ready})
    return()
  endif()
  file(REMOVE_RECURSE ${_prefix})
  file(MAKE_DIRECTORY ${BUILD_DIR})
  message(STATUS "Making the wine prefix ${_prefix} (once for this build folder)")
  execute_process(COMMAND ${_wine_env} ${WINE} wineboot --init
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${_prefix}/system.reg)
    message(FATAL_ERROR "wineboot could not make the prefix ${_prefix} (${rc}):\n${out}")
  endif()
  file(TOUCH ${_ready})

elseif(STEP STREQUAL "run")
  require(WINE "wine")
  if(NOT EXISTS ${_exe})
    message(FATAL_ERROR "${_exe} was not built.")
  endif()
  if(NOT EXISTS ${_ready})
    message(FATAL_ERROR "The wine prefix ${_prefix} is not ready.")
  endif()
  execute_process(COMMAND ${_wine_env} CLIPWRIGHT_TESTING=1 ${WINE} ${_exe} --gtest_color=no
                  WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "The Windows layer's tests failed under wine (exit status ${rc}).")
  endif()

else()
  message(FATAL_ERROR "Unknown step '${STEP}'.")
endif()
