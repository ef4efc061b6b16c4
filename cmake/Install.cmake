# What `cmake --install` puts where a Linux desktop expects it. Every destination is relative, so
# CMAKE_INSTALL_PREFIX and DESTDIR both apply.
include(GNUInstallDirs)

set(KATALOX_APP_ID org.katalox.Katalox)

install(TARGETS katalox katalox-newcatalog RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The command-line program beside them, once cli/ defines it. Looked for when the top-level
# CMakeLists.txt has been read whole, so the order of add_subdirectory(cli) and this file does
# not matter.
function(katalox_install_cli)
  if(TARGET katalox-cli)
    install(TARGETS katalox-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endfunction()
cmake_language(DEFER CALL katalox_install_cli)

install(FILES resources/completion/katalox-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

install(FILES resources/desktop/${KATALOX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/desktop/${KATALOX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES resources/icons/katalox.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${KATALOX_APP_ID}.svg)
foreach(size 48 128 256)
  install(FILES resources/icons/katalox-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${KATALOX_APP_ID}.png)
endforeach()

# Manual pages and the changelog are installed compressed, as Debian's policy asks.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed_files)
function(katalox_compressed source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_SOURCE_DIR}/${source} > ${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/${source} VERBATIM)
  set(compressed_files ${compressed_files} ${output} PARENT_SCOPE)
endfunction()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man ${CMAKE_BINARY_DIR}/doc)
foreach(page katalox.1 katalox-newcatalog.1 katalox-cli.1)
  katalox_compressed(resources/man/${page} ${CMAKE_BINARY_DIR}/man/${page}.gz)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
katalox_compressed(resources/debian/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${compressed_files})

install(FILES resources/debian/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/katalox)
