# Install tree (GNU layout) and the Debian package. Everything the program
# needs at run time sits under one prefix and is found relative to bin/, so
# the tree works wherever it is copied.
include(GNUInstallDirs)

# The program and its data make the "vantor" package; the engine's files for
# other programs (dist/sdk.cmake) the "dev" one.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME vantor)

set(VANTOR_MAINTAINER "The Vantor developers <vantor@users.noreply.example>"
  CACHE STRING "Maintainer named in the Debian package")

install(TARGETS vantor RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
# The generated data and the hand-written scripts, as the build lays them out.
install(DIRECTORY "${VANTOR_CONTENT_DIR}/" DESTINATION "${CMAKE_INSTALL_DATADIR}/vantor")
install(FILES "${CMAKE_SOURCE_DIR}/dist/vantor.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_BINARY_DIR}/vantor.png" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps")

configure_file("${CMAKE_SOURCE_DIR}/dist/vantor.6.in" "${CMAKE_BINARY_DIR}/vantor.6" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/vantor.6" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
install(FILES "${CMAKE_SOURCE_DIR}/LICENSE" "${CMAKE_SOURCE_DIR}/README.md" "${CMAKE_SOURCE_DIR}/dist/copyright"
  DESTINATION "${CMAKE_INSTALL_DOCDIR}")

include("${CMAKE_SOURCE_DIR}/dist/sdk.cmake")

# --- cpack -G DEB ---
set(CPACK_PACKAGE_NAME vantor)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${VANTOR_MAINTAINER}")
set(VANTOR_SUMMARY "real-time audiovisual demo in OpenGL")
set(CPACK_PACKAGE_DESCRIPTION "Vantor plays a music track and, locked to its playback position, renders a
fixed sequence of 2D and 3D scenes with OpenGL: a title card, a glowing
warehouse with two dancing robots, an endless shaft that pulses with the
music, and the credits. It ends by itself after 100 seconds.

Besides live playback it can render the demo off line to PNG frames or,
with ffmpeg, to a video with the music, and measure frame times; neither
needs a display or a sound device. Software rendering (Mesa llvmpipe)
is enough.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # vantor_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics) # "games" would want the program in /usr/games
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg) # video capture
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")

# Debian wants the manual page and the changelog compressed; the plain
# install keeps the page as it is.
configure_file("${CMAKE_SOURCE_DIR}/dist/changelog.in" "${CMAKE_BINARY_DIR}/changelog" @ONLY)
set(CPACK_VANTOR_CHANGELOG "${CMAKE_BINARY_DIR}/changelog") # CPACK_ names reach the script
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_SOURCE_DIR}/dist/deb_finish.cmake")

# Two packages: vantor as it always was, and libv4engine-dev for people who
# build their own demo on the engine.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL vantor dev)
set(CPACK_DEBIAN_VANTOR_PACKAGE_NAME vantor)
set(CPACK_DEBIAN_VANTOR_FILE_NAME DEB-DEFAULT)
# Each package's first description line is its summary; a global summary
# would be put in front of both.
set(CPACK_COMPONENT_VANTOR_DESCRIPTION "${VANTOR_SUMMARY}\n${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libv4engine-dev)
set(CPACK_DEBIAN_DEV_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
  "vantor (= ${PROJECT_VERSION}), libsdl2-dev, libepoxy-dev, libpng-dev, libdeflate-dev, libglu1-mesa-dev, libegl-dev, libvorbis-dev, libogg-dev, libkissfft-dev, pkgconf | pkg-config")
set(CPACK_COMPONENT_DEV_DESCRIPTION "engine of the Vantor demo for building new demos
The V4 Graphic Engine that runs the Vantor demo, as static libraries, one
per layer (core, platform, math, shell, script, gfx, text, scene, audio,
demo, player, app), with their C++ headers, a CMake package (V4Engine) and a
pkg-config file (v4engine). It also holds vantor-import, which converts
glTF 2.0 models into the engine's scene files. The content the engine reads
at run time (vertex profiles, font, shaders) comes with the vantor package.")
include(CPack)
