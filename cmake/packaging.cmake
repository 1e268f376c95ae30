# packaging.cmake -- what the packages add to the programs, all from the one version in project(): the Windows exe's
# resources and its ZIP; the Debian package with the launcher, manual pages, changelog, copyright and AppStream
# metainfo. Each package carries the licence and exactly the pictures the texture table names.

# "Copyright (c) YEAR HOLDERS" and the permission text come from LICENSE, the one place they are written.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE olvo_license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" OLVO_COPYRIGHT "${olvo_license}")
set(OLVO_COPYRIGHT_HOLDERS ${CMAKE_MATCH_1})

if(OLVO_PLATFORM STREQUAL "win32")
  # The version resource and the manifest's assembly version take four numbers.
  math(EXPR olvo_patch "0${PROJECT_VERSION_PATCH}")
  set(OLVO_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${olvo_patch},0")
  set(OLVO_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${olvo_patch}.0")
  configure_file(packaging/windows/olvo-gl.manifest.in olvo-gl.manifest @ONLY)
  configure_file(packaging/windows/olvo-gl.rc.in olvo-gl.rc @ONLY)
  target_sources(olvo-gl PRIVATE ${PROJECT_BINARY_DIR}/olvo-gl.rc)
  set_source_files_properties(${PROJECT_BINARY_DIR}/olvo-gl.rc PROPERTIES OBJECT_DEPENDS
    "${PROJECT_SOURCE_DIR}/packaging/icons/olvo-gl.ico;${PROJECT_BINARY_DIR}/olvo-gl.manifest")

  # The ZIP: the program and its pictures, unpacked and run from one folder.
  install(TARGETS olvo-gl RUNTIME DESTINATION .)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES ${OLVO_DATA_FILES} DESTINATION data)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME olvo-gl)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_PACKAGE_FILE_NAME "olvo-gl-${PROJECT_VERSION}-win32")
  else()
    set(CPACK_PACKAGE_FILE_NAME "olvo-gl-${PROJECT_VERSION}-win64")
  endif()
  include(CPack)
  return()
endif()

if(NOT OLVO_PLATFORM STREQUAL "sdl2")
  return()
endif()

# The Debian package. The program is private to its launcher, which picks the pictures: PREFIX/libexec.
execute_process(COMMAND date -R -u -d ${OLVO_RELEASE_DATE} OUTPUT_VARIABLE OLVO_RELEASE_DATE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
# The licence's permission text as a Debian copyright file holds it: each line indented, a blank line a " .".
string(REGEX REPLACE "^.*Copyright \\(c\\)[^\n]*\n\n" "" OLVO_LICENSE_TEXT "${olvo_license}")
string(STRIP "${OLVO_LICENSE_TEXT}" OLVO_LICENSE_TEXT)
string(REPLACE "\n\n" "\n.\n" OLVO_LICENSE_TEXT " ${OLVO_LICENSE_TEXT}")
string(REPLACE "\n" "\n " OLVO_LICENSE_TEXT "${OLVO_LICENSE_TEXT}")
list(JOIN OLVO_DATA_FILES " " OLVO_DATA_FILES_LIST)
set(olvo_staged ${PROJECT_BINARY_DIR}/package)
set(olvo_metainfo ${olvo_staged}/org.example.olvo_gl.metainfo.xml)
configure_file(packaging/linux/olvo-gl.sh.in ${olvo_staged}/olvo-gl @ONLY)
configure_file(packaging/linux/copyright.in ${olvo_staged}/copyright @ONLY)
configure_file(packaging/linux/olvo-gl.metainfo.xml.in ${olvo_metainfo} @ONLY)
set(olvo_gzipped "")
foreach(page changelog olvo-gl.6 olvo-picture.1)
  configure_file(packaging/linux/${page}.in ${olvo_staged}/${page} @ONLY)
  # -n: no name or time inside, so the same text always gives the same bytes.
  add_custom_command(OUTPUT ${olvo_staged}/${page}.gz COMMAND gzip -9nkf ${page} DEPENDS ${olvo_staged}/${page}
                     WORKING_DIRECTORY ${olvo_staged} VERBATIM)
  list(APPEND olvo_gzipped ${olvo_staged}/${page}.gz)
endforeach()
add_custom_target(olvo-package-pages ALL DEPENDS ${olvo_gzipped})

install(TARGETS olvo-gl RUNTIME DESTINATION libexec/olvo-gl)
install(TARGETS olvo-picture RUNTIME DESTINATION bin)
install(PROGRAMS ${olvo_staged}/olvo-gl DESTINATION bin)
install(FILES ${OLVO_DATA_FILES} DESTINATION share/olvo-gl/data)
install(FILES packaging/linux/olvo-gl.desktop DESTINATION share/applications)
install(FILES ${olvo_metainfo} DESTINATION share/metainfo)
install(FILES ${olvo_staged}/copyright ${olvo_staged}/changelog.gz DESTINATION share/doc/olvo-gl)
install(FILES ${olvo_staged}/olvo-gl.6.gz DESTINATION share/man/man6)
install(FILES ${olvo_staged}/olvo-picture.1.gz DESTINATION share/man/man1)
foreach(size 16 32 48 64 128 192 256 512)
  install(FILES packaging/icons/olvo-gl-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
          RENAME olvo-gl.png)
endforeach()
# A plain strip keeps the compiler's notes; a Debian package leaves them out as dh_strip does.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  foreach(program libexec/olvo-gl/olvo-gl bin/olvo-picture)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME olvo-gl)
set(CPACK_PACKAGE_CONTACT "Olvo GL developers <olvo-gl@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time OpenGL demo of a twisting sprite over a spinning starfield")
set(CPACK_PACKAGE_DESCRIPTION "\
Olvo GL opens one window and draws a layered scene frame after frame: a
spinning starfield, a ship, a light glow and, on top, a robot sprite drawn
on a grid whose corners twist about the view axis. Escape quits; F1 switches
between a window and fullscreen.

The package also carries olvo-picture, which makes the program's pictures
from PNG, JPEG, GIF, TGA or BMP files and checks a folder of them. Started in
a folder whose data/ holds all seven pictures, olvo-gl shows those.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
