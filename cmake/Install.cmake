# The installed layout: the program in bin/ (off Windows the window's program
# in libexec/clipwright/), its shipped files in
# share/clipwright/ (where the program looks after its own folder), and the
# desktop's entry, icons and software-centre description in their usual places.
set(CLIP_LINUX_DIR ${CMAKE_SOURCE_DIR}/resources/linux)
set(CLIP_APP_ID org.example.clipwright)

install(TARGETS clipwright RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NOT WIN32)
  # Started by bin/clipwright, not by users.
  install(TARGETS ${CLIP_WINDOW_PROGRAM} RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/clipwright)
endif()
# On Windows the program reads them from its own folder only.
if(WIN32)
  set(CLIP_DATA_DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  set(CLIP_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/clipwright)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/resources/presets.xml ${CMAKE_SOURCE_DIR}/resources/codecs.xml
              ${CMAKE_SOURCE_DIR}/resources/Help.html
        DESTINATION ${CLIP_DATA_DESTINATION})

if(NOT WIN32)
  # Fixed-size icons, rendered from the one drawn icon at build time.
  set(CLIP_ICON_SIZES 48 128 256)
  set(CLIP_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
  set(_args)
  set(_pngs)
  foreach(size ${CLIP_ICON_SIZES})
    list(APPEND _args ${size} ${CLIP_ICON_DIR}/clipwright-${size}.png)
    list(APPEND _pngs ${CLIP_ICON_DIR}/clipwright-${size}.png)
  endforeach()
  add_custom_command(OUTPUT ${_pngs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CLIP_ICON_DIR}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:clipwright-render-icon> ${CLIP_LINUX_DIR}/clipwright.svg ${_args}
    DEPENDS clipwright-render-icon ${CLIP_LINUX_DIR}/clipwright.svg
    COMMENT "Rendering the icon at ${CLIP_ICON_SIZES} pixels")
  add_custom_target(clipwright-icons ALL DEPENDS ${_pngs})

  foreach(size ${CLIP_ICON_SIZES})
    install(FILES ${CLIP_ICON_DIR}/clipwright-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME clipwright.png)
  endforeach()
  install(FILES ${CLIP_LINUX_DIR}/clipwright.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${CLIP_LINUX_DIR}/${CLIP_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${CLIP_LINUX_DIR}/${CLIP_APP_ID}.metainfo.xml ${CMAKE_BINARY_DIR}/${CLIP_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${CLIP_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The manual page, the licence and the release history, compressed as
  # Debian's packages carry them (gzip -n: no name or time stamp inside).
  find_program(CLIP_GZIP gzip REQUIRED)
  set(CLIP_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
  configure_file(${CLIP_LINUX_DIR}/clipwright.1 ${CLIP_DOC_DIR}/clipwright.1 @ONLY)
  configure_file(${CLIP_LINUX_DIR}/changelog.in ${CLIP_DOC_DIR}/changelog @ONLY)
  add_custom_command(OUTPUT ${CLIP_DOC_DIR}/clipwright.1.gz ${CLIP_DOC_DIR}/changelog.gz
    COMMAND ${CLIP_GZIP} -9nfk ${CLIP_DOC_DIR}/clipwright.1 ${CLIP_DOC_DIR}/changelog
    DEPENDS ${CLIP_DOC_DIR}/clipwright.1 ${CLIP_DOC_DIR}/changelog
    COMMENT "Compressing the manual page and the changelog")
  add_custom_target(clipwright-docs ALL DEPENDS ${CLIP_DOC_DIR}/clipwright.1.gz ${CLIP_DOC_DIR}/changelog.gz)
  install(FILES ${CLIP_DOC_DIR}/clipwright.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CLIP_DOC_DIR}/changelog.gz ${CLIP_LINUX_DIR}/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/clipwright)
endif()

# The Debian package (scripts/package.sh): dependencies come from the shared
# libraries the program links, plus the encoder it runs and the window
# system plugins Qt needs to show a window (only recommended by Qt itself).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME clipwright)
set(CPACK_PACKAGE_VENDOR Norvane)
set(CPACK_PACKAGE_CONTACT "Norvane <clipwright@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Video cutter: cuts a marked part of a video into a new file")
set(CPACK_PACKAGE_DESCRIPTION "Clipwright cuts a part of a video into a new file: load a video, mark\nwhere the part starts and ends on the timeline, choose an output format and\na folder, and start. The encoder ffmpeg does the cutting.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, qt6-qpa-plugins")
# Opens the help file and the web links.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://clipwright.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
