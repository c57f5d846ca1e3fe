# Install rules and the Debian package.
#
# `cmake --install` lays out a GNUInstallDirs tree: both programs in bin/;
# the sample data in share/sagewend/, which the program finds relative to its
# own folder (so an unpacked package works wherever it lies) and copies into
# each user's own data folder on first start; the launcher, the icon in the
# hicolor theme, the AppStream metainfo, the manual pages and the copyright
# notice. CPack (`cpack --preset package`) makes the .deb from the same tree;
# its Depends come from dpkg-shlibdeps on the installed programs, so they
# follow what the build actually linked.
include(GNUInstallDirs)

set(SAGEWEND_APP_ID org.sagewend.Sagewend)
set(SAGEWEND_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/sagewend)
set(SAGEWEND_MAINTAINER "The Sagewend developers <sagewend@example.org>"
    CACHE STRING "The Debian package's Maintainer field")

# The sample data must not land in a user's own data folder (as with
# `cmake --install --prefix ~/.local`): the program would work in it, and
# the next install would overwrite the layouts saved there. Checked when
# installing, since the prefix can be changed then.
install(CODE "set(sagewend_datadir \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
  set(user_data "$ENV{XDG_DATA_HOME}")
  if(NOT user_data MATCHES "^/")
    set(user_data "$ENV{HOME}/.local/share")
  endif()
  get_filename_component(target "${sagewend_datadir}" ABSOLUTE BASE_DIR "${CMAKE_INSTALL_PREFIX}")
  if(NOT DEFINED ENV{DESTDIR} AND target STREQUAL user_data)
    message(FATAL_ERROR "Installing to ${CMAKE_INSTALL_PREFIX} would put the sample data into your own data "
            "folder ${user_data}/sagewend, and a later install would overwrite the layouts you save there. "
            "Choose another prefix, such as /usr/local or ~/.local/opt/sagewend.")
  endif()
]])

# Tell the program where the sample data lies, relative to bin/.
file(RELATIVE_PATH SAGEWEND_BIN_TO_DATA ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/sagewend)
set_property(SOURCE app/work_folder.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS SAGEWEND_INSTALLED_DATA="${SAGEWEND_BIN_TO_DATA}")

install(TARGETS sagewend sagewend-data RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY sample/data sample/decks sample/images
        DESTINATION ${SAGEWEND_DATA_INSTALL_DIR}
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

install(FILES packaging/${SAGEWEND_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/${SAGEWEND_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES res/icon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME sagewend.svg)
foreach(size 48 256)
  install(FILES packaging/icons/sagewend-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME sagewend.png)
endforeach()

# Manual pages and the changelog are installed compressed, as Debian wants;
# gzip -n keeps the package reproducible. The pages get the version here.
find_program(SAGEWEND_GZIP gzip REQUIRED)
set(SAGEWEND_GZIPPED)
foreach(page sagewend.1 sagewend-data.1)
  configure_file(packaging/man/${page} ${CMAKE_BINARY_DIR}/packaging/plain/${page} @ONLY)
  list(APPEND SAGEWEND_GZIPPED ${page})
endforeach()
configure_file(packaging/changelog ${CMAKE_BINARY_DIR}/packaging/plain/changelog COPYONLY)
list(APPEND SAGEWEND_GZIPPED changelog)
set(SAGEWEND_GZIPPED_OUTPUTS)
foreach(file IN LISTS SAGEWEND_GZIPPED)
  set(out ${CMAKE_BINARY_DIR}/packaging/${file})
  add_custom_command(
    OUTPUT ${out}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/packaging/plain/${file} ${out}
    COMMAND ${SAGEWEND_GZIP} -9 -n -f ${out}
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/plain/${file}
    COMMENT "Compressing ${file}")
  list(APPEND SAGEWEND_GZIPPED_OUTPUTS ${out}.gz)
endforeach()
add_custom_target(sagewend_packaging_files ALL DEPENDS ${SAGEWEND_GZIPPED_OUTPUTS})
install(FILES ${CMAKE_BINARY_DIR}/packaging/sagewend.1.gz ${CMAKE_BINARY_DIR}/packaging/sagewend-data.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Named after the package, not the project (DOCDIR would say Sagewend).
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/sagewend)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sagewend)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Sagewend developers")
set(CPACK_PACKAGE_CONTACT ${SAGEWEND_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "oracle with card readings, the I Ching and yes/no answers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Sagewend gives advice in the manner of an oracle. You type a question and
it answers with a tarot reading dealt onto a spread layout, an I Ching cast
with its moving lines, or a yes/no answer. Its editor lets you design spread
layouts of your own, kept in your own data folder.
.
The program serves its page on the loopback interface and shows it in a
Chromium app window, or in the default browser.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Not "games": Debian keeps that section's programs in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The page needs a browser, any will do; xdg-open reaches the default one
# when Chromium is not there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "chromium | x-www-browser, xdg-utils")
include(CPack)
