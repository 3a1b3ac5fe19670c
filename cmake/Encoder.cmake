# The program looks for the encoder only in its own folder. Link the system's
# encoder (and its probe, used by tests) into the binary folder at configure
# time; a machine without one is a configuration error, never a silent skip.
# A Windows build copies the cross-built ffmpeg.exe and ffprobe.exe of its
# prefix instead (scripts/build-windows.sh); their DLLs come with the package.
if(WIN32)
  foreach(tool ffmpeg ffprobe)
    set(_exe ${CLIP_WINDOWS_PREFIX}/bin/${tool}.exe)
    if(NOT CLIP_WINDOWS_PREFIX OR NOT EXISTS ${_exe})
      message(FATAL_ERROR "The Windows encoder '${_exe}' was not found. "
                          "Build it with: scripts/build-windows.sh prefix")
    endif()
    file(COPY ${_exe} DESTINATION ${CLIP_BIN_DIR})
  endforeach()
  message(STATUS "Encoder copied into ${CLIP_BIN_DIR} from ${CLIP_WINDOWS_PREFIX}/bin")
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
