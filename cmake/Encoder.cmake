# The program looks for the encoder only in its own folder. Link the system's
# encoder (and its probe, used by tests) into the binary folder at configure
# time; a machine without one is a configuration error, never a silent skip.
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
