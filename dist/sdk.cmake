# The engine for other programs: per-layer static libraries, their headers
# under include/v4/<layer>/, a CMake package (find_package(V4Engine) gives
# V4Engine::engine) and a pkg-config file, all in the "dev" install
# component, which cpack makes into the libv4engine-dev package.
#
# Set before including: VANTOR_SDK_LAYERS, the layer folders under src/
# bottom to top, and VANTOR_SDK_LIBRARIES, their library targets in the same
# order; VANTOR_SDK_HELPERS, interface targets they link (exported with them).
include(CMakePackageConfigHelpers)

set(VANTOR_SDK_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}/v4")
# The multiarch folder where there is one (Debian), whatever the prefix: the
# package installs to /usr while the build is configured for /usr/local.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(VANTOR_SDK_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}")
else()
  set(VANTOR_SDK_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
endif()
set(VANTOR_SDK_CMAKEDIR "${VANTOR_SDK_LIBDIR}/cmake/V4Engine")

# Every layer in one target, under the same name inside this build.
add_library(vantor_sdk INTERFACE)
set_target_properties(vantor_sdk PROPERTIES EXPORT_NAME engine)
target_link_libraries(vantor_sdk INTERFACE ${VANTOR_SDK_LIBRARIES})
target_include_directories(vantor_sdk INTERFACE "$<INSTALL_INTERFACE:${VANTOR_SDK_INCLUDEDIR}>")
if(VANTOR_SANITIZE)
  # Instrumented libraries need the sanitizer runtimes in whatever links them.
  target_link_options(vantor_sdk INTERFACE -fsanitize=address,undefined)
endif()
add_library(V4Engine::engine ALIAS vantor_sdk)

install(TARGETS ${VANTOR_SDK_LIBRARIES} ${VANTOR_SDK_HELPERS} vantor_sdk EXPORT V4EngineTargets
  ARCHIVE DESTINATION "${VANTOR_SDK_LIBDIR}" COMPONENT dev)
install(EXPORT V4EngineTargets NAMESPACE V4Engine:: DESTINATION "${VANTOR_SDK_CMAKEDIR}" COMPONENT dev)

foreach(layer ${VANTOR_SDK_LAYERS})
  install(DIRECTORY "${CMAKE_SOURCE_DIR}/src/${layer}/" DESTINATION "${VANTOR_SDK_INCLUDEDIR}/${layer}"
    COMPONENT dev FILES_MATCHING PATTERN "*.h" PATTERN "*_internal.h" EXCLUDE)
endforeach()

set(VANTOR_SDK_CONTENTDIR "${CMAKE_INSTALL_DATADIR}/vantor")
configure_package_config_file("${CMAKE_SOURCE_DIR}/dist/V4EngineConfig.cmake.in"
  "${CMAKE_BINARY_DIR}/V4EngineConfig.cmake" INSTALL_DESTINATION "${VANTOR_SDK_CMAKEDIR}"
  PATH_VARS VANTOR_SDK_CONTENTDIR)
write_basic_package_version_file("${CMAKE_BINARY_DIR}/V4EngineConfigVersion.cmake"
  VERSION "${PROJECT_VERSION}" COMPATIBILITY SameMinorVersion)
install(FILES "${CMAKE_BINARY_DIR}/V4EngineConfig.cmake" "${CMAKE_BINARY_DIR}/V4EngineConfigVersion.cmake"
  DESTINATION "${VANTOR_SDK_CMAKEDIR}" COMPONENT dev)

# pkg-config: the prefix is found from the file's own place, so a moved
# tree works as the CMake package does. Static libraries link top first.
file(RELATIVE_PATH VANTOR_PC_UP "/root/${VANTOR_SDK_LIBDIR}/pkgconfig" "/root")
set(VANTOR_PC_LIBS "")
foreach(lib ${VANTOR_SDK_LIBRARIES})
  set(VANTOR_PC_LIBS "-l${lib} ${VANTOR_PC_LIBS}")
endforeach()
if(VANTOR_SANITIZE)
  set(VANTOR_PC_LIBS "${VANTOR_PC_LIBS}-fsanitize=address,undefined ")
endif()
configure_file("${CMAKE_SOURCE_DIR}/dist/v4engine.pc.in" "${CMAKE_BINARY_DIR}/v4engine.pc" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/v4engine.pc" DESTINATION "${VANTOR_SDK_LIBDIR}/pkgconfig" COMPONENT dev)

# The import tool belongs with the engine's users, not the demo's players.
install(TARGETS vantor-import RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT dev)
install(FILES "${CMAKE_SOURCE_DIR}/dist/vantor-import.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT dev)
install(FILES "${CMAKE_SOURCE_DIR}/dist/copyright" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/libv4engine-dev"
  COMPONENT dev)
