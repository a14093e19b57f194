# The installed layout and the Debian package.
#   lib/melvo/           the program folder: melvo, the b_*.so plug-ins, "sound on.png", Update,
#                        melvo-play; the player finds it through its resolved program file
#   bin/melvo            a link to lib/melvo/melvo (and bin/melvo-play to its tool)
#   bin/melvo-services   the reference web services
#   share/applications/melvo.desktop, share/mime/packages/melvo.xml, share/icons/hicolor/…
# "sound on.png" and the icons are installed by tools/melvo-art.
set(MELVO_PROGRAM_FOLDER lib/melvo)
set(MELVO_DESKTOP_DIR ${CMAKE_BINARY_DIR}/desktop)

install(TARGETS melvo RUNTIME DESTINATION ${MELVO_PROGRAM_FOLDER})
foreach(t melvo-play Update)
  if(TARGET ${t})
    install(TARGETS ${t} RUNTIME DESTINATION ${MELVO_PROGRAM_FOLDER})
  endif()
endforeach()
if(TARGET melvo-services)
  install(TARGETS melvo-services RUNTIME DESTINATION bin)
endif()

# Every format plug-in.
melvo_plugin_modules(melvo_plugins)
foreach(t ${melvo_plugins})
  install(TARGETS ${t} LIBRARY DESTINATION ${MELVO_PROGRAM_FOLDER})
endforeach()

# Relative links, so that the installed tree can be moved as a whole.
file(MAKE_DIRECTORY ${MELVO_DESKTOP_DIR}/bin)
foreach(name melvo melvo-play)
  if(TARGET ${name})
    file(CREATE_LINK ../${MELVO_PROGRAM_FOLDER}/${name} ${MELVO_DESKTOP_DIR}/bin/${name} SYMBOLIC)
    install(FILES ${MELVO_DESKTOP_DIR}/bin/${name} DESTINATION bin)
  endif()
endforeach()

# The MIME package does not depend on the prefix; the desktop entry names the installed link,
# so it is written when the prefix is known.
add_custom_command(OUTPUT ${MELVO_DESKTOP_DIR}/melvo.xml
  COMMAND melvo-desktop-files mime-package ${MELVO_DESKTOP_DIR}/melvo.xml
  DEPENDS melvo-desktop-files
  VERBATIM)
add_custom_target(melvo-desktop-data ALL DEPENDS ${MELVO_DESKTOP_DIR}/melvo.xml)
install(FILES ${MELVO_DESKTOP_DIR}/melvo.xml DESTINATION share/mime/packages)
install(CODE "
  set(melvo_entry \"${MELVO_DESKTOP_DIR}/installed/melvo.desktop\")
  file(MAKE_DIRECTORY \"${MELVO_DESKTOP_DIR}/installed\")
  execute_process(COMMAND \"$<TARGET_FILE:melvo-desktop-files>\" entry
                          \"\${CMAKE_INSTALL_PREFIX}/bin/melvo\" \"\${melvo_entry}\"
                  RESULT_VARIABLE melvo_rc)
  if(NOT melvo_rc EQUAL 0)
    message(FATAL_ERROR \"no desktop entry for the prefix \${CMAKE_INSTALL_PREFIX}\")
  endif()
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/applications\" TYPE FILE
       FILES \"\${melvo_entry}\")
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME melvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Melvo developers <melvo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Compact music player with a Simplified Chinese interface")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time rather than linked: Qt's platform plug-ins, and the libraries the audio
# library opens when first needed (src/base/OnDemand.h), which dpkg-shlibdeps cannot see.
set(melvo_opened_packages qt6-qpa-plugins)
foreach(m avutil avcodec avformat swresample)
  string(REGEX MATCH "^[0-9]+" melvo_major "${FFMPEG_lib${m}_VERSION}")
  list(APPEND melvo_opened_packages lib${m}${melvo_major})
endforeach()
list(APPEND melvo_opened_packages libsdl2-2.0-0)
if(PULSE_FOUND)
  list(APPEND melvo_opened_packages libpulse0)
endif()
list(JOIN melvo_opened_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, desktop-file-utils, shared-mime-info, xdg-utils")
include(CPack)
