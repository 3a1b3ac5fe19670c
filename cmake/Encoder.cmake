# The program looks for the encoder only in its own folder. Link the system's
# encoder (and its probe, used by tests) into the binary folder at configure
# time; a machine without one is a configuration error, never a silent skip.
# A Windows build copies ffmpeg.exe and ffprobe.exe instead: those of the
# cross-built prefix (scripts/build-windows.sh, -DCLIP_WINDOWS_PREFIX), or
# natively the ones on the PATH. Their DLLs must be found beside them or on
# the PATH; the Windows package brings them.
if(WIN32)
  foreach(tool ffmpeg ffprobe)
    find_program(CLIP_WINDOWS_${tool} NAMES ${tool}.exe HINTS ${CLIP_WINDOWS_PREFIX}/bin NO_CMAKE_FIND_ROOT_PATH)
    if(NOT CLIP_WINDOWS_${tool})
      message(FATAL_ERROR "The Windows encoder '${tool}.exe' was not found. Build it with "
                          "scripts/build-windows.sh prefix (cross build), or put it on the PATH.")
    endif()
    file(COPY ${CLIP_WINDOWS_${tool}} DESTINATION ${CLIP_BIN_DIR})
  endforeach()
  message(STATUS "Encoder copied into ${CLIP_BIN_DIR}: ${CLIP_WINDOWS_ffmpeg}")
  return()
endif()
find_program(CLIP_SYSTEM_FFMPEG ffmpeg)
if(NOT CLIP_SYSTEM_FFMPEG)
  message(FATAL_ERROR "The encoder 'ffmpeg' was not found on this machine. "
                      "Install it (Debian: apt-get install ffmpeg) or run ./test.sh, which installs it.")
endif()
find_program(CLIP_SYSTEM_FFPROBE ffprobe)
if(NOT CLIP_SYSTEM_FFPROBE)
  message(FATAL_ERROR "'ffprobe' was not found next to the encoder; install the ffmpeg package.")
endif()
file(CREATE_LINK ${CLIP_SYSTEM_FFMPEG} ${CLIP_BIN_DIR}/ffmpeg SYMBOLIC)
file(CREATE_LINK ${CLIP_SYSTEM_FFPROBE} ${CLIP_BIN_DIR}/ffprobe SYMBOLIC)
message(STATUS "Encoder linked into ${CLIP_BIN_DIR}: ${CLIP_SYSTEM_FFMPEG}")
