# Installation and the Debian package.
#   cmake --install build --prefix /usr        (or DESTDIR=... for a staging root)
#   tools/package.sh                           build/packages/korrin-runtime_*.deb
include(GNUInstallDirs)
# The library goes to Debian's multiarch directory whatever the prefix, so the
# staged tree, the package and a local install look alike.
set(KR_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Where libkrruntime.so is installed")

# Installed programs find the runtime library in the library directory beside
# bin/, wherever the tree was unpacked, and still beside themselves (where
# krpack puts it for a stand-alone game).
file(RELATIVE_PATH KR_BIN_TO_LIB /${CMAKE_INSTALL_BINDIR} /${KR_INSTALL_LIBDIR})
set_target_properties(krrun PROPERTIES INSTALL_RPATH "\$ORIGIN/${KR_BIN_TO_LIB}:\$ORIGIN")
target_compile_definitions(krpack PRIVATE KR_BIN_TO_LIB="${KR_BIN_TO_LIB}")

set(KR_TOOLS krrun krpack krconvert)
if(TARGET krc)
  list(APPEND KR_TOOLS krc)
endif()
install(TARGETS ${KR_TOOLS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(TARGETS krruntime LIBRARY DESTINATION ${KR_INSTALL_LIBDIR} COMPONENT runtime)
# The runtime starts its decoder process from the library's own directory.
install(TARGETS krdecode RUNTIME DESTINATION ${KR_INSTALL_LIBDIR} COMPONENT runtime)
install(FILES include/korrin.h include/korrin_runtime.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT runtime)
install(DIRECTORY include/korrin DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT runtime
        FILES_MATCHING PATTERN "*.h")

# Man pages go out compressed, one per installed tool.
set(KR_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(KR_MAN_PAGES "")
foreach(tool ${KR_TOOLS})
  set(source ${CMAKE_SOURCE_DIR}/docs/man/${tool}.1)
  if(NOT EXISTS ${source})
    message(WARNING "${tool} has no man page (docs/man/${tool}.1); the package test will fail")
    continue()
  endif()
  set(page ${KR_MAN_DIR}/${tool}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KR_MAN_DIR}
    COMMAND gzip -9n -c ${source} > ${page}
    DEPENDS ${source} COMMENT "Man page ${tool}(1)" VERBATIM)
  list(APPEND KR_MAN_PAGES ${page})
endforeach()
add_custom_target(kr_man_pages ALL DEPENDS ${KR_MAN_PAGES})
install(FILES ${KR_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)

install(FILES packaging/korrin-runtime.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT runtime)
install(FILES packaging/korrin-module.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages COMPONENT runtime)
install(FILES packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korrin-runtime COMPONENT runtime)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korrin-runtime)
set(CPACK_PACKAGE_VERSION 0.1.0)
set(CPACK_PACKAGE_CONTACT "Korrin runtime developers <korrin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "runtime for compiled Korrin Basic games")
set(CPACK_PACKAGE_DESCRIPTION "Runs games compiled from Korrin Basic, a BASIC dialect for 2D games: krrun links
a compiled module against the runtime and runs it in an SDL window. Also
krpack (stand-alone games), krconvert (modules from ELF objects), the shared
runtime library for development environments and the C headers for modules.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The runtime is an i386 program, so the package and every library it needs are
# i386: dpkg-shlibdeps names them from what the binaries load.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps cannot see: the decoder process opens FluidSynth at run
# time, and MIDI music needs a General MIDI SoundFont; the game face names
# ("courier", "arial", "times new roman") keep their metrics through the
# Liberation fonts. A bare system without them loads fonts of other widths and
# plays no MIDI song at all.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfluidsynth3, timgm6mb-soundfont | sf2-soundfont-gm, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES FALSE)
include(CPack)
