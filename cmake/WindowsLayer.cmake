# The Windows layer (the Win32 files of src/platform and src/settings) is
# cross-compiled with mingw-w64 and its tests run under wine, as three CTest
# entries of this build:
#   windows_layer_build   configures and builds tests/windows into
#                         <build>/windows-layer (incremental after the first run)
#   windows_layer_prefix  makes the wine prefix <build>/windows-layer/wineprefix
#                         once (both run side by side)
#   windows_layer         runs test_windows_layer.exe under wine after both;
#                         it fails when any of its tests fails
# Without mingw-w64 or wine the entries fail, saying what to install: the
# Windows layer is never silently left untested.
if(WIN32)
  return()  # built and tested natively there
endif()

find_program(CLIP_MINGW_CXX_FOUND NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
find_program(CLIP_WINE_FOUND NAMES wine wine64 PATHS /usr/lib/wine)
set(CLIP_GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH
    "The test framework's sources, built for the Windows layer")
if(NOT CLIP_MINGW_CXX_FOUND OR NOT CLIP_WINE_FOUND)
  message(WARNING "mingw-w64 or wine is missing: the windows_layer tests will fail. "
                  "Install them with: scripts/install-deps.sh windows")
endif()

set(_clip_win_dir ${CMAKE_BINARY_DIR}/windows-layer)
set(_clip_win_step ${CMAKE_COMMAND}
    -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DBUILD_DIR=${_clip_win_dir} "-DGENERATOR=${CMAKE_GENERATOR}"
    -DMINGW_CXX=${CLIP_MINGW_CXX_FOUND} -DWINE=${CLIP_WINE_FOUND}
    -DGTEST_SOURCE_DIR=${CLIP_GTEST_SOURCE_DIR})
set(_clip_win_script ${CMAKE_SOURCE_DIR}/cmake/WindowsLayerStep.cmake)

add_test(NAME windows_layer_build COMMAND ${_clip_win_step} -DSTEP=build -P ${_clip_win_script})
add_test(NAME windows_layer_prefix COMMAND ${_clip_win_step} -DSTEP=prefix -P ${_clip_win_script})
add_test(NAME windows_layer COMMAND ${_clip_win_step} -DSTEP=run -P ${_clip_win_script})
set_tests_properties(windows_layer_build PROPERTIES FIXTURES_SETUP clip_windows_exe TIMEOUT 900)
set_tests_properties(windows_layer_prefix PROPERTIES FIXTURES_SETUP clip_windows_prefix TIMEOUT 300)
set_tests_properties(windows_layer PROPERTIES
  FIXTURES_REQUIRED "clip_windows_exe;clip_windows_prefix" TIMEOUT 300)
set_tests_properties(windows_layer_build windows_layer_prefix windows_layer PROPERTIES LABELS windows)
